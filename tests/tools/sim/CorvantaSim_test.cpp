// corvanta-sim end to end: the built executable run on scenario files, its output compared
// with the same sequence driven by hand through the C functions, its row rule, recorded
// inputs, where its text goes, and its messages and exit codes for each kind of bad input.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "tests/tools/sim/SimTestSupport.h"

namespace {

using simtest::ProcessResult;
using simtest::fs::path;

constexpr int kBadInput = 2;
constexpr int kLibraryProblem = 3;
constexpr int kOutputProblem = 4;

// A ramp on two inputs, a set that ends one of them early, a re-initialisation with new
// initial conditions, and a second ramp afterwards.  0.3 s is 2999.9999999999995 steps
// before rounding.
const char *const kRampAndRestart = R"({
  "name": "ramp and restart",
  "duration": 0.5,
  "inputs": {"AccelerationDemand": 0.5, "GearSelector": 1, "InitialSpeed": 10, "InitialHeading": 0.3},
  "events": [
    {"time": 0.1, "until": 0.3, "ramp": {"AccelerationDemand": -1.5, "SteeringAngle": 0.04}},
    {"time": 0.2, "set": {"SteeringAngle": 0.01}},
    {"time": 0.35, "initialize": true, "set": {"InitialSpeed": 5, "InitialPositionX": 3}},
    {"time": 0.4, "until": 0.45, "ramp": {"RoadGrade": 0.05}}
  ]
})";

// kRampAndRestart written out step by step: one row of time and outputs per step.
std::vector<std::array<double, 1 + CORVANTA_NUM_OUTPUTS>> rampAndRestartDrivenDirectly() {
  std::vector<std::array<double, 1 + CORVANTA_NUM_OUTPUTS>> rows;
  void *car = CreateVehicleModel();
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 0.5;
  u.GearSelector = 1.0;
  u.InitialSpeed = 10.0;
  u.InitialHeading = 0.3;
  SetInputs(car, &u);
  Initialize(car);
  const ExtY_Corvanta_T *y = GetOutputs(car);
  // The row at time 0 is the car as it starts (the output record itself holds zeros until
  // the first step): at the initial position, heading and speed, level and upright, the
  // tip-over indicator at -1 (no wheel lifted).
  rows.push_back({0.0, 0.0, 0.0, 0.3, 10.0, 0.0, 0.0, -1.0});
  for (std::uint64_t k = 0; k < 5000; ++k) {
    if (k == 3500) {
      Initialize(car);
      u.InitialSpeed = 5.0;
      u.InitialPositionX = 3.0;
    }
    if (k >= 1000 && k < 3000) {
      u.AccelerationDemand = 0.5 + (-1.5 - 0.5) * (static_cast<double>(k - 1000) / 2000.0);
    } else if (k >= 3000) {
      u.AccelerationDemand = -1.5;
    }
    if (k >= 1000 && k < 2000) {
      u.SteeringAngle = 0.0 + (0.04 - 0.0) * (static_cast<double>(k - 1000) / 2000.0);
    } else if (k >= 2000) {
      u.SteeringAngle = 0.01;
    }
    if (k >= 4000 && k < 4500) {
      u.RoadGrade = 0.0 + (0.05 - 0.0) * (static_cast<double>(k - 4000) / 500.0);
    } else if (k >= 4500) {
      u.RoadGrade = 0.05;
    }
    SetInputs(car, &u);
    Step(car);
    rows.push_back({static_cast<double>(k + 1) * 0.0001, y->PositionX, y->PositionY, y->Heading, y->LongitudinalSpeed,
                    y->PitchAngle, y->RollAngle, y->TipOverIndicator});
  }
  Terminate(car);
  DeleteVehicleModel(car);
  return rows;
}

class CorvantaSim : public ::testing::Test {
 protected:
  ProcessResult sim(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), CORVANTA_SIM_EXECUTABLE);
    return simtest::runProcess(arguments, scratch_.path());
  }

  std::string file(const std::string &name, const std::string &text) {
    const path where = scratch_ / name;
    simtest::writeFile(where, text);
    return where.string();
  }

  std::string at(const std::string &name) const { return (scratch_ / name).string(); }

  // Runs a scenario expected to be refused and checks the status, that nothing was written
  // as if it had worked, and that the message says `expected`.
  void expectRefused(const std::vector<std::string> &arguments, int exitCode, const std::string &expected) {
    std::vector<std::string> withOutput = arguments;
    withOutput.push_back("-o");
    withOutput.push_back(at("refused.csv"));
    const ProcessResult result = sim(withOutput);
    EXPECT_EQ(exitCode, result.exitCode) << result.err;
    EXPECT_NE(std::string::npos, result.err.find(expected)) << "message: " << result.err;
    EXPECT_EQ("", result.out);
    EXPECT_FALSE(simtest::fs::exists(at("refused.csv")));
  }

  simtest::ScratchDirectory scratch_;
};

