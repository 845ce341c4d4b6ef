// The engine's C interface: loading with errors and their positions, runs into a buffer
// and through callbacks (compared bit for bit with the model's C functions driven by
// hand), stepping a host's instance, and the CSV writer.
#include "engine/corvanta_engine.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/tools/sim/SimTestSupport.h"

namespace {

using Row = std::array<double, CORVANTA_ROW_LENGTH>;

const CorvantaModelFunctions kModel = CORVANTA_LINKED_MODEL_FUNCTIONS;

// The linked library's functions, counting creations and deletions, or failing to create.
int gCreated = 0;
int gDeleted = 0;
void *countingCreate() {
  ++gCreated;
  return CreateVehicleModel();
}
void countingDelete(void *handle) {
  ++gDeleted;
  DeleteVehicleModel(handle);
}
void *failingCreate() { return nullptr; }

CorvantaModelFunctions countingModel() {
  CorvantaModelFunctions model = kModel;
  model.CreateVehicleModel = countingCreate;
  model.DeleteVehicleModel = countingDelete;
  return model;
}

struct Loaded {
  CorvantaScenario *scenario = nullptr;
  CorvantaEngineError error{};
  ~Loaded() { corvanta_scenario_free(scenario); }
};

void loadText(Loaded &loaded, const std::string &text, const char *source,
              const CorvantaLoadOptions *options = nullptr) {
  loaded.scenario = corvanta_scenario_load_text(text.data(), text.size(), source, options, &loaded.error);
}

std::vector<Row> runAll(const CorvantaScenario *scenario, std::uint64_t every, bool initialRow = true) {
  std::vector<Row> rows(corvanta_scenario_row_count(scenario, every, initialRow ? 1 : 0));
  CorvantaRunOptions run{};
  run.every = every;
  run.skip_initial_row = initialRow ? 0 : 1;
  run.rows = rows.empty() ? nullptr : rows.front().data();
  run.row_capacity = rows.size();
  std::uint64_t written = 0;
  CorvantaEngineError error;
  EXPECT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(scenario, &kModel, &run, &written, &error)) << error.message;
  EXPECT_EQ(rows.size(), written);
  return rows;
}

void expectSameRows(const std::vector<Row> &expected, const std::vector<Row> &actual) {
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t row = 0; row < expected.size(); ++row) {
    for (std::size_t column = 0; column < CORVANTA_ROW_LENGTH; ++column) {
      ASSERT_EQ(bitsOf(expected[row][column]), bitsOf(actual[row][column])) << "row " << row << " column " << column;
    }
  }
}

Row rowOf(double time, const ExtY_Corvanta_T &y) {
  return {time,         y.PositionX, y.PositionY,       y.Heading, y.LongitudinalSpeed,
          y.PitchAngle, y.RollAngle, y.TipOverIndicator};
}

// A ramp, a set and a restart with new initial conditions.
const char *const kScenario = R"({"name": "engine test", "duration": 0.05,
  "inputs": {"AccelerationDemand": 0.5, "GearSelector": 1, "InitialSpeed": 5},
  "events": [{"time": 0.01, "set": {"SteeringAngle": 0.02}},
             {"time": 0.02, "until": 0.03, "ramp": {"AccelerationDemand": -1.0}},
             {"time": 0.04, "initialize": true, "set": {"InitialSpeed": 2}}]})";

// kScenario driven through the C functions, a row after every step and one at time 0.
std::vector<Row> scenarioDrivenByHand() {
  std::vector<Row> rows;
  void *car = CreateVehicleModel();
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 0.5;
  u.GearSelector = 1.0;
  u.InitialSpeed = 5.0;
  SetInputs(car, &u);
  Initialize(car);
  const ExtY_Corvanta_T *y = GetOutputs(car);
  rows.push_back(rowOf(0.0, *y));
  for (std::uint64_t k = 0; k < 500; ++k) {
    if (k == 100) {
      u.SteeringAngle = 0.02;
    }
    if (k >= 200 && k < 300) {
      u.AccelerationDemand = 0.5 + (-1.0 - 0.5) * (static_cast<double>(k - 200) / 100.0);
    } else if (k >= 300) {
      u.AccelerationDemand = -1.0;
    }
    if (k == 400) {
      Initialize(car);
      u.InitialSpeed = 2.0;
    }
    SetInputs(car, &u);
    Step(car);
    rows.push_back(rowOf(static_cast<double>(k + 1) * 0.0001, *y));
  }
  DeleteVehicleModel(car);
  return rows;
}

