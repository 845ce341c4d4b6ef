// Playing schedules back: the ramp formula, the order of events within a step and the
// rules that end ramps.
#include "engine/running/InputSequencer.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/tools/sim/SimTestSupport.h"

namespace corvanta::engine {
namespace {

constexpr int kDemand = CORVANTA_IN_ACCELERATION_DEMAND;
constexpr int kSteer = CORVANTA_IN_STEERING_ANGLE;

ScheduledEvent setAt(std::uint64_t step, int input, double value) {
  ScheduledEvent event;
  event.step = step;
  event.sets.push_back(InputChange{input, value});
  return event;
}

ScheduledEvent rampAt(std::uint64_t step, int input, double target, std::uint64_t endStep) {
  ScheduledEvent event;
  event.step = step;
  event.ramps.push_back(RampStart{input, target, endStep});
  return event;
}

// The value of `input` at step indices 0 .. count-1.
std::vector<double> play(const Schedule &schedule, int input, std::uint64_t count) {
  InputSequencer sequencer(schedule);
  std::vector<double> values;
  for (std::uint64_t step = 0; step < count; ++step) {
    sequencer.prepareStep(step);
    values.push_back(sequencer.values()[static_cast<std::size_t>(input)]);
  }
  return values;
}

TEST(InputSequencer, RampIsLinearInStepsAndEndsExactlyOnTarget) {
  Schedule schedule;
  schedule.initialInputs[kDemand] = 1.0;
  schedule.events = {rampAt(2, kDemand, 3.0, 6)};
  const std::vector<double> expected{1.0, 1.0, 1.0, 1.5, 2.0, 2.5, 3.0, 3.0};
  EXPECT_EQ(expected, play(schedule, kDemand, 8));
}

TEST(InputSequencer, RampFollowsTheFormulaBitForBit) {
  // Thirds are inexact: v0 + (v1 - v0) * ((k - k0) / (k1 - k0)) gives these bits, while
  // v0 + (v1 - v0) * (k - k0) / (k1 - k0) would end in ...555p-3 and ...bbcp-2.
  Schedule schedule;
  schedule.initialInputs[kSteer] = 0.1;
  schedule.events = {rampAt(0, kSteer, -0.7, 3)};
  const std::vector<double> values = play(schedule, kSteer, 4);
  EXPECT_SAME_BITS(0.1, values[0]);
  EXPECT_SAME_BITS(-0x1.5555555555553p-3, values[1]);
  EXPECT_SAME_BITS(-0x1.bbbbbbbbbbbbap-2, values[2]);
  EXPECT_SAME_BITS(-0.7, values[3]);
}

TEST(InputSequencer, StartStepEvaluatesTheFormulaToo) {
  // At k = k0 the value is v0 + (v1 - v0) * 0.0, which turns a start value of -0.0 into +0.0.
  Schedule schedule;
  schedule.initialInputs[kSteer] = -0.0;
  schedule.events = {rampAt(1, kSteer, 0.5, 3)};
  const std::vector<double> values = play(schedule, kSteer, 2);
  EXPECT_SAME_BITS(-0.0, values[0]);
  EXPECT_SAME_BITS(0.0, values[1]);
}

TEST(InputSequencer, RampWithinOneStepJumpsToTarget) {
  Schedule schedule;
  schedule.events = {rampAt(1, kDemand, 2.0, 1)};
  const std::vector<double> expected{0.0, 2.0, 2.0};
  EXPECT_EQ(expected, play(schedule, kDemand, 3));
}

TEST(InputSequencer, RampStartsFromTheValueSetInTheSameStep) {
  // The ramp comes first in the file, yet the sets of the step act before any ramp starts.
  Schedule schedule;
  ScheduledEvent event = rampAt(1, kDemand, 0.0, 3);
  schedule.events = {event, setAt(1, kDemand, 4.0)};
  const std::vector<double> expected{0.0, 4.0, 2.0, 0.0};
  EXPECT_EQ(expected, play(schedule, kDemand, 4));
}

TEST(InputSequencer, LaterSetEndsAnActiveRamp) {
  Schedule schedule;
  schedule.events = {rampAt(0, kDemand, 8.0, 8), setAt(2, kDemand, -1.0)};
  const std::vector<double> expected{0.0, 1.0, -1.0, -1.0, -1.0};
  EXPECT_EQ(expected, play(schedule, kDemand, 5));
}

TEST(InputSequencer, LaterRampReplacesAnActiveRampFromItsLastValue) {
  // The new ramp starts from the value held when it starts: the old ramp's value at step 1.
  Schedule schedule;
  schedule.events = {rampAt(0, kDemand, 4.0, 4), rampAt(2, kDemand, 0.0, 4)};
  const std::vector<double> expected{0.0, 1.0, 1.0, 0.5, 0.0, 0.0};
  EXPECT_EQ(expected, play(schedule, kDemand, 6));
}

TEST(InputSequencer, RampsOnOtherInputsRunSideBySide) {
  Schedule schedule;
  schedule.events = {rampAt(0, kDemand, 4.0, 4), setAt(1, kSteer, 0.25)};
  EXPECT_EQ((std::vector<double>{0.0, 1.0, 2.0, 3.0, 4.0}), play(schedule, kDemand, 5));
  EXPECT_EQ((std::vector<double>{0.0, 0.25, 0.25, 0.25, 0.25}), play(schedule, kSteer, 5));
}

TEST(InputSequencer, InitializeIsReportedAtItsStepOnly) {
  Schedule schedule;
  ScheduledEvent restart;
  restart.step = 2;
  restart.initialize = true;
  schedule.events = {setAt(2, kDemand, 1.0), restart};
  InputSequencer sequencer(schedule);
  EXPECT_FALSE(sequencer.prepareStep(0));
  EXPECT_FALSE(sequencer.prepareStep(1));
  EXPECT_TRUE(sequencer.prepareStep(2));
  EXPECT_SAME_BITS(1.0, sequencer.values()[kDemand]);
  EXPECT_FALSE(sequencer.prepareStep(3));
}

}  // namespace
}  // namespace corvanta::engine