TEST_F(CorvantaSim, OutputMatchesTheCFunctionsDrivenDirectlyBitForBit) {
  const ProcessResult result =
      sim({file("ramp.json", kRampAndRestart), "-o", at("out.csv"), "--every", "1", "--quiet"});
  ASSERT_EQ(0, result.exitCode) << result.err;
  const simtest::CsvTable table = simtest::readCsv(simtest::readFile(at("out.csv")));
  EXPECT_EQ((std::vector<std::string>{"time", "PositionX", "PositionY", "Heading", "LongitudinalSpeed", "PitchAngle",
                                      "RollAngle", "TipOverIndicator"}),
            table.header);
  const auto expected = rampAndRestartDrivenDirectly();
  ASSERT_EQ(expected.size(), table.rows.size());
  for (std::size_t row = 0; row < expected.size(); ++row) {
    ASSERT_EQ(expected[row].size(), table.rows[row].size()) << "row " << row;
    for (std::size_t column = 0; column < expected[row].size(); ++column) {
      ASSERT_EQ(bitsOf(expected[row][column]), bitsOf(table.rows[row][column]))
          << "step " << row << ", " << table.header[column] << ": " << expected[row][column] << " vs "
          << table.lines[row];
    }
  }
}

TEST_F(CorvantaSim, EveryKeepsEachNthRowAndTheLast) {
  const std::string scenario = file("ramp.json", kRampAndRestart);
  ASSERT_EQ(0, sim({scenario, "-o", at("all.csv"), "--every", "1", "-q"}).exitCode);
  ASSERT_EQ(0, sim({scenario, "-o", at("every7.csv"), "--every", "7", "-q"}).exitCode);
  ASSERT_EQ(0, sim({scenario, "-o", at("every9999.csv"), "--every", "9999", "-q"}).exitCode);
  ASSERT_EQ(0, sim({scenario, "-o", at("default.csv"), "-q"}).exitCode);
  const simtest::CsvTable all = simtest::readCsv(simtest::readFile(at("all.csv")));
  const simtest::CsvTable every7 = simtest::readCsv(simtest::readFile(at("every7.csv")));
  const simtest::CsvTable every9999 = simtest::readCsv(simtest::readFile(at("every9999.csv")));
  // The row at time 0 and one per step; all.lines[k] is the row after step k.
  ASSERT_EQ(5001u, all.lines.size());
  EXPECT_EQ("0,0,0,0.3,10,0,0,-1", all.lines.front());  // the car as it starts

  // Time 0, steps 7, 14, ..., 4998, then 5000: 1 + 714 + 1 rows, each the same text as in
  // the full file.
  ASSERT_EQ(716u, every7.lines.size());
  for (std::size_t row = 0; row <= 714; ++row) {
    EXPECT_EQ(all.lines[row * 7], every7.lines[row]) << "row " << row;
  }
  EXPECT_EQ(all.lines.back(), every7.lines.back());
  EXPECT_EQ(0u, every7.lines.back().rfind("0.5,", 0));
  EXPECT_EQ((std::vector<std::string>{all.lines.front(), all.lines.back()}), every9999.lines);
  // Without --every a row is written after every 100th step.
  const simtest::CsvTable byDefault = simtest::readCsv(simtest::readFile(at("default.csv")));
  ASSERT_EQ(51u, byDefault.lines.size());
  EXPECT_EQ(all.lines[100], byDefault.lines[1]);
  EXPECT_EQ(all.lines.back(), byDefault.lines.back());
  // --no-initial-row leaves out the row at time 0 only.
  ASSERT_EQ(0, sim({scenario, "-o", at("later.csv"), "--every", "1", "--no-initial-row", "-q"}).exitCode);
  const simtest::CsvTable later = simtest::readCsv(simtest::readFile(at("later.csv")));
  EXPECT_EQ(std::vector<std::string>(all.lines.begin() + 1, all.lines.end()), later.lines);
}

