#include "engine/testsuite/StandardTests.h"

#include <cmath>
#include <optional>

#include "engine/driving/SpeedController.h"
#include "engine/testsuite/TestProcedures.h"
#include "engine/testsuite/VehicleParameter.h"

namespace corvanta::testsuite {

const std::vector<TestDefinition> &standardTests() {
  static const std::vector<TestDefinition> tests = {
      {"steady-state-circle",
       "constant radius, slowly increasing speed: understeer gradient, largest lateral acceleration",
       {{"radius", 20.0, "m", "circle radius", 5.0, 500.0},
        {"start-speed", 3.0, "m/s", "speed held for the first 5 s", 1.0, 15.0},
        {"end-speed", 12.0, "m/s", "target speed at the end of the ramp", 1.0, 15.0},
        {"ramp-time", 60.0, "s", "duration of the speed ramp", 5.0, 1000.0},
        {"fit-low", 0.5, "m/s^2", "lower end of the understeer-gradient fit range", 0.0, 20.0},
        {"fit-high", 4.0, "m/s^2", "upper end of the fit range", 0.1, 20.0}},
       steadyStateCircle},
      {"step-steer",
       "steering step at a held speed: yaw-rate gain, response time, peak response time, overshoot",
       {{"speed", 10.0, "m/s", "speed held by the driver", 1.0, 14.0},
        {"steer", 0.05, "rad", "road-wheel steering step (> 0 left)", -0.5, 0.5},
        {"rise-time", 0.1, "s", "time the steering takes to reach the step", 0.001, 1.0},
        {"hold", 5.0, "s", "time after the step", 2.0, 60.0}},
       stepSteer},
      {"frequency-response",
       "steering sines at a held speed: yaw-rate gain and phase against frequency (Bode plot)",
       {{"speed", 10.0, "m/s", "speed held by the driver", 1.0, 14.0},
        {"amplitude", 0.02, "rad", "road-wheel steering amplitude", 0.001, 0.2},
        {"min-frequency", 0.2, "Hz", "lowest frequency", 0.05, 10.0},
        {"max-frequency", 4.0, "Hz", "highest frequency", 0.05, 10.0},
        {"count", 8.0, "1", "number of frequencies (log spaced, one run each)", 1.0, 40.0},
        {"cycles", 4.0, "1", "cycles measured per frequency, after one settling cycle", 1.0, 50.0}},
       frequencyResponse},
      {"double-lane-change",
       "obstacle-avoidance double lane change: peak deviation, peak yaw rate, cones hit",
       {{"speed", 13.0, "m/s", "speed held by the driver (the car holds about 14 m/s at most)", 1.0, 15.0},
        {"width", 1.8, "m", "vehicle width b, which sets the lane widths", 1.0, 3.0},
        {"offset", 3.5, "m", "lateral offset of the middle lane", 0.5, 10.0}},
       doubleLaneChange},
      {"braking",
       "from a held speed to standstill: stopping distance, time, mean fully developed deceleration",
       {{"speed", 10.0, "m/s", "speed held before braking", 1.0, 14.0},
        {"demand", driving::kMinDemand, "m/s^2",
         "AccelerationDemand while braking; the strongest the brake map covers by default", driving::kMinDemand, -0.1}},
       brakingTest},
      {"acceleration",
       "from standstill: time and distance to given speeds",
       {{"to", 12.0, "m/s", "highest speed (the run stops there)", 0.5, 15.0},
        {"interval", 2.0, "m/s", "speeds reported: every interval up to --to", 0.1, 15.0},
        {"demand", driving::kMaxDemand, "m/s^2", "AccelerationDemand; the largest the throttle map covers by default",
         0.1, driving::kMaxDemand},
        {"time-limit", 60.0, "s", "longest run", 1.0, 600.0}},
       accelerationTest},
      {"coast-down",
       "in neutral from a given speed: road-load coefficients A, B, C",
       {{"speed", 15.0, "m/s", "start speed", 2.0, 30.0},
        {"end-speed", 3.0, "m/s", "the run stops below this speed", 0.5, 29.0},
        {"mass", NAN, "kg", "mass in F = m (-dv/dt)", 1.0, 100000.0, "VehicleMass"}},
       coastDown},
  };
  return tests;
}

const TestDefinition &findTest(const std::string &name) {
  std::vector<std::string> names;
  for (const TestDefinition &test : standardTests()) {
    if (test.name == name) {
      return test;
    }
    names.push_back(test.name);
  }
  throw TestOptionError("unknown test '" + name + "'" + suggestion(name, names, "") + "; the tests are " +
                        joinedNames(names, ""));
}

OptionValues resolveOptions(const TestDefinition &test, const std::vector<std::pair<std::string, std::string>> &given) {
  return resolveOptions(test.name, test.options, given);
}

OptionValues withVehicleDefaults(const TestDefinition &test, OptionValues options,
                                 const CorvantaModelFunctions &model) {
  for (const TestOption &option : test.options) {
    if (option.vehicleParameter.empty() || !std::isnan(options.at(option.name))) {
      continue;
    }
    const std::optional<double> value = vehicleParameter(model, option.vehicleParameter);
    if (!value) {
      throw TestOptionError(test.name + ": --" + option.name + " defaults to the vehicle's " + option.vehicleParameter +
                            ", which a model library of the seven functions only does not "
                            "give: give --" +
                            option.name);
    }
    options[option.name] = *value;
  }
  return options;
}

TestResult runStandardTest(const TestDefinition &test, const OptionValues &options, const TestContext &context) {
  const OptionValues complete = withVehicleDefaults(test, options, context.model);
  TestResult result = test.run(context, complete);
  result.test = test.name;
  result.options = complete;
  return result;
}

}  // namespace corvanta::testsuite
