#include "engine/testsuite/TestOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>
#include <string_view>

#include "engine/driving/Condition.h"
#include "engine/messages/NameSuggestion.h"
#include "runtime/DoubleText.h"

namespace corvanta::testsuite {

std::string joinedNames(const std::vector<std::string> &names, const std::string &prefix) {
  std::string text;
  for (const std::string &name : names) {
    text += (text.empty() ? "" : ", ") + prefix + name;
  }
  return text;
}

std::string suggestion(const std::string &name, const std::vector<std::string> &known, const std::string &prefix) {
  const std::vector<std::string_view> views(known.begin(), known.end());
  const std::optional<std::string> closest = engine::closestName(name, views);
  return closest ? " (did you mean '" + prefix + *closest + "'?)" : std::string();
}

OptionValues resolveOptions(const std::string &test, const std::vector<TestOption> &options,
                            const std::vector<std::pair<std::string, std::string>> &given) {
  OptionValues values;
  std::vector<std::string> names;
  for (const TestOption &option : options) {
    values[option.name] = option.vehicleParameter.empty() ? option.value : NAN;
    names.push_back(option.name);
  }
  std::set<std::string> seen;
  for (const auto &entry : given) {
    const std::string &name = entry.first;  // named, not bound: lambdas may capture it
    const std::string &text = entry.second;
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const TestOption &candidate) { return candidate.name == name; });
    if (option == options.end()) {
      throw TestOptionError(test + ": unknown option '--" + name + "'" + suggestion(name, names, "--") +
                            "; the options are " + joinedNames(names, "--"));
    }
    if (!seen.insert(name).second) {
      throw TestOptionError(test + ": --" + name + " is given twice");
    }
    double value = 0.0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = doubletext::fromChars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
      throw TestOptionError(test + ": --" + name + ": expected a number in " + option->unit + ", got '" + text + "'");
    }
    if (value < option->min || value > option->max) {
      throw TestOptionError(test + ": --" + name + " " + text + " is out of range: expected " +
                            driving::shortestText(option->min) + " to " + driving::shortestText(option->max) + " " +
                            option->unit);
    }
    values[name] = value;
  }
  return values;
}

}  // namespace corvanta::testsuite
