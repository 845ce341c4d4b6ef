#include "engine/sweep/RunMetrics.h"

namespace corvanta::sweep {

namespace {

constexpr double kStepSize = CORVANTA_STEP_SIZE;

}  // namespace

void RunMetricsAccumulator::afterStep(std::uint64_t steps, bool initialized, const double *inputs,
                                      const double *outputs) {
  RunMetrics &m = metrics_;
  const double *previous = m.finalOutputs.data();
  // After Initialize the step starts from the initial pose, not from where the car stood.
  const double startX = initialized ? inputs[CORVANTA_IN_INITIAL_POSITION_X] : previous[CORVANTA_OUT_POSITION_X];
  const double startY = initialized ? inputs[CORVANTA_IN_INITIAL_POSITION_Y] : previous[CORVANTA_OUT_POSITION_Y];
  const double startHeading = initialized ? inputs[CORVANTA_IN_INITIAL_HEADING] : previous[CORVANTA_OUT_HEADING];

  // A NaN makes the figure NaN from then on (and an infinity infinite): a run that broke
  // down has no distance, top speed or heading rate to report.
  const double travelled = std::hypot(outputs[CORVANTA_OUT_POSITION_X] - startX, outputs[CORVANTA_OUT_POSITION_Y] - startY);
  m.distance += travelled;
  const double speed = std::fabs(outputs[CORVANTA_OUT_LONGITUDINAL_SPEED]);
  if (speed > m.topSpeed || std::isnan(speed)) {
    m.topSpeed = speed;
  }
  const double headingRate = std::fabs(outputs[CORVANTA_OUT_HEADING] - startHeading) / kStepSize;
  if (headingRate > m.maxHeadingRate || std::isnan(headingRate)) {
    m.maxHeadingRate = headingRate;
  }
  const double time = static_cast<double>(steps) * kStepSize;
  if (speed >= kStandstillSpeed) {
    moving_ = true;
  } else if (moving_ && std::isnan(m.stopTime) && !std::isnan(speed)) {
    m.stopTime = time;
    m.stopDistance = m.distance;
  }
  if (std::isnan(m.tipOverTime) && outputs[CORVANTA_OUT_TIP_OVER_INDICATOR] == 1.0) {
    m.tipOverTime = time;
  }
  for (int index = 0; index < CORVANTA_NUM_OUTPUTS; ++index) {
    m.nonFinite = m.nonFinite || !std::isfinite(outputs[index]);
    m.finalOutputs[static_cast<std::size_t>(index)] = outputs[index];
  }
  m.steps = steps;
}

namespace {

// Largest |value| so far; NaN from the first NaN on.
void keepLargest(double &largest, double value) {
  const double size = std::fabs(value);
  if (!std::isnan(largest) && (size > largest || std::isnan(size))) {
    largest = size;
  }
}

}  // namespace

void RunMetricsAccumulator::afterSignals(const double *signals) {
  RunMetrics &m = metrics_;
  if (!signalsSeen_) {
    signalsSeen_ = true;
    m.maxLateralAcceleration = 0.0;
    m.maxSlipAngle = 0.0;
  }
  const double gear = signals[0];
  for (std::size_t k = 0; k < stepsInGear_.size(); ++k) {
    if (gear == static_cast<double>(k + 1)) {
      ++stepsInGear_[k];
    }
  }
  keepLargest(m.maxLateralAcceleration, signals[1]);
  for (std::size_t wheel = 0; wheel < 4; ++wheel) {
    keepLargest(m.maxSlipAngle, signals[2 + wheel]);
  }
  for (std::size_t k = 0; k < stepsInGear_.size(); ++k) {
    m.timeInGear[k] = static_cast<double>(stepsInGear_[k]) * kStepSize;
  }
}

}  // namespace corvanta::sweep
