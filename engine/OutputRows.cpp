#include "OutputRows.h"

#include <algorithm>
#include <utility>

namespace corvanta::engine {

std::uint64_t outputRowCount(std::uint64_t stepCount, std::uint64_t every, bool initialRow) {
  const std::uint64_t multiples = stepCount / every;
  const std::uint64_t last = (stepCount % every != 0) ? 1 : 0;
  return multiples + last + (initialRow ? 1 : 0);
}

OutputRows::OutputRows(std::uint64_t every, std::uint64_t stepCount, bool initialRow, RowSink sink)
    : every_(every), stepCount_(stepCount), initialRow_(initialRow), sink_(std::move(sink)) {}

bool OutputRows::started(const ExtY_Corvanta_T &outputs) { return !initialRow_ || emit(0, outputs); }

bool OutputRows::afterStep(std::uint64_t steps, const ExtY_Corvanta_T &outputs) {
  return !isOutputRow(steps, every_, stepCount_) || emit(steps, outputs);
}

bool OutputRows::emit(std::uint64_t steps, const ExtY_Corvanta_T &outputs) {
  OutputRow row;
  row[0] = timeOfStep(steps);
  const OutputValues values = toOutputArray(outputs);
  std::copy(values.begin(), values.end(), row.begin() + 1);
  ++rows_;
  return sink_(row);
}

}  // namespace corvanta::engine
