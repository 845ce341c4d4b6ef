#include "engine/testsuite/StandardTests.h"

#include <cmath>
#include <map>

#include <gtest/gtest.h>

#include "engine/driving/PathShapes.h"
#include "engine/scenario/JsonScenario.h"
#include "engine/testsuite/Metrics.h"
#include "engine/testsuite/TestOutput.h"
#include "tools/common/CorvantaLibrary.h"
#include "vehicle/corvanta_vehicle.h"

namespace corvanta::testsuite {
namespace {

// The model as any host sees it: the built library, loaded at run time.
const CorvantaModelFunctions &model() {
  static const tools::CorvantaLibrary loaded = tools::CorvantaLibrary::open(CORVANTA_TEST_LIBRARY);
  static const CorvantaModelFunctions functions{loaded.api().CreateVehicleModel,
                                                loaded.api().DeleteVehicleModel,
                                                loaded.api().Initialize,
                                                loaded.api().SetInputs,
                                                loaded.api().Step,
                                                loaded.api().GetOutputs,
                                                loaded.api().Terminate,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr,
                                                nullptr};
  return functions;
}

// The vehicle library's built-in car with its parameter-set functions: the tests read the
// parameters they need (the coast-down's mass) from its set.
const CorvantaModelFunctions &vehicleModel() {
  static const CorvantaModelFunctions functions = [] {
    const CorvantaInstanceFunctions &f = *corvanta_instance_functions();
    CorvantaModelFunctions made{f.create,    f.free,    f.initialize,      f.set_inputs, f.step,  f.outputs,
                                f.terminate, f.signals, f.initial_signals, nullptr,      nullptr, nullptr,
                                nullptr,     nullptr};
    made.CreateFromVehicle = [](const void *vehicle) -> void * {
      return corvanta_instance_create(static_cast<const CorvantaVehicle *>(vehicle));
    };
    made.ParseVehicle = [](const char *json, size_t length, const char *directory, const char *source, char *error,
                           size_t size) -> void * {
      return corvanta_vehicle_parse(json, length, directory, source, error, size);
    };
    made.VehicleToJson = [](const void *vehicle, char *buffer, size_t size) {
      return corvanta_vehicle_to_json(static_cast<const CorvantaVehicle *>(vehicle), buffer, size);
    };
    made.FreeVehicle = [](void *vehicle) { corvanta_vehicle_free(static_cast<CorvantaVehicle *>(vehicle)); };
    return made;
  }();
  return functions;
}

TestScenario scenario(double duration, double initialSpeed) {
  TestScenario made;
  made.name = "run";
  made.schedule.stepCount = static_cast<std::uint64_t>(engine::stepCountOf(duration));
  made.schedule.initialInputs[1] = driving::kGearDrive;
  made.schedule.initialInputs[7] = initialSpeed;
  return made;
}

driving::SpeedControllerSettings target(double speed) {
  driving::SpeedControllerSettings settings;
  settings.target = speed;
  return settings;
}

double maxAbsAfter(const RunRecord &run, driving::Signal signal, double from) {
  double largest = 0.0;
  for (const driving::SignalFrame &frame : run.frames) {
    if (frame[driving::kTime] >= from) {
      largest = std::max(largest, std::fabs(frame[signal]));
    }
  }
  return largest;
}

// ---- The driver on the model: cases with a known answer ----

// From 5 to 8 m/s: at most 0.1 m/s above the target, and within 0.02 m/s of it from
// 15 s on.
TEST(DriverOnModel, SpeedSettlesAtTheTarget) {
  TestScenario run = scenario(25.0, 5.0);
  run.schedule.driving.driver.speed = target(8.0);
  const RunRecord record = runTest(model(), run, 10);
  for (const driving::SignalFrame &frame : record.frames) {
    ASSERT_LT(frame[driving::kLongitudinalSpeed], 8.1) << frame[driving::kTime];
    if (frame[driving::kTime] >= 15.0) {
      ASSERT_NEAR(frame[driving::kLongitudinalSpeed], 8.0, 0.02) << frame[driving::kTime];
    }
  }
}

TEST(DriverOnModel, NegativeTargetReversesAtThatSpeed) {
  TestScenario run = scenario(20.0, 0.0);
  run.schedule.driving.driver.speed = target(-2.0);
  run.schedule.driving.driver.path = driving::PathDefinition{{{0.0, 0.0}, {-200.0, 0.0}}, false, "backwards"};
  const RunRecord record = runTest(model(), run, 10);
  const driving::SignalFrame &last = record.frames.back();
  EXPECT_EQ(last[driving::kGearSelector], driving::kGearReverse);
  EXPECT_NEAR(last[driving::kLongitudinalSpeed], -2.0, 0.02);
  EXPECT_LT(last[driving::kPositionX], -20.0);
  EXPECT_LT(maxAbsAfter(record, driving::kLateralDeviation, 0.0), 0.05);
}

TEST(DriverOnModel, CircleIsFollowedWithinHalfAMetre) {
  TestScenario run = scenario(30.0, 8.0);
  run.schedule.driving.driver.speed = target(8.0);
  run.schedule.driving.driver.path = driving::PathDefinition{driving::circlePath(30.0, false), true, "circle, right"};
  const RunRecord record = runTest(model(), run, 10);
  EXPECT_LT(maxAbsAfter(record, driving::kLateralDeviation, 5.0), 0.5);
  // More than one lap: the closed path wraps.
  EXPECT_GT(record.frames.back()[driving::kDistance], 2.0 * M_PI * 30.0);
  EXPECT_LT(record.frames.back()[driving::kHeading], -2.0 * M_PI);
  EXPECT_NEAR(record.frames.back()[driving::kPathRadius], -30.0, 1.0);
}

TEST(DriverOnModel, ConditionEventsSetInputsAndStopTheRun) {
  using Op = driving::Comparison::Operator;
  TestScenario run = scenario(60.0, 10.0);
  run.schedule.driving.driver.path = driving::PathDefinition{driving::straightPath(500.0), false, "straight"};
  driving::ConditionEvent brake;
  brake.when = {{driving::kDistance, Op::Greater, 20.0}};
  brake.sets = {{0, -3.0}};  // AccelerationDemand
  driving::ConditionEvent stop;
  stop.when = {{driving::kLongitudinalSpeed, Op::Less, 0.05}};
  stop.stop = true;
  run.schedule.driving.events = {brake, stop};
  const RunRecord record = runTest(model(), run, 10);
  ASSERT_TRUE(record.stopped);
  ASSERT_EQ(record.fired.size(), 2u);
  EXPECT_EQ(record.fired[0].index, 0u);
  EXPECT_LT(record.steps, 600000u);
  EXPECT_EQ(record.frames.back()[driving::kAccelerationDemand], -3.0);
  EXPECT_LT(record.frames.back()[driving::kLongitudinalSpeed], 0.05);
  EXPECT_NEAR(record.firedAt(0), 2.0, 0.05);
  // time_in_state counts from the brake event.
  EXPECT_DOUBLE_EQ(record.frames.back()[driving::kTimeInState], record.firedAt(1) - record.firedAt(0));
}

// A condition event's value holds until the schedule sets the input again; the driver's
// own inputs stay the driver's.
TEST(DriverOnModel, ConditionSetsHoldUntilTheScheduleSetsAgain) {
  TestScenario run{"run",
                   engine::parseJsonScenario(R"({"duration": 3,
      "inputs": {"GearSelector": 1, "InitialSpeed": 5},
      "driver": {"speed": {"target": 5}},
      "events": [
        {"time": 0.5, "set": {"RoadGrade": 0.0}},
        {"when": {"time": {">=": 1}}, "set": {"RoadGrade": 0.02, "AccelerationDemand": 1.5}},
        {"time": 2, "set": {"RoadGrade": 0.0}}
      ]})",
                                             "s.json"),
                   ""};
  const RunRecord record = runTest(model(), run, 1);
  const auto at = [&](double time) { return record.frames[static_cast<std::size_t>(std::lround(time / 0.0001))]; };
  EXPECT_EQ(at(0.9999)[driving::kRoadGrade], 0.0);
  EXPECT_EQ(at(1.0)[driving::kRoadGrade], 0.0);      // fires after the step that reaches 1 s...
  EXPECT_EQ(at(1.0001)[driving::kRoadGrade], 0.02);  // ...and holds from the next one
  EXPECT_EQ(at(1.9999)[driving::kRoadGrade], 0.02);
  EXPECT_EQ(at(2.0001)[driving::kRoadGrade], 0.0);        // the schedule's set, though its value did not change
  EXPECT_NE(at(1.5)[driving::kAccelerationDemand], 1.5);  // the speed controller's
  EXPECT_DOUBLE_EQ(at(2.5)[driving::kTimeInState], 1.5);
}

