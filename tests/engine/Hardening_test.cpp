// Hostile sources and failing outputs: size and nesting limits, linear-time objects,
// NUL bytes, bounded messages, overflow-free ramps, non-finite inputs, outputs that are
// complete or absent and write errors noticed at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "engine/corvanta_engine.h"
#include "engine/messages/ScenarioError.h"
#include "engine/output/CsvWriter.h"
#include "engine/running/InputSequencer.h"
#include "engine/running/Runner.h"
#include "engine/scenario/RecordedInputs.h"
#include "engine/scenario/ScenarioFile.h"
#include "tests/tools/sim/SimTestSupport.h"

namespace corvanta::engine {
namespace {

std::string errorOf(const std::string &text, const std::string &source = "s.json",
                    const LoadOptions &options = LoadOptions()) {
  try {
    loadScenarioText(text, source, options);
  } catch (const ScenarioError &error) {
    return error.what();
  }
  return std::string();
}

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

TEST(SourceLimits, NestingDeeperThanTheLimitIsRefusedWithItsPosition) {
  // 200 000 levels took gigabytes before the limit.
  const std::string deep = std::string(200000, '[') + std::string(200000, ']');
  EXPECT_EQ("s.json:1:65: arrays and objects nested more than 64 levels deep", errorOf(deep));
  const std::string deepInObject = "{\"duration\": 1,\n \"x\": " + std::string(64, '[') + std::string(64, ']') + "}";
  EXPECT_EQ("s.json:2:70: arrays and objects nested more than 64 levels deep", errorOf(deepInObject));
  // Brackets inside strings do not count; 64 levels are still read.
  const std::string inString = "{\"duration\": 1, \"name\": \"" + std::string(100, '[') + "\"}";
  EXPECT_EQ("", errorOf(inString));
  const std::string atLimit = std::string(64, '[') + std::string(64, ']');
  EXPECT_EQ("s.json: top level: expected an object, got an array", errorOf(atLimit));
}

TEST(SourceLimits, ManyKeysInOneObjectParseAndRepeatsAreStillFound) {
  // 100 000 keys in one object: quadratic before (about 5e9 key comparisons).
  std::string keys;
  for (int k = 0; k < 100000; ++k) {
    keys += "\"k" + std::to_string(k) + "\": 1,";
  }
  // The whole document is read before the unknown key is found.
  EXPECT_EQ("s.json: x: unknown key; expected name, description, duration, inputs, events, driver or vehicle",
            errorOf("{\"duration\": 1, \"x\": {" + keys + "\"last\": 2}}"));
  EXPECT_EQ("s.json: x: the key \"k99999\" appears twice",
            errorOf("{\"duration\": 1, \"x\": {" + keys + "\"k99999\": 2}}"));
}

TEST(SourceLimits, FilesLargerThanTheLimitAreRefusedWithoutReadingThemWhole) {
  simtest::ScratchDirectory scratch;
  const std::string path = (scratch / "big.json").string();
  simtest::writeFile(path, "{\"duration\": 0.01}" + std::string(1000, ' '));
  EXPECT_EQ(1018U, readTextFile(path, 1018).size());
  try {
    readTextFile(path, 1017);
    ADD_FAILURE() << "a file over the limit was read";
  } catch (const ScenarioError &error) {
    EXPECT_EQ(path + ": larger than the limit of 1017 bytes for a scenario or recorded-input file",
              std::string(error.what()));
  }
  // A source that never ends stops at the default limit.
  EXPECT_THROW(readTextFile("/dev/zero"), ScenarioError);
  CorvantaEngineError error;
  CorvantaSourceLimits limits{};
  limits.max_bytes = 100;
  EXPECT_EQ(nullptr, corvanta_scenario_load_file_ex(path.c_str(), nullptr, &limits, &error));
  EXPECT_EQ(CORVANTA_ENGINE_BAD_SCENARIO, error.status);
  EXPECT_STREQ("larger than the limit of 100 bytes for a scenario or recorded-input file", error.problem);
}

TEST(SourceLimits, NulBytesAndTrailingTextAreRefused) {
  // The JSON parser stopped at a NUL and ignored the rest.
  const std::string withNul = std::string("{\"duration\": 0.01}\n\0{\"garbage\"", 30);
  EXPECT_EQ("s.json:2: a NUL byte (at byte 19); a scenario is text, JSON or CSV", errorOf(withNul));
  EXPECT_EQ("r.csv:2: a NUL byte (at byte 16); a scenario is text, JSON or CSV",
            errorOf(std::string("time,RoadGrade\n0\0,1\n", 20), "r.csv"));
  EXPECT_TRUE(contains(errorOf("{\"duration\": 0.01} {}"), "s.json:1:20: malformed JSON"));
}

TEST(Messages, EscapesDoNotLengthenAMessagePastItsBound) {
  // A syntax error quoting a long run of DEL bytes: each one is written as four bytes, which
  // made the message four times its bound (found by the scenario-parser fuzzer).
  const std::string message = errorOf("{\n  \"name\": \"" + std::string(4000, '\x7f') + "\n\"}");
  EXPECT_TRUE(contains(message, "malformed JSON")) << message;
  EXPECT_LE(message.size(), 3 * corvanta::engine::kMessagePartBytes + 3 + 3);
  EXPECT_EQ("...", message.substr(message.size() - 3));
}

TEST(Messages, QuoteABoundedEscapedExcerptOfTheSource) {
  // A 1 MB key with a control character went to the message whole.
  const std::string message = errorOf("{\"duration\": 1, \"bad\\u0001" + std::string(1000000, 'x') + "\": 2}");
  EXPECT_EQ(
      "s.json: bad\\x01xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...: unknown key; expected name, "
      "description, duration, inputs, events, driver or vehicle",
      message);
  // Raw bytes that are not UTF-8 in a syntax error's excerpt are escaped.
  const std::string syntax = errorOf("{\"duration\": 1, \"\xff\xfe" + std::string(1000000, 'y') + "\": 2}");
  EXPECT_LT(syntax.size(), 2000U);
  EXPECT_TRUE(contains(syntax, "s.json:1:")) << syntax;
  EXPECT_FALSE(contains(syntax, "\xff")) << syntax;
  const std::string field = "\x1b[2J" + std::string(100000, '9');
  const std::string csv = errorOf("time,RoadGrade\n0," + field + "\n", "r.csv");
  EXPECT_LT(csv.size(), 200U);
  EXPECT_TRUE(contains(csv, "got \"\\x1b[2J999")) << csv;
  // Valid UTF-8 stays readable.
  EXPECT_EQ(
      "Gr\xc3\xa4"
      "de",
      boundedExcerpt("Gr\xc3\xa4"
                     "de"));
  EXPECT_EQ("\\xc3(", boundedExcerpt("\xc3("));
  EXPECT_EQ("\\xed\\xa0\\x80", boundedExcerpt("\xed\xa0\x80"));  // a surrogate
  EXPECT_EQ("abc...", boundedExcerpt("abcdef", 3));
}

TEST(Ramps, FromOneExtremeToTheOtherStayFiniteAndOrdered) {
  // -1e308 to 1e308 overflowed to infinity and NaN before.
  Schedule schedule;
  schedule.stepCount = 1000;
  schedule.initialInputs[2] = -1e308;
  ScheduledEvent ramp;
  ramp.step = 0;
  ramp.ramps.push_back(RampStart{2, 1e308, 1000});
  schedule.events.push_back(ramp);
  InputSequencer sequencer(schedule);
  double previous = -std::numeric_limits<double>::infinity();
  for (std::uint64_t step = 0; step <= 1000; ++step) {
    sequencer.prepareStep(step);
    const double value = sequencer.values()[2];
    ASSERT_TRUE(std::isfinite(value)) << "step " << step;
    ASSERT_GE(value, previous) << "step " << step;
    previous = value;
  }
  EXPECT_EQ(1e308, previous);
  EXPECT_EQ(0.0, rampValue(-1e308, 1e308, 0.5));
  EXPECT_EQ(-1e308, rampValue(-1e308, 1e308, 0.0));
  EXPECT_EQ(std::numeric_limits<double>::max(),
            rampValue(-std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), 1.0));
}

TEST(Ramps, OrdinaryRampsKeepTheirFormulaBitForBit) {
  const double cases[][3] = {{0.5, -1.5, 0.3}, {0.0, 0.04, 0.123456789}, {10.0, 3.0, 0.9999}, {-1e307, 8e307, 0.7}};
  for (const auto &c : cases) {
    EXPECT_EQ(c[0] + (c[1] - c[0]) * c[2], rampValue(c[0], c[1], c[2]));
  }
}

TEST(NonFiniteInputs, AreRefusedUnlessAllowed) {
  const std::string csv = "time,SteeringAngle\n0,0\n0.001,nan\n0.002,-inf\n";
  EXPECT_EQ("r.csv:3: column \"SteeringAngle\": expected a finite number, got \"nan\"", errorOf(csv, "r.csv"));
  LoadOptions allowed;
  allowed.allowNonFinite = true;
  const Schedule schedule = loadScenarioText(csv, "r.csv", allowed);
  EXPECT_TRUE(schedule.allowNonFinite);
  EXPECT_TRUE(std::isnan(schedule.events[1].sets[0].value));
  // Times never may be.
  EXPECT_EQ("r.csv:3: column \"time\": expected a finite number, got \"nan\"",
            errorOf("time,SteeringAngle\n0,0\nnan,1\n", "r.csv", allowed));
}

TEST(NonFiniteInputs, FailTheRunAtTheirFirstStep) {
  const CorvantaModelFunctions model = CORVANTA_LINKED_MODEL_FUNCTIONS;
  Schedule schedule;
  schedule.stepCount = 20;
  ScheduledEvent event;
  event.step = 7;
  event.sets.push_back(InputChange{3, std::numeric_limits<double>::infinity()});
  schedule.events.push_back(event);
  std::uint64_t stepsTaken = 0;
  RunObserver observer;
  observer.stepped = [&](const StepReport &report) {
    stepsTaken = report.steps;
    return true;
  };
  try {
    runSchedule(model, schedule, observer);
    ADD_FAILURE() << "a non-finite input reached the model";
  } catch (const ScenarioError &error) {
    EXPECT_EQ("step 8 (t = 0.0007 s): the input RoadGrade is inf; non-finite inputs are refused unless allowed",
              std::string(error.what()));
  }
  EXPECT_EQ(7U, stepsTaken);
  schedule.allowNonFinite = true;
  EXPECT_EQ(RunEnd::Completed, runSchedule(model, schedule, observer));
  EXPECT_EQ(20U, stepsTaken);
}

TEST(Outputs, AppearOnlyWhenCompleteAndLeaveOldFilesOnFailure) {
  simtest::ScratchDirectory scratch;
  const std::string path = (scratch / "out.csv").string();
  simtest::writeFile(path, "previous run\n");
  {
    OutputFile file(path);
    CsvTableWriter table(file.stream(), {"time", "x"}, path);
    const double row[] = {0.0, 1.5};
    table.writeRow(row);
    ASSERT_FALSE(file.temporaryPath().empty());
    EXPECT_EQ(scratch.path(), simtest::fs::path(file.temporaryPath()).parent_path());
    std::fflush(file.stream());
    EXPECT_EQ("previous run\n", simtest::readFile(path));  // not yet in place
    // Destroyed without close(): a failed run.
  }
  EXPECT_EQ("previous run\n", simtest::readFile(path));
  EXPECT_EQ(1, std::distance(simtest::fs::directory_iterator(scratch.path()), simtest::fs::directory_iterator()));
  {
    OutputFile file(path);
    CsvTableWriter table(file.stream(), {"time", "x"}, path);
    const double row[] = {0.0, 1.5};
    table.writeRow(row);
    file.close();
  }
  EXPECT_EQ("time,x\n0,1.5\n", simtest::readFile(path));
  EXPECT_EQ(1, std::distance(simtest::fs::directory_iterator(scratch.path()), simtest::fs::directory_iterator()));
}

TEST(Outputs, AWriteErrorStopsTheRunAtOnce) {
  // A full disk was noticed only when the file was closed, after the whole run.
  const char *columns[] = {"time",       "PositionX", "PositionY",       "Heading", "LongitudinalSpeed",
                           "PitchAngle", "RollAngle", "TipOverIndicator"};
  CorvantaEngineError error;
  CorvantaCsvWriter *writer = corvanta_csv_open("/dev/full", columns, 8, &error);
  ASSERT_NE(nullptr, writer) << error.message;
  CorvantaScenario *scenario = corvanta_scenario_load_text("{\"duration\": 2}", 15, "s.json", nullptr, &error);
  ASSERT_NE(nullptr, scenario) << error.message;
  const CorvantaModelFunctions model = CORVANTA_LINKED_MODEL_FUNCTIONS;
  CorvantaRunOptions run{};
  run.every = 1;
  run.on_row = corvanta_csv_row_callback;
  run.row_user = writer;
  std::uint64_t rows = 0;
  EXPECT_EQ(CORVANTA_ENGINE_STOPPED, corvanta_scenario_run(scenario, &model, &run, &rows, &error));
  EXPECT_LT(rows, 2000U);  // of 20001; a 64 KiB buffer holds fewer than 1000 rows
  const double row[8] = {};
  EXPECT_EQ(CORVANTA_ENGINE_OUTPUT_FAILED, corvanta_csv_write_row(writer, row));
  EXPECT_EQ(CORVANTA_ENGINE_OUTPUT_FAILED, corvanta_csv_close(writer, &error));
  EXPECT_STREQ("writing '/dev/full' failed: No space left on device", error.message);
  corvanta_scenario_free(scenario);
}

}  // namespace
}  // namespace corvanta::engine