TEST(EngineApi, RunMatchesTheCFunctionsDrivenByHandBitForBit) {
  Loaded loaded;
  loadText(loaded, kScenario, "test.json");
  ASSERT_NE(nullptr, loaded.scenario) << loaded.error.message;
  EXPECT_STREQ("engine test", corvanta_scenario_name(loaded.scenario));
  EXPECT_EQ(500u, corvanta_scenario_step_count(loaded.scenario));
  EXPECT_EQ(1, corvanta_scenario_reinitializes(loaded.scenario));
  const std::vector<Row> byHand = scenarioDrivenByHand();
  expectSameRows(byHand, runAll(loaded.scenario, 1));
  // Every 37th step, the last step, and the row at time 0 when asked for.
  std::vector<Row> decimated{byHand[0]};
  for (std::size_t step = 37; step < 500; step += 37) {
    decimated.push_back(byHand[step]);
  }
  decimated.push_back(byHand[500]);
  expectSameRows(decimated, runAll(loaded.scenario, 37));
  decimated.erase(decimated.begin());
  expectSameRows(decimated, runAll(loaded.scenario, 37, false));
  // Zero options: every 100th step and the initial row.
  EXPECT_EQ(6u, corvanta_scenario_row_count(loaded.scenario, 0, 1));
  EXPECT_EQ(6u, runAll(loaded.scenario, 0).size());
}

struct Collected {
  std::vector<Row> rows;
  std::vector<std::uint64_t> initializedAt;
  std::vector<double> steering;
  std::size_t stopAfterRows = 0;
};

int collectRow(void *user, const double *row) {
  Collected &collected = *static_cast<Collected *>(user);
  collected.rows.push_back(Row{});
  std::copy(row, row + CORVANTA_ROW_LENGTH, collected.rows.back().begin());
  return (collected.stopAfterRows != 0 && collected.rows.size() == collected.stopAfterRows) ? 1 : 0;
}

int collectStep(void *user, std::uint64_t steps, int initialized, const double *inputs, const double *) {
  Collected &collected = *static_cast<Collected *>(user);
  if (initialized != 0) {
    collected.initializedAt.push_back(steps);
  }
  collected.steering.push_back(inputs[CORVANTA_IN_STEERING_ANGLE]);
  return 0;
}

TEST(EngineApi, CallbacksSeeRowsAndStepsAndCanStopTheRun) {
  Loaded loaded;
  loadText(loaded, kScenario, "test.json");
  ASSERT_NE(nullptr, loaded.scenario);
  Collected collected;
  CorvantaRunOptions run{};
  run.every = 100;
  run.on_row = collectRow;
  run.row_user = &collected;
  run.on_step = collectStep;
  run.step_user = &collected;
  const CorvantaModelFunctions model = countingModel();
  gCreated = gDeleted = 0;
  ASSERT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(loaded.scenario, &model, &run, nullptr, nullptr));
  expectSameRows(runAll(loaded.scenario, 100), collected.rows);
  EXPECT_EQ((std::vector<std::uint64_t>{1, 401}), collected.initializedAt);
  ASSERT_EQ(500u, collected.steering.size());
  EXPECT_EQ(0.0, collected.steering[99]);
  EXPECT_EQ(0.02, collected.steering[100]);

  // A callback that stops the run: the status says so and the instance is deleted.
  Collected stopping;
  stopping.stopAfterRows = 2;
  run.row_user = &stopping;
  run.on_step = nullptr;
  std::uint64_t written = 0;
  CorvantaEngineError error;
  EXPECT_EQ(CORVANTA_ENGINE_STOPPED, corvanta_scenario_run(loaded.scenario, &model, &run, &written, &error));
  EXPECT_EQ(CORVANTA_ENGINE_STOPPED, error.status);
  EXPECT_EQ(2u, written);
  EXPECT_EQ(2, gCreated);
  EXPECT_EQ(2, gDeleted);
}

