#include "engine/driving/DrivingJson.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "engine/driving/PathShapes.h"
#include "engine/messages/NameSuggestion.h"
#include "engine/messages/ScenarioError.h"
#include "engine/output/NumberText.h"
#include "engine/running/Schedule.h"

namespace corvanta::engine {

namespace {

using driving::SpeedControllerSettings;

class DrivingReader {
 public:
  explicit DrivingReader(const std::string &source) : source_(source) {}

  [[noreturn]] void fail(const std::string &path, const std::string &problem) const {
    throw ScenarioError::atPath(source_, path, problem);
  }

  void expectObject(const Json &value, const std::string &path) const {
    if (!value.is_object()) {
      fail(path, "expected an object");
    }
  }

  void onlyKeys(const Json &object, const std::string &path, std::initializer_list<std::string_view> allowed) const {
    for (const auto &item : object.items()) {
      if (std::find(allowed.begin(), allowed.end(), item.key()) == allowed.end()) {
        std::string expected;
        std::size_t index = 0;
        for (const std::string_view key : allowed) {
          expected += (index == 0) ? "" : (index + 1 == allowed.size()) ? " or " : ", ";
          expected += std::string(key);
          ++index;
        }
        fail(childPath(path, item.key()),
             "unknown key" + didYouMean(item.key(), std::vector<std::string_view>(allowed)) + "; expected " + expected);
      }
    }
  }

  double number(const Json &value, const std::string &path) const {
    if (!value.is_number()) {
      fail(path, "expected a number");
    }
    const double result = value.get<double>();
    if (!std::isfinite(result)) {
      fail(path, "expected a finite number");
    }
    return result;
  }

  double positive(const Json &object, const std::string &path, const char *key, double fallback) const {
    const auto found = object.find(key);
    if (found == object.end()) {
      return fallback;
    }
    const double value = number(*found, childPath(path, key));
    if (!(value > 0.0)) {
      fail(childPath(path, key), "expected a number > 0, got " + shortestText(value));
    }
    return value;
  }

  double optionalNumber(const Json &object, const std::string &path, const char *key, double fallback) const {
    const auto found = object.find(key);
    return found == object.end() ? fallback : number(*found, childPath(path, key));
  }

  std::vector<double> numbers(const Json &value, const std::string &path) const {
    if (!value.is_array() || value.empty()) {
      fail(path, "expected a non-empty array of numbers");
    }
    std::vector<double> result;
    for (std::size_t index = 0; index < value.size(); ++index) {
      result.push_back(number(value[index], elementPath(path, index)));
    }
    return result;
  }

  double gear(const Json &value, const std::string &path) const {
    if (value == "drive") {
      return driving::kGearDrive;
    }
    if (value == "reverse") {
      return driving::kGearReverse;
    }
    if (value == "neutral") {
      return driving::kGearNeutral;
    }
    fail(path, "expected \"drive\", \"reverse\" or \"neutral\"");
  }

