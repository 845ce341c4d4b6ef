#include "engine/output/OutputRows.h"

#include <algorithm>
#include <utility>

#include "engine/running/InputSequencer.h"

namespace corvanta::engine {

std::uint64_t outputRowCount(std::uint64_t stepCount, std::uint64_t every, bool initialRow) {
  const std::uint64_t multiples = stepCount / every;
  const std::uint64_t last = (stepCount % every != 0) ? 1 : 0;
  return multiples + last + (initialRow ? 1 : 0);
}

OutputRows::OutputRows(std::uint64_t every, std::uint64_t stepCount, bool initialRow, RowSink sink)
    : every_(every), stepCount_(stepCount), initialRow_(initialRow), sink_(std::move(sink)) {}

bool OutputRows::started(const ExtY_Corvanta_T &outputs) { return !initialRow_ || emit(0, outputs); }

bool OutputRows::afterStep(std::uint64_t steps, const ExtY_Corvanta_T &outputs, bool last) {
  return !(last || isOutputRow(steps, every_, stepCount_)) || emit(steps, outputs);
}

bool OutputRows::emit(std::uint64_t steps, const ExtY_Corvanta_T &outputs) {
  OutputRow row;
  row[0] = timeOfStep(steps);
  const OutputValues values = toOutputArray(outputs);
  std::copy(values.begin(), values.end(), row.begin() + 1);
  ++rows_;
  return sink_(row);
}

void inputRows(const Schedule &schedule, std::uint64_t every, bool initialRow, std::vector<double> &rows) {
  const auto append = [&rows](std::uint64_t steps, const InputValues &values) {
    rows.push_back(timeOfStep(steps));
    rows.insert(rows.end(), values.begin(), values.end());
  };
  if (schedule.stepCount == 0) {
    if (initialRow) {
      append(0, schedule.initialInputs);
    }
    return;
  }
  InputSequencer sequencer(schedule);
  for (std::uint64_t step = 0; step < schedule.stepCount; ++step) {
    sequencer.prepareStep(step);
    if (step == 0 && initialRow) {
      append(0, sequencer.values());
    }
    if (isOutputRow(step + 1, every, schedule.stepCount)) {
      append(step + 1, sequencer.values());
    }
  }
}

}  // namespace corvanta::engine
