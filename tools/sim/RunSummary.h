// Figures of a run for the closing summary, gathered from every step whatever rows the
// output CSV keeps.
#ifndef CORVANTA_SIM_RUNSUMMARY_H
#define CORVANTA_SIM_RUNSUMMARY_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "capi/corvanta.h"
#include "engine/running/RunStatistics.h"

namespace corvanta::sim {

using InputValues = std::array<double, CORVANTA_NUM_INPUTS>;

// What one step did, as the engine reports it.
struct StepReport {
  std::uint64_t steps;             // steps taken, including this one; model time = steps * 0.0001 s
  bool initialized;                // Initialize was called right before this step
  const double *inputs;            // the record passed to SetInputs for this step, in field order
  const ExtY_Corvanta_T &outputs;  // the output record after the step
};

// What the summary shows of the scenario.
struct ScenarioFacts {
  std::string name;  // may be empty
};

// The figures the summary shows: those of engine::RunStatistics (the account the sweep
// metrics keep too), with the distance and top speed over the steps whose values are
// numbers, so that a run that broke down still shows what it did before.
class RunStatistics {
 public:
  void record(const StepReport &report);

  std::uint64_t steps() const { return statistics_.steps(); }
  // Length of the path of the centre of mass in the road plane, m, over the steps whose
  // travel is finite.  The jump of a re-initialisation to its start position is not
  // travelled and does not count.
  double distance() const { return statistics_.distanceOfFiniteSteps(); }
  // Largest |LongitudinalSpeed|, m/s, and the step count at which it was reached.
  double topSpeed() const { return statistics_.topNumericSpeed(); }
  std::uint64_t topSpeedStep() const { return statistics_.topNumericSpeedStep(); }
  // First step count after which TipOverIndicator was +1, and the number of such steps.
  std::optional<std::uint64_t> firstTipOverStep() const { return statistics_.firstTipOverStep(); }
  std::uint64_t tipOverSteps() const { return statistics_.tipOverSteps(); }
  // First step count after which an output was NaN or infinite.
  std::optional<std::uint64_t> firstNonFiniteStep() const { return statistics_.firstNonFiniteStep(); }
  const ExtY_Corvanta_T &finalOutputs() const { return final_; }

 private:
  engine::RunStatistics statistics_;
  ExtY_Corvanta_T final_{};
};

// What the summary says about the run besides its figures.
struct SummaryContext {
  std::string scenarioFile;
  std::string libraryPath;
  std::string output;  // where the CSV went, e.g. "out.csv, 1001 rows (every 10 steps)"
  double wallSeconds = 0.0;
};

// The one-screen summary, lines ending in '\n'.
std::string formatSummary(const ScenarioFacts &scenario, const RunStatistics &statistics,
                          const SummaryContext &context);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_RUNSUMMARY_H
