#include "engine/sweep/SweepDefinition.h"

#include <gtest/gtest.h>

#include <set>

namespace corvanta::sweep {
namespace {

const std::string kBase =
    R"({"duration": 2, "inputs": {"AccelerationDemand": -3, "GearSelector": 1},
        "events": [{"time": 0.5, "set": {"SteeringAngle": 0.01}}]})";

std::string withBase(const std::string &rest) { return "{\"base\": " + kBase + ", " + rest + "}"; }

std::string errorOf(const std::string &text) {
  try {
    SweepDefinition::parse(text, "sweep.json");
  } catch (const SweepError &error) {
    return error.what();
  }
  return "(accepted)";
}

TEST(GridSweep, RunsTheFullProductWithTheLastFieldFastest) {
  const SweepDefinition definition = SweepDefinition::parse(
      withBase(R"("grid": {"inputs.InitialSpeed": [5, 10, 20], "inputs.RoadGrade": [-0.05, 0]})"), "sweep.json");
  EXPECT_EQ(definition.kind(), SweepDefinition::Kind::Grid);
  ASSERT_EQ(definition.runCount(), 6u);
  const std::vector<std::vector<double>> expected = {{5, -0.05}, {5, 0}, {10, -0.05}, {10, 0}, {20, -0.05}, {20, 0}};
  for (std::uint64_t run = 0; run < 6; ++run) {
    EXPECT_EQ(definition.valuesOfRun(run), expected[run]) << run;
  }
  const Json scenario = definition.scenarioOfRun(3);
  EXPECT_EQ(scenario["inputs"]["InitialSpeed"], 10.0);
  EXPECT_EQ(scenario["inputs"]["RoadGrade"], 0.0);
  EXPECT_EQ(scenario["inputs"]["AccelerationDemand"], -3);
  EXPECT_EQ(definition.fields()[0].path.text(), "inputs.InitialSpeed");
}

TEST(MonteCarloSweep, TheSameFileGivesTheSameRuns) {
  const std::string text = withBase(R"("monte_carlo": {"count": 50, "seed": 7, "fields": {
      "inputs.InitialSpeed": {"uniform": [5, 35]},
      "events.0.set.SteeringAngle": {"normal": [0, 0.02], "bounds": [-0.03, 0.03]},
      "inputs.GearSelector": {"choice": [1, 3]}}})");
  const SweepDefinition first = SweepDefinition::parse(text, "a.json");
  const SweepDefinition second = SweepDefinition::parse(text, "b.json");
  ASSERT_EQ(first.runCount(), 50u);
  std::set<double> gears;
  for (std::uint64_t run = 0; run < 50; ++run) {
    const std::vector<double> values = first.valuesOfRun(run);
    EXPECT_EQ(values, second.valuesOfRun(run));
    EXPECT_GE(values[0], 5.0);
    EXPECT_LT(values[0], 35.0);
    EXPECT_GE(values[1], -0.03);
    EXPECT_LE(values[1], 0.03);
    gears.insert(values[2]);
    EXPECT_EQ(first.scenarioOfRun(run)["events"][0]["set"]["SteeringAngle"], values[1]);
  }
  EXPECT_EQ(gears, (std::set<double>{1.0, 3.0}));
  // Field 0 of run 0 with seed 7 (the pinned sample of the sampling tests).
  EXPECT_EQ(first.valuesOfRun(0)[0], 15.680134170258306);
}

TEST(MonteCarloSweep, AnotherSeedGivesOtherRunsAndAddingAFieldKeepsTheOthers) {
  const SweepDefinition seven = SweepDefinition::parse(
      withBase(R"("monte_carlo": {"count": 3, "seed": 7, "fields": {"inputs.InitialSpeed": {"uniform": [5, 35]}}})"),
      "s.json");
  const SweepDefinition eight = SweepDefinition::parse(
      withBase(R"("monte_carlo": {"count": 3, "seed": 8, "fields": {"inputs.InitialSpeed": {"uniform": [5, 35]}}})"),
      "s.json");
  const SweepDefinition more = SweepDefinition::parse(
      withBase(R"("monte_carlo": {"count": 3, "seed": 7, "fields": {"inputs.InitialSpeed": {"uniform": [5, 35]},
                                                                    "inputs.RoadGrade": {"uniform": [-0.1, 0.1]}}})"),
      "s.json");
  EXPECT_NE(seven.valuesOfRun(1)[0], eight.valuesOfRun(1)[0]);
  EXPECT_EQ(seven.valuesOfRun(1)[0], more.valuesOfRun(1)[0]);
}

TEST(ScenarioListSweep, RunsEachScenarioAsWritten) {
  const SweepDefinition definition =
      SweepDefinition::parse(R"([{"duration": 1}, {"duration": 2, "inputs": {"InitialSpeed": 3}}])", "list.json");
  EXPECT_EQ(definition.kind(), SweepDefinition::Kind::ScenarioList);
  EXPECT_EQ(definition.runCount(), 2u);
  EXPECT_TRUE(definition.valuesOfRun(1).empty());
  EXPECT_EQ(definition.scenarioOfRun(1)["inputs"]["InitialSpeed"], 3);
}

