// Recorded-input CSV files: reading any subset of columns, the duration rule, messages
// with line numbers, and the writer that records a run's inputs.
#include "RecordedInputs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "InputSequencer.h"
#include "SimTestSupport.h"

namespace corvanta::sim {
namespace {

std::string errorOf(const std::string &text) {
  try {
    parseRecordedInputs(text, "r.csv", std::nullopt);
  } catch (const ScenarioError &error) {
    return error.what();
  }
  return "(no error)";
}

// What a writer put into a temporary file.
template <typename Write>
std::string written(Write write) {
  std::FILE *file = std::tmpfile();
  {
    RecordedInputsWriter writer(file);
    write(writer);
  }
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
    text += static_cast<char>(c);
  }
  std::fclose(file);
  return text;
}

TEST(RecordedInputs, ColumnsInAnyOrderBecomeSetEvents) {
  // Byte-order mark, CRLF line ends, spaces around fields and a blank line are all accepted.
  const Schedule schedule = parseRecordedInputs(
      "\xEF\xBB\xBFGearSelector, time ,SteeringAngle\r\n1,0,0.01\r\n\r\n3, 1.25 ,-0.02\r\n", "runs/lap.csv", std::nullopt);
  EXPECT_EQ("lap", schedule.name);
  EXPECT_EQ(12500u, schedule.stepCount);
  EXPECT_EQ(InputValues{}, schedule.initialInputs);
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
  EXPECT_EQ(5000u, parseRecordedInputs(text, "r.csv", std::nullopt).stepCount);
  EXPECT_EQ(123u, parseRecordedInputs(text, "r.csv", 123).stepCount);
  EXPECT_EQ(7u, parseRecordedInputs("time,RoadGrade\n", "r.csv", 7).stepCount);
  EXPECT_EQ("r.csv: no rows after the header; give the model time to run with --duration",
            errorOf("time,RoadGrade\n"));
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
}

TEST(RecordedInputs, WriterKeepsOneRowPerChangeAndClosesAtTheEndTime) {
  const InputValues first{1.5, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 20.0};
  InputValues second = first;
  second[CORVANTA_IN_ACCELERATION_DEMAND] = -0.1;
  const std::string text = written([&](RecordedInputsWriter &writer) {
    writer.record(0, first);
    writer.record(1, first);
    writer.record(2, second);
    writer.record(3, second);
    writer.finish(5, second);
  });
  EXPECT_EQ("time,AccelerationDemand,GearSelector,SteeringAngle,RoadGrade,InitialPositionX,InitialPositionY,"
            "InitialHeading,InitialSpeed\n"
            "0,1.5,1,0,0,0,0,0,20\n"
            "0.00020000000000000001,-0.10000000000000001,1,0,0,0,0,0,20\n"
            "0.00050000000000000001,-0.10000000000000001,1,0,0,0,0,0,20\n",
            text);
}

TEST(RecordedInputs, WrittenFileReplaysTheSameRecordAtEveryStep) {
  // Values that need all 17 digits, and a change of sign of zero, survive the round trip.
  std::vector<InputValues> records(6);
  for (std::size_t step = 0; step < records.size(); ++step) {
    records[step][CORVANTA_IN_STEERING_ANGLE] = 0.1 * static_cast<double>(step) / 3.0;
    records[step][CORVANTA_IN_ROAD_GRADE] = (step < 3) ? 0.0 : -0.0;
  }
  const std::string text = written([&](RecordedInputsWriter &writer) {
    for (std::size_t step = 0; step < records.size(); ++step) {
      writer.record(step, records[step]);
    }
    writer.finish(records.size(), records.back());
  });
  const Schedule schedule = parseRecordedInputs(text, "r.csv", std::nullopt);
  EXPECT_EQ(records.size(), schedule.stepCount);
  InputSequencer sequencer(schedule);
  for (std::size_t step = 0; step < records.size(); ++step) {
    sequencer.prepareStep(step);
    for (std::size_t input = 0; input < records[step].size(); ++input) {
      EXPECT_SAME_BITS(records[step][input], sequencer.values()[input]) << "step " << step << " input " << input;
    }
  }
}

}  // namespace
}  // namespace corvanta::sim
