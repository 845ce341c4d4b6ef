#include "engine/sweep/SweepRunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/sweep/SweepTable.h"

namespace corvanta::sweep {
namespace {

// A stand-in for the scenario engine: the figures are a function of the scenario alone,
// and the run takes a time that varies from run to run, so that runs finish out of order.
RunMetrics fakeRun(const Json &scenario, const std::string &label) {
  const double speed = scenario["inputs"].value("InitialSpeed", 0.0);
  const double grade = scenario["inputs"].value("RoadGrade", 0.0);
  if (speed < 0.0) {
    throw std::runtime_error(label + ": negative speed");
  }
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int>(speed * 37.0) % 400));
  RunMetrics metrics;
  metrics.distance = speed * speed / (2.0 * (3.0 + grade));
  metrics.topSpeed = speed;
  metrics.steps = static_cast<std::uint64_t>(speed * 100.0);
  return metrics;
}

SweepDefinition gridOfSpeeds(const std::string &speeds) {
  return SweepDefinition::parse(R"({"base": {"duration": 1}, "grid": {"inputs.InitialSpeed": )" + speeds +
                                    R"(, "inputs.RoadGrade": [-0.1, 0, 0.1]}})",
                                "grid.json");
}

std::vector<std::vector<double>> runAll(const SweepDefinition &definition, unsigned threads, std::uint64_t first = 0,
                                        std::uint64_t count = UINT64_MAX) {
  const std::vector<Column> columns = sweepColumns(definition);
  std::vector<std::vector<double>> table;
  runSweep(definition, fakeRun, SweepOptions{threads, first, count}, [&](const SweepRow &row) {
    std::vector<double> values(columns.size());
    flattenRow(row, values.data());
    values.back() = 0.0;  // wall time
    table.push_back(values);
  });
  return table;
}

TEST(SweepRunner, RowsComeInRunOrderAndAreTheSameForAnyThreadCount) {
  std::string speeds = "[";
  for (int index = 0; index < 40; ++index) {
    speeds += (index ? "," : "") + std::to_string(index * 0.7);
  }
  const SweepDefinition definition = gridOfSpeeds(speeds + "]");
  const auto one = runAll(definition, 1);
  ASSERT_EQ(one.size(), 120u);
  for (std::size_t index = 0; index < one.size(); ++index) {
    EXPECT_EQ(one[index][0], static_cast<double>(index));
  }
  for (unsigned threads : {2u, 3u, 8u}) {
    const auto many = runAll(definition, threads);
    ASSERT_EQ(many.size(), one.size());
    for (std::size_t index = 0; index < one.size(); ++index) {
      ASSERT_EQ(std::memcmp(many[index].data(), one[index].data(), one[index].size() * sizeof(double)), 0)
          << "row " << index << " on " << threads << " threads";
    }
  }
}

TEST(SweepRunner, ARangeOfRunsGivesThoseRowsOfTheWholeSweep) {
  const SweepDefinition definition = gridOfSpeeds("[1, 2, 3, 4, 5]");
  const auto whole = runAll(definition, 2);
  const auto part = runAll(definition, 2, 4, 6);
  ASSERT_EQ(part.size(), 6u);
  for (std::size_t index = 0; index < part.size(); ++index) {
    EXPECT_EQ(std::memcmp(part[index].data(), whole[index + 4].data(), part[index].size() * sizeof(double)), 0);
  }
  EXPECT_EQ(runAll(definition, 2, 12, 100).size(), 3u);  // clipped to the end
  EXPECT_EQ(runAll(definition, 2, 20, 5).size(), 0u);
}

TEST(SweepRunner, TheFirstFailingRunStopsTheSweepAfterTheRowsBeforeIt) {
  const SweepDefinition definition = gridOfSpeeds("[1, 2, 3, -1, 4, -2, 5, 6, 7, 8]");
  for (unsigned threads : {1u, 4u}) {
    std::vector<std::uint64_t> delivered;
    try {
      runSweep(definition, fakeRun, SweepOptions{threads, 0, UINT64_MAX},
               [&](const SweepRow &row) { delivered.push_back(row.run); });
      FAIL() << "the sweep did not fail";
    } catch (const std::runtime_error &error) {
      EXPECT_STREQ(error.what(),
                   "grid.json: run 9 (inputs.InitialSpeed = -1, inputs.RoadGrade = -0.1): negative speed");
    }
    ASSERT_EQ(delivered.size(), 9u) << threads;
    EXPECT_EQ(delivered.back(), 8u);
  }
}

TEST(SweepRunner, AFailingSinkStopsTheWorkers) {
  const SweepDefinition definition = gridOfSpeeds("[1, 2, 3, 4, 5, 6, 7, 8, 9, 10]");
  std::atomic<int> runs{0};
  const RunScenario counting = [&](const Json &scenario, const std::string &label) {
    ++runs;
    return fakeRun(scenario, label);
  };
  EXPECT_THROW(runSweep(definition, counting, SweepOptions{2, 0, UINT64_MAX},
                        [](const SweepRow &row) {
                          if (row.run == 3) {
                            throw std::runtime_error("disk full");
                          }
                        }),
               std::runtime_error);
  EXPECT_LT(runs.load(), 30);
}

TEST(SweepRunner, ProgressCountsRunsAndSteps) {
  const SweepDefinition definition = gridOfSpeeds("[1, 2]");
  SweepProgress last;
  const SweepProgress result = runSweep(
      definition, fakeRun, SweepOptions{2, 0, UINT64_MAX}, [](const SweepRow &) {},
      [&](const SweepProgress &progress) { last = progress; });
  EXPECT_EQ(result.runsDone, 6u);
  EXPECT_EQ(result.runsTotal, 6u);
  EXPECT_EQ(result.stepsDone, 3u * 100u + 3u * 200u);
  EXPECT_EQ(last.runsDone, 6u);
  EXPECT_EQ(last.stepsDone, result.stepsDone);
}

TEST(SweepRunner, RunLabelsNameTheVariedValues) {
  const SweepDefinition definition = gridOfSpeeds("[0.1, 20]");
  EXPECT_EQ(runLabel(definition, 4, definition.valuesOfRun(4)),
            "grid.json: run 4 (inputs.InitialSpeed = 20, inputs.RoadGrade = 0)");
  EXPECT_EQ(threadCountFor(3), 3u);
  EXPECT_GE(threadCountFor(0), 1u);
}

}  // namespace
}  // namespace corvanta::sweep
