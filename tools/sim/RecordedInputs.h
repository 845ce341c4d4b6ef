// Recorded inputs: a CSV file with a header line naming a `time` column and any of the
// inputs, in any order, followed by one row per change.  Each row holds its values from its
// time until the next row; inputs without a column are 0.
//
//   time,AccelerationDemand,GearSelector
//   0,1.5,1
//   2.5,-3,1
#ifndef CORVANTA_SIM_RECORDEDINPUTS_H
#define CORVANTA_SIM_RECORDEDINPUTS_H

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "Schedule.h"

namespace corvanta::sim {

// Reads recorded inputs.  The run lasts `durationSteps` when given, else until the time
// of the last row.  Throws ScenarioError naming `fileName`, the line and what was expected.
Schedule parseRecordedInputs(const std::string &text, const std::string &fileName,
                             std::optional<std::uint64_t> durationSteps);

// Writes the input record of every step of a run as recorded inputs: all eight inputs,
// one row whenever the record differs (bit for bit) from the one before, and a last row
// at the end time of the run so that the file carries its own duration.  Reading the file
// back reproduces the record at every step.
class RecordedInputsWriter {
 public:
  explicit RecordedInputsWriter(std::FILE *file);

  // The record used by the step with index `step` (steps already taken).
  void record(std::uint64_t step, const InputValues &values);
  // Writes the closing row at time `stepCount` * 0.0001 s.
  void finish(std::uint64_t stepCount, const InputValues &lastValues);

 private:
  void writeRow(std::uint64_t step, const InputValues &values);

  std::FILE *file_;
  bool hasRow_ = false;
  InputValues lastWritten_{};
};

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_RECORDEDINPUTS_H
