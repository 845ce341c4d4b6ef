// corvanta-sim against hostile files and failing outputs: size limit and its option,
// extreme ramps whose recorded inputs replay, non-finite inputs, full disks and a full
// standard output, each with its exit status and a message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <sys/wait.h>

#include "tests/tools/sim/SimTestSupport.h"

namespace {

constexpr int kBadInput = 2;
constexpr int kOutputProblem = 4;

class SimHardening : public ::testing::Test {
 protected:
  simtest::ProcessResult sim(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), CORVANTA_SIM_EXECUTABLE);
    return simtest::runProcess(arguments, scratch_.path());
  }

  // Runs with standard output sent to /dev/full; returns the status and standard error.
  simtest::ProcessResult simIntoFullStandardOutput(const std::vector<std::string> &arguments) {
    std::string line = simtest::shellQuoted(CORVANTA_SIM_EXECUTABLE);
    for (const std::string &argument : arguments) {
      line += " " + simtest::shellQuoted(argument);
    }
    const std::string err = at("stderr.txt");
    line += " > /dev/full 2> " + simtest::shellQuoted(err);
    const int status = std::system(line.c_str());
    simtest::ProcessResult result;
    result.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    result.err = simtest::readFile(err);
    return result;
  }

  std::string file(const std::string &name, const std::string &text) {
    simtest::writeFile(scratch_ / name, text);
    return at(name);
  }

  std::string at(const std::string &name) const { return (scratch_ / name).string(); }

  bool has(const std::string &name) const { return simtest::fs::exists(scratch_ / name); }

  simtest::ScratchDirectory scratch_;
};

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST_F(SimHardening, FilesOverTheSizeLimitAreRefusedAndTheOptionRaisesIt) {
  // /dev/zero took all the memory of the machine.
  const simtest::ProcessResult zero = sim({"/dev/zero", "--quiet"});
  EXPECT_EQ(kBadInput, zero.exitCode);
  EXPECT_EQ(
      "corvanta-sim: error: /dev/zero: larger than the limit of 67108864 bytes for a scenario or "
      "recorded-input file (--max-size MIB raises it)\n",
      zero.err);
  const std::string big = file("big.json", "{\"duration\": 0.001}" + std::string(2 << 20, ' '));
  EXPECT_EQ(kBadInput, sim({big, "--max-size", "1"}).exitCode);
  EXPECT_EQ(0, sim({big, "--max-size", "3", "--quiet"}).exitCode);
  const simtest::ProcessResult bad = sim({big, "--max-size", "0"});
  EXPECT_EQ(kBadInput, bad.exitCode);
  EXPECT_TRUE(contains(bad.err, "--max-size: expected a whole number of MiB from 1 to 2^40, got '0'")) << bad.err;
}

TEST_F(SimHardening, ARampBetweenExtremesStaysFiniteAndItsRecordedInputsReplay) {
  // The ramp overflowed into infinity and NaN, the run still exited 0, and the recorded
  // inputs were refused on replay.
  const std::string scenario = file("ramp.json", R"({"duration": 0.02, "inputs": {"GearSelector": 1},
    "events": [{"time": 0, "set": {"RoadGrade": -1e308}},
               {"time": 0, "until": 0.01, "ramp": {"RoadGrade": 1e308}}]})");
  const simtest::ProcessResult run =
      sim({scenario, "--quiet", "--every", "1", "-o", at("run.csv"), "--inputs-out", at("inputs.csv")});
  ASSERT_EQ(0, run.exitCode) << run.err;
  const simtest::CsvTable inputs = simtest::readCsv(simtest::readFile(at("inputs.csv")));
  ASSERT_EQ(102U, inputs.lines.size());
  for (const std::string &line : inputs.lines) {
    EXPECT_FALSE(contains(line, "inf") || contains(line, "nan")) << line;
  }
  const simtest::ProcessResult replay = sim({at("inputs.csv"), "--quiet", "--every", "1", "-o", at("replay.csv")});
  ASSERT_EQ(0, replay.exitCode) << replay.err;
  EXPECT_EQ(simtest::readFile(at("run.csv")), simtest::readFile(at("replay.csv")));
}

