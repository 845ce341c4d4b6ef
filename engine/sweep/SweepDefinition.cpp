#include "engine/sweep/SweepDefinition.h"

#include <cmath>
#include <filesystem>
#include <initializer_list>

#include "engine/messages/ScenarioError.h"
#include "engine/output/NumberText.h"
#include "engine/scenario/VehicleChoice.h"
#include "engine/sweep/Sampling.h"

namespace corvanta::sweep {

namespace {

// Run indices must stay exact as doubles (they are a column of the results).
constexpr std::uint64_t kMaxRuns = std::uint64_t{1} << 53;

// A truncated normal draws again while the draw falls outside its bounds; this many draws
// in a row outside them means the bounds hold almost none of the distribution.
constexpr int kMaxNormalDraws = 100000;

// A key of the file as a message quotes it: control characters and bytes that are not
// UTF-8 escaped, a long key cut.
std::string quotedKey(const std::string &parent, const std::string &key) {
  return parent + "[\"" + engine::boundedExcerpt(key, engine::kExcerptBytes) + "\"]";
}

class Reader {
 public:
  explicit Reader(std::string fileName) : fileName_(std::move(fileName)) {}

  // Problems quote text of the file (a path, a name); each part is made safe and bounded
  // as a message quotes it, so no text of the file reaches a terminal raw.
  [[noreturn]] void fail(const std::string &where, const std::string &message) const {
    const std::string place = where.empty() ? "" : engine::boundedExcerpt(where, engine::kMessagePartBytes) + ": ";
    throw SweepError(fileName_ + ": " + place + engine::boundedExcerpt(message, engine::kMessagePartBytes));
  }

  void onlyKeys(const Json &object, const std::string &where, std::initializer_list<const char *> allowed) const {
    for (const auto &member : object.items()) {
      bool known = false;
      std::string list;
      for (const char *key : allowed) {
        known = known || member.key() == key;
        list += std::string(list.empty() ? "" : ", ") + "\"" + key + "\"";
      }
      if (!known) {
        fail(where, "unknown key " + engine::quotedExcerpt(member.key()) + "; expected " + list);
      }
    }
  }

  const Json &object(const Json &value, const std::string &where) const {
    if (!value.is_object()) {
      fail(where, "expected an object, got " + describeJson(value));
    }
    return value;
  }

  double number(const Json &value, const std::string &where) const {
    if (!value.is_number()) {
      fail(where, "expected a number, got " + describeJson(value));
    }
    const double number = value.get<double>();
    if (!std::isfinite(number)) {
      fail(where, "expected a finite number, got " + describeJson(value));
    }
    return number;
  }

  // A whole number in [minimum, maximum]; JSON 1000 and 1000.0 are both whole.
  std::uint64_t wholeNumber(const Json &value, const std::string &where, std::uint64_t minimum, std::uint64_t maximum,
                            const std::string &what) const {
    if (value.is_number_unsigned()) {
      const auto number = value.get<std::uint64_t>();
      if (number >= minimum && number <= maximum) {
        return number;
      }
    } else if (value.is_number_integer() || value.is_number_float()) {
      const double number = value.get<double>();
      if (number == std::floor(number) && number >= static_cast<double>(minimum) &&
          number <= static_cast<double>(maximum)) {
        return static_cast<std::uint64_t>(number);
      }
    }
    fail(where, "expected " + what + ", got " + describeJson(value));
  }

  // [a, b] of two finite numbers.
  std::pair<double, double> pair(const Json &value, const std::string &where, const std::string &what) const {
    if (!value.is_array() || value.size() != 2) {
      fail(where, "expected " + what + ", got " + describeJson(value));
    }
    return {number(value[0], where + "[0]"), number(value[1], where + "[1]")};
  }

  std::vector<double> numberList(const Json &value, const std::string &where) const {
    if (!value.is_array()) {
      fail(where, "expected a list of numbers, got " + describeJson(value));
    }
    if (value.empty()) {
      fail(where, "the list of values is empty; give at least one value");
    }
    std::vector<double> numbers;
    for (std::size_t index = 0; index < value.size(); ++index) {
      numbers.push_back(number(value[index], where + "[" + std::to_string(index) + "]"));
    }
    return numbers;
  }

  ScenarioPath path(const std::string &text, const Json &base, const std::string &where) const {
    std::string error;
    ScenarioPath path = ScenarioPath::resolve(text, base, error);
    if (!error.empty()) {
      fail(where, error);
    }
    return path;
  }

