#include "engine/scenario/JsonScenario.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/driving/DrivingJson.h"
#include "engine/messages/NameSuggestion.h"
#include "engine/messages/ScenarioError.h"
#include "engine/output/NumberText.h"
#include "engine/scenario/JsonDocument.h"
#include "engine/scenario/VehicleChoice.h"

namespace corvanta::engine {

namespace {

std::vector<std::string_view> inputNameList() {
  return std::vector<std::string_view>(kInputNames.begin(), kInputNames.end());
}

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
    rejectUnknownKeys(root, "", {"name", "description", "duration", "inputs", "events", "driver", "vehicle"});
    Schedule schedule;
    schedule.name = optionalString(root, "name");
    schedule.description = optionalString(root, "description");
    if (const auto vehicle = root.find("vehicle"); vehicle != root.end()) {
      // Paths in the scenario are relative to the scenario's folder.
      Json resolved = *vehicle;
      resolveVehiclePaths(resolved, std::filesystem::u8path(fileName_).parent_path());
      schedule.vehicle = readVehicleChoice(resolved, fileName_, "vehicle");
    }
    schedule.stepCount = readDuration(root);
    if (const auto inputs = root.find("inputs"); inputs != root.end()) {
      for (const InputChange &change : readInputValues(*inputs, "inputs")) {
        schedule.initialInputs[static_cast<std::size_t>(change.input)] = change.value;
      }
    }
    if (const auto events = root.find("events"); events != root.end()) {
      readEvents(*events, schedule);
    }
    if (const auto driver = root.find("driver"); driver != root.end()) {
      schedule.driving.driver = readDriver(*driver, "driver", fileName_);
    }
    return schedule;
  }

 private:
  [[noreturn]] void fail(const std::string &path, const std::string &problem) const {
    throw ScenarioError::atPath(fileName_, path, problem);
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
        fail(childPath(path, item.key()),
             "unknown key" + didYouMean(item.key(), std::vector<std::string_view>(allowed)) + "; expected " + expected);
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
      fail(path, count.error + ", got " + shortestText(time));
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
        fail(itemPath,
             "unknown input name" + didYouMean(item.key(), inputNameList()) + "; expected " + listOfInputNames());
      }
      changes.push_back(InputChange{*input, number(item.value(), itemPath)});
    }
    return changes;
  }

  // Timed events into the schedule's list, condition events ("when") into its driving part.
  void readEvents(const Json &events, Schedule &target) const {
    if (!events.is_array()) {
      fail("events", std::string("expected an array, got ") + typeName(events));
    }
    std::vector<ScheduledEvent> &schedule = target.events;
    double previousTime = 0.0;
    for (std::size_t index = 0; index < events.size(); ++index) {
      const std::string path = elementPath("events", index);
      if (events[index].is_object() && events[index].contains("when")) {
        target.driving.events.push_back(readConditionEvent(events[index], path, fileName_));
        continue;
      }
      const double time = eventTime(events[index], path);
      // A time that cannot be counted in steps is reported as such before any ordering.
      steps(time, childPath(path, "time"));
      if (time < previousTime) {
        fail(childPath(path, "time"),
             "times must not decrease; " + shortestText(time) + " comes after " + shortestText(previousTime));
      }
      previousTime = time;
      schedule.push_back(readEvent(events[index], path, time));
    }
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
        fail(untilPath,
             "expected a time after the event's time " + shortestText(time) + ", got " + shortestText(endTime));
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
  return readJsonScenario(parseJsonDocument(text, fileName), fileName);
}

Schedule readJsonScenario(const Json &document, const std::string &fileName) {
  return ScenarioReader(fileName).read(document);
}

}  // namespace corvanta::engine