  SpeedControllerSettings speed(const Json &object, const std::string &path) const {
    expectObject(object, path);
    onlyKeys(object, path,
             {"target", "profile", "demand", "gear", "kp", "ki", "integral_band", "min_demand", "max_demand"});
    SpeedControllerSettings settings;
    const int modes = static_cast<int>(object.contains("target")) + static_cast<int>(object.contains("profile")) +
                      static_cast<int>(object.contains("demand"));
    if (modes != 1) {
      fail(path, "expected exactly one of \"target\" (m/s), \"profile\" or \"demand\" (m/s^2)");
    }
    if (const auto target = object.find("target"); target != object.end()) {
      settings.target = number(*target, childPath(path, "target"));
    } else if (const auto profile = object.find("profile"); profile != object.end()) {
      const std::string profilePath = childPath(path, "profile");
      expectObject(*profile, profilePath);
      onlyKeys(*profile, profilePath, {"time", "distance", "speed"});
      settings.mode = SpeedControllerSettings::Mode::Profile;
      settings.profile.overDistance = profile->contains("distance");
      if (profile->contains("distance") == profile->contains("time") || !profile->contains("speed")) {
        fail(profilePath, "expected \"speed\" and one of \"time\" (s) or \"distance\" (m)");
      }
      const char *axis = settings.profile.overDistance ? "distance" : "time";
      settings.profile.at = numbers(profile->at(axis), childPath(profilePath, axis));
      settings.profile.speed = numbers(profile->at("speed"), childPath(profilePath, "speed"));
    } else {
      settings.mode = SpeedControllerSettings::Mode::Demand;
      settings.demand = number(object.at("demand"), childPath(path, "demand"));
    }
    if (const auto gearValue = object.find("gear"); gearValue != object.end()) {
      if (settings.mode != SpeedControllerSettings::Mode::Demand) {
        fail(childPath(path, "gear"),
             "\"gear\" goes with \"demand\"; a target speed chooses drive or reverse by "
             "its sign");
      }
      settings.gear = gear(*gearValue, childPath(path, "gear"));
    }
    settings.kp = optionalNumber(object, path, "kp", settings.kp);
    settings.ki = optionalNumber(object, path, "ki", settings.ki);
    settings.integralBand = positive(object, path, "integral_band", settings.integralBand);
    settings.minDemand = optionalNumber(object, path, "min_demand", settings.minDemand);
    settings.maxDemand = optionalNumber(object, path, "max_demand", settings.maxDemand);
    check(path, [&] { driving::validate(settings); });
    return settings;
  }

  template <typename Check>
  void check(const std::string &path, Check check) const {
    try {
      check();
    } catch (const driving::DrivingError &error) {
      fail(path, error.what());
    }
  }

  driving::PathDefinition path(const Json &object, const std::string &path,
                               driving::PathFollowerSettings &follower) const {
    expectObject(object, path);
    onlyKeys(object, path,
             {"points", "closed", "straight", "circle", "lane_change", "double_lane_change", "look_ahead_time",
              "min_look_ahead", "wheelbase", "max_angle", "max_rate"});
    const char *const shapes[] = {"points", "straight", "circle", "lane_change", "double_lane_change"};
    const char *shape = nullptr;
    for (const char *candidate : shapes) {
      if (object.contains(candidate)) {
        if (shape != nullptr) {
          fail(path, std::string("expected one shape, got \"") + shape + "\" and \"" + candidate + "\"");
        }
        shape = candidate;
      }
    }
    if (shape == nullptr) {
      fail(path,
           "expected one of \"points\", \"straight\", \"circle\", \"lane_change\" or "
           "\"double_lane_change\"");
    }
    if (object.contains("closed") && std::string_view(shape) != "points") {
      fail(childPath(path, "closed"), "\"closed\" goes with \"points\"");
    }
    driving::PathDefinition setup;
    const std::string shapePath = childPath(path, shape);
    const Json &value = object.at(shape);
    check(shapePath, [&] { setup = shapeOf(shape, value, shapePath); });
    if (const auto closed = object.find("closed"); closed != object.end()) {
      if (!closed->is_boolean()) {
        fail(childPath(path, "closed"), "expected true or false");
      }
      setup.closed = closed->get<bool>();
    }
    check(shapePath, [&] { driving::Path(setup.points, setup.closed); });
    follower.lookAheadTime = positive(object, path, "look_ahead_time", follower.lookAheadTime);
    follower.minLookAhead = positive(object, path, "min_look_ahead", follower.minLookAhead);
    follower.wheelbase = positive(object, path, "wheelbase", follower.wheelbase);
    follower.maxAngle = positive(object, path, "max_angle", follower.maxAngle);
    follower.maxRate = positive(object, path, "max_rate", follower.maxRate);
    return setup;
  }

