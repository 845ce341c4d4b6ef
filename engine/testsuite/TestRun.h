// One closed-loop run of a standard test: a schedule with its driver and condition events
// run by the scenario engine, keeping every `recordEvery`-th frame of the closed loop's
// signals for the metrics.
#ifndef CORVANTA_TESTSUITE_TESTRUN_H
#define CORVANTA_TESTSUITE_TESTRUN_H

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/corvanta_engine.h"
#include "engine/driving/ClosedLoop.h"
#include "engine/running/Schedule.h"

namespace corvanta::testsuite {

struct TestScenario {
  std::string name;           // run name, also the stem of its CSV and JSON files
  engine::Schedule schedule;  // inputs, timed events, the longest duration, driver and condition events
  std::string json;           // the scenario file the schedule was read from ("" when built otherwise)
};

struct RunRecord {
  std::string name;
  std::string scenarioJson;                  // the scenario as a JSON file, when the run has one
  std::vector<driving::SignalFrame> frames;  // the initial frame, then every recordEvery-th step and the last
  std::vector<driving::FiredEvent> fired;
  std::vector<driving::Point2> path;  // the driver's path as placed (empty without one)
  bool stopped = false;               // a condition event ended the run
  std::uint64_t steps = 0;

  // Column `signal` of the frames.
  std::vector<double> column(driving::Signal signal) const;
  // Model time at which event `index` fired, or NaN.
  double firedAt(std::size_t index) const;
};

// Called with the steps taken after every step (of `total`, the run's steps); for
// progress output.  Returning false stops the run: runTest throws TestStopped.
using ProgressCallback = std::function<bool(std::uint64_t steps, std::uint64_t total)>;

// A run the progress callback stopped.
class TestStopped : public std::runtime_error {
 public:
  TestStopped() : std::runtime_error("the test was stopped") {}
};

// What the runs of a test share: the model they drive and the progress callback.
struct TestContext {
  CorvantaModelFunctions model;
  ProgressCallback progress;  // may be empty
};

// Runs the scenario, which must have a driver or condition events.  Throws
// driving::DrivingError for unusable driver settings, engine::ModelError when the
// library fails and TestStopped when `progress` stops the run.
RunRecord runTest(const CorvantaModelFunctions &model, const TestScenario &scenario, std::uint64_t recordEvery,
                  const ProgressCallback &progress = nullptr);

// A run of a standard test: a frame every 10 steps (0.001 s), progress to the context's callback.
RunRecord runTest(const TestContext &context, const TestScenario &scenario);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_TESTRUN_H