TEST_F(CorvantaSim, RecordedInputsReplayTheJsonRun) {
  // Without the re-initialisation, which recorded inputs cannot express.
  const std::string scenario = file("ramps.json", R"({
    "duration": 0.3,
    "inputs": {"AccelerationDemand": 1.2, "GearSelector": 1, "InitialSpeed": 4},
    "events": [
      {"time": 0.05, "until": 0.25, "ramp": {"SteeringAngle": 0.06, "AccelerationDemand": -0.7}},
      {"time": 0.1, "set": {"RoadGrade": -0.02}}
    ]})");
  ASSERT_EQ(0, sim({scenario, "-o", at("json.csv"), "--inputs-out", at("inputs.csv"), "--every", "1", "-q"}).exitCode);
  const ProcessResult replay = sim({at("inputs.csv"), "-o", at("replay.csv"), "--every", "1"});
  ASSERT_EQ(0, replay.exitCode) << replay.err;
  EXPECT_NE(std::string::npos, replay.out.find("model time  0.3 s, 3000 steps")) << replay.out;
  const std::string json = simtest::readFile(at("json.csv"));
  EXPECT_EQ(3001u, simtest::readCsv(json).lines.size());
  EXPECT_EQ(json, simtest::readFile(at("replay.csv")));
}

TEST_F(CorvantaSim, HandWrittenRecordedInputsEqualTheSameSetsInJson) {
  // A subset of the inputs, columns in any order; the others start at 0 and rows hold.
  const std::string csv = file("drive.csv",
                               "GearSelector,time,AccelerationDemand\n"
                               "1,0,1.5\n"
                               "1,0.1,-1\n"
                               "3,0.15,0.5\n"
                               "3,0.2,0.5\n");
  const std::string json =
      file("drive.json", R"({"duration": 0.2, "inputs": {"GearSelector": 1, "AccelerationDemand": 1.5},
    "events": [{"time": 0.1, "set": {"AccelerationDemand": -1}}, {"time": 0.15, "set": {"GearSelector": 3, "AccelerationDemand": 0.5}}]})");
  ASSERT_EQ(0, sim({csv, "-o", at("from-csv.csv"), "--every", "1", "-q"}).exitCode);
  ASSERT_EQ(0, sim({json, "-o", at("from-json.csv"), "--every", "1", "-q"}).exitCode);
  const std::string fromCsv = simtest::readFile(at("from-csv.csv"));
  EXPECT_EQ(2001u, simtest::readCsv(fromCsv).lines.size());
  EXPECT_EQ(simtest::readFile(at("from-json.csv")), fromCsv);
  // --duration extends the last row's values.
  ASSERT_EQ(0, sim({csv, "--duration", "0.25", "-o", at("longer.csv"), "--every", "1", "-q"}).exitCode);
  EXPECT_EQ(2501u, simtest::readCsv(simtest::readFile(at("longer.csv"))).lines.size());
}

TEST_F(CorvantaSim, InterpolateOptionReplacesTheFilesChoice) {
  const std::string rows = "time,AccelerationDemand,GearSelector\n0,1.5,1\n0.05,-1,1\n0.1,0.5,1\n";
  const std::string held = file("held.csv", rows);
  const std::string linear = file("linear.csv", "# interpolate: linear\n" + rows);
  ASSERT_EQ(0, sim({held, "-o", at("held-as-linear.csv"), "--interpolate", "linear", "-q"}).exitCode);
  ASSERT_EQ(0, sim({linear, "-o", at("linear-out.csv"), "-q"}).exitCode);
  ASSERT_EQ(0, sim({linear, "-o", at("linear-as-held.csv"), "--interpolate", "hold", "-q"}).exitCode);
  ASSERT_EQ(0, sim({held, "-o", at("held-out.csv"), "-q"}).exitCode);
  EXPECT_EQ(simtest::readFile(at("linear-out.csv")), simtest::readFile(at("held-as-linear.csv")));
  EXPECT_EQ(simtest::readFile(at("held-out.csv")), simtest::readFile(at("linear-as-held.csv")));
  EXPECT_NE(simtest::readFile(at("held-out.csv")), simtest::readFile(at("linear-out.csv")));
  expectRefused({held, "--interpolate", "cubic"}, kBadInput, "--interpolate: expected hold or linear, got 'cubic'");
}

