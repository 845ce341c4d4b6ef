// The recorder behind --inputs-out: one row per change, a closing row at the end time, and
// a file that the engine replays into the same record at every step.
#include "tools/sim/RecordedInputsRecorder.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/tools/sim/SimTestSupport.h"

namespace corvanta::sim {
namespace {

using Record = std::array<double, CORVANTA_NUM_INPUTS>;

// What a recorder wrote to a file in `scratch`.
template <typename Write>
std::string recorded(const simtest::ScratchDirectory &scratch, const Record &initial, Write write) {
  const std::string path = (scratch / "inputs.csv").string();
  const auto columns = recordedInputColumns();
  CorvantaCsvWriter *writer = corvanta_csv_open(path.c_str(), columns.data(), columns.size(), nullptr);
  EXPECT_NE(nullptr, writer);
  RecordedInputsRecorder recorder(writer, initial.data());
  write(recorder);
  EXPECT_EQ(CORVANTA_ENGINE_OK, corvanta_csv_close(writer, nullptr));
  return simtest::readFile(path);
}

TEST(RecordedInputsRecorder, OneRowPerChangeAndAClosingRowAtTheEndTime) {
  simtest::ScratchDirectory scratch;
  const Record first{1.5, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 20.0};
  Record second = first;
  second[CORVANTA_IN_ACCELERATION_DEMAND] = -0.1;
  const std::string text = recorded(scratch, first, [&](RecordedInputsRecorder &recorder) {
    recorder.record(0, first.data());
    recorder.record(1, first.data());
    recorder.record(2, second.data());
    recorder.record(3, second.data());
    recorder.finish(5);
  });
  EXPECT_EQ(
      "time,AccelerationDemand,GearSelector,SteeringAngle,RoadGrade,InitialPositionX,InitialPositionY,"
      "InitialHeading,InitialSpeed\n"
      "0,1.5,1,0,0,0,0,0,20\n"
      "0.0002,-0.1,1,0,0,0,0,0,20\n"
      "0.0005,-0.1,1,0,0,0,0,0,20\n",
      text);
  // A run without steps still records its initial inputs.
  EXPECT_NE(std::string::npos,
            recorded(scratch, first, [](RecordedInputsRecorder &recorder) { recorder.finish(0); }).find("\n0,1.5,1,"));
}

int collectInputs(void *user, std::uint64_t, int, const double *inputs, const double *) {
  auto &records = *static_cast<std::vector<Record> *>(user);
  records.push_back(Record{});
  std::copy(inputs, inputs + CORVANTA_NUM_INPUTS, records.back().begin());
  return 0;
}

TEST(RecordedInputsRecorder, WrittenFileReplaysTheSameRecordAtEveryStep) {
  // Values that need all 17 digits, and a change of sign of zero, survive the round trip.
  simtest::ScratchDirectory scratch;
  std::vector<Record> records(6);
  for (std::size_t step = 0; step < records.size(); ++step) {
    records[step][CORVANTA_IN_STEERING_ANGLE] = 0.1 * static_cast<double>(step) / 3.0;
    records[step][CORVANTA_IN_ROAD_GRADE] = (step < 3) ? 0.0 : -0.0;
  }
  const std::string text = recorded(scratch, records.front(), [&](RecordedInputsRecorder &recorder) {
    for (std::size_t step = 0; step < records.size(); ++step) {
      recorder.record(step, records[step].data());
    }
    recorder.finish(records.size());
  });
  CorvantaEngineError error;
  CorvantaScenario *scenario = corvanta_scenario_load_text(text.data(), text.size(), "inputs.csv", nullptr, &error);
  ASSERT_NE(nullptr, scenario) << error.message;
  EXPECT_EQ(records.size(), corvanta_scenario_step_count(scenario));
  std::vector<Record> replayed;
  CorvantaRunOptions run{};
  run.on_step = collectInputs;
  run.step_user = &replayed;
  const CorvantaModelFunctions model = CORVANTA_LINKED_MODEL_FUNCTIONS;
  ASSERT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(scenario, &model, &run, nullptr, &error)) << error.message;
  corvanta_scenario_free(scenario);
  ASSERT_EQ(records.size(), replayed.size());
  for (std::size_t step = 0; step < records.size(); ++step) {
    for (std::size_t input = 0; input < CORVANTA_NUM_INPUTS; ++input) {
      EXPECT_SAME_BITS(records[step][input], replayed[step][input]) << "step " << step << " input " << input;
    }
  }
}

}  // namespace
}  // namespace corvanta::sim
