// The figures of a run from hand-made output sequences: travel, speeds, stop, tip-over,
// re-initialisation and the two ways a NaN reaches the figures.
#include "engine/running/RunStatistics.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

#include "tests/TestSupport.h"

namespace corvanta::engine {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Inputs = std::array<double, CORVANTA_NUM_INPUTS>;
using Outputs = std::array<double, CORVANTA_NUM_OUTPUTS>;

Outputs pose(double x, double y, double heading, double speed, double tipOver = -1.0) {
  Outputs outputs{};
  outputs[CORVANTA_OUT_POSITION_X] = x;
  outputs[CORVANTA_OUT_POSITION_Y] = y;
  outputs[CORVANTA_OUT_HEADING] = heading;
  outputs[CORVANTA_OUT_LONGITUDINAL_SPEED] = speed;
  outputs[CORVANTA_OUT_TIP_OVER_INDICATOR] = tipOver;
  return outputs;
}

struct SteppedRun {
  RunStatistics statistics;
  Inputs inputs{};
  std::uint64_t steps = 0;
  void step(const Outputs &outputs, bool initialized = false) {
    statistics.afterStep(++steps, initialized, inputs.data(), outputs.data());
  }
};

TEST(RunStatistics, TravelSpeedsAndHeadingRateOfAPlainRun) {
  SteppedRun run;
  run.step(pose(3.0, 4.0, 0.0, 2.0));    // 5 m from the origin (3-4-5)
  run.step(pose(3.0, 10.0, 0.5, -6.5));  // 6 m on; |speed| 6.5 counts, heading 0.5 rad in one step
  run.step(pose(3.0, 10.0, 0.5, 1.0));
  const RunStatistics &s = run.statistics;
  EXPECT_EQ(s.steps(), 3u);
  EXPECT_SAME_BITS(11.0, s.distance());
  EXPECT_SAME_BITS(11.0, s.distanceOfFiniteSteps());
  EXPECT_SAME_BITS(6.5, s.topSpeed());
  EXPECT_SAME_BITS(6.5, s.topNumericSpeed());
  EXPECT_EQ(s.topNumericSpeedStep(), 2u);
  EXPECT_SAME_BITS(0.5 / 0.0001, s.maxHeadingRate());
  EXPECT_FALSE(s.stopStep());
  EXPECT_FALSE(s.firstTipOverStep());
  EXPECT_EQ(s.tipOverSteps(), 0u);
  EXPECT_FALSE(s.firstNonFiniteStep());
  EXPECT_SAME_BITS(1.0, s.finalOutputs()[CORVANTA_OUT_LONGITUDINAL_SPEED]);
}

TEST(RunStatistics, StopNeedsMovementFirstAndKeepsTheDistanceThen) {
  SteppedRun run;
  run.step(pose(0.0, 0.0, 0.0, 0.005));  // below 0.01 m/s before moving: no stop
  run.step(pose(1.0, 0.0, 0.0, 0.01));   // 0.01 counts as moving
  run.step(pose(2.0, 0.0, 0.0, 0.009));  // stands still at step 3, 2 m travelled
  run.step(pose(2.0, 0.0, 0.0, 0.0));    // later standstill steps do not move the stop
  ASSERT_TRUE(run.statistics.stopStep());
  EXPECT_EQ(*run.statistics.stopStep(), 3u);
  EXPECT_SAME_BITS(2.0, run.statistics.stopDistance());
}

TEST(RunStatistics, TipOverIsCountedFromItsFirstStep) {
  SteppedRun run;
  run.step(pose(0.0, 0.0, 0.0, 1.0, 0.0));
  run.step(pose(0.0, 0.0, 0.0, 1.0, 1.0));
  run.step(pose(0.0, 0.0, 0.0, 1.0, -1.0));
  run.step(pose(0.0, 0.0, 0.0, 1.0, 1.0));
  ASSERT_TRUE(run.statistics.firstTipOverStep());
  EXPECT_EQ(*run.statistics.firstTipOverStep(), 2u);
  EXPECT_EQ(run.statistics.tipOverSteps(), 2u);
}

TEST(RunStatistics, ReinitialisationJumpIsNotTravelled) {
  SteppedRun run;
  run.step(pose(10.0, 0.0, 0.0, 1.0));  // 10 m
  run.inputs[CORVANTA_IN_INITIAL_POSITION_X] = 100.0;
  run.inputs[CORVANTA_IN_INITIAL_HEADING] = 2.0;
  // Re-initialised at (100, 0), heading 2: 3 m on and no heading change, not the 90 m jump.
  run.step(pose(103.0, 0.0, 2.0, 1.0), true);
  EXPECT_SAME_BITS(13.0, run.statistics.distance());
  EXPECT_SAME_BITS(0.0, run.statistics.maxHeadingRate());
}

TEST(RunStatistics, ANaNStopsThePlainFiguresButNotTheNumericOnes) {
  SteppedRun run;
  run.step(pose(3.0, 4.0, 0.0, 2.0));
  run.step(pose(kNaN, 4.0, kNaN, kNaN));
  run.step(pose(6.0, 8.0, 0.0, 9.0));  // hypot from the NaN position is NaN again
  run.step(pose(6.0, 9.0, 0.0, 1.0));  // 1 m
  const RunStatistics &s = run.statistics;
  EXPECT_TRUE(std::isnan(s.distance()));
  EXPECT_SAME_BITS(6.0, s.distanceOfFiniteSteps());
  EXPECT_TRUE(std::isnan(s.topSpeed()));
  EXPECT_TRUE(std::isnan(s.maxHeadingRate()));
  EXPECT_SAME_BITS(9.0, s.topNumericSpeed());
  EXPECT_EQ(s.topNumericSpeedStep(), 3u);
  ASSERT_TRUE(s.firstNonFiniteStep());
  EXPECT_EQ(*s.firstNonFiniteStep(), 2u);
}

}  // namespace
}  // namespace corvanta::engine