TEST_F(CorvantaSim, CsvOnStandardOutputMovesTheSummaryToStandardError) {
  const std::string scenario =
      file("short.json", R"({"name": "short run", "duration": 0.001, "inputs": {"GearSelector": 1}})");
  const ProcessResult toStdout = sim({scenario, "-o", "-", "--every", "5"});
  ASSERT_EQ(0, toStdout.exitCode) << toStdout.err;
  const simtest::CsvTable table = simtest::readCsv(toStdout.out);
  EXPECT_EQ("time", table.header.at(0));
  EXPECT_EQ(3u, table.lines.size());
  EXPECT_NE(std::string::npos, toStdout.err.find("scenario    short run"));
  EXPECT_NE(std::string::npos, toStdout.err.find("model time  0.001 s, 10 steps of 0.0001 s"));
  EXPECT_NE(std::string::npos, toStdout.err.find("standard output, 3 rows (every 5 steps, and time 0)"));

  const ProcessResult summaryOnly = sim({scenario});
  ASSERT_EQ(0, summaryOnly.exitCode);
  EXPECT_EQ(std::string::npos, summaryOnly.out.find("PositionX"));
  EXPECT_NE(std::string::npos, summaryOnly.out.find("final pose  X "));
  EXPECT_NE(std::string::npos, summaryOnly.out.find("tip-over    never"));
  EXPECT_EQ("", summaryOnly.err);

  const ProcessResult quiet = sim({scenario, "--quiet"});
  EXPECT_EQ(0, quiet.exitCode);
  EXPECT_EQ("", quiet.out + quiet.err);
}

TEST_F(CorvantaSim, BadInputUnknownNames) {
  expectRefused({file("s.json", R"({"duration": 1, "events": [{"time": 0}, {"time": 0.5},
                   {"time": 0.6, "until": 1, "ramp": {"Foo": 1}}]})")},
                kBadInput, "s.json: events[2].ramp.Foo: unknown input name; expected AccelerationDemand");
  expectRefused({file("k.json", R"({"duration": 1, "input": {}})")}, kBadInput,
                "k.json: input: unknown key (did you mean inputs?); expected name, description, duration, inputs, "
                "events, driver or vehicle");
  expectRefused({file("c.csv", "time,Steering\n0,1\n")}, kBadInput, "c.csv:1: unknown column \"Steering\"");
}

TEST_F(CorvantaSim, BadInputWrongTypes) {
  expectRefused({file("s.json", R"({"duration": 1, "inputs": {"GearSelector": "drive"}})")}, kBadInput,
                "s.json: inputs.GearSelector: expected a number, got a string");
  expectRefused({file("i.json", R"({"duration": 1, "events": [{"time": 0, "initialize": "yes"}]})")}, kBadInput,
                "i.json: events[0].initialize: expected true or false, got a string");
  expectRefused({file("c.csv", "time,GearSelector\n0,1\n0.5,drive\n")}, kBadInput,
                "c.csv:3: column \"GearSelector\": expected a number, got \"drive\"");
}

TEST_F(CorvantaSim, BadInputTimesGoingBackwards) {
  expectRefused({file("s.json", R"({"duration": 1, "events": [{"time": 0.5}, {"time": 0.4}]})")}, kBadInput,
                "s.json: events[1].time: times must not decrease; 0.4 comes after 0.5");
  expectRefused({file("c.csv", "time,GearSelector\n0,1\n0.5,1\n0.4,1\n")}, kBadInput,
                "c.csv:4: time 0.4 comes before the previous row's 0.5");
  expectRefused(
      {file("u.json", R"({"duration": 1, "events": [{"time": 0.5, "until": 0.5, "ramp": {"RoadGrade": 1}}]})")},
      kBadInput, "u.json: events[0].until: expected a time after the event's time 0.5, got 0.5");
}

TEST_F(CorvantaSim, BadInputNegativeOrNonFiniteDuration) {
  const std::string scenario = file("s.json", R"({"duration": 1})");
  expectRefused({file("n.json", R"({"duration": -1})")}, kBadInput, "n.json: duration: expected a time >= 0, got -1");
  expectRefused({scenario, "--duration", "nan"}, kBadInput, "--duration: expected a finite number of seconds, got nan");
  expectRefused({scenario, "--duration", "-0.5"}, kBadInput, "--duration: expected a time >= 0, got -0.5");
  expectRefused({file("m.json", R"({"inputs": {}})")}, kBadInput, "m.json: duration: missing");
}