TEST(DriverOnModel, RunsAreBitForBitRepeatable) {
  TestScenario run = scenario(3.0, 6.0);
  run.schedule.driving.driver.speed = target(7.0);
  run.schedule.driving.driver.path =
      driving::PathDefinition{driving::singleLaneChangePath(10.0, 15.0, 2.0), false, "lane change"};
  const RunRecord first = runTest(model(), run, 1);
  const RunRecord second = runTest(model(), run, 1);
  ASSERT_EQ(first.frames.size(), 30001u);
  EXPECT_EQ(runCsv(first, 1), runCsv(second, 1));
}

// ---- Options ----

TEST(StandardTestOptions, DefaultsAndRefusals) {
  const TestDefinition &test = findTest("step-steer");
  const OptionValues defaults = resolveOptions(test, {});
  EXPECT_EQ(defaults.at("speed"), 10.0);
  EXPECT_EQ(resolveOptions(test, {{"steer", "-0.1"}}).at("steer"), -0.1);
  const auto message = [&](const std::vector<std::pair<std::string, std::string>> &given) {
    try {
      resolveOptions(test, given);
    } catch (const TestOptionError &error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(message({{"sped", "1"}}),
            "step-steer: unknown option '--sped' (did you mean '--speed'?); the options are --speed, --steer, "
            "--rise-time, --hold");
  EXPECT_EQ(message({{"speed", "15"}}), "step-steer: --speed 15 is out of range: expected 1 to 14 m/s");
  EXPECT_EQ(message({{"speed", "1e400"}}), "step-steer: --speed: expected a number in m/s, got '1e400'");
  EXPECT_EQ(message({{"speed", "nan"}}), "step-steer: --speed: expected a number in m/s, got 'nan'");
  EXPECT_EQ(message({{"speed", " 5"}}), "step-steer: --speed: expected a number in m/s, got ' 5'");
  EXPECT_THROW(findTest("lane-change"), TestOptionError);
  EXPECT_EQ(standardTests().size(), 7u);
}

// Suggestions are the engine's (NameSuggestion.h): letter case ignored, a swap of two
// neighbours one edit, and at most a third of the name's letters (at least one) off.
TEST(StandardTestOptions, SuggestionsFollowTheEnginesRule) {
  const TestDefinition &test = findTest("step-steer");
  const auto message = [&](const std::string &name) {
    try {
      resolveOptions(test, {{name, "1"}});
    } catch (const TestOptionError &error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  const std::string options = "; the options are --speed, --steer, --rise-time, --hold";
  EXPECT_EQ(message("Sped"), "step-steer: unknown option '--Sped' (did you mean '--speed'?)" + options);
  EXPECT_EQ(message("sepeed"), "step-steer: unknown option '--sepeed' (did you mean '--speed'?)" + options);
  EXPECT_EQ(message("rise-tmie"), "step-steer: unknown option '--rise-tmie' (did you mean '--rise-time'?)" + options);
  // Two edits in three letters are too many (this suggested '--speed' before).
  EXPECT_EQ(message("spd"), "step-steer: unknown option '--spd'" + options);
  const auto unknownTest = [](const std::string &name) {
    try {
      findTest(name);
    } catch (const TestOptionError &error) {
      return std::string(error.what());
    }
    return std::string("found");
  };
  EXPECT_EQ(unknownTest("Braking").substr(0, 52), "unknown test 'Braking' (did you mean 'braking'?); th");
  EXPECT_EQ(unknownTest("coastdown").substr(0, 58), "unknown test 'coastdown' (did you mean 'coast-down'?); the");
  EXPECT_EQ(unknownTest("slalom").substr(0, 33), "unknown test 'slalom'; the tests ");
}

// The coast-down's mass is the simulated vehicle's VehicleMass unless given: F = m (-dv/dt).
TEST(StandardTestOptions, TheMassDefaultsToTheVehiclesAndNeedsAParameterSet) {
  const TestDefinition &test = findTest("coast-down");
  const OptionValues resolved = resolveOptions(test, {});
  EXPECT_TRUE(std::isnan(resolved.at("mass"))) << "left for the vehicle";
  EXPECT_EQ(withVehicleDefaults(test, resolved, vehicleModel()).at("mass"), 1760.0);
  CorvantaVehicle *heavy = corvanta_vehicle_create_builtin();
  const double mass = 2345.5;
  ASSERT_EQ(corvanta_vehicle_set(heavy, "VehicleMass", &mass, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  CorvantaModelFunctions heavyModel = vehicleModel();
  heavyModel.Vehicle = heavy;
  EXPECT_EQ(withVehicleDefaults(test, resolved, heavyModel).at("mass"), 2345.5);
  EXPECT_EQ(withVehicleDefaults(test, resolveOptions(test, {{"mass", "1000"}}), heavyModel).at("mass"), 1000.0);
  corvanta_vehicle_free(heavy);
  try {
    withVehicleDefaults(test, resolved, model());
    ADD_FAILURE() << "the seven functions give no mass";
  } catch (const TestOptionError &error) {
    EXPECT_STREQ(error.what(),
                 "coast-down: --mass defaults to the vehicle's VehicleMass, which a model library of "
                 "the seven functions only does not give: give --mass");
  }
}

int modelsCreated = 0;

void *countingCreate() {
  ++modelsCreated;
  return model().CreateVehicleModel();
}

TEST(StandardTestOptions, FrequencyResponseOptionsThatNeedTooLongARunAreRefusedBeforeAnyRun) {
  // --count 10 --cycles 50 from 0.05 to 0.06 Hz took 375 s and 3.2 GB; --count 40 would
  // have needed 13 GB.  The runs together simulate 3 s of settling and 51 cycles each:
  // sum over f = 0.05 * 1.2^(i / 9), i = 0 .. 9, of 3 + 51 / f = 9357.05 s.
  const TestDefinition &test = findTest("frequency-response");
  CorvantaModelFunctions counting = model();
  counting.CreateVehicleModel = countingCreate;
  const auto message = [&](const std::vector<std::pair<std::string, std::string>> &given) {
    try {
      runStandardTest(test, resolveOptions(test, given), TestContext{counting, nullptr});
    } catch (const TestOptionError &error) {
      return std::string(error.what());
    }
    return std::string("accepted");
  };
  modelsCreated = 0;
  EXPECT_EQ(message({{"count", "10"}, {"cycles", "50"}, {"min-frequency", "0.05"}, {"max-frequency", "0.06"}}),
            "frequency-response: these options need 9358 s of simulated time in 10 runs; at most 1200 s is allowed "
            "(about 300 MB of recorded runs): lower --count or --cycles, or raise --min-frequency");
  // The largest count allowed, over the widest range with 50 cycles: 8114.5 s.
  EXPECT_EQ(message({{"count", "40"}, {"cycles", "50"}, {"min-frequency", "0.05"}, {"max-frequency", "10"}}),
            "frequency-response: these options need 8115 s of simulated time in 40 runs; at most 1200 s is allowed "
            "(about 300 MB of recorded runs): lower --count or --cycles, or raise --min-frequency");
  EXPECT_EQ(modelsCreated, 0) << "the refusal comes before any run";
}

// The Ackermann angle of the steady-state circle is the simulated car's Wheelbase over the
// radius: 3 m on a 20 m circle is 0.15 rad = 8.5943669269623 deg; without a parameter set
// (the seven functions) it is not known.
TEST(StandardTestsOnModel, TheAckermannAngleUsesTheVehiclesWheelbase) {
  const TestDefinition &test = findTest("steady-state-circle");
  const OptionValues options = resolveOptions(test, {{"ramp-time", "5"}, {"end-speed", "4"}});
  CorvantaVehicle *longer = corvanta_vehicle_create_builtin();
  const double wheelbase = 3.0;
  ASSERT_EQ(corvanta_vehicle_set(longer, "Wheelbase", &wheelbase, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  CorvantaModelFunctions longerModel = vehicleModel();
  longerModel.Vehicle = longer;
  const auto ackermann = [&](const CorvantaModelFunctions &functions) {
    for (const Metric &metric : runStandardTest(test, options, TestContext{functions, nullptr}).metrics) {
      if (metric.name == "ackermann_angle") {
        return metric.value;
      }
    }
    return -1.0;
  };
  EXPECT_NEAR(ackermann(longerModel), 8.5943669269623, 1e-12);
  corvanta_vehicle_free(longer);
  EXPECT_NEAR(ackermann(vehicleModel()), 8.0214091318315, 1e-12);  // 2.8 m: 0.14 rad
  EXPECT_TRUE(std::isnan(ackermann(model())));
}

// ---- Regression checkpoints: every test with its default options ----

struct Pinned {
  const char *test;
  std::map<std::string, double> metrics;
};

void expectMetrics(const Pinned &pinned, const CorvantaModelFunctions &functions = model()) {
  const TestDefinition &test = findTest(pinned.test);
  const TestResult result = runStandardTest(test, resolveOptions(test, {}), TestContext{functions, nullptr});
  ASSERT_EQ(result.metrics.size(), pinned.metrics.size()) << pinned.test;
  for (const Metric &metric : result.metrics) {
    SCOPED_TRACE(std::string(pinned.test) + " " + metric.name);
    ASSERT_EQ(pinned.metrics.count(metric.name), 1u);
    const double expected = pinned.metrics.at(metric.name);
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(metric.value)) << metric.value;
    } else {
      // Same bits on this platform; the margin covers last-bit differences of libm.
      EXPECT_NEAR(metric.value, expected, 1e-9 * std::max(1.0, std::fabs(expected)));
    }
    EXPECT_FALSE(metric.unit.empty());
    EXPECT_FALSE(metric.definition.empty());
  }
  EXPECT_TRUE(result.notes.empty()) << result.notes.front();
}

TEST(StandardTestsOnModel, SteadyStateCircle) {
  expectMetrics({"steady-state-circle",
                 {{"understeer_gradient", 0.9521382483278812},
                  {"steer_at_zero_ay", 8.107068575343506},
                  {"ackermann_angle", 8.021409131831524},
                  {"fit_r_squared", 0.987257983053528},
                  {"fit_points", 37945.0},
                  {"max_lateral_acceleration", 5.417389226135397},
                  {"speed_at_max_lateral_acceleration", 10.315903951578585}}},
                vehicleModel());
}

TEST(StandardTestsOnModel, StepSteer) {
  expectMetrics({"step-steer",
                 {{"yaw_rate_gain", 3.4452716358371855},
                  {"steady_yaw_rate", 0.17226358179185686},
                  {"response_time", 0.138526777798623},
                  {"peak_response_time", NAN},
                  {"overshoot", 0.04744092324522038},
                  {"steady_lateral_acceleration", 1.7233658443089286}}});
}

TEST(StandardTestsOnModel, FrequencyResponse) {
  expectMetrics({"frequency-response",
                 {{"gain_at_lowest_frequency", 3.44505549102593},
                  {"peak_gain_ratio", 1.0},
                  {"peak_gain_frequency", 0.2},
                  {"phase_at_1hz", -20.869171899244677},
                  {"frequency_at_minus_45deg", 2.2987851243963666}}});
}

TEST(StandardTestsOnModel, DoubleLaneChange) {
  expectMetrics({"double-lane-change",
                 {{"peak_lateral_deviation", 0.3392422680184065},
                  {"peak_yaw_rate", 0.16008350305851682},
                  {"peak_lateral_acceleration", 2.066680694114988},
                  {"peak_steering_angle", 0.03690713078881976},
                  {"cones_hit", 0.0},
                  {"min_speed", 12.998128906933598}}});
}

TEST(StandardTestsOnModel, Braking) {
  expectMetrics({"braking",
                 {{"initial_speed", 9.990021314307775},
                  {"stopping_distance", 12.887515325736956},
                  {"stopping_time", 2.5820158400266537},
                  {"mfdd", 3.9959107953284767},
                  {"peak_deceleration", 4.215891962644491}}});
}

TEST(StandardTestsOnModel, Acceleration) {
  expectMetrics({"acceleration",
                 {{"time_to_2", 1.0627068253185663},
                  {"distance_to_2", 0.9655843691739235},
                  {"time_to_4", 2.29700159972096},
                  {"distance_to_4", 4.7432638811762295},
                  {"time_to_6", 4.014456971041192},
                  {"distance_to_6", 13.409425146679114},
                  {"time_to_8", 6.309152302767431},
                  {"distance_to_8", 29.557728145407914},
                  {"time_to_10", 9.037675414790387},
                  {"distance_to_10", 54.212623405626886},
                  {"time_to_12", 18.779682262748697},
                  {"distance_to_12", 164.74453304787824}}});
}

TEST(StandardTestsOnModel, CoastDown) {
  expectMetrics({"coast-down",
                 {{"A", -20.74946022048247},
                  {"B", 122.77138742367967},
                  {"C", -2.0590199380222876},
                  {"coast_down_time", 27.324},
                  {"coast_down_distance", 208.91451644733954},
                  {"fit_points", 26325.0}}},
                vehicleModel());
}

}  // namespace
}  // namespace corvanta::testsuite
