// Figures of the closing summary, from hand-made step reports.
#include "tools/sim/RunSummary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/tools/sim/SimTestSupport.h"

namespace corvanta::sim {
namespace {

class RunStatisticsTest : public ::testing::Test {
 protected:
  void step(bool initialized, double x, double y, double speed, double tipOver) {
    outputs_.PositionX = x;
    outputs_.PositionY = y;
    outputs_.LongitudinalSpeed = speed;
    outputs_.TipOverIndicator = tipOver;
    statistics_.record(StepReport{++steps_, initialized, inputs_.data(), outputs_});
  }

  void startAt(double x, double y) {
    inputs_[CORVANTA_IN_INITIAL_POSITION_X] = x;
    inputs_[CORVANTA_IN_INITIAL_POSITION_Y] = y;
  }

  RunStatistics statistics_;
  InputValues inputs_{};
  ExtY_Corvanta_T outputs_{};
  std::uint64_t steps_ = 0;
};

TEST_F(RunStatisticsTest, DistanceFollowsThePathButNotTheJumpOfARestart) {
  startAt(5.0, -3.0);
  step(true, 8.0, 1.0, 2.0, -1.0);    // 5 m from the start position
  step(false, 8.0, 13.0, 2.0, -1.0);  // 12 m
  startAt(100.0, 0.0);
  step(true, 103.0, 4.0, 2.0, -1.0);  // 5 m from the new start, not from (8, 13)
  EXPECT_SAME_BITS(22.0, statistics_.distance());
  EXPECT_EQ(3u, statistics_.steps());
  EXPECT_SAME_BITS(103.0, statistics_.finalOutputs().PositionX);
}

TEST_F(RunStatisticsTest, TopSpeedCountsReversingAndTipOverItsSteps) {
  step(true, 0.0, 0.0, 2.0, -1.0);
  step(false, 0.0, 0.0, -6.0, 1.0);
  step(false, 0.0, 0.0, 5.0, 0.0);
  step(false, 0.0, 0.0, 1.0, 1.0);
  EXPECT_SAME_BITS(6.0, statistics_.topSpeed());
  EXPECT_EQ(2u, statistics_.topSpeedStep());
  ASSERT_TRUE(statistics_.firstTipOverStep().has_value());
  EXPECT_EQ(2u, *statistics_.firstTipOverStep());
  EXPECT_EQ(2u, statistics_.tipOverSteps());
  EXPECT_FALSE(statistics_.firstNonFiniteStep().has_value());
}

TEST_F(RunStatisticsTest, NonFiniteOutputsAreFlaggedAndLeaveTheDistance) {
  step(true, 3.0, 4.0, 1.0, -1.0);
  step(false, std::nan(""), 4.0, 1.0, 0.0);
  EXPECT_SAME_BITS(5.0, statistics_.distance());
  ASSERT_TRUE(statistics_.firstNonFiniteStep().has_value());
  EXPECT_EQ(2u, *statistics_.firstNonFiniteStep());
}

TEST_F(RunStatisticsTest, SummaryStatesTimesExactlyToTheStep) {
  step(true, 0.0, 0.0, 1.0, -1.0);
  step(false, 0.0, 0.0, 1.0, 1.0);
  ScenarioFacts scenario;
  scenario.name = "tip";
  const std::string text = formatSummary(scenario, statistics_, SummaryContext{"tip.json", "lib.so", "none", 0.5});
  EXPECT_NE(std::string::npos, text.find("  scenario    tip (tip.json)\n")) << text;
  EXPECT_NE(std::string::npos, text.find("  model time  0.0002 s, 2 steps of 0.0001 s\n")) << text;
  EXPECT_NE(std::string::npos, text.find("  tip-over    indicator +1 first at t = 0.0002 s, for 0.0001 s in all\n"))
      << text;
  EXPECT_NE(std::string::npos, text.find("  wall time   0.500 s, real-time factor 0.0")) << text;
}

}  // namespace
}  // namespace corvanta::sim
