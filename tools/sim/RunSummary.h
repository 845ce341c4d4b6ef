// Figures of a run for the closing summary, gathered from every step whatever rows the
// output CSV keeps.
#ifndef CORVANTA_SIM_RUNSUMMARY_H
#define CORVANTA_SIM_RUNSUMMARY_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "capi/corvanta.h"

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

class RunStatistics {
 public:
  void record(const StepReport &report);

  std::uint64_t steps() const { return steps_; }
  // Length of the path of the centre of mass in the road plane, m.  The jump of a
  // re-initialisation to its start position is not travelled and does not count.
  double distance() const { return distance_; }
  // Largest |LongitudinalSpeed|, m/s, and the step count at which it was reached.
  double topSpeed() const { return topSpeed_; }
  std::uint64_t topSpeedStep() const { return topSpeedStep_; }
  // First step count after which TipOverIndicator was +1, and the number of such steps.
  std::optional<std::uint64_t> firstTipOverStep() const { return firstTipOverStep_; }
  std::uint64_t tipOverSteps() const { return tipOverSteps_; }
  // First step count after which an output was NaN or infinite.
  std::optional<std::uint64_t> firstNonFiniteStep() const { return firstNonFiniteStep_; }
  const ExtY_Corvanta_T &finalOutputs() const { return final_; }

 private:
  std::uint64_t steps_ = 0;
  double distance_ = 0.0;
  double topSpeed_ = 0.0;
  std::uint64_t topSpeedStep_ = 0;
  std::optional<std::uint64_t> firstTipOverStep_;
  std::uint64_t tipOverSteps_ = 0;
  std::optional<std::uint64_t> firstNonFiniteStep_;
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
std::string formatSummary(const ScenarioFacts &scenario, const RunStatistics &statistics, const SummaryContext &context);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_RUNSUMMARY_H
