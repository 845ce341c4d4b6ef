// Output decimation: which steps of a run give a row, and the rows themselves (the model
// time and the seven outputs) handed to a sink.
#ifndef CORVANTA_ENGINE_OUTPUTROWS_H
#define CORVANTA_ENGINE_OUTPUTROWS_H

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/running/Schedule.h"

namespace corvanta::engine {

inline constexpr std::uint64_t kDefaultEvery = 100;

// A row: time in s, then the outputs in field order.
using OutputRow = std::array<double, 1 + CORVANTA_NUM_OUTPUTS>;

// Whether a row follows the step that brings the count to `steps` of `stepCount`: after
// every `every`-th step and after the last.
inline bool isOutputRow(std::uint64_t steps, std::uint64_t every, std::uint64_t stepCount) {
  return steps % every == 0 || steps == stepCount;
}

// Rows of a run of `stepCount` steps, with the row at time 0 when `initialRow`.
std::uint64_t outputRowCount(std::uint64_t stepCount, std::uint64_t every, bool initialRow);

// Receives each row; returns false to stop the run.
using RowSink = std::function<bool(const OutputRow &row)>;

// Turns the start and the steps of a run into rows for a sink.
class OutputRows {
 public:
  // `every` must be at least 1.
  OutputRows(std::uint64_t every, std::uint64_t stepCount, bool initialRow, RowSink sink);

  bool started(const ExtY_Corvanta_T &outputs);
  // `last`: the run ends after this step although it is not the last of the schedule
  // (a stop condition), which gives a row too.
  bool afterStep(std::uint64_t steps, const ExtY_Corvanta_T &outputs, bool last = false);
  std::uint64_t rowsWritten() const { return rows_; }

 private:
  bool emit(std::uint64_t steps, const ExtY_Corvanta_T &outputs);

  std::uint64_t every_;
  std::uint64_t stepCount_;
  bool initialRow_;
  RowSink sink_;
  std::uint64_t rows_ = 0;
};

// The input record at the row times of a run (see corvanta_scenario_input_rows): rows of
// the time and the eight inputs, appended to `rows`.
void inputRows(const Schedule &schedule, std::uint64_t every, bool initialRow, std::vector<double> &rows);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_OUTPUTROWS_H