TEST(EngineApi, RunRefusesBadArgumentsAndReportsModelFailures) {
  Loaded loaded;
  loadText(loaded, kScenario, "test.json");
  ASSERT_NE(nullptr, loaded.scenario);
  std::vector<Row> rows(5);
  CorvantaRunOptions run{};
  run.rows = rows.front().data();
  run.row_capacity = rows.size();
  CorvantaEngineError error;
  EXPECT_EQ(CORVANTA_ENGINE_BAD_ARGUMENT, corvanta_scenario_run(loaded.scenario, &kModel, &run, nullptr, &error));
  EXPECT_STREQ("rows: room for 5 rows, the run writes 6", error.message);
  CorvantaModelFunctions incomplete = kModel;
  incomplete.Terminate = nullptr;
  EXPECT_EQ(CORVANTA_ENGINE_BAD_ARGUMENT,
            corvanta_scenario_run(loaded.scenario, &incomplete, nullptr, nullptr, &error));
  EXPECT_EQ(CORVANTA_ENGINE_BAD_ARGUMENT, corvanta_scenario_run(nullptr, &kModel, nullptr, nullptr, &error));
  CorvantaModelFunctions failing = kModel;
  failing.CreateVehicleModel = failingCreate;
  EXPECT_EQ(CORVANTA_ENGINE_MODEL_FAILED, corvanta_scenario_run(loaded.scenario, &failing, nullptr, nullptr, &error));
  EXPECT_STREQ("CreateVehicleModel returned NULL (out of memory)", error.message);
}

TEST(EngineApi, LoadErrorsCarryTheMessageAndItsPosition) {
  Loaded syntax;
  loadText(syntax, "{\n  \"duration\": 1,\n  \"inputs\": {,}\n}", "bad.json");
  EXPECT_EQ(nullptr, syntax.scenario);
  EXPECT_EQ(CORVANTA_ENGINE_BAD_SCENARIO, syntax.error.status);
  EXPECT_EQ(3u, syntax.error.line);
  EXPECT_EQ(14u, syntax.error.column);
  EXPECT_EQ(0, std::string(syntax.error.message).rfind("bad.json:3:14: malformed JSON: ", 0)) << syntax.error.message;

  Loaded value;
  loadText(value, R"({"duration": 1, "events": [{"time": 0, "set": {"SteeringAngel": 1}}]})", "<string>");
  EXPECT_STREQ("events[0].set.SteeringAngel", value.error.path);
  EXPECT_EQ(0u, value.error.line);
  EXPECT_EQ(0,
            std::string(value.error.problem).rfind("unknown input name (did you mean SteeringAngle?); expected ", 0));
  EXPECT_EQ("<string>: events[0].set.SteeringAngel: " + std::string(value.error.problem), value.error.message);

  Loaded csv;
  loadText(csv, "time,RoadGrade\n0,1\n0,x\n", "drive.csv");
  EXPECT_EQ(3u, csv.error.line);
  EXPECT_STREQ("drive.csv:3: column \"RoadGrade\": expected a number, got \"x\"", csv.error.message);

  CorvantaEngineError missing;
  EXPECT_EQ(nullptr, corvanta_scenario_load_file("/nonexistent/s.json", nullptr, &missing));
  EXPECT_STREQ("cannot open '/nonexistent/s.json': No such file or directory", missing.message);

  CorvantaLoadOptions options{};
  options.has_duration = 1;
  options.duration = -1.0;
  Loaded negative;
  loadText(negative, kScenario, "test.json", &options);
  EXPECT_EQ(CORVANTA_ENGINE_BAD_ARGUMENT, negative.error.status);
  EXPECT_STREQ("duration: expected a time >= 0, got -1", negative.error.message);
}

