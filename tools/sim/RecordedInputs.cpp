#include "RecordedInputs.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace corvanta::sim {

namespace {

constexpr std::string_view kTimeColumn = "time";

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
    fields.push_back(trimmed(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
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
    std::string_view line = text.substr(start, newline == std::string_view::npos ? std::string_view::npos : newline - start);
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

  Schedule read(std::string_view text, std::optional<std::uint64_t> durationSteps) {
    Schedule schedule;
    schedule.name = std::filesystem::u8path(fileName_).stem().u8string();
    bool headerRead = false;
    double previousTime = 0.0;
    std::uint64_t lastRowStep = 0;
    for (const Line &line : splitLines(text)) {
      if (trimmed(line.text).empty()) {
        continue;
      }
      if (!headerRead) {
        readHeader(line);
        headerRead = true;
        continue;
      }
      const double time = readRow(line, schedule);
      if (time < previousTime) {
        fail(line.number, "time " + formatNumber(time) + " comes before the previous row's " +
                              formatNumber(previousTime) + "; times must not decrease");
      }
      previousTime = time;
      lastRowStep = schedule.events.back().step;
    }
    if (!headerRead) {
      throw ScenarioError(fileName_ + ": empty file; expected a header line such as \"time,AccelerationDemand\"");
    }
    if (durationSteps) {
      schedule.stepCount = *durationSteps;
    } else if (schedule.events.empty()) {
      throw ScenarioError(fileName_ + ": no rows after the header; give the model time to run with --duration");
    } else {
      schedule.stepCount = lastRowStep;
    }
    return schedule;
  }

 private:
  [[noreturn]] void fail(std::size_t lineNumber, const std::string &problem) const {
    throw ScenarioError(fileName_ + ":" + std::to_string(lineNumber) + ": " + problem);
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
            fail(line.number, "the column \"" + std::string(name) + "\" appears twice");
          }
        }
        column = *input;
      } else {
        fail(line.number, "unknown column \"" + std::string(name) + "\"; expected time or an input name: " +
                              listOfInputNames());
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
      const double value = number(fields[index], line.number, columnName);
      if (column < 0) {
        const StepCountResult count = checkedStepCount(value);
        if (!count.error.empty()) {
          fail(line.number, "column \"time\": " + count.error + ", got " + formatNumber(value));
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
  double number(std::string_view field, std::size_t lineNumber, const std::string &column) const {
    double value = 0.0;
    const char *end = field.data() + field.size();
    const auto [stop, error] = std::from_chars(field.data(), end, value);
    if (field.empty() || error != std::errc() || stop != end) {
      fail(lineNumber, "column \"" + column + "\": expected a number, got \"" + std::string(field) + "\"");
    }
    if (!std::isfinite(value)) {
      fail(lineNumber, "column \"" + column + "\": expected a finite number, got \"" + std::string(field) + "\"");
    }
    return value;
  }

  const std::string &fileName_;
  std::vector<int> columns_;
};

}  // namespace

Schedule parseRecordedInputs(const std::string &text, const std::string &fileName,
                             std::optional<std::uint64_t> durationSteps) {
  return RecordedInputsReader(fileName).read(text, durationSteps);
}

RecordedInputsWriter::RecordedInputsWriter(std::FILE *file) : file_(file) {
  std::fputs("time", file_);
  for (std::string_view name : kInputNames) {
    std::fprintf(file_, ",%.*s", static_cast<int>(name.size()), name.data());
  }
  std::fputc('\n', file_);
}

void RecordedInputsWriter::record(std::uint64_t step, const InputValues &values) {
  if (!hasRow_ || std::memcmp(values.data(), lastWritten_.data(), sizeof(double) * values.size()) != 0) {
    writeRow(step, values);
  }
}

void RecordedInputsWriter::finish(std::uint64_t stepCount, const InputValues &lastValues) {
  writeRow(stepCount, lastValues);
}

void RecordedInputsWriter::writeRow(std::uint64_t step, const InputValues &values) {
  std::fprintf(file_, "%.17g", static_cast<double>(step) * kStepSize);
  for (double value : values) {
    std::fprintf(file_, ",%.17g", value);
  }
  std::fputc('\n', file_);
  hasRow_ = true;
  lastWritten_ = values;
}

}  // namespace corvanta::sim
