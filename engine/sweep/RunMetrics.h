// The figures of one run that a sweep reports, gathered step by step while the run goes,
// so that a run of any length needs no memory for its trajectory.  The figures of the
// outputs are those of engine::RunStatistics (engine/running/RunStatistics.h).
//
// Columns (SI units; "none" is NaN in memory and an empty field in CSV):
//   PositionX ... TipOverIndicator  the seven outputs after the last step
//   distance          path length of the centre of mass in the road plane, m; the jump of a
//                     re-initialisation to its start position is not travelled
//   top_speed         largest |LongitudinalSpeed|, m/s
//   stop_time         model time of the first step that ends with |LongitudinalSpeed| below
//                     0.01 m/s after the car has moved faster than that, s; none if it never stops
//   stop_distance     distance travelled up to stop_time, m; none if it never stops
//   max_heading_rate  largest |Heading change per step| / 0.0001 s, rad/s
//   tip_over_time     model time of the first step that ends with TipOverIndicator = +1, s; or none
//   non_finite        whether any output was NaN or infinite after any step; distance,
//                     top_speed and max_heading_rate are NaN from the first step whose
//                     outputs they use is NaN (infinite when those are infinite)
//   max_lateral_acceleration  largest |LateralAcceleration| (body y) after any step, m/s^2
//   max_slip_angle    largest |slip angle| of the four tyres after any step, rad
//   time_in_gear_1 ... time_in_gear_5  model time spent in each gear (steps ending with
//                     Gear = k, times 0.0001 s), s
//                     These seven come from the model's signals: none when the model
//                     functions have no Signals; the two largest values are none from the
//                     first step whose signal is NaN
//   wall_time         wall-clock seconds of the run (the one column that differs between runs)
#ifndef CORVANTA_SWEEP_RUNMETRICS_H
#define CORVANTA_SWEEP_RUNMETRICS_H

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "capi/corvanta.h"
#include "engine/running/RunStatistics.h"

namespace corvanta::sweep {

// A figure that does not apply.
inline constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

struct RunMetrics {
  std::array<double, CORVANTA_NUM_OUTPUTS> finalOutputs{};
  double distance = 0.0;
  double topSpeed = 0.0;
  double stopTime = std::numeric_limits<double>::quiet_NaN();
  double stopDistance = std::numeric_limits<double>::quiet_NaN();
  double maxHeadingRate = 0.0;
  double tipOverTime = std::numeric_limits<double>::quiet_NaN();
  bool nonFinite = false;
  double maxLateralAcceleration = std::numeric_limits<double>::quiet_NaN();
  double maxSlipAngle = std::numeric_limits<double>::quiet_NaN();
  std::array<double, 5> timeInGear{kNone, kNone, kNone, kNone, kNone};
  double wallTime = 0.0;
  std::uint64_t steps = 0;  // model steps taken (not a column; for steps per second)
};

// Metric columns after the outputs, in order.
inline constexpr std::array<std::string_view, 15> kMetricNames = {
    "distance",         "top_speed",      "stop_time",      "stop_distance",
    "max_heading_rate", "tip_over_time",  "non_finite",     "max_lateral_acceleration",
    "max_slip_angle",   "time_in_gear_1", "time_in_gear_2", "time_in_gear_3",
    "time_in_gear_4",   "time_in_gear_5", "wall_time"};

// The signals the signal metrics read, in the order afterSignals takes them: Gear,
// LateralAcceleration, then the slip angles FL, FR, RL, RR.
inline constexpr std::size_t kMetricSignalCount = 6;

class RunMetricsAccumulator {
 public:
  // After each step: `steps` taken so far (model time = steps * 0.0001 s), whether
  // Initialize ran right before this step, the input record of the step (its initial
  // position and heading mark where a re-initialised run restarts) and the outputs.
  void afterStep(std::uint64_t steps, bool initialized, const double *inputs, const double *outputs);

  // After the same step, when the model has signals: the kMetricSignalCount values.
  void afterSignals(const double *signals);

  // The figures so far; wall_time is left for the caller.
  const RunMetrics &metrics() const { return metrics_; }

 private:
  engine::RunStatistics statistics_;  // the figures the runner's summary reports too
  RunMetrics metrics_;
  bool signalsSeen_ = false;
  std::array<std::uint64_t, 5> stepsInGear_{};
};

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_RUNMETRICS_H
