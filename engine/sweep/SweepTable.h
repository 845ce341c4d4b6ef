// The results of a sweep as a table: one row per run, the columns
//
//   run, <the varied fields by path, in definition order>, PositionX ... TipOverIndicator,
//   distance, top_speed, stop_time, stop_distance, max_heading_rate, tip_over_time,
//   non_finite, max_lateral_acceleration, max_slip_angle, time_in_gear_1 ... time_in_gear_5,
//   wall_time
//
// (RunMetrics.h explains the metrics).  A row flattens to doubles in this order: the run
// index (exact up to 2^53), non_finite as 0 or 1, "none" as NaN.
#ifndef CORVANTA_SWEEP_SWEEPTABLE_H
#define CORVANTA_SWEEP_SWEEPTABLE_H

#include <string>
#include <vector>

#include "engine/sweep/SweepDefinition.h"
#include "engine/sweep/SweepRunner.h"

namespace corvanta::sweep {

enum class ColumnKind {
  RunIndex,  // a whole number
  Number,    // any double; NaN and infinities printed as nan, inf, -inf
  Optional,  // a finite double or none (NaN), printed as an empty field
  Flag,      // 0 or 1, printed as false or true
};

struct Column {
  std::string name;
  ColumnKind kind;
};

std::vector<Column> sweepColumns(const SweepDefinition &definition);

// Writes the row's values into `out`, which holds sweepColumns(...).size() doubles.
void flattenRow(const SweepRow &row, double *out);

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_SWEEPTABLE_H
