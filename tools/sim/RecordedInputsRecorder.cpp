#include "tools/sim/RecordedInputsRecorder.h"

#include <algorithm>
#include <cstring>

namespace corvanta::sim {

RecordedInputsRecorder::RecordedInputsRecorder(CorvantaCsvWriter *writer, const double *initialInputs)
    : writer_(writer) {
  std::copy(initialInputs, initialInputs + CORVANTA_NUM_INPUTS, last_.begin());
}

void RecordedInputsRecorder::record(std::uint64_t step, const double *inputs) {
  if (!hasRow_ || std::memcmp(inputs, last_.data(), sizeof(double) * last_.size()) != 0) {
    writeRow(step, inputs);
  }
}

void RecordedInputsRecorder::finish(std::uint64_t stepCount) { writeRow(stepCount, last_.data()); }

void RecordedInputsRecorder::writeRow(std::uint64_t step, const double *inputs) {
  std::array<double, 1 + CORVANTA_NUM_INPUTS> row;
  row[0] = static_cast<double>(step) * CORVANTA_STEP_SIZE;
  std::copy(inputs, inputs + CORVANTA_NUM_INPUTS, row.begin() + 1);
  std::copy(inputs, inputs + CORVANTA_NUM_INPUTS, last_.begin());
  failed_ = failed_ || corvanta_csv_write_row(writer_, row.data()) != CORVANTA_ENGINE_OK;
  hasRow_ = true;
}

std::array<const char *, 1 + CORVANTA_NUM_INPUTS> recordedInputColumns() {
  std::array<const char *, 1 + CORVANTA_NUM_INPUTS> columns{"time"};
  for (int index = 0; index < CORVANTA_NUM_INPUTS; ++index) {
    columns[static_cast<std::size_t>(index) + 1] = corvanta_engine_input_name(index);
  }
  return columns;
}

}  // namespace corvanta::sim
