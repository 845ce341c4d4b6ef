#include "engine/sweep/RunMetrics.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace corvanta::sweep {
namespace {

using Outputs = std::array<double, CORVANTA_NUM_OUTPUTS>;
using Inputs = std::array<double, CORVANTA_NUM_INPUTS>;

Outputs pose(double x, double y, double heading, double speed, double tipOver = -1.0) {
  return {x, y, heading, speed, 0.0, 0.0, tipOver};
}

TEST(RunMetrics, DistanceTopSpeedAndStandstillOfABrakingRun) {
  RunMetricsAccumulator accumulator;
  const Inputs inputs{};  // starts at the origin
  const double speeds[] = {10.0, 6.0, 3.0, 0.005, -0.002, 0.5};
  double x = 0.0;
  for (std::uint64_t step = 1; step <= 6; ++step) {
    x += 3.0;
    const Outputs outputs = pose(x, 4.0 * static_cast<double>(step == 1), 0.0, speeds[step - 1]);
    accumulator.afterStep(step, step == 1, inputs.data(), outputs.data());
  }
  const RunMetrics &m = accumulator.metrics();
  // First step from the origin to (3, 4): 5 m, then 3 m, 5 m up to the stop, 3 m, 3 m, 3 m.
  EXPECT_EQ(m.distance, 5.0 + hypot(3.0, 4.0) + 3.0 * 4.0 - 0.0);
  EXPECT_EQ(m.topSpeed, 10.0);
  EXPECT_EQ(m.stopTime, 4.0 * CORVANTA_STEP_SIZE);  // the first step below 0.01 m/s; it does not restart
  EXPECT_EQ(m.stopDistance, 5.0 + hypot(3.0, 4.0) + 3.0 + 3.0);
  EXPECT_EQ(m.steps, 6u);
  EXPECT_EQ(m.finalOutputs[CORVANTA_OUT_LONGITUDINAL_SPEED], 0.5);
  EXPECT_FALSE(m.nonFinite);
  EXPECT_TRUE(std::isnan(m.tipOverTime));
}

TEST(RunMetrics, ACarThatNeverMovesNeverStops) {
  RunMetricsAccumulator accumulator;
  const Inputs inputs{};
  for (std::uint64_t step = 1; step <= 3; ++step) {
    const Outputs outputs = pose(0.0, 0.0, 0.0, 0.0);
    accumulator.afterStep(step, step == 1, inputs.data(), outputs.data());
  }
  EXPECT_TRUE(std::isnan(accumulator.metrics().stopTime));
  EXPECT_TRUE(std::isnan(accumulator.metrics().stopDistance));
  EXPECT_EQ(accumulator.metrics().distance, 0.0);
}

TEST(RunMetrics, HeadingRateAndReinitialisationStartFromTheInitialPose) {
  RunMetricsAccumulator accumulator;
  Inputs inputs{};
  inputs[CORVANTA_IN_INITIAL_HEADING] = 1.0;
  inputs[CORVANTA_IN_INITIAL_POSITION_X] = 100.0;
  accumulator.afterStep(1, true, inputs.data(), pose(100.0, 0.0, 1.25, 20.0).data());
  accumulator.afterStep(2, false, inputs.data(), pose(102.0, 0.0, 1.375, 20.0).data());
  // Initialize again: the jump back to x = 100 and to heading 1 is neither travelled nor turned.
  accumulator.afterStep(3, true, inputs.data(), pose(101.0, 0.0, 1.0625, 20.0).data());
  const RunMetrics &m = accumulator.metrics();
  EXPECT_EQ(m.distance, 0.0 + 2.0 + 1.0);
  EXPECT_EQ(m.maxHeadingRate, 0.25 / CORVANTA_STEP_SIZE);  // the first step turned most
}

TEST(RunMetrics, TipOverAndNonFiniteOutputsAreNoted) {
  RunMetricsAccumulator accumulator;
  const Inputs inputs{};
  accumulator.afterStep(1, true, inputs.data(), pose(1.0, 0.0, 0.0, 5.0, -1.0).data());
  accumulator.afterStep(2, false, inputs.data(), pose(2.0, 0.0, 0.0, 5.0, 1.0).data());
  accumulator.afterStep(3, false, inputs.data(), pose(3.0, 0.0, 0.0, 5.0, 1.0).data());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  accumulator.afterStep(4, false, inputs.data(), pose(nan, 0.0, 0.0, nan, 0.0).data());
  accumulator.afterStep(5, false, inputs.data(), pose(nan, 0.0, 0.0, nan, 0.0).data());
  const RunMetrics &m = accumulator.metrics();
  EXPECT_EQ(m.tipOverTime, 2.0 * CORVANTA_STEP_SIZE);
  EXPECT_TRUE(m.nonFinite);
  // A broken-down run has no figures: they were 3 and 5 (and 0 for a run NaN from the
  // start), as if the run had been fine.
  EXPECT_TRUE(std::isnan(m.distance));
  EXPECT_TRUE(std::isnan(m.topSpeed));
  EXPECT_EQ(m.maxHeadingRate, 0.0);     // the heading stayed finite
  EXPECT_TRUE(std::isnan(m.stopTime));  // a NaN speed is not a standstill
  EXPECT_TRUE(std::isnan(m.finalOutputs[CORVANTA_OUT_POSITION_X]));
}

TEST(RunMetrics, ARunNonFiniteFromTheFirstStepHasNoFigures) {
  RunMetricsAccumulator accumulator;
  const Inputs inputs{};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  accumulator.afterStep(1, true, inputs.data(), pose(nan, nan, nan, nan).data());
  accumulator.afterStep(2, false, inputs.data(), pose(1.0, 0.0, 0.0, 2.0).data());
  EXPECT_TRUE(std::isnan(accumulator.metrics().distance));
  EXPECT_TRUE(std::isnan(accumulator.metrics().topSpeed));
  EXPECT_TRUE(std::isnan(accumulator.metrics().maxHeadingRate));
  RunMetricsAccumulator infinite;
  infinite.afterStep(1, true, inputs.data(), pose(inf, 0.0, 0.0, -inf).data());
  EXPECT_EQ(infinite.metrics().distance, inf);
  EXPECT_EQ(infinite.metrics().topSpeed, inf);
}

TEST(RunMetrics, SignalFiguresTakeTheLargestMagnitudesAndCountStepsPerGear) {
  RunMetricsAccumulator accumulator;
  // No signals seen: every signal figure is none.
  EXPECT_TRUE(std::isnan(accumulator.metrics().maxLateralAcceleration));
  EXPECT_TRUE(std::isnan(accumulator.metrics().maxSlipAngle));
  for (double t : accumulator.metrics().timeInGear) EXPECT_TRUE(std::isnan(t));
  // Gear, lateral acceleration, slip angles FL FR RL RR after each of four steps.
  const std::array<std::array<double, kMetricSignalCount>, 4> steps = {{
      {1.0, 0.5, 0.01, -0.02, 0.0, 0.0},
      {1.0, -3.25, 0.03, 0.0, -0.07, 0.02},
      {2.0, 1.0, 0.0, 0.0, 0.0, 0.0},
      {0.0, -0.0, -0.0, 0.0, 0.0, 0.0},  // neutral counts in no gear
  }};
  for (const auto &values : steps) accumulator.afterSignals(values.data());
  const RunMetrics &m = accumulator.metrics();
  EXPECT_EQ(m.maxLateralAcceleration, 3.25);
  EXPECT_EQ(m.maxSlipAngle, 0.07);
  EXPECT_EQ(m.timeInGear[0], 2.0 * 0.0001);
  EXPECT_EQ(m.timeInGear[1], 0.0001);
  EXPECT_EQ(m.timeInGear[2], 0.0);
  EXPECT_EQ(m.timeInGear[4], 0.0);
  // A NaN signal leaves the largest values NaN for good; the gear count goes on.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::array<double, kMetricSignalCount> broken = {5.0, nan, 0.0, nan, 0.0, 0.0};
  const std::array<double, kMetricSignalCount> later = {5.0, 9.0, 1.0, 1.0, 1.0, 1.0};
  accumulator.afterSignals(broken.data());
  accumulator.afterSignals(later.data());
  EXPECT_TRUE(std::isnan(m.maxLateralAcceleration));
  EXPECT_TRUE(std::isnan(m.maxSlipAngle));
  EXPECT_EQ(m.timeInGear[4], 2.0 * 0.0001);
}

}  // namespace
}  // namespace corvanta::sweep