TEST(EngineApi, LoadOptionsChooseFormatDurationAndInterpolation) {
  const std::string recorded = "time,SteeringAngle\n0,0\n0.0004,1\n";
  CorvantaLoadOptions options{};
  options.format = CORVANTA_FORMAT_RECORDED_INPUTS;
  options.has_duration = 1;
  options.duration = 0.0006;
  options.interpolation = CORVANTA_INTERPOLATION_LINEAR;
  Loaded loaded;
  loadText(loaded, recorded, "<string>", &options);
  ASSERT_NE(nullptr, loaded.scenario) << loaded.error.message;
  EXPECT_EQ(6u, corvanta_scenario_step_count(loaded.scenario));
  Collected collected;
  CorvantaRunOptions run{};
  run.on_step = collectStep;
  run.step_user = &collected;
  ASSERT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(loaded.scenario, &kModel, &run, nullptr, nullptr));
  EXPECT_EQ((std::vector<double>{0.0, 0.25, 0.5, 0.75, 1.0, 1.0}), collected.steering);
  options.interpolation = 7;
  Loaded refused;
  loadText(refused, recorded, "<string>", &options);
  EXPECT_EQ(CORVANTA_ENGINE_BAD_ARGUMENT, refused.error.status);
}

TEST(EngineApi, InputRowsShowTheRecordEachRowsStepUsed) {
  Loaded loaded;
  loadText(loaded, kScenario, "test.json");
  ASSERT_NE(nullptr, loaded.scenario);
  Collected collected;
  CorvantaRunOptions run{};
  run.on_step = collectStep;
  run.step_user = &collected;
  ASSERT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(loaded.scenario, &kModel, &run, nullptr, nullptr));
  std::vector<double> rows(corvanta_scenario_row_count(loaded.scenario, 150, 1) * CORVANTA_INPUT_ROW_LENGTH);
  ASSERT_EQ(5u * CORVANTA_INPUT_ROW_LENGTH, rows.size());  // time 0, steps 150, 300, 450, 500
  ASSERT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_input_rows(loaded.scenario, 150, 1, rows.data(), 5, nullptr));
  const std::vector<std::size_t> steps{1, 150, 300, 450, 500};  // the step whose record each row shows
  for (std::size_t row = 0; row < steps.size(); ++row) {
    EXPECT_SAME_BITS(row == 0 ? 0.0 : static_cast<double>(steps[row]) * 0.0001, rows[row * CORVANTA_INPUT_ROW_LENGTH]);
    EXPECT_SAME_BITS(collected.steering[steps[row] - 1],
                     rows[row * CORVANTA_INPUT_ROW_LENGTH + 1 + CORVANTA_IN_STEERING_ANGLE]);
  }
  EXPECT_SAME_BITS(-1.0, rows[3 * CORVANTA_INPUT_ROW_LENGTH + 1 + CORVANTA_IN_ACCELERATION_DEMAND]);
  EXPECT_SAME_BITS(2.0, rows[4 * CORVANTA_INPUT_ROW_LENGTH + 1 + CORVANTA_IN_INITIAL_SPEED]);
  CorvantaEngineError error;
  EXPECT_EQ(CORVANTA_ENGINE_BAD_ARGUMENT,
            corvanta_scenario_input_rows(loaded.scenario, 150, 1, rows.data(), 4, &error));
}

