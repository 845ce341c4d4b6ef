#include "engine/scenario/RecordedInputs.h"
#include "runtime/DoubleText.h"

#include <charconv>
#include <filesystem>
#include <string_view>
#include <vector>

#include "engine/messages/NameSuggestion.h"
#include "engine/messages/ScenarioError.h"
#include "engine/output/NumberText.h"

namespace corvanta::engine {

namespace {

constexpr std::string_view kTimeColumn = "time";
constexpr std::string_view kInterpolateDirective = "interpolate:";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return std::string_view();
  }
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(
        trimmed(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
    if (comma == std::string_view::npos) {
      return fields;
    }
    start = comma + 1;
  }
}

// The physical lines of the file, numbered from 1, without line ends or a leading UTF-8
// byte-order mark.
struct Line {
  std::size_t number;
  std::string_view text;
};

std::vector<Line> splitLines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }
  std::vector<Line> lines;
  std::size_t start = 0;
  std::size_t number = 1;
  while (start < text.size()) {
    const std::size_t newline = text.find('\n', start);
    std::string_view line =
        text.substr(start, newline == std::string_view::npos ? std::string_view::npos : newline - start);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    lines.push_back(Line{number++, line});
    if (newline == std::string_view::npos) {
      break;
    }
    start = newline + 1;
  }
  return lines;
}

class RecordedInputsReader {
 public:
  explicit RecordedInputsReader(const std::string &fileName) : fileName_(fileName) {}

  Schedule read(std::string_view text, const RecordedInputsOptions &options) {
    allowNonFinite_ = options.allowNonFinite;
    Schedule schedule;
    schedule.allowNonFinite = options.allowNonFinite;
    Interpolation interpolation = Interpolation::Hold;
    schedule.name = std::filesystem::u8path(fileName_).stem().u8string();
    bool headerRead = false;
    double previousTime = 0.0;
    std::uint64_t lastRowStep = 0;
    for (const Line &line : splitLines(text)) {
      if (trimmed(line.text).empty()) {
        continue;
      }
      if (trimmed(line.text).front() == '#') {
        if (!headerRead) {
          readDirective(line, interpolation);
        }
        continue;
      }
      if (!headerRead) {
        readHeader(line);
        headerRead = true;
        continue;
      }
      const double time = readRow(line, schedule);
      if (time < previousTime) {
        fail(line.number, "time " + shortestText(time) + " comes before the previous row's " +
                              shortestText(previousTime) + "; times must not decrease");
      }
      previousTime = time;
      lastRowStep = schedule.events.back().step;
    }
    if (!headerRead) {
      throw ScenarioError::forSource(fileName_,
                                     "empty file; expected a header line such as \"time,AccelerationDemand\"");
    }
    if (options.durationSteps) {
      schedule.stepCount = *options.durationSteps;
    } else if (schedule.events.empty()) {
      throw ScenarioError::forSource(fileName_, "no rows after the header; the duration of the run must be given");
    } else {
      schedule.stepCount = lastRowStep;
    }
    if (options.interpolation.value_or(interpolation) == Interpolation::Linear) {
      rampToNextRows(schedule);
    }
    // Rows at time 0 also make the record Initialize sees, as a scenario's "inputs" do:
    // the car starts from their initial conditions and the row at time 0 shows it.
    for (const ScheduledEvent &row : schedule.events) {
      if (row.step != 0) {
        break;
      }
      for (const InputChange &set : row.sets) {
        schedule.initialInputs[static_cast<std::size_t>(set.input)] = set.value;
      }
    }
    return schedule;
  }

 private:
  [[noreturn]] void fail(std::size_t lineNumber, const std::string &problem) const {
    throw ScenarioError::atLine(fileName_, lineNumber, problem);
  }

  // "# interpolate: linear" or "# interpolate: hold"; other comments are ignored.
  void readDirective(const Line &line, Interpolation &interpolation) const {
    std::string_view text = trimmed(trimmed(line.text).substr(1));
    if (text.substr(0, kInterpolateDirective.size()) != kInterpolateDirective) {
      return;
    }
    const std::string name(trimmed(text.substr(kInterpolateDirective.size())));
    const std::optional<Interpolation> chosen = interpolationNamed(name);
    if (!chosen) {
      fail(line.number, "unknown interpolation " + quotedExcerpt(name) + "; expected hold or linear");
    }
    interpolation = *chosen;
  }

