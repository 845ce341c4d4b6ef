#include "JsonScenario.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace corvanta::sim {

namespace {

// Objects keep their keys in file order, so that the first problem in the file is the one
// reported.
using Json = nlohmann::ordered_json;

std::string childPath(const std::string &parent, std::string_view key) {
  return parent.empty() ? std::string(key) : parent + "." + std::string(key);
}

std::string elementPath(const std::string &parent, std::size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

// Builds the document like nlohmann's own parser, and in addition rejects a key that
// appears twice in one object (the parser would silently keep the last value) and keeps
// the byte position of a syntax error.
class DocumentBuilder final : public nlohmann::json_sax<Json> {
 public:
  explicit DocumentBuilder(Json &root) : root_(root) {}

  bool null() override { return place(Json(nullptr)) != nullptr; }
  bool boolean(bool value) override { return place(Json(value)) != nullptr; }
  bool number_integer(number_integer_t value) override { return place(Json(value)) != nullptr; }
  bool number_unsigned(number_unsigned_t value) override { return place(Json(value)) != nullptr; }
  bool number_float(number_float_t value, const string_t &) override { return place(Json(value)) != nullptr; }
  bool string(string_t &value) override { return place(Json(std::move(value))) != nullptr; }
  bool binary(binary_t &value) override { return place(Json::binary(std::move(value))) != nullptr; }
  bool start_object(std::size_t) override { return open(Json::object()); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_array() override { return close(); }

  bool key(string_t &name) override {
    if (containers_.back()->contains(name)) {
      duplicatePath_ = paths_.back();
      duplicateKey_ = name;
      return false;
    }
    key_ = std::move(name);
    return true;
  }

  bool parse_error(std::size_t position, const std::string &, const Json::exception &error) override {
    syntaxErrorPosition_ = position;
    syntaxError_ = error.what();
    return false;
  }

  // The reason the parse stopped, as "FILE:LINE:COLUMN: ..." or "FILE: PATH: ...".
  std::string failure(const std::string &text, const std::string &fileName) const {
    if (!duplicateKey_.empty()) {
      return fileName + ": " + (duplicatePath_.empty() ? "top level" : duplicatePath_) + ": the key \"" +
             duplicateKey_ + "\" appears twice";
    }
    return fileName + ":" + lineAndColumn(text, syntaxErrorPosition_) + ": malformed JSON: " +
           withoutLibraryPrefix(syntaxError_);
  }

 private:
  // Inserts a value at the current position and returns where it now lives.  Pointers to
  // the open containers stay valid: a container only grows while it is the innermost.
  Json *place(Json value) {
    if (containers_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json &parent = *containers_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    Json &slot = parent[key_];
    slot = std::move(value);
    return &slot;
  }

  bool open(Json container) {
    std::string path;
    if (!containers_.empty()) {
      const Json &parent = *containers_.back();
      path = parent.is_array() ? elementPath(paths_.back(), parent.size()) : childPath(paths_.back(), key_);
    }
    containers_.push_back(place(std::move(container)));
    paths_.push_back(std::move(path));
    return true;
  }

  bool close() {
    containers_.pop_back();
    paths_.pop_back();
    return true;
  }

  // nlohmann counts a position as the number of bytes read; the line is one more than the
  // newlines among them and the column the bytes read since the last newline.
  static std::string lineAndColumn(const std::string &text, std::size_t position) {
    const std::size_t scanned = std::min(position, text.size());
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(scanned), '\n'));
    const std::size_t lastNewline = (scanned == 0) ? std::string::npos : text.rfind('\n', scanned - 1);
    const std::size_t column = (lastNewline == std::string::npos) ? position : position - (lastNewline + 1);
    return std::to_string(lines + 1) + ":" + std::to_string(column);
  }

  // "[json.exception.parse_error.101] parse error at line 3, column 5: syntax error ..." ->
  // "syntax error ..."; the position is reported separately.
  static std::string withoutLibraryPrefix(const std::string &message) {
    std::string text = message;
    if (!text.empty() && text.front() == '[') {
      const std::size_t end = text.find("] ");
      if (end != std::string::npos) {
        text.erase(0, end + 2);
      }
    }
    if (text.rfind("parse error", 0) == 0) {
      const std::size_t colon = text.find(": ");
      if (colon != std::string::npos) {
        text.erase(0, colon + 2);
      }
    }
    return text;
  }

  Json &root_;
  std::vector<Json *> containers_;
  std::vector<std::string> paths_;
  std::string key_;
  std::size_t syntaxErrorPosition_ = 0;
  std::string syntaxError_;
  std::string duplicatePath_;
  std::string duplicateKey_;
};

const char *typeName(const Json &value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return "a number";
    default:
      return "a binary value";
  }
}

// Checks a parsed document against the scenario schema and turns it into a Schedule.
class ScenarioReader {
 public:
  explicit ScenarioReader(const std::string &fileName) : fileName_(fileName) {}

  Schedule read(const Json &root) {
    expectObject(root, "");
    rejectUnknownKeys(root, "", {"name", "description", "duration", "inputs", "events"});
    Schedule schedule;
    schedule.name = optionalString(root, "name");
    schedule.description = optionalString(root, "description");
    schedule.stepCount = readDuration(root);
    if (const auto inputs = root.find("inputs"); inputs != root.end()) {
      for (const InputChange &change : readInputValues(*inputs, "inputs")) {
        schedule.initialInputs[static_cast<std::size_t>(change.input)] = change.value;
      }
    }
    if (const auto events = root.find("events"); events != root.end()) {
      schedule.events = readEvents(*events);
    }
    return schedule;
  }

