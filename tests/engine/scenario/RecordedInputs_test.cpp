// Recorded-input CSV files: reading any subset of columns, the duration rule, messages
// with line numbers, and the writer that records a run's inputs.
#include "engine/scenario/RecordedInputs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/messages/ScenarioError.h"
#include "engine/running/InputSequencer.h"
#include "tests/tools/sim/SimTestSupport.h"

namespace corvanta::engine {
namespace {

std::string errorOf(const std::string &text) {
  try {
    parseRecordedInputs(text, "r.csv");
  } catch (const ScenarioError &error) {
    return error.what();
  }
  return "(no error)";
}

TEST(RecordedInputs, ColumnsInAnyOrderBecomeSetEvents) {
  // Byte-order mark, CRLF line ends, spaces around fields and a blank line are all accepted.
  const Schedule schedule = parseRecordedInputs(
      "\xEF\xBB\xBFGearSelector, time ,SteeringAngle\r\n1,0,0.01\r\n\r\n3, 1.25 ,-0.02\r\n", "runs/lap.csv");
  EXPECT_EQ("lap", schedule.name);
  EXPECT_EQ(12500u, schedule.stepCount);
  // The row at time 0 is also the record Initialize sees; inputs without a column are 0.
  InputValues initial{};
  initial[CORVANTA_IN_GEAR_SELECTOR] = 1.0;
  initial[CORVANTA_IN_STEERING_ANGLE] = 0.01;
  EXPECT_EQ(initial, schedule.initialInputs);
  ASSERT_EQ(2u, schedule.events.size());
  EXPECT_EQ(0u, schedule.events[0].step);
  EXPECT_EQ(12500u, schedule.events[1].step);
  ASSERT_EQ(2u, schedule.events[1].sets.size());
  EXPECT_EQ(CORVANTA_IN_GEAR_SELECTOR, schedule.events[1].sets[0].input);
  EXPECT_SAME_BITS(3.0, schedule.events[1].sets[0].value);
  EXPECT_EQ(CORVANTA_IN_STEERING_ANGLE, schedule.events[1].sets[1].input);
  EXPECT_SAME_BITS(-0.02, schedule.events[1].sets[1].value);
  EXPECT_FALSE(schedule.events[1].initialize);
  EXPECT_TRUE(schedule.events[1].ramps.empty());
}

TEST(RecordedInputs, DurationComesFromTheLastRowUnlessGiven) {
  const std::string text = "time,RoadGrade\n0,0.01\n0.5,0.02\n";
  EXPECT_EQ(5000u, parseRecordedInputs(text, "r.csv").stepCount);
  EXPECT_EQ(123u, parseRecordedInputs(text, "r.csv", RecordedInputsOptions{123, std::nullopt}).stepCount);
  EXPECT_EQ(7u, parseRecordedInputs("time,RoadGrade\n", "r.csv", RecordedInputsOptions{7, std::nullopt}).stepCount);
  EXPECT_EQ("r.csv: no rows after the header; the duration of the run must be given", errorOf("time,RoadGrade\n"));
}

TEST(RecordedInputs, ErrorsNameTheLine) {
  EXPECT_EQ("r.csv:4: time 0.5 comes before the previous row's 1; times must not decrease",
            errorOf("time,RoadGrade\n0,0\n1,0\n0.5,0\n"));
  EXPECT_EQ("r.csv:3: expected 2 fields as in the header, got 3", errorOf("time,RoadGrade\n\n0,0,0\n"));
  EXPECT_EQ("r.csv:2: column \"RoadGrade\": expected a number, got \"\"", errorOf("time,RoadGrade\n0,\n"));
  EXPECT_EQ("r.csv:2: column \"RoadGrade\": expected a number, got \"0.1x\"", errorOf("time,RoadGrade\n0,0.1x\n"));
  EXPECT_EQ("r.csv:2: column \"time\": expected a finite number, got \"inf\"", errorOf("time,RoadGrade\n inf,0\n"));
  EXPECT_EQ("r.csv:1: the column \"RoadGrade\" appears twice", errorOf("time,RoadGrade,RoadGrade\n"));
  EXPECT_EQ("r.csv:1: no \"time\" column in the header", errorOf("RoadGrade\n0\n"));
  EXPECT_EQ(
      "r.csv:1: unknown column \"steeringangel\" (did you mean SteeringAngle?); expected time or an input "
      "name: AccelerationDemand, GearSelector, SteeringAngle, RoadGrade, InitialPositionX, InitialPositionY, "
      "InitialHeading or InitialSpeed",
      errorOf("time,steeringangel\n"));
  EXPECT_EQ("r.csv:2: unknown interpolation \"cubic\"; expected hold or linear",
            errorOf("# recorded on track 3\n# interpolate: cubic\ntime,RoadGrade\n"));
}

// The value of input `input` at step indices 0 .. count-1 of a schedule.
std::vector<double> played(const Schedule &schedule, int input, std::uint64_t count) {
  InputSequencer sequencer(schedule);
  std::vector<double> values;
  for (std::uint64_t step = 0; step < count; ++step) {
    sequencer.prepareStep(step);
    values.push_back(sequencer.values()[static_cast<std::size_t>(input)]);
  }
  return values;
}

TEST(RecordedInputs, LinearInterpolationRampsFromRowToRow) {
  // Rows at steps 0, 4, 4 (same step: the later row wins) and 6; the last row holds.
  const std::string text = "# interpolate: linear\ntime,SteeringAngle\n0,0\n0.0004,1\n0.0004,2\n0.0006,3\n";
  const Schedule linear = parseRecordedInputs(text, "r.csv");
  const std::vector<double> expected{0.0, 0.25, 0.5, 0.75, 2.0, 2.5, 3.0};
  const std::vector<double> actual = played(linear, CORVANTA_IN_STEERING_ANGLE, 7);
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t step = 0; step < expected.size(); ++step) {
    EXPECT_SAME_BITS(expected[step], actual[step]) << "step " << step;
  }
  // The ramp formula of the scenario files, bit for bit, between rows that do not divide evenly.
  const Schedule third = parseRecordedInputs("time,RoadGrade\n0,0.1\n0.0003,0.7\n", "r.csv",
                                             RecordedInputsOptions{std::nullopt, Interpolation::Linear});
  EXPECT_SAME_BITS(0.1 + (0.7 - 0.1) * (1.0 / 3.0), played(third, CORVANTA_IN_ROAD_GRADE, 3)[1]);
  // An option replaces the file's choice, and hold is the default.
  const Schedule held = parseRecordedInputs(text, "r.csv", RecordedInputsOptions{std::nullopt, Interpolation::Hold});
  EXPECT_EQ((std::vector<double>{0.0, 0.0, 0.0, 0.0, 2.0, 2.0, 3.0}), played(held, CORVANTA_IN_STEERING_ANGLE, 7));
  EXPECT_EQ(played(held, CORVANTA_IN_STEERING_ANGLE, 7),
            played(parseRecordedInputs(text.substr(text.find('\n') + 1), "r.csv"), CORVANTA_IN_STEERING_ANGLE, 7));
}

}  // namespace
}  // namespace corvanta::engine