  // Linear interpolation: each row also starts a ramp of its inputs to the values of the
  // next row, reached at that row's time.  The next row's own set ends the ramp there.
  static void rampToNextRows(Schedule &schedule) {
    for (std::size_t index = 0; index + 1 < schedule.events.size(); ++index) {
      ScheduledEvent &row = schedule.events[index];
      const ScheduledEvent &next = schedule.events[index + 1];
      for (std::size_t column = 0; column < row.sets.size(); ++column) {
        row.ramps.push_back(RampStart{row.sets[column].input, next.sets[column].value, next.step});
      }
    }
  }

  // Columns are the time (index -1) or an input field index.
  void readHeader(const Line &line) {
    bool hasTime = false;
    for (std::string_view name : splitFields(line.text)) {
      int column = -1;
      if (name == kTimeColumn) {
        if (hasTime) {
          fail(line.number, "the column \"time\" appears twice");
        }
        hasTime = true;
      } else if (const std::optional<int> input = findInput(name)) {
        for (int existing : columns_) {
          if (existing == *input) {
            fail(line.number, "the column " + quotedExcerpt(std::string(name)) + " appears twice");
          }
        }
        column = *input;
      } else {
        fail(line.number, "unknown column " + quotedExcerpt(std::string(name)) +
                              didYouMean(name, std::vector<std::string_view>(kInputNames.begin(), kInputNames.end())) +
                              "; expected time or an input name: " + listOfInputNames());
      }
      columns_.push_back(column);
    }
    if (!hasTime) {
      fail(line.number, "no \"time\" column in the header");
    }
  }

  // Appends the row's set event and returns its time.
  double readRow(const Line &line, Schedule &schedule) const {
    const std::vector<std::string_view> fields = splitFields(line.text);
    if (fields.size() != columns_.size()) {
      fail(line.number, "expected " + std::to_string(columns_.size()) + " fields as in the header, got " +
                            std::to_string(fields.size()));
    }
    ScheduledEvent event;
    double time = 0.0;
    for (std::size_t index = 0; index < fields.size(); ++index) {
      const int column = columns_[index];
      const std::string columnName(column < 0 ? kTimeColumn : kInputNames[static_cast<std::size_t>(column)]);
      const double value = number(fields[index], line.number, columnName, column >= 0 && allowNonFinite_);
      if (column < 0) {
        const StepCountResult count = checkedStepCount(value);
        if (!count.error.empty()) {
          fail(line.number, "column \"time\": " + count.error + ", got " + shortestText(value));
        }
        time = value;
        event.step = count.steps;
      } else {
        event.sets.push_back(InputChange{column, value});
      }
    }
    schedule.events.push_back(std::move(event));
    return time;
  }

  // A finite decimal number, read independently of the locale and correctly rounded.
  double number(std::string_view field, std::size_t lineNumber, const std::string &column, bool allowNonFinite) const {
    double value = 0.0;
    const char *end = field.data() + field.size();
    const auto [stop, error] = doubletext::fromChars(field.data(), end, value);
    if (!field.empty() && error == std::errc::result_out_of_range && stop == end) {
      fail(lineNumber, "column \"" + column + "\": \"" + std::string(field) + "\" is out of the range of doubles");
    }
    if (field.empty() || error != std::errc() || stop != end) {
      fail(lineNumber, "column \"" + column + "\": expected a number, got " + quotedExcerpt(std::string(field)));
    }
    if (!std::isfinite(value) && !allowNonFinite) {
      fail(lineNumber, "column \"" + column + "\": expected a finite number, got " + quotedExcerpt(std::string(field)));
    }
    return value;
  }

  const std::string &fileName_;
  std::vector<int> columns_;
  bool allowNonFinite_ = false;
};

}  // namespace

std::optional<Interpolation> interpolationNamed(const std::string &name) {
  if (name == "hold") {
    return Interpolation::Hold;
  }
  if (name == "linear") {
    return Interpolation::Linear;
  }
  return std::nullopt;
}

Schedule parseRecordedInputs(const std::string &text, const std::string &fileName,
                             const RecordedInputsOptions &options) {
  return RecordedInputsReader(fileName).read(text, options);
}

}  // namespace corvanta::engine