  driving::PathDefinition shapeOf(std::string_view shape, const Json &value, const std::string &path) const {
    if (shape == "points") {
      if (!value.is_array()) {
        fail(path, "expected an array of [x, y] points in m");
      }
      driving::PathDefinition setup;
      setup.description = "points";
      for (std::size_t index = 0; index < value.size(); ++index) {
        const std::string pointPath = elementPath(path, index);
        if (!value[index].is_array() || value[index].size() != 2) {
          fail(pointPath, "expected a point [x, y] in m");
        }
        setup.points.push_back(
            {number(value[index][0], elementPath(pointPath, 0)), number(value[index][1], elementPath(pointPath, 1))});
      }
      return setup;
    }
    expectObject(value, path);
    if (shape == "straight") {
      onlyKeys(value, path, {"length"});
      return {driving::straightPath(positive(value, path, "length", 1000.0)), false, "straight"};
    }
    if (shape == "circle") {
      onlyKeys(value, path, {"radius", "direction"});
      if (!value.contains("radius")) {
        fail(childPath(path, "radius"), "missing; expected the radius in m");
      }
      bool left = true;
      if (const auto direction = value.find("direction"); direction != value.end()) {
        if (*direction != "left" && *direction != "right") {
          fail(childPath(path, "direction"), "expected \"left\" or \"right\"");
        }
        left = *direction == "left";
      }
      return {driving::circlePath(positive(value, path, "radius", 0.0), left), true, "circle"};
    }
    if (shape == "lane_change") {
      onlyKeys(value, path, {"start", "length", "offset"});
      return {driving::singleLaneChangePath(positive(value, path, "start", 50.0), positive(value, path, "length", 30.0),
                                            optionalNumber(value, path, "offset", 3.5)),
              false, "lane change"};
    }
    onlyKeys(value, path, {"offset", "vehicle_width", "lead_in"});
    driving::LaneChangeCourse course;
    course.offset = optionalNumber(value, path, "offset", course.offset);
    course.vehicleWidth = positive(value, path, "vehicle_width", course.vehicleWidth);
    course.leadIn = positive(value, path, "lead_in", course.leadIn);
    return {driving::laneChangePath(course), false, "double lane change"};
  }

  driving::DriverSetup driver(const Json &object, const std::string &path) const {
    expectObject(object, path);
    onlyKeys(object, path, {"speed", "path", "update_period"});
    driving::DriverSetup setup;
    if (const auto speedValue = object.find("speed"); speedValue != object.end()) {
      setup.speed = speed(*speedValue, childPath(path, "speed"));
    }
    if (const auto pathValue = object.find("path"); pathValue != object.end()) {
      setup.path = this->path(*pathValue, childPath(path, "path"), setup.follower);
    }
    if (const auto period = object.find("update_period"); period != object.end()) {
      const std::string periodPath = childPath(path, "update_period");
      const double seconds = number(*period, periodPath);
      const double steps = stepCountOf(seconds);
      if (!(steps >= 1.0) || steps > 1e6 || std::fabs(steps * kStepSize - seconds) > 1e-12) {
        fail(periodPath,
             "expected a whole number of 0.0001 s steps from 0.0001 to 100 s, got " + shortestText(seconds));
      }
      setup.updateSteps = static_cast<std::uint64_t>(steps);
    }
    return setup;
  }

  // A condition fires when it becomes true, never because it holds from the start.  One
  // on the time alone that holds after the first step ("time > 0", "time < 5") can never
  // become true again, and would silently never fire: refused.
  void refuseTimeConditionHoldingFromTheStart(const std::vector<driving::Comparison> &comparisons,
                                              const std::string &path) const {
    driving::SignalFrame first{};
    first[driving::kTime] = kStepSize;
    for (const driving::Comparison &comparison : comparisons) {
      if (comparison.signal != driving::kTime || !comparison.holds(first)) {
        return;
      }
    }
    fail(path, "holds from the first step (time " + shortestText(kStepSize) +
                   " s) on, so it never fires: a condition fires when it becomes true; for a fixed time use an "
                   "event with \"time\"");
  }