TEST(BadDefinitions, UnknownPathsNameTheField) {
  EXPECT_EQ(
      errorOf(withBase(R"("grid": {"inputs.Speed": [1]})")),
      "sweep.json: grid[\"inputs.Speed\"]: unknown path: 'Speed' is not an input; expected AccelerationDemand, "
      "GearSelector, SteeringAngle, RoadGrade, InitialPositionX, InitialPositionY, InitialHeading or InitialSpeed");
  EXPECT_EQ(
      errorOf(withBase(R"("monte_carlo": {"count": 2, "seed": 1, "fields": {"events.4.time": {"uniform": [0, 1]}}})")),
      "sweep.json: monte_carlo.fields[\"events.4.time\"]: unknown path: events.4: the base events has 1 element");
}

TEST(BadDefinitions, EmptyGridsAndValueLists) {
  EXPECT_EQ(errorOf(withBase(R"("grid": {})")),
            "sweep.json: grid: no fields to vary; name at least one, e.g. \"inputs.InitialSpeed\": [5, 10]");
  EXPECT_EQ(errorOf(withBase(R"("grid": {"inputs.InitialSpeed": []})")),
            "sweep.json: grid[\"inputs.InitialSpeed\"]: the list of values is empty; give at least one value");
  EXPECT_EQ(errorOf(withBase(R"("grid": {"inputs.InitialSpeed": [1, "fast"]})")),
            "sweep.json: grid[\"inputs.InitialSpeed\"][1]: expected a number, got \"fast\"");
  EXPECT_EQ(errorOf(withBase(R"("grid": {"inputs.InitialSpeed": 5})")),
            "sweep.json: grid[\"inputs.InitialSpeed\"]: expected a list of numbers, got 5");
  EXPECT_EQ(errorOf(withBase(R"("monte_carlo": {"count": 2, "seed": 1, "fields": {}})")),
            "sweep.json: monte_carlo.fields: no fields to vary; name at least one, e.g. \"inputs.InitialSpeed\": "
            "{\"uniform\": [5, 35]}");
  EXPECT_EQ(errorOf("[]"), "sweep.json: the list of scenarios is empty");
}

TEST(BadDefinitions, CountsAndSeeds) {
  const std::string fields = R"("fields": {"inputs.InitialSpeed": {"uniform": [5, 35]}})";
  EXPECT_EQ(errorOf(withBase(R"("monte_carlo": {"count": 0, "seed": 1, )" + fields + "}")),
            "sweep.json: monte_carlo.count: expected a whole number of runs >= 1, got 0");
  EXPECT_EQ(errorOf(withBase(R"("monte_carlo": {"count": -5, "seed": 1, )" + fields + "}")),
            "sweep.json: monte_carlo.count: expected a whole number of runs >= 1, got -5");
  EXPECT_EQ(errorOf(withBase(R"("monte_carlo": {"count": 2.5, "seed": 1, )" + fields + "}")),
            "sweep.json: monte_carlo.count: expected a whole number of runs >= 1, got 2.5");
  EXPECT_EQ(errorOf(withBase(R"("monte_carlo": {"count": 10, )" + fields + "}")),
            "sweep.json: monte_carlo.seed: missing; a seed makes the sample repeatable, e.g. \"seed\": 1");
  EXPECT_EQ(errorOf(withBase(R"("monte_carlo": {"seed": 3, )" + fields + "}")),
            "sweep.json: monte_carlo.count: missing");
  EXPECT_EQ(errorOf(withBase(R"("monte_carlo": {"count": 10, "seed": -1, )" + fields + "}")),
            "sweep.json: monte_carlo.seed: expected a whole number from 0 to 2^64 - 1, got -1");
  EXPECT_EQ(SweepDefinition::parse(
                withBase(R"("monte_carlo": {"count": 1000.0, "seed": 18446744073709551615, )" + fields + "}"), "s.json")
                .runCount(),
            1000u);
}

