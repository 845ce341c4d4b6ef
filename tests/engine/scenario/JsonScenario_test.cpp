// JSON scenarios read into schedules: step counts, values, event order and the places that
// error messages point at.
#include "engine/scenario/JsonScenario.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/messages/ScenarioError.h"
#include "tests/tools/sim/SimTestSupport.h"

namespace corvanta::engine {
namespace {

std::string errorOf(const std::string &text) {
  try {
    parseJsonScenario(text, "s.json");
  } catch (const ScenarioError &error) {
    return error.what();
  }
  return "(no error)";
}

TEST(JsonScenario, ReadsEveryPartOfTheSchedule) {
  const Schedule schedule = parseJsonScenario(R"({
    "name": "step steer", "description": "text",
    "duration": 6.0,
    "inputs": {"AccelerationDemand": 0.3, "GearSelector": 1, "InitialSpeed": 20},
    "events": [
      {"time": 2.0, "set": {"SteeringAngle": 0.05, "RoadGrade": -0.01}},
      {"time": 3.0, "until": 4.0, "ramp": {"AccelerationDemand": -2.0}},
      {"time": 5.0, "initialize": true, "set": {"InitialSpeed": 0}}
    ]})",
                                              "s.json");
  EXPECT_EQ("step steer", schedule.name);
  EXPECT_EQ("text", schedule.description);
  EXPECT_EQ(60000u, schedule.stepCount);
  const InputValues initial{0.3, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 20.0};
  EXPECT_EQ(initial, schedule.initialInputs);

  ASSERT_EQ(3u, schedule.events.size());
  const ScheduledEvent &set = schedule.events[0];
  EXPECT_EQ(20000u, set.step);
  EXPECT_FALSE(set.initialize);
  ASSERT_EQ(2u, set.sets.size());
  EXPECT_EQ(CORVANTA_IN_STEERING_ANGLE, set.sets[0].input);
  EXPECT_SAME_BITS(0.05, set.sets[0].value);
  EXPECT_EQ(CORVANTA_IN_ROAD_GRADE, set.sets[1].input);
  EXPECT_SAME_BITS(-0.01, set.sets[1].value);

  const ScheduledEvent &ramp = schedule.events[1];
  EXPECT_EQ(30000u, ramp.step);
  ASSERT_EQ(1u, ramp.ramps.size());
  EXPECT_EQ(CORVANTA_IN_ACCELERATION_DEMAND, ramp.ramps[0].input);
  EXPECT_SAME_BITS(-2.0, ramp.ramps[0].target);
  EXPECT_EQ(40000u, ramp.ramps[0].endStep);

  const ScheduledEvent &restart = schedule.events[2];
  EXPECT_EQ(50000u, restart.step);
  EXPECT_TRUE(restart.initialize);
  ASSERT_EQ(1u, restart.sets.size());
  EXPECT_EQ(CORVANTA_IN_INITIAL_SPEED, restart.sets[0].input);
}

TEST(JsonScenario, TimesRoundToTheNearestStep) {
  // k(t) = floor(t / 0.0001 + 0.5): 0.00014 s is step 1, 0.00016 s step 2.
  const Schedule schedule = parseJsonScenario(
      R"({"duration": 0.00016, "events": [{"time": 0.00014, "until": 0.00016, "ramp": {"RoadGrade": 1}}]})", "s.json");
  EXPECT_EQ(2u, schedule.stepCount);
  EXPECT_EQ(1u, schedule.events[0].step);
  EXPECT_EQ(2u, schedule.events[0].ramps[0].endStep);
}

TEST(JsonScenario, MinimalScenarioHasZeroInputsAndNoEvents) {
  const Schedule schedule = parseJsonScenario(R"({"duration": 0})", "s.json");
  EXPECT_EQ(0u, schedule.stepCount);
  EXPECT_EQ(InputValues{}, schedule.initialInputs);
  EXPECT_TRUE(schedule.events.empty());
  EXPECT_TRUE(schedule.name.empty());
}

TEST(JsonScenario, EqualTimesKeepFileOrder) {
  const Schedule schedule = parseJsonScenario(
      R"({"duration": 1, "events": [{"time": 0.5, "set": {"GearSelector": 3}}, {"time": 0.5, "set": {"GearSelector": 1}}]})",
      "s.json");
  ASSERT_EQ(2u, schedule.events.size());
  EXPECT_SAME_BITS(3.0, schedule.events[0].sets[0].value);
  EXPECT_SAME_BITS(1.0, schedule.events[1].sets[0].value);
}

TEST(JsonScenario, ErrorsNameTheFileAndTheJsonPath) {
  EXPECT_EQ(
      "s.json: events[1].set.Throttle: unknown input name; expected AccelerationDemand, GearSelector, "
      "SteeringAngle, RoadGrade, InitialPositionX, InitialPositionY, InitialHeading or InitialSpeed",
      errorOf(R"({"duration": 1, "events": [{"time": 0}, {"time": 1, "set": {"Throttle": 1}}]})"));
  EXPECT_EQ("s.json: events[0].bogus: unknown key; expected time, initialize, set, until or ramp",
            errorOf(R"({"duration": 1, "events": [{"time": 0, "bogus": 1}]})"));
  EXPECT_EQ("s.json: events[0].set: the key \"GearSelector\" appears twice",
            errorOf(R"({"duration": 1, "events": [{"time": 0, "set": {"GearSelector": 1, "GearSelector": 3}}]})"));
  EXPECT_EQ("s.json: events: expected an array, got an object", errorOf(R"({"duration": 1, "events": {}})"));
  EXPECT_EQ("s.json: events[0].time: missing; expected the event time in seconds",
            errorOf(R"({"duration": 1, "events": [{"set": {}}]})"));
  EXPECT_EQ("s.json: events[0].time: expected a time >= 0, got -0.5",
            errorOf(R"({"duration": 1, "events": [{"time": -0.5}]})"));
}

TEST(JsonScenario, StepCountsUpToTwoToThe53AreAccepted) {
  // 9e11 s is 9e15 steps, just under 2^53 (about 9.007e15); 1e12 s is beyond it.
  EXPECT_TRUE(checkedStepCount(9e11).error.empty());
  EXPECT_LE(checkedStepCount(9e11).steps, kMaxStepCount);
  EXPECT_NE(std::string::npos, errorOf(R"({"duration": 1e12})").find("more than 2^53 steps"));
  EXPECT_NE(std::string::npos,
            errorOf(R"({"duration": 1, "events": [{"time": 0, "until": 1e12, "ramp": {"RoadGrade": 1}}]})")
                .find("events[0].until: time too long"));
}

TEST(JsonScenario, SyntaxErrorsGiveLineAndColumn) {
  EXPECT_EQ(
      "s.json:3:7: malformed JSON: syntax error while parsing object key - unexpected '}'; expected string literal",
      errorOf("{\n  \"duration\": 1,\n      }"));
  EXPECT_EQ("s.json:1:18: malformed JSON: number overflow parsing '1e999'", errorOf(R"({"duration": 1e999})"));
  EXPECT_EQ(
      "s.json:1:1: malformed JSON: syntax error while parsing value - unexpected end of input; expected '[', "
      "'{', or a literal",
      errorOf(""));
}

}  // namespace
}  // namespace corvanta::engine
