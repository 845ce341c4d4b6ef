// Sweeps through the engine's C interface with the real model.
#include "engine/sweep/corvanta_sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const CorvantaModelFunctions kModel = CORVANTA_LINKED_MODEL_FUNCTIONS;

struct SweepFree {
  void operator()(CorvantaSweep *sweep) const { corvanta_sweep_free(sweep); }
};
using SweepHandle = std::unique_ptr<CorvantaSweep, SweepFree>;

SweepHandle load(const std::string &text, const std::string &source = "sweep.json") {
  CorvantaEngineError error{};
  SweepHandle sweep(corvanta_sweep_load_text(text.data(), text.size(), source.c_str(), &error));
  EXPECT_TRUE(sweep) << error.message;
  return sweep;
}

std::string loadError(const std::string &text) {
  CorvantaEngineError error{};
  SweepHandle sweep(corvanta_sweep_load_text(text.data(), text.size(), "sweep.json", &error));
  EXPECT_FALSE(sweep);
  EXPECT_EQ(error.status, CORVANTA_ENGINE_BAD_SCENARIO);
  return error.message;
}

// The rows of runs [first, first + count), with wall_time zeroed: every other column must
// not depend on how the runs were done.
std::vector<double> rowsOf(const CorvantaSweep *sweep, unsigned threads, std::uint64_t first = 0,
                           std::uint64_t count = 0) {
  const std::size_t width = corvanta_sweep_column_count(sweep);
  const std::uint64_t runs = count != 0 ? count : corvanta_sweep_run_count(sweep) - first;
  std::vector<double> rows(runs * width);
  CorvantaSweepOptions options{};
  options.threads = threads;
  options.first_run = first;
  options.run_count = count;
  options.rows = rows.data();
  options.row_capacity = runs;
  CorvantaEngineError error{};
  EXPECT_EQ(corvanta_sweep_run(sweep, &kModel, &options, nullptr, &error), CORVANTA_ENGINE_OK) << error.message;
  for (std::uint64_t row = 0; row < runs; ++row) {
    rows[row * width + width - 1] = 0.0;
  }
  return rows;
}

bool sameBits(const std::vector<double> &a, const std::vector<double> &b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

const std::string kMonteCarlo = R"({"base": {"duration": 0.3, "inputs": {"GearSelector": 1, "InitialSpeed": 20},
                                             "events": [{"time": 0.05, "set": {"SteeringAngle": 0.05}}]},
  "monte_carlo": {"count": 12, "seed": 3, "fields": {
    "inputs.InitialSpeed": {"uniform": [10, 30]},
    "events.0.set.SteeringAngle": {"normal": [0.05, 0.05], "bounds": [-0.2, 0.2]}}}})";

TEST(SweepEngine, RowsAreTheSameForAnyThreadCountAndAnySplit) {
  const SweepHandle sweep = load(kMonteCarlo);
  const std::vector<double> one = rowsOf(sweep.get(), 1);
  EXPECT_TRUE(sameBits(one, rowsOf(sweep.get(), 2)));
  EXPECT_TRUE(sameBits(one, rowsOf(sweep.get(), 5)));
  const std::size_t width = corvanta_sweep_column_count(sweep.get());
  std::vector<double> pieces = rowsOf(sweep.get(), 2, 0, 5);
  const std::vector<double> rest = rowsOf(sweep.get(), 3, 5, 0);
  pieces.insert(pieces.end(), rest.begin(), rest.end());
  EXPECT_TRUE(sameBits(one, pieces));
  EXPECT_EQ(one.size(), 12 * width);
}

TEST(SweepEngine, ARowHoldsTheOutputsOfItsScenarioRunAlone) {
  const SweepHandle sweep = load(kMonteCarlo);
  const std::vector<double> rows = rowsOf(sweep.get(), 2);
  const std::size_t width = corvanta_sweep_column_count(sweep.get());
  ASSERT_STREQ(corvanta_sweep_column_name(sweep.get(), 3), "PositionX");
  for (std::uint64_t run : {0u, 7u, 11u}) {
    std::size_t length = 0;
    CorvantaEngineError error{};
    ASSERT_EQ(corvanta_sweep_scenario_text(sweep.get(), run, nullptr, 0, &length, &error), CORVANTA_ENGINE_OK);
    std::string text(length + 1, '\0');
    ASSERT_EQ(corvanta_sweep_scenario_text(sweep.get(), run, text.data(), text.size(), &length, &error),
              CORVANTA_ENGINE_OK);
    text.resize(length);
    CorvantaScenario *scenario = corvanta_scenario_load_text(text.data(), text.size(), "run", nullptr, &error);
    ASSERT_NE(scenario, nullptr) << error.message;
    std::vector<double> last(CORVANTA_ROW_LENGTH * 2);
    CorvantaRunOptions options{};
    options.every = corvanta_scenario_step_count(scenario);
    options.skip_initial_row = 1;
    options.rows = last.data();
    options.row_capacity = 2;
    ASSERT_EQ(corvanta_scenario_run(scenario, &kModel, &options, nullptr, &error), CORVANTA_ENGINE_OK);
    corvanta_scenario_free(scenario);
    // The varied values are the run's columns 1 and 2; the outputs follow.
    EXPECT_EQ(std::memcmp(&rows[run * width + 3], &last[1], CORVANTA_NUM_OUTPUTS * sizeof(double)), 0) << run;
  }
}