TEST(EngineApi, SteppingAnInstanceMatchesSingleStepsBitForBit) {
  constexpr std::uint64_t kSteps = 250;
  std::vector<double> inputs(kSteps * CORVANTA_NUM_INPUTS, 0.0);
  for (std::uint64_t k = 0; k < kSteps; ++k) {
    inputs[k * CORVANTA_NUM_INPUTS + CORVANTA_IN_ACCELERATION_DEMAND] = 1.5 - 0.01 * static_cast<double>(k);
    inputs[k * CORVANTA_NUM_INPUTS + CORVANTA_IN_GEAR_SELECTOR] = 1.0;
    inputs[k * CORVANTA_NUM_INPUTS + CORVANTA_IN_STEERING_ANGLE] = 0.001 * static_cast<double>(k % 17);
    inputs[k * CORVANTA_NUM_INPUTS + CORVANTA_IN_INITIAL_SPEED] = 7.0;
  }
  std::vector<double> byHand;
  void *car = CreateVehicleModel();
  Initialize(car);
  for (std::uint64_t k = 0; k < kSteps; ++k) {
    SetInputs(car, reinterpret_cast<const ExtU_Corvanta_T *>(&inputs[k * CORVANTA_NUM_INPUTS]));
    Step(car);
    const double *y = &GetOutputs(car)->PositionX;
    byHand.insert(byHand.end(), y, y + CORVANTA_NUM_OUTPUTS);
  }
  Step(car);
  Step(car);
  const std::array<double, CORVANTA_NUM_OUTPUTS> afterTwoMore = {
      GetOutputs(car)->PositionX,         GetOutputs(car)->PositionY,  GetOutputs(car)->Heading,
      GetOutputs(car)->LongitudinalSpeed, GetOutputs(car)->PitchAngle, GetOutputs(car)->RollAngle,
      GetOutputs(car)->TipOverIndicator};
  DeleteVehicleModel(car);

  void *instance = CreateVehicleModel();
  Initialize(instance);
  std::vector<double> every10((kSteps / 10) * CORVANTA_NUM_OUTPUTS);
  ASSERT_EQ(CORVANTA_ENGINE_OK,
            corvanta_model_run_inputs(&kModel, instance, inputs.data(), kSteps, 10, every10.data(), nullptr));
  std::vector<double> lastTwo(CORVANTA_NUM_OUTPUTS);  // every 5 over 2 steps: the last step only
  ASSERT_EQ(CORVANTA_ENGINE_OK, corvanta_model_step(&kModel, instance, 2, 5, lastTwo.data(), nullptr));
  DeleteVehicleModel(instance);
  for (std::size_t row = 0; row < kSteps / 10; ++row) {
    for (std::size_t column = 0; column < CORVANTA_NUM_OUTPUTS; ++column) {
      ASSERT_EQ(bitsOf(byHand[(row * 10 + 9) * CORVANTA_NUM_OUTPUTS + column]),
                bitsOf(every10[row * CORVANTA_NUM_OUTPUTS + column]))
          << "row " << row;
    }
  }
  for (std::size_t column = 0; column < CORVANTA_NUM_OUTPUTS; ++column) {
    EXPECT_SAME_BITS(afterTwoMore[column], lastTwo[column]);
  }
  CorvantaEngineError error;
  EXPECT_EQ(CORVANTA_ENGINE_BAD_ARGUMENT, corvanta_model_step(&kModel, nullptr, 1, 1, lastTwo.data(), &error));
}

TEST(EngineApi, CsvWriterReportsFilesThatCannotBeWritten) {
  const char *const columns[] = {"time", "X"};
  CorvantaEngineError error;
  EXPECT_EQ(nullptr, corvanta_csv_open("/nonexistent/out.csv", columns, 2, &error));
  EXPECT_EQ(CORVANTA_ENGINE_OUTPUT_FAILED, error.status);
  EXPECT_EQ(0, std::string(error.message).rfind("cannot create '/nonexistent/out.csv'", 0)) << error.message;
  CorvantaCsvWriter *full = corvanta_csv_open("/dev/full", columns, 2, &error);
  ASSERT_NE(nullptr, full) << error.message;
  const double row[2] = {0.5, -0.0};
  EXPECT_EQ(0, corvanta_csv_row_callback(full, row));
  EXPECT_EQ(CORVANTA_ENGINE_OUTPUT_FAILED, corvanta_csv_close(full, &error));
  EXPECT_STREQ("writing '/dev/full' failed: No space left on device", error.message);
  EXPECT_EQ(CORVANTA_ENGINE_OK, corvanta_csv_close(nullptr, &error));
}

TEST(EngineApi, NamesAndVersion) {
  EXPECT_STREQ("AccelerationDemand", corvanta_engine_input_name(0));
  EXPECT_STREQ("InitialSpeed", corvanta_engine_input_name(CORVANTA_NUM_INPUTS - 1));
  EXPECT_EQ(nullptr, corvanta_engine_input_name(CORVANTA_NUM_INPUTS));
  EXPECT_STREQ("TipOverIndicator", corvanta_engine_output_name(CORVANTA_NUM_OUTPUTS - 1));
  EXPECT_EQ(nullptr, corvanta_engine_output_name(-1));
  EXPECT_STREQ(CORVANTA_ENGINE_VERSION_STRING, corvanta_engine_version());
}

}  // namespace
