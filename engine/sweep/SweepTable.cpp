#include "engine/sweep/SweepTable.h"

#include <array>
#include <string_view>

#include "engine/running/Schedule.h"

namespace corvanta::sweep {

namespace {

ColumnKind kindOfMetric(std::string_view name) {
  if (name == "stop_time" || name == "stop_distance" || name == "tip_over_time" || name == "max_lateral_acceleration" ||
      name == "max_slip_angle" || name.substr(0, 13) == "time_in_gear_") {
    return ColumnKind::Optional;
  }
  return name == "non_finite" ? ColumnKind::Flag : ColumnKind::Number;
}

}  // namespace

std::vector<Column> sweepColumns(const SweepDefinition &definition) {
  std::vector<Column> columns{{"run", ColumnKind::RunIndex}};
  for (const VariedField &field : definition.fields()) {
    columns.push_back({field.path.text(), ColumnKind::Number});
  }
  for (std::string_view name : engine::kOutputNames) {  // the engine's one table of the output names
    columns.push_back({std::string(name), ColumnKind::Number});
  }
  for (std::string_view name : kMetricNames) {
    columns.push_back({std::string(name), kindOfMetric(name)});
  }
  return columns;
}

void flattenRow(const SweepRow &row, double *out) {
  *out++ = static_cast<double>(row.run);
  for (double value : row.values) {
    *out++ = value;
  }
  for (double value : row.metrics.finalOutputs) {
    *out++ = value;
  }
  const RunMetrics &m = row.metrics;
  for (double value : {m.distance, m.topSpeed, m.stopTime, m.stopDistance, m.maxHeadingRate, m.tipOverTime,
                       m.nonFinite ? 1.0 : 0.0, m.maxLateralAcceleration, m.maxSlipAngle, m.timeInGear[0],
                       m.timeInGear[1], m.timeInGear[2], m.timeInGear[3], m.timeInGear[4], m.wallTime}) {
    *out++ = value;
  }
}

}  // namespace corvanta::sweep