TEST(SweepEngine, ARunWithNonFiniteOutputsIsReportedInItsRow) {
  const SweepHandle sweep = load(R"({"base": {"duration": 0.01, "inputs": {"GearSelector": 1}},
                                     "grid": {"inputs.InitialSpeed": [10, 1e308, 20]}})");
  const std::vector<double> rows = rowsOf(sweep.get(), 2);
  const std::size_t width = corvanta_sweep_column_count(sweep.get());
  std::size_t nonFinite = 0;
  while (nonFinite < width && std::string(corvanta_sweep_column_name(sweep.get(), nonFinite)) != "non_finite") {
    ++nonFinite;
  }
  ASSERT_STREQ(corvanta_sweep_column_name(sweep.get(), nonFinite), "non_finite");
  EXPECT_EQ(corvanta_sweep_column_kind(sweep.get(), nonFinite), CORVANTA_SWEEP_COLUMN_FLAG);
  EXPECT_EQ(rows[0 * width + nonFinite], 0.0);
  EXPECT_EQ(rows[1 * width + nonFinite], 1.0);
  EXPECT_TRUE(std::isnan(rows[1 * width + 2]));  // PositionX
  EXPECT_EQ(rows[2 * width + nonFinite], 0.0);
  EXPECT_EQ(rows[2 * width + 1], 20.0);
}

TEST(SweepEngine, AnInvalidRunStopsTheSweepNamingTheRunAndLeavesNoTable) {
  const SweepHandle sweep = load(R"({"base": {"duration": 0.01}, "grid": {"duration": [0.01, 0.02, -1, 0.03]}})");
  const fs::path csv = fs::temp_directory_path() / "corvanta-sweep-engine-invalid.csv";
  fs::remove(csv);
  CorvantaSweepOptions options{};
  options.threads = 2;
  const std::string path = csv.string();
  options.csv_path = path.c_str();
  CorvantaEngineError error{};
  EXPECT_EQ(corvanta_sweep_run(sweep.get(), &kModel, &options, nullptr, &error), CORVANTA_ENGINE_BAD_SCENARIO);
  EXPECT_EQ(std::string(error.message).substr(0, 36), "sweep.json: run 2 (duration = -1): d") << error.message;
  EXPECT_FALSE(fs::exists(csv));
}

TEST(SweepEngine, BadDefinitionsAndBaseScenariosAreRefusedAtLoad) {
  EXPECT_EQ(
      loadError(R"({"base": {"duration": 1}, "grid": {"inputs.Speed": [1]}})"),
      "sweep.json: grid[\"inputs.Speed\"]: unknown path: 'Speed' is not an input; expected AccelerationDemand, "
      "GearSelector, SteeringAngle, RoadGrade, InitialPositionX, InitialPositionY, InitialHeading or InitialSpeed");
  EXPECT_EQ(
      loadError(R"({"base": {"duration": 1, "colour": 1}, "grid": {"duration": [1]}})"),
      "sweep.json: base: colour: unknown key; expected name, description, duration, inputs, events, driver or vehicle");
  EXPECT_EQ(loadError(R"([{"duration": 1}, {"duration": 1, "events": [{"time": -1}]}])"),
            "sweep.json: [1]: events[0].time: expected a time >= 0, got -1");
  EXPECT_EQ(loadError(R"({"base": {"duration": 1}, "grid": {"duration": [-1, 1]}})"),
            "sweep.json: run 0 (duration = -1): duration: expected a time >= 0, got -1");
}

TEST(SweepEngine, CallbacksMayStopTheSweepAndBadArgumentsAreRefused) {
  const SweepHandle sweep = load(kMonteCarlo);
  CorvantaSweepOptions options{};
  options.threads = 2;
  options.on_row = [](void *, const double *) { return 1; };
  CorvantaEngineError error{};
  CorvantaSweepTotals totals{};
  EXPECT_EQ(corvanta_sweep_run(sweep.get(), &kModel, &options, &totals, &error), CORVANTA_ENGINE_STOPPED);

  double rows[4];
  options = CorvantaSweepOptions{};
  options.rows = rows;
  options.row_capacity = 1;
  EXPECT_EQ(corvanta_sweep_run(sweep.get(), &kModel, &options, nullptr, &error), CORVANTA_ENGINE_BAD_ARGUMENT);
  EXPECT_STREQ(error.message, "the row buffer holds 1 rows; the sweep needs 12");
  CorvantaModelFunctions incomplete = kModel;
  incomplete.Step = nullptr;
  EXPECT_EQ(corvanta_sweep_run(sweep.get(), &incomplete, nullptr, nullptr, &error), CORVANTA_ENGINE_BAD_ARGUMENT);
  std::size_t length = 0;
  EXPECT_EQ(corvanta_sweep_scenario_text(sweep.get(), 12, nullptr, 0, &length, &error), CORVANTA_ENGINE_BAD_ARGUMENT);
  EXPECT_STREQ(error.message, "run 12 is out of range: the sweep has 12 runs");
}

TEST(SweepEngine, TotalsCountRunsAndSteps) {
  const SweepHandle sweep = load(kMonteCarlo);
  CorvantaSweepOptions options{};
  options.threads = 2;
  CorvantaSweepTotals totals{};
  CorvantaEngineError error{};
  ASSERT_EQ(corvanta_sweep_run(sweep.get(), &kModel, &options, &totals, &error), CORVANTA_ENGINE_OK);
  EXPECT_EQ(totals.runs, 12u);
  EXPECT_EQ(totals.steps, 12u * 3000u);
  EXPECT_EQ(totals.threads, 2u);
  EXPECT_GT(totals.wall_seconds, 0.0);
}

}  // namespace
