// corvanta-sim sweep end to end: the same table for any thread count, the figures at the
// end, and the messages and exit codes of bad definitions and outputs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/sim/SimTestSupport.h"

namespace {

using simtest::ProcessResult;
using simtest::fs::path;

constexpr int kBadInput = 2;
constexpr int kOutputProblem = 4;

const char *const kGrid = R"({
  "base": {"duration": 0.2, "inputs": {"GearSelector": 1, "AccelerationDemand": -3},
           "events": [{"time": 0.05, "set": {"SteeringAngle": 0.02}}]},
  "grid": {"inputs.InitialSpeed": [5, 20, 1e308], "events.0.set.SteeringAngle": [0, 0.05]}
})";

ProcessResult sweep(const std::vector<std::string> &arguments, const simtest::ScratchDirectory &scratch) {
  std::vector<std::string> command{CORVANTA_SIM_EXECUTABLE, "sweep"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return simtest::runProcess(command, scratch.path());
}

// The table without its last column (wall_time), line by line.
std::vector<std::string> withoutWallTime(const std::string &text) {
  const simtest::CsvTable table = simtest::readCsv(text);
  std::vector<std::string> lines;
  for (const std::string &line : table.lines) {
    lines.push_back(line.substr(0, line.rfind(',')));
  }
  return lines;
}

TEST(SweepCommand, WritesTheSameTableForAnyThreadCount) {
  simtest::ScratchDirectory scratch;
  simtest::writeFile(scratch / "grid.json", kGrid);
  const ProcessResult one =
      sweep({(scratch / "grid.json").string(), "-o", (scratch / "one.csv").string(), "--threads", "1"}, scratch);
  ASSERT_EQ(one.exitCode, 0) << one.err;
  const ProcessResult three =
      sweep({(scratch / "grid.json").string(), "-o", (scratch / "three.csv").string(), "--threads", "3"}, scratch);
  ASSERT_EQ(three.exitCode, 0) << three.err;
  const std::string table = simtest::readFile(scratch / "one.csv");
  EXPECT_EQ(table.substr(0, table.find('\n')),
            "run,inputs.InitialSpeed,events.0.set.SteeringAngle,PositionX,PositionY,Heading,LongitudinalSpeed,"
            "PitchAngle,RollAngle,TipOverIndicator,distance,top_speed,stop_time,stop_distance,max_heading_rate,"
            "tip_over_time,non_finite,max_lateral_acceleration,max_slip_angle,time_in_gear_1,time_in_gear_2,"
            "time_in_gear_3,time_in_gear_4,time_in_gear_5,wall_time");
  const std::vector<std::string> rows = withoutWallTime(table);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows, withoutWallTime(simtest::readFile(scratch / "three.csv")));
  EXPECT_EQ(rows[3].rfind("3,20,0.05,", 0), 0u) << rows[3];
  // The run with an absurd initial speed is reported in its row, not as a failure.
  EXPECT_EQ(rows[4].rfind("4,1e+308,0,nan,nan,", 0), 0u) << rows[4];
  const auto field = [](const std::string &row, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < index; ++k) start = row.find(',', start) + 1;
    return row.substr(start, row.find(',', start) - start);
  };
  constexpr std::size_t kNonFinite = 16, kMaxLateralAcceleration = 17, kTimeInGear1 = 19;
  EXPECT_EQ(field(rows[4], kNonFinite), "true");
  EXPECT_EQ(field(rows[0], kNonFinite), "false");
  // The runner's sweeps run the vehicle library: the signal metrics are there (the 0.2 s of
  // the run spent in the gears, here 1 and 2).
  double inGears = 0.0;
  for (std::size_t gear = 0; gear < 5; ++gear) inGears += std::stod(field(rows[0], kTimeInGear1 + gear));
  EXPECT_NEAR(inGears, 0.2, 1e-12) << rows[0];
  EXPECT_NE(field(rows[3], kMaxLateralAcceleration), "") << rows[3];
  EXPECT_NE(one.out.find("6 runs, 12000 steps in "), std::string::npos) << one.out;
  EXPECT_NE(one.out.find(" on 1 thread: "), std::string::npos) << one.out;
  EXPECT_NE(one.out.find(" runs/s, "), std::string::npos) << one.out;
  EXPECT_NE(one.out.find(" steps/s, "), std::string::npos) << one.out;
}