  std::vector<driving::Comparison> when(const Json &object, const std::string &path) const {
    expectObject(object, path);
    if (object.empty()) {
      fail(path, "expected at least one signal, as {\"LongitudinalSpeed\": {\"<\": 0.05}}");
    }
    std::vector<std::string_view> names(driving::kSignalNames.begin(), driving::kSignalNames.end());
    std::vector<driving::Comparison> comparisons;
    for (const auto &item : object.items()) {
      const std::string signalPath = childPath(path, item.key());
      const std::optional<driving::Signal> signal = driving::findSignal(item.key());
      if (!signal) {
        fail(signalPath,
             "unknown signal" + didYouMean(item.key(), names) + "; expected " + driving::listOfSignalNames());
      }
      expectObject(item.value(), signalPath);
      if (item.value().empty()) {
        fail(signalPath, "expected a comparison, as {\"<\": 0.05}");
      }
      for (const auto &comparison : item.value().items()) {
        driving::Comparison::Operator op{};
        if (!driving::parseOperator(comparison.key(), op)) {
          fail(childPath(signalPath, comparison.key()), "expected \"<\", \"<=\", \">\" or \">=\"");
        }
        comparisons.push_back({*signal, op, number(comparison.value(), childPath(signalPath, comparison.key()))});
      }
    }
    refuseTimeConditionHoldingFromTheStart(comparisons, path);
    return comparisons;
  }

  driving::ConditionEvent conditionEvent(const Json &event, const std::string &path) const {
    expectObject(event, path);
    for (const char *timed : {"time", "until", "ramp", "initialize"}) {
      if (event.contains(timed)) {
        fail(childPath(path, timed), std::string("\"") + timed +
                                         "\" does not go with \"when\": a condition event "
                                         "may \"set\" inputs, change the \"driver\" or \"stop\" the run");
      }
    }
    onlyKeys(event, path, {"when", "set", "stop", "driver"});
    driving::ConditionEvent result;
    result.when = when(event.at("when"), childPath(path, "when"));
    if (const auto set = event.find("set"); set != event.end()) {
      const std::string setPath = childPath(path, "set");
      expectObject(*set, setPath);
      std::vector<std::string_view> names(kInputNames.begin(), kInputNames.end());
      for (const auto &item : set->items()) {
        const std::optional<int> input = findInput(item.key());
        if (!input) {
          fail(childPath(setPath, item.key()),
               "unknown input name" + didYouMean(item.key(), names) + "; expected " + listOfInputNames());
        }
        result.sets.push_back({*input, number(item.value(), childPath(setPath, item.key()))});
      }
    }
    if (const auto stop = event.find("stop"); stop != event.end()) {
      if (!stop->is_boolean()) {
        fail(childPath(path, "stop"), "expected true or false");
      }
      result.stop = stop->get<bool>();
    }
    if (const auto change = event.find("driver"); change != event.end()) {
      const std::string changePath = childPath(path, "driver");
      expectObject(*change, changePath);
      onlyKeys(*change, changePath, {"speed"});
      if (!change->contains("speed")) {
        fail(changePath, "expected \"speed\": a new speed setting, or null to release the pedals");
      }
      result.changesSpeed = true;
      const Json &speedValue = change->at("speed");
      if (!speedValue.is_null()) {
        result.speed = speed(speedValue, childPath(changePath, "speed"));
      }
    }
    return result;
  }

 private:
  const std::string &source_;
};

}  // namespace

driving::DriverSetup readDriver(const Json &driver, const std::string &path, const std::string &source) {
  return DrivingReader(source).driver(driver, path);
}

driving::ConditionEvent readConditionEvent(const Json &event, const std::string &path, const std::string &source) {
  return DrivingReader(source).conditionEvent(event, path);
}

}  // namespace corvanta::engine