TEST_F(SimHardening, NonFiniteRecordedInputsNeedTheOptionAndThenReplay) {
  const std::string csv = file("nan.csv", "time,SteeringAngle,GearSelector\n0,0,1\n0.001,nan,1\n0.002,0,1\n");
  const simtest::ProcessResult refused = sim({csv});
  EXPECT_EQ(kBadInput, refused.exitCode);
  EXPECT_TRUE(contains(refused.err, "nan.csv:3: column \"SteeringAngle\": expected a finite number, got \"nan\""))
      << refused.err;
  const simtest::ProcessResult allowed =
      sim({csv, "--quiet", "--allow-nonfinite", "--every", "1", "-o", at("run.csv"), "--inputs-out", at("in.csv")});
  ASSERT_EQ(0, allowed.exitCode) << allowed.err;
  EXPECT_TRUE(contains(simtest::readFile(at("in.csv")), "nan"));
  EXPECT_EQ(kBadInput, sim({at("in.csv"), "--quiet"}).exitCode);
  ASSERT_EQ(0, sim({at("in.csv"), "--quiet", "--allow-nonfinite", "--every", "1", "-o", at("replay.csv")}).exitCode);
  EXPECT_EQ(simtest::readFile(at("run.csv")), simtest::readFile(at("replay.csv")));
}

TEST_F(SimHardening, AWriteErrorStopsTheRunWithItsReasonAndLeavesNoPartialFile) {
  const std::string scenario = file("s.json", R"({"duration": 3, "inputs": {"GearSelector": 1}})");
  const simtest::ProcessResult inputsFull =
      sim({scenario, "--every", "1", "-o", at("out.csv"), "--inputs-out", "/dev/full"});
  EXPECT_EQ(kOutputProblem, inputsFull.exitCode);
  EXPECT_EQ("corvanta-sim: error: writing '/dev/full' failed: No space left on device\n", inputsFull.err);
  EXPECT_EQ("", inputsFull.out);
  // The CSV of the stopped run is not left behind under its name, nor under another.
  EXPECT_FALSE(has("out.csv"));
  EXPECT_EQ(3, std::distance(simtest::fs::directory_iterator(scratch_.path()), simtest::fs::directory_iterator()));

  const simtest::ProcessResult csvToFullOutput = simIntoFullStandardOutput({scenario, "-o", "-", "--every", "1"});
  EXPECT_EQ(kOutputProblem, csvToFullOutput.exitCode);
  EXPECT_EQ("corvanta-sim: error: writing 'standard output' failed: No space left on device\n", csvToFullOutput.err);
}

TEST_F(SimHardening, AFullStandardOutputForTheSummaryIsReported) {
  // The exit status was 4 with no word of why.
  const std::string scenario = file("s.json", R"({"duration": 0.01})");
  const simtest::ProcessResult result = simIntoFullStandardOutput({scenario});
  EXPECT_EQ(kOutputProblem, result.exitCode);
  EXPECT_EQ("corvanta-sim: error: writing the summary to standard output failed: No space left on device\n",
            result.err);
}

TEST_F(SimHardening, OutputReplacesAnOldFileOnlyWhenComplete) {
  const std::string old = file("out.csv", "old contents\n");
  const std::string bad = file("bad.json", R"({"duration": 1, "events": [{"time": 0.5, "set": {"Foo": 1}}]})");
  EXPECT_EQ(kBadInput, sim({bad, "-o", old}).exitCode);
  EXPECT_EQ("old contents\n", simtest::readFile(old));
  const std::string good = file("good.json", R"({"duration": 0.001})");
  ASSERT_EQ(0, sim({good, "-o", old, "--quiet"}).exitCode);
  EXPECT_TRUE(contains(simtest::readFile(old), "time,PositionX"));
}

}  // namespace
