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
#ifndef CORVANTA_TESTSUITE_STANDARDTESTS_H
#define CORVANTA_TESTSUITE_STANDARDTESTS_H

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/testsuite/TestRun.h"

namespace corvanta::testsuite {

// A bad test name or option; the message says what is accepted.
class TestOptionError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

struct TestOption {
  std::string name;  // as on the command line, without "--"
  double value = 0.0;  // default
  std::string unit;
  std::string help;
  double min = 0.0;  // accepted range, inclusive
  double max = 0.0;
};

struct Metric {
  std::string name;
  double value = 0.0;  // NaN: could not be determined (see the definition)
  std::string unit;
  std::string definition;
};

struct Table {
  std::string name;
  std::vector<std::string> columns;
  std::vector<std::string> units;
  std::vector<std::vector<double>> rows;
};

struct Series {
  std::string label;
  std::vector<double> x;
  std::vector<double> y;
  bool markers = false;  // points instead of a line
};

struct Panel {
  std::string yLabel;
  std::vector<Series> series;
};

struct Plot {
  std::string file;  // file name in the output folder, *.svg
  std::string title;
  std::string xLabel;
  bool logX = false;
  bool equalAxes = false;
  std::vector<Panel> panels;  // stacked, sharing the x axis
};

struct TestResult {
  std::string test;
  std::string description;
  std::map<std::string, double> options;  // every option, defaults filled in
  std::vector<Metric> metrics;
  std::vector<Table> tables;
  std::vector<RunRecord> runs;
  std::vector<Plot> plots;
  std::vector<std::string> notes;
};

struct TestContext {
  CorvantaModelFunctions model;
  ProgressCallback progress;  // may be empty
};

using OptionValues = std::map<std::string, double>;

struct TestDefinition {
  std::string name;
  std::string summary;
  std::vector<TestOption> options;
  std::function<TestResult(const TestContext &, const OptionValues &)> run;
};

// All tests, in the order above.
const std::vector<TestDefinition> &standardTests();

// The test called `name`; throws TestOptionError naming the tests when there is none.
const TestDefinition &findTest(const std::string &name);

// Options given as (name, text) pairs turned into values, defaults filled in.  Throws
// TestOptionError for an unknown name (with the closest known one), a repeated name, a
// text that is not a number or a value outside the option's range.
OptionValues resolveOptions(const TestDefinition &test, const std::vector<std::pair<std::string, std::string>> &given);

// Runs a test with resolved options.
TestResult runStandardTest(const TestDefinition &test, const OptionValues &options, const TestContext &context);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_STANDARDTESTS_H
