#include "engine/sweep/RunMetrics.h"

namespace corvanta::sweep {

namespace {

constexpr double kStepSize = CORVANTA_STEP_SIZE;

}  // namespace

void RunMetricsAccumulator::afterStep(std::uint64_t steps, bool initialized, const double *inputs,
                                      const double *outputs) {
  statistics_.afterStep(steps, initialized, inputs, outputs);
  const engine::RunStatistics &s = statistics_;
  RunMetrics &m = metrics_;
  m.distance = s.distance();
  m.topSpeed = s.topSpeed();
  m.maxHeadingRate = s.maxHeadingRate();
  if (s.stopStep()) {
    m.stopTime = static_cast<double>(*s.stopStep()) * kStepSize;
    m.stopDistance = s.stopDistance();
  }
  if (s.firstTipOverStep()) {
    m.tipOverTime = static_cast<double>(*s.firstTipOverStep()) * kStepSize;
  }
  m.nonFinite = s.firstNonFiniteStep().has_value();
  m.finalOutputs = s.finalOutputs();
  m.steps = s.steps();
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