TEST(SweepCommand, BadDefinitionsFailWithTheFieldAndLeaveNoTable) {
  simtest::ScratchDirectory scratch;
  const struct {
    const char *definition;
    const char *message;
  } cases[] = {
      {R"({"base": {"duration": 1}, "grid": {"inputs.Sped": [1]}})",
       "grid[\"inputs.Sped\"]: unknown path: 'Sped' is not an input"},
      {R"({"base": {"duration": 1}, "grid": {"inputs.InitialSpeed": []}})",
       "grid[\"inputs.InitialSpeed\"]: the list of values is empty"},
      {R"({"base": {"duration": 1}, "monte_carlo": {"count": 0, "seed": 1, "fields": {"duration": {"uniform": [0, 1]}}}})",
       "monte_carlo.count: expected a whole number of runs >= 1, got 0"},
      {R"({"base": {"duration": 1}, "monte_carlo": {"count": 3, "fields": {"duration": {"uniform": [0, 1]}}}})",
       "monte_carlo.seed: missing"},
      {R"({"base": {"duration": 1}, "monte_carlo": {"count": 3, "seed": 1, "fields": {"duration": {"uniform": [1, 0]}}}})",
       "monte_carlo.fields[\"duration\"].uniform: bounds reversed"},
      {R"({"base": {"duration": 0.01}, "grid": {"duration": [0.01, -2]}})",
       "run 1 (duration = -2): duration: expected a time >= 0, got -2"},
  };
  for (const auto &c : cases) {
    simtest::writeFile(scratch / "bad.json", c.definition);
    const ProcessResult result =
        sweep({(scratch / "bad.json").string(), "-o", (scratch / "out.csv").string()}, scratch);
    EXPECT_EQ(result.exitCode, kBadInput) << c.definition;
    EXPECT_EQ(result.err.rfind("corvanta-sim sweep: error: " + (scratch / "bad.json").string() + ": " + c.message, 0),
              0u)
        << result.err;
    EXPECT_FALSE(simtest::fs::exists(scratch / "out.csv")) << c.definition;
  }
}

TEST(SweepCommand, UsageErrors) {
  simtest::ScratchDirectory scratch;
  simtest::writeFile(scratch / "grid.json", kGrid);
  const std::string definition = (scratch / "grid.json").string();
  EXPECT_EQ(sweep({definition}, scratch).exitCode, kBadInput);  // no -o
  const ProcessResult threads = sweep({definition, "-o", (scratch / "o.csv").string(), "--threads", "-1"}, scratch);
  EXPECT_EQ(threads.exitCode, kBadInput);
  EXPECT_EQ(threads.err, "corvanta-sim sweep: error: --threads: expected a whole number from 0 to 4096, got '-1'\n");
  const ProcessResult same = sweep({definition, "-o", definition}, scratch);
  EXPECT_EQ(same.exitCode, kBadInput);
  EXPECT_EQ(same.err, "corvanta-sim sweep: error: the output '" + definition +
                          "' is the sweep definition; refusing to overwrite it\n");
  EXPECT_EQ(simtest::readFile(definition), kGrid);
  const ProcessResult missing = sweep({(scratch / "none.json").string(), "-o", (scratch / "o.csv").string()}, scratch);
  EXPECT_EQ(missing.exitCode, kBadInput);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;
  const ProcessResult unwritable = sweep({definition, "-o", (scratch / "no-such-dir" / "o.csv").string()}, scratch);
  EXPECT_EQ(unwritable.exitCode, kOutputProblem) << unwritable.err;
}

}  // namespace
