// The standard vehicle-dynamics tests: each one builds its closed-loop runs from a few
// numeric options, runs them, and reads its metrics, tables and plots off the result.
//
//   steady-state-circle  constant radius, slowly increasing speed: understeer gradient
//   step-steer           steering step at a held speed: yaw-rate gain, response times
//   frequency-response   sines of steering at a held speed: yaw-rate gain and phase
//   double-lane-change   obstacle-avoidance lane change: deviation, yaw rate, cones hit
//   braking              full braking to standstill: distance, time, MFDD
//   acceleration         full demand from standstill: time and distance to speeds
//   coast-down           neutral from speed: road-load coefficients A, B, C
//
// Hosts reach them through the C interface of corvanta_standard_tests.h.
#ifndef CORVANTA_TESTSUITE_STANDARDTESTS_H
#define CORVANTA_TESTSUITE_STANDARDTESTS_H

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/testsuite/TestOptions.h"
#include "engine/testsuite/TestResult.h"
#include "engine/testsuite/TestRun.h"

namespace corvanta::testsuite {

struct TestDefinition {
  std::string name;
  std::string summary;
  std::vector<TestOption> options;
  std::function<TestResult(const TestContext &, const OptionValues &)> run;
};

// All tests, in the order above.
const std::vector<TestDefinition> &standardTests();

// The test called `name`; throws TestOptionError naming the tests (and the closest one)
// when there is none.
const TestDefinition &findTest(const std::string &name);

// resolveOptions (TestOptions.h) for the options of `test`.
OptionValues resolveOptions(const TestDefinition &test, const std::vector<std::pair<std::string, std::string>> &given);

// `options` with the defaults the vehicle gives filled in from the parameter set of
// `model` (VehicleParameter.h).  Throws TestOptionError when the model functions give no
// parameter set and such an option was not given.
OptionValues withVehicleDefaults(const TestDefinition &test, OptionValues options, const CorvantaModelFunctions &model);

// Runs a test with resolved options, the vehicle's defaults filled in first.  Throws
// TestOptionError, driving::DrivingError, engine::ModelError and TestStopped.
TestResult runStandardTest(const TestDefinition &test, const OptionValues &options, const TestContext &context);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_STANDARDTESTS_H