 private:
  [[noreturn]] void fail(const std::string &path, const std::string &problem) const {
    throw ScenarioError(fileName_ + ": " + (path.empty() ? std::string("top level") : path) + ": " + problem);
  }

  void expectObject(const Json &value, const std::string &path) const {
    if (!value.is_object()) {
      fail(path, std::string("expected an object, got ") + typeName(value));
    }
  }

  void rejectUnknownKeys(const Json &object, const std::string &path,
                         std::initializer_list<std::string_view> allowed) const {
    for (const auto &item : object.items()) {
      if (std::find(allowed.begin(), allowed.end(), item.key()) == allowed.end()) {
        std::string expected;
        std::size_t index = 0;
        for (std::string_view key : allowed) {
          expected += (index == 0) ? "" : (index + 1 == allowed.size()) ? " or " : ", ";
          expected += key;
          ++index;
        }
        fail(childPath(path, item.key()), "unknown key; expected " + expected);
      }
    }
  }

  std::string optionalString(const Json &object, const char *key) const {
    const auto found = object.find(key);
    if (found == object.end()) {
      return std::string();
    }
    if (!found->is_string()) {
      fail(key, std::string("expected a string, got ") + typeName(*found));
    }
    return found->get<std::string>();
  }

  double number(const Json &value, const std::string &path) const {
    if (!value.is_number()) {
      fail(path, std::string("expected a number, got ") + typeName(value));
    }
    const double result = value.get<double>();
    if (!std::isfinite(result)) {
      fail(path, "expected a finite number");
    }
    return result;
  }

  // A time in seconds, checked and converted to its step count.
  std::uint64_t steps(double time, const std::string &path) const {
    const StepCountResult count = checkedStepCount(time);
    if (!count.error.empty()) {
      fail(path, count.error + ", got " + formatNumber(time));
    }
    return count.steps;
  }

  std::uint64_t readDuration(const Json &root) const {
    const auto found = root.find("duration");
    if (found == root.end()) {
      fail("duration", "missing; expected the model time to run, in seconds");
    }
    return steps(number(*found, "duration"), "duration");
  }

  std::vector<InputChange> readInputValues(const Json &object, const std::string &path) const {
    expectObject(object, path);
    std::vector<InputChange> changes;
    for (const auto &item : object.items()) {
      const std::string itemPath = childPath(path, item.key());
      const std::optional<int> input = findInput(item.key());
      if (!input) {
        fail(itemPath, "unknown input name; expected " + listOfInputNames());
      }
      changes.push_back(InputChange{*input, number(item.value(), itemPath)});
    }
    return changes;
  }

  std::vector<ScheduledEvent> readEvents(const Json &events) const {
    if (!events.is_array()) {
      fail("events", std::string("expected an array, got ") + typeName(events));
    }
    std::vector<ScheduledEvent> schedule;
    double previousTime = 0.0;
    for (std::size_t index = 0; index < events.size(); ++index) {
      const std::string path = elementPath("events", index);
      const double time = eventTime(events[index], path);
      // A time that cannot be counted in steps is reported as such before any ordering.
      steps(time, childPath(path, "time"));
      if (time < previousTime) {
        fail(childPath(path, "time"), "times must not decrease; " + formatNumber(time) + " comes after " +
                                          formatNumber(previousTime));
      }
      previousTime = time;
      schedule.push_back(readEvent(events[index], path, time));
    }
    return schedule;
  }

  double eventTime(const Json &event, const std::string &path) const {
    expectObject(event, path);
    rejectUnknownKeys(event, path, {"time", "initialize", "set", "until", "ramp"});
    const auto time = event.find("time");
    if (time == event.end()) {
      fail(childPath(path, "time"), "missing; expected the event time in seconds");
    }
    return number(*time, childPath(path, "time"));
  }

  ScheduledEvent readEvent(const Json &event, const std::string &path, double time) const {
    ScheduledEvent scheduled;
    scheduled.step = steps(time, childPath(path, "time"));
    if (const auto initialize = event.find("initialize"); initialize != event.end()) {
      if (!initialize->is_boolean()) {
        fail(childPath(path, "initialize"), std::string("expected true or false, got ") + typeName(*initialize));
      }
      scheduled.initialize = initialize->get<bool>();
    }
    if (const auto set = event.find("set"); set != event.end()) {
      scheduled.sets = readInputValues(*set, childPath(path, "set"));
    }
    const auto ramp = event.find("ramp");
    const auto until = event.find("until");
    if (ramp != event.end() && until == event.end()) {
      fail(path, "\"ramp\" needs \"until\", the time at which the ramp reaches its targets");
    }
    if (until != event.end() && ramp == event.end()) {
      fail(childPath(path, "until"), "\"until\" belongs to a \"ramp\", and this event has none");
    }
    if (ramp != event.end()) {
      const std::string untilPath = childPath(path, "until");
      const double endTime = number(*until, untilPath);
      if (!(endTime > time)) {
        fail(untilPath, "expected a time after the event's time " + formatNumber(time) + ", got " +
                            formatNumber(endTime));
      }
      const std::uint64_t endStep = steps(endTime, untilPath);
      for (const InputChange &target : readInputValues(*ramp, childPath(path, "ramp"))) {
        scheduled.ramps.push_back(RampStart{target.input, target.value, endStep});
      }
    }
    return scheduled;
  }

  const std::string &fileName_;
};

}  // namespace

Schedule parseJsonScenario(const std::string &text, const std::string &fileName) {
  Json document;
  DocumentBuilder builder(document);
  if (!Json::sax_parse(text, &builder)) {
    throw ScenarioError(builder.failure(text, fileName));
  }
  return ScenarioReader(fileName).read(document);
}

}  // namespace corvanta::sim
