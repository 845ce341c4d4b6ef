// Writes the input record of every step of a run as recorded inputs: all eight inputs,
// one row whenever the record differs (bit for bit) from the one before, and a last row
// at the end time of the run so that the file carries its own duration.  Reading the file
// back reproduces the record at every step.
#ifndef CORVANTA_SIM_RECORDEDINPUTSRECORDER_H
#define CORVANTA_SIM_RECORDEDINPUTSRECORDER_H

#include <array>
#include <cstdint>

#include "engine/corvanta_engine.h"

namespace corvanta::sim {

class RecordedInputsRecorder {
 public:
  // Rows go to `writer`, opened with the columns time and the eight input names.
  // `initialInputs` is the record before the first step (CORVANTA_NUM_INPUTS doubles).
  RecordedInputsRecorder(CorvantaCsvWriter *writer, const double *initialInputs);

  // The record used by the step with index `step` (steps already taken).
  void record(std::uint64_t step, const double *inputs);
  // Writes the closing row at time `stepCount` * 0.0001 s with the last record (the
  // initial record of a run without steps).
  void finish(std::uint64_t stepCount);
  // Whether a row could not be written; the writer's close tells why.
  bool failed() const { return failed_; }

 private:
  void writeRow(std::uint64_t step, const double *inputs);

  CorvantaCsvWriter *writer_;
  bool hasRow_ = false;
  bool failed_ = false;
  std::array<double, CORVANTA_NUM_INPUTS> last_{};
};

// The columns of a recorded-inputs file: "time" and the input names.
std::array<const char *, 1 + CORVANTA_NUM_INPUTS> recordedInputColumns();

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_RECORDEDINPUTSRECORDER_H