TEST_F(CorvantaSim, BadInputDurationTooLongToCountInSteps) {
  expectRefused(
      {file("s.json", R"({"duration": 1e12})")}, kBadInput,
      "s.json: duration: time too long to count in steps of 0.0001 s (more than 2^53 steps), got 1000000000000");
  expectRefused({file("t.json", R"({"duration": 1})"), "--duration", "1e12"}, kBadInput,
                "--duration: time too long to count in steps of 0.0001 s (more than 2^53 steps), got 1e12");
  // The smallest duration past the limit: the double before it counts exactly 2^53 steps.
  expectRefused(
      {file("u.json", R"({"duration": 1})"), "--duration", "900719925474.0994"}, kBadInput,
      "--duration: time too long to count in steps of 0.0001 s (more than 2^53 steps), got 900719925474.0994");
}

TEST_F(CorvantaSim, BadInputMalformedJsonGivesLineAndColumn) {
  expectRefused({file("s.json", "{\n  \"duration\": 1,\n  \"inputs\": {\"GearSelector\": 1,}\n}")}, kBadInput,
                "s.json:3:32: malformed JSON: syntax error while parsing object key");
  expectRefused({file("d.json", R"({"duration": 1, "duration": 2})")}, kBadInput,
                "d.json: top level: the key \"duration\" appears twice");
}

TEST_F(CorvantaSim, BadInputMissingFile) {
  expectRefused({at("missing.json")}, kBadInput, "cannot open '" + at("missing.json") + "': No such file or directory");
}

TEST_F(CorvantaSim, BadUsage) {
  const std::string scenario = file("s.json", R"({"duration": 1})");
  EXPECT_EQ(kBadInput, sim({}).exitCode);
  expectRefused({scenario, "--no-such-option"}, kBadInput, "--no-such-option");
  expectRefused({scenario, "--every", "0"}, kBadInput, "--every: expected a whole number of steps >= 1, got '0'");
  expectRefused({scenario, "--every", "-3"}, kBadInput, "--every: expected a whole number of steps >= 1, got '-3'");
  const ProcessResult help = sim({"--help"});
  EXPECT_EQ(0, help.exitCode);
  for (const char *option : {"--output", "--every", "--duration", "--lib", "--inputs-out", "--interpolate",
                             "--no-initial-row", "--quiet", "Exit status"}) {
    EXPECT_NE(std::string::npos, help.out.find(option)) << option;
  }
}

TEST_F(CorvantaSim, LibraryProblems) {
  const std::string scenario = file("s.json", R"({"duration": 0.01})");
  expectRefused({scenario, "--lib", at("nowhere/libcorvanta.so")}, kLibraryProblem,
                "cannot load the Corvanta library '" + at("nowhere/libcorvanta.so") + "': ");
  expectRefused(
      {scenario, "--lib", CORVANTA_STUB_WITHOUT_TERMINATE}, kLibraryProblem,
      std::string("the library '") + CORVANTA_STUB_WITHOUT_TERMINATE + "' does not export the function Terminate: ");
  const ProcessResult nullCreate = sim({scenario, "--lib", CORVANTA_STUB_NULL_CREATE});
  EXPECT_EQ(kLibraryProblem, nullCreate.exitCode);
  EXPECT_NE(std::string::npos, nullCreate.err.find("CreateVehicleModel returned NULL")) << nullCreate.err;
}

TEST_F(CorvantaSim, OutputProblems) {
  const std::string scenario = file("s.json", R"({"duration": 0.01})");
  const ProcessResult noDirectory = sim({scenario, "-o", at("nowhere/out.csv")});
  EXPECT_EQ(kOutputProblem, noDirectory.exitCode);
  EXPECT_NE(std::string::npos, noDirectory.err.find("cannot create '" + at("nowhere/out.csv") + "'"));
  const ProcessResult full = sim({scenario, "-o", "/dev/full"});
  EXPECT_EQ(kOutputProblem, full.exitCode);
  EXPECT_NE(std::string::npos, full.err.find("writing '/dev/full' failed: No space left on device")) << full.err;
  // The scenario itself is never overwritten.
  const std::string original = simtest::readFile(scenario);
  const ProcessResult overwrite = sim({scenario, "-o", scenario});
  EXPECT_EQ(kBadInput, overwrite.exitCode);
  EXPECT_NE(std::string::npos, overwrite.err.find("is the scenario file; refusing to overwrite it"));
  EXPECT_EQ(original, simtest::readFile(scenario));
}

}  // namespace