 private:
  std::string fileName_;
};

Distribution readDistribution(const Reader &reader, const Json &value, const std::string &where) {
  reader.object(value, where);
  reader.onlyKeys(value, where, {"uniform", "normal", "bounds", "choice"});
  const int kinds = static_cast<int>(value.contains("uniform")) + static_cast<int>(value.contains("normal")) +
                    static_cast<int>(value.contains("choice"));
  if (kinds != 1) {
    reader.fail(where,
                "expected exactly one of \"uniform\": [low, high], \"normal\": [mean, sd] or "
                "\"choice\": [values]");
  }
  if (value.contains("bounds") && !value.contains("normal")) {
    reader.fail(where + ".bounds", "bounds apply to a normal distribution only");
  }
  Distribution distribution;
  if (value.contains("uniform")) {
    distribution.kind = Distribution::Kind::Uniform;
    const auto [low, high] = reader.pair(value["uniform"], where + ".uniform", "[low, high]");
    if (low > high) {
      reader.fail(where + ".uniform", "bounds reversed: low " + describeJson(value["uniform"][0]) + " is above high " +
                                          describeJson(value["uniform"][1]));
    }
    if (!std::isfinite(high - low)) {
      reader.fail(where + ".uniform", "the range is too wide to sample");
    }
    distribution.first = low;
    distribution.second = high;
  } else if (value.contains("normal")) {
    distribution.kind = Distribution::Kind::Normal;
    const auto [mean, deviation] = reader.pair(value["normal"], where + ".normal", "[mean, standard deviation]");
    if (deviation < 0.0) {
      reader.fail(where + ".normal[1]", "the standard deviation must be >= 0, got " + describeJson(value["normal"][1]));
    }
    distribution.first = mean;
    distribution.second = deviation;
    if (value.contains("bounds")) {
      const auto [lower, upper] = reader.pair(value["bounds"], where + ".bounds", "[lower, upper]");
      if (lower > upper) {
        reader.fail(where + ".bounds", "bounds reversed: lower " + describeJson(value["bounds"][0]) +
                                           " is above upper " + describeJson(value["bounds"][1]));
      }
      if (deviation == 0.0 && (mean < lower || mean > upper)) {
        reader.fail(where + ".bounds", "the mean lies outside the bounds and the standard deviation is 0");
      }
      distribution.bounded = true;
      distribution.lower = lower;
      distribution.upper = upper;
    }
  } else {
    distribution.kind = Distribution::Kind::Choice;
    distribution.choices = reader.numberList(value["choice"], where + ".choice");
  }
  return distribution;
}

}  // namespace

double Distribution::sample(std::uint64_t seed, std::uint64_t run, std::uint64_t field) const {
  RandomStream stream = RandomStream::forRun(seed, run, field);
  switch (kind) {
    case Kind::Uniform:
      return first + (second - first) * stream.nextUnit();
    case Kind::Choice:
      return choices[static_cast<std::size_t>(stream.next() % choices.size())];
    case Kind::Normal:
      break;
  }
  for (int draw = 0; draw < kMaxNormalDraws; ++draw) {
    const double value = first + second * normalQuantile(stream.nextOpenUnit());
    if (!bounded || (value >= lower && value <= upper)) {
      return value;
    }
  }
  throw SweepError("run " + std::to_string(run) + ": no draw of the normal distribution fell inside its bounds in " +
                   std::to_string(kMaxNormalDraws) + " tries; the bounds hold almost none of it");
}

namespace {

// A scenario's vehicle files are named relative to the sweep definition; the runs' scenarios
// are read from text, so they get the paths from the definition's folder.
void resolveScenarioVehicle(Json &scenario, const std::string &fileName) {
  if (const auto vehicle = scenario.find("vehicle"); vehicle != scenario.end()) {
    engine::resolveVehiclePaths(*vehicle, std::filesystem::u8path(fileName).parent_path());
  }
}

}  // namespace

SweepDefinition SweepDefinition::parse(const std::string &text, const std::string &fileName) {
  return fromJson(parseSweepJson(text, fileName), fileName);
}

SweepDefinition SweepDefinition::fromJson(const Json &document, const std::string &fileName) {
  const Reader reader(fileName);
  SweepDefinition definition;
  definition.fileName_ = fileName;

  if (document.is_array()) {
    if (document.empty()) {
      reader.fail("", "the list of scenarios is empty");
    }
    definition.kind_ = Kind::ScenarioList;
    for (std::size_t index = 0; index < document.size(); ++index) {
      definition.scenarios_.push_back(reader.object(document[index], "[" + std::to_string(index) + "]"));
      resolveScenarioVehicle(definition.scenarios_.back(), fileName);
    }
    definition.runCount_ = definition.scenarios_.size();
    return definition;
  }
  if (!document.is_object()) {
    reader.fail("",
                "expected a sweep definition (an object with \"base\" and \"grid\" or \"monte_carlo\") "
                "or a list of scenarios");
  }
  reader.onlyKeys(document, "top level", {"name", "description", "base", "grid", "monte_carlo"});
  if (!document.contains("base")) {
    reader.fail("", "\"base\" is missing: the scenario that the sweep varies");
  }
  definition.base_ = reader.object(document["base"], "base");
  resolveScenarioVehicle(definition.base_, fileName);
  const Json &base = definition.base_;
  const bool hasGrid = document.contains("grid");
  const bool hasMonteCarlo = document.contains("monte_carlo");
  if (hasGrid == hasMonteCarlo) {
    reader.fail("", hasGrid ? "give either \"grid\" or \"monte_carlo\", not both"
                            : "expected \"grid\" (lists of values) or \"monte_carlo\" (distributions)");
  }

  if (hasGrid) {
    definition.kind_ = Kind::Grid;
    const Json &grid = reader.object(document["grid"], "grid");
    if (grid.empty()) {
      reader.fail("grid", "no fields to vary; name at least one, e.g. \"inputs.InitialSpeed\": [5, 10]");
    }
    std::uint64_t runs = 1;
    for (const auto &member : grid.items()) {
      const std::string where = quotedKey("grid", member.key());
      VariedField field{reader.path(member.key(), base, where), reader.numberList(member.value(), where), {}};
      if (runs > kMaxRuns / field.gridValues.size()) {
        reader.fail("grid", "the full product has more than 2^53 runs");
      }
      runs *= field.gridValues.size();
      definition.fields_.push_back(std::move(field));
    }
    definition.runCount_ = runs;
    return definition;
  }

  definition.kind_ = Kind::MonteCarlo;
  const Json &monteCarlo = reader.object(document["monte_carlo"], "monte_carlo");
  reader.onlyKeys(monteCarlo, "monte_carlo", {"count", "seed", "fields"});
  for (const char *key : {"count", "seed", "fields"}) {
    if (!monteCarlo.contains(key)) {
      reader.fail(std::string("monte_carlo.") + key,
                  std::string("missing") + (std::string(key) == "seed" ? "; a seed makes the sample repeatable, e.g. "
                                                                         "\"seed\": 1"
                                                                       : ""));
    }
  }
  definition.runCount_ =
      reader.wholeNumber(monteCarlo["count"], "monte_carlo.count", 1, kMaxRuns, "a whole number of runs >= 1");
  definition.seed_ =
      reader.wholeNumber(monteCarlo["seed"], "monte_carlo.seed", 0, UINT64_MAX, "a whole number from 0 to 2^64 - 1");
  const Json &fields = reader.object(monteCarlo["fields"], "monte_carlo.fields");
  if (fields.empty()) {
    reader.fail("monte_carlo.fields",
                "no fields to vary; name at least one, e.g. "
                "\"inputs.InitialSpeed\": {\"uniform\": [5, 35]}");
  }
  for (const auto &member : fields.items()) {
    const std::string where = quotedKey("monte_carlo.fields", member.key());
    definition.fields_.push_back(
        VariedField{reader.path(member.key(), base, where), {}, readDistribution(reader, member.value(), where)});
  }
  return definition;
}

std::vector<double> SweepDefinition::valuesOfRun(std::uint64_t run) const {
  std::vector<double> values(fields_.size());
  if (kind_ == Kind::Grid) {
    // The last field changes fastest.
    for (std::size_t index = fields_.size(); index-- > 0;) {
      const std::vector<double> &choices = fields_[index].gridValues;
      values[index] = choices[static_cast<std::size_t>(run % choices.size())];
      run /= choices.size();
    }
  } else if (kind_ == Kind::MonteCarlo) {
    for (std::size_t index = 0; index < fields_.size(); ++index) {
      try {
        values[index] = fields_[index].distribution.sample(seed_, run, index);
        if (!std::isfinite(values[index])) {
          // Parameters near the largest doubles (a standard deviation of 1e308, a uniform
          // range from -1e308 to 1e308) overflow.
          throw SweepError("run " + std::to_string(run) + ": the draw is " + engine::shortestText(values[index]) +
                           "; a sampled value must be a finite number (make the distribution's parameters smaller)");
        }
      } catch (const SweepError &error) {
        throw SweepError(fileName_ + ": " + quotedKey("monte_carlo.fields", fields_[index].path.text()) + ": " +
                         error.what());
      }
    }
  }
  return values;
}

Json SweepDefinition::scenarioOfRun(std::uint64_t run, const std::vector<double> &values) const {
  if (kind_ == Kind::ScenarioList) {
    return scenarios_.at(static_cast<std::size_t>(run));
  }
  Json scenario = base_;
  for (std::size_t index = 0; index < fields_.size(); ++index) {
    fields_[index].path.apply(scenario, values[index]);
  }
  return scenario;
}

}  // namespace corvanta::sweep
