// Runs the runs of a sweep on a pool of threads and hands the rows back in run order.
//
// Each run builds its scenario from the definition and runs it on its own model instance
// through `RunScenario`; runs share nothing, so every row is the same whatever the thread
// count.  The caller's thread receives the rows (in order 0, 1, 2, ...) and the progress
// reports; the workers stay at most a bounded number of rows ahead of it, so a sweep of
// any size needs memory for a few rows per thread only.
#ifndef CORVANTA_SWEEP_SWEEPRUNNER_H
#define CORVANTA_SWEEP_SWEEPRUNNER_H

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/sweep/RunMetrics.h"
#include "engine/sweep/SweepDefinition.h"

namespace corvanta::sweep {

struct SweepRow {
  std::uint64_t run = 0;
  std::vector<double> values;  // the varied values, in field order
  RunMetrics metrics;
};

// Runs one scenario on a fresh model instance and returns its figures (wall_time may be
// left 0: the runner measures it).  Called from several threads at once.  `label` names
// the run for messages ("sweep.json: run 12 (inputs.InitialSpeed = 5)"); a scenario that
// cannot run throws an exception whose text starts with it.
using RunScenario = std::function<RunMetrics(const Json &scenario, const std::string &label)>;

// The threads of a sweep could not be started (the system's thread or memory limits):
// the sweep stops before any row is delivered.
class ThreadStartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using RowSink = std::function<void(const SweepRow &row)>;

struct SweepProgress {
  std::uint64_t runsDone = 0;
  std::uint64_t runsTotal = 0;
  std::uint64_t stepsDone = 0;
  double wallSeconds = 0.0;
};
using ProgressSink = std::function<void(const SweepProgress &progress)>;

struct SweepOptions {
  unsigned threads = 0;  // 0: one per core
  std::uint64_t firstRun = 0;
  std::uint64_t runCount = UINT64_MAX;  // clipped to the runs after firstRun
};

// Runs runs [firstRun, firstRun + runCount) of the definition.  `progress` (may be empty)
// is called about ten times a second and once at the end.  The first failure, by run
// index, stops the sweep: rows before it have been delivered; its exception is rethrown.  Returns the final progress
// (runs, steps, wall time).
SweepProgress runSweep(const SweepDefinition &definition, const RunScenario &runScenario, const SweepOptions &options,
                       const RowSink &sink, const ProgressSink &progress = {});

// The number of threads `threads` stands for: itself, or for 0 the cores of this machine.
unsigned threadCountFor(unsigned threads);

// "sweep.json: run 12 (inputs.InitialSpeed = 5, inputs.RoadGrade = -0.05)".
std::string runLabel(const SweepDefinition &definition, std::uint64_t run, const std::vector<double> &values);

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_SWEEPRUNNER_H