TEST(BadDefinitions, Distributions) {
  const auto field = [](const std::string &distribution) {
    return errorOf(
        withBase(R"("monte_carlo": {"count": 2, "seed": 1, "fields": {"inputs.InitialSpeed": )" + distribution + "}}"));
  };
  const std::string where = "sweep.json: monte_carlo.fields[\"inputs.InitialSpeed\"]";
  EXPECT_EQ(field(R"({"uniform": [35, 5]})"), where + ".uniform: bounds reversed: low 35 is above high 5");
  EXPECT_EQ(field(R"({"normal": [0, 1], "bounds": [0.1, -0.1]})"),
            where + ".bounds: bounds reversed: lower 0.1 is above upper -0.1");
  EXPECT_EQ(field(R"({"normal": [0, -1]})"), where + ".normal[1]: the standard deviation must be >= 0, got -1");
  EXPECT_EQ(field(R"({"normal": [5, 0], "bounds": [0, 1]})"),
            where + ".bounds: the mean lies outside the bounds and the standard deviation is 0");
  EXPECT_EQ(field(R"({"uniform": [5]})"), where + ".uniform: expected [low, high], got [5]");
  EXPECT_EQ(field(R"({"uniform": [1, 2], "bounds": [0, 3]})"),
            where + ".bounds: bounds apply to a normal distribution only");
  EXPECT_EQ(
      field(R"({"uniform": [1, 2], "choice": [1]})"),
      where + ": expected exactly one of \"uniform\": [low, high], \"normal\": [mean, sd] or \"choice\": [values]");
  EXPECT_EQ(field(R"({"triangular": [1, 2, 3]})"),
            where + ": unknown key \"triangular\"; expected \"uniform\", \"normal\", \"bounds\", \"choice\"");
  EXPECT_EQ(field(R"({"choice": []})"), where + ".choice: the list of values is empty; give at least one value");
  EXPECT_EQ(field(R"({"uniform": [-1e308, 1e308]})"), where + ".uniform: the range is too wide to sample");
  EXPECT_EQ(field("5"), where + ": expected an object, got 5");
}

TEST(BadDefinitions, TopLevelShape) {
  EXPECT_EQ(errorOf(R"({"grid": {"inputs.InitialSpeed": [1]}})"),
            "sweep.json: \"base\" is missing: the scenario that the sweep varies");
  EXPECT_EQ(errorOf(withBase(R"("grid": {"inputs.InitialSpeed": [1]}, "monte_carlo": {})")),
            "sweep.json: give either \"grid\" or \"monte_carlo\", not both");
  EXPECT_EQ(errorOf("{\"base\": " + kBase + "}"),
            "sweep.json: expected \"grid\" (lists of values) or \"monte_carlo\" (distributions)");
  EXPECT_EQ(errorOf(withBase(R"("grid": {"inputs.InitialSpeed": [1]}, "seed": 4)")),
            "sweep.json: top level: unknown key \"seed\"; expected \"name\", \"description\", \"base\", \"grid\", "
            "\"monte_carlo\"");
  EXPECT_EQ(errorOf("5"),
            "sweep.json: expected a sweep definition (an object with \"base\" and \"grid\" or "
            "\"monte_carlo\") or a list of scenarios");
  EXPECT_EQ(errorOf(R"({"base": [], "grid": {}})"), "sweep.json: base: expected an object, got []");
  EXPECT_EQ(errorOf(R"([{"duration": 1}, 3])"), "sweep.json: [1]: expected an object, got 3");
}

TEST(BadDefinitions, KeysOfTheFileAreQuotedSafely) {
  // A control character in a key reaches no terminal raw (escaped), and a
  // long key is cut (found by the sweep-definition fuzzer).
  EXPECT_EQ(errorOf(withBase("\"monte\x7f"
                             "carlo\": {}")),
            "sweep.json: top level: unknown key \"monte\\x7fcarlo\"; expected \"name\", \"description\", \"base\", "
            "\"grid\", \"monte_carlo\"");
  const std::string unknown = errorOf(withBase("\"grid\": {\"inputs.\\u001b[2J\": [1]}"));
  EXPECT_EQ(0u, unknown.rfind("sweep.json: grid[\"inputs.\\x1b[2J\"]: unknown path: ", 0)) << unknown;
  const std::string longKey(5000, 'k');
  const std::string cut = errorOf(withBase("\"grid\": {\"" + longKey + "\": [1]}"));
  EXPECT_LT(cut.size(), 1200u) << cut;
  EXPECT_NE(std::string::npos, cut.find("...")) << cut;
}

TEST(BadDefinitions, MalformedJson) {
  EXPECT_EQ(errorOf("{\"base\": {},\n \"grid\": {\"inputs.InitialSpeed\": [1,]}}"),
            "sweep.json:2:37: malformed JSON: syntax error while parsing value - unexpected ']'; expected '[', '{', "
            "or a literal");
  EXPECT_EQ(errorOf(withBase(R"("grid": {"inputs.InitialSpeed": [1], "inputs.InitialSpeed": [2]})")),
            "sweep.json: grid: the key \"inputs.InitialSpeed\" appears twice");
}

TEST(BadDefinitions, GridsTooLargeToCount) {
  // 6 fields of 1000 values each: 10^18 runs, more than 2^53.
  std::string values = "[0";
  for (int index = 1; index < 1000; ++index) {
    values += "," + std::to_string(index);
  }
  values += "]";
  std::string fields;
  for (const char *name :
       {"AccelerationDemand", "GearSelector", "SteeringAngle", "RoadGrade", "InitialPositionX", "InitialPositionY"}) {
    fields += std::string(fields.empty() ? "" : ", ") + "\"inputs." + name + "\": " + values;
  }
  EXPECT_EQ(errorOf(withBase("\"grid\": {" + fields + "}")),
            "sweep.json: grid: the full product has more than 2^53 runs");
}

}  // namespace
}  // namespace corvanta::sweep
