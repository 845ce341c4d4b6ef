// Figures of one run, gathered step by step so that a run of any length needs no memory for
// its trajectory: the one account behind the runner's summary (tools/sim/RunSummary.h) and
// the sweep's metrics (engine/sweep/RunMetrics.h).  Header only: the runner reaches the
// engine through its C interface and compiles this itself.
//
// A NaN or an infinity among the outputs reaches the figures in two ways, and both are kept:
// the plain figures (distance, topSpeed, maxHeadingRate) are NaN from the first step whose
// value is NaN on (infinite when it is infinite), as a sweep reports a run that broke down;
// distanceOfFiniteSteps and topNumericSpeed leave out the steps whose value is NaN (an
// infinite distance step too), as the summary reports what the car did before.
#ifndef CORVANTA_ENGINE_RUNNING_RUNSTATISTICS_H
#define CORVANTA_ENGINE_RUNNING_RUNSTATISTICS_H

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

#include "capi/corvanta.h"

namespace corvanta::engine {

// Speed below which a car that has been moving counts as standing still, m/s.
inline constexpr double kStandstillSpeed = 0.01;

class RunStatistics {
 public:
  using Outputs = std::array<double, CORVANTA_NUM_OUTPUTS>;

  // After each step: `steps` taken so far, including this one (model time = steps *
  // CORVANTA_STEP_SIZE), whether Initialize ran right before this step, the input record of
  // the step (its initial position and heading mark where a re-initialised run restarts)
  // and the outputs after it, both in field order.
  void afterStep(std::uint64_t steps, bool initialized, const double *inputs, const double *outputs) {
    // After Initialize the step starts from the initial pose, not from where the car stood.
    const double startX = initialized ? inputs[CORVANTA_IN_INITIAL_POSITION_X] : final_[CORVANTA_OUT_POSITION_X];
    const double startY = initialized ? inputs[CORVANTA_IN_INITIAL_POSITION_Y] : final_[CORVANTA_OUT_POSITION_Y];
    const double startHeading = initialized ? inputs[CORVANTA_IN_INITIAL_HEADING] : final_[CORVANTA_OUT_HEADING];

    const double travelled =
        std::hypot(outputs[CORVANTA_OUT_POSITION_X] - startX, outputs[CORVANTA_OUT_POSITION_Y] - startY);
    distance_ += travelled;
    if (std::isfinite(travelled)) {
      distanceOfFiniteSteps_ += travelled;
    }
    const double speed = std::fabs(outputs[CORVANTA_OUT_LONGITUDINAL_SPEED]);
    if (speed > topSpeed_ || std::isnan(speed)) {
      topSpeed_ = speed;
    }
    if (speed > topNumericSpeed_) {
      topNumericSpeed_ = speed;
      topNumericSpeedStep_ = steps;
    }
    const double headingRate = std::fabs(outputs[CORVANTA_OUT_HEADING] - startHeading) / CORVANTA_STEP_SIZE;
    if (headingRate > maxHeadingRate_ || std::isnan(headingRate)) {
      maxHeadingRate_ = headingRate;
    }
    if (speed >= kStandstillSpeed) {
      moving_ = true;
    } else if (moving_ && !stopStep_ && !std::isnan(speed)) {
      stopStep_ = steps;
      stopDistance_ = distance_;
    }
    if (outputs[CORVANTA_OUT_TIP_OVER_INDICATOR] == 1.0) {
      ++tipOverSteps_;
      if (!firstTipOverStep_) {
        firstTipOverStep_ = steps;
      }
    }
    bool nonFinite = false;
    for (std::size_t index = 0; index < final_.size(); ++index) {
      nonFinite = nonFinite || !std::isfinite(outputs[index]);
      final_[index] = outputs[index];
    }
    if (nonFinite && !firstNonFiniteStep_) {
      firstNonFiniteStep_ = steps;
    }
    steps_ = steps;
  }

  std::uint64_t steps() const { return steps_; }
  // Length of the path of the centre of mass in the road plane, m.  The jump of a
  // re-initialisation to its start position is not travelled and does not count.
  double distance() const { return distance_; }
  double distanceOfFiniteSteps() const { return distanceOfFiniteSteps_; }
  // Largest |LongitudinalSpeed|, m/s.
  double topSpeed() const { return topSpeed_; }
  // The same over the steps whose speed is a number, and the step count that reached it.
  double topNumericSpeed() const { return topNumericSpeed_; }
  std::uint64_t topNumericSpeedStep() const { return topNumericSpeedStep_; }
  // Largest |Heading change in one step| / CORVANTA_STEP_SIZE, rad/s.
  double maxHeadingRate() const { return maxHeadingRate_; }
  // First step that ended with |LongitudinalSpeed| below kStandstillSpeed after the car had
  // moved at least that fast, and the distance travelled up to it.
  std::optional<std::uint64_t> stopStep() const { return stopStep_; }
  double stopDistance() const { return stopDistance_; }
  // First step count after which TipOverIndicator was +1, and the number of such steps.
  std::optional<std::uint64_t> firstTipOverStep() const { return firstTipOverStep_; }
  std::uint64_t tipOverSteps() const { return tipOverSteps_; }
  // First step count after which an output was NaN or infinite.
  std::optional<std::uint64_t> firstNonFiniteStep() const { return firstNonFiniteStep_; }
  // The outputs after the last step (zeros before the first).
  const Outputs &finalOutputs() const { return final_; }

 private:
  std::uint64_t steps_ = 0;
  double distance_ = 0.0;
  double distanceOfFiniteSteps_ = 0.0;
  double topSpeed_ = 0.0;
  double topNumericSpeed_ = 0.0;
  std::uint64_t topNumericSpeedStep_ = 0;
  double maxHeadingRate_ = 0.0;
  bool moving_ = false;
  std::optional<std::uint64_t> stopStep_;
  double stopDistance_ = 0.0;
  std::optional<std::uint64_t> firstTipOverStep_;
  std::uint64_t tipOverSteps_ = 0;
  std::optional<std::uint64_t> firstNonFiniteStep_;
  Outputs final_{};
};

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_RUNNING_RUNSTATISTICS_H
