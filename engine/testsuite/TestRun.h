// One closed-loop run of a standard test: a scenario (input schedule plus driver and
// condition events) stepped through the library's seven C functions, keeping every
// `recordEvery`-th frame of signals for the metrics.
#ifndef CORVANTA_TESTSUITE_TESTRUN_H
#define CORVANTA_TESTSUITE_TESTRUN_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ClosedLoop.h"
#include "CorvantaLibrary.h"
#include "Schedule.h"

namespace corvanta::testsuite {

struct TestScenario {
  std::string name;         // run name, also the CSV file's stem
  sim::Schedule schedule;   // inputs at time 0, timed events, duration (the longest the run may take)
  driving::DrivingSpec driving;
};

struct RunRecord {
  std::string name;
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

// Called with the steps taken after every step; for progress output.
using ProgressCallback = std::function<void(std::uint64_t steps, std::uint64_t total)>;

// Runs the scenario.  Throws driving::DrivingError for unusable driver settings and
// tools::LibraryError when the library fails.
RunRecord runTest(const tools::CorvantaApi &api, const TestScenario &scenario, std::uint64_t recordEvery,
                  const ProgressCallback &progress = nullptr);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_TESTRUN_H
