#include "engine/sweep/ScenarioPath.h"

#include <gtest/gtest.h>

namespace corvanta::sweep {
namespace {

const Json kBase = Json::parse(R"({
  "duration": 6.0,
  "inputs": {"AccelerationDemand": 0.3, "GearSelector": 1},
  "events": [
    {"time": 2.0, "set": {"SteeringAngle": 0.05}},
    {"time": 3.0, "until": 4.0, "ramp": {"AccelerationDemand": -2.0}},
    {"time": 5.0, "initialize": true}
  ]
})");

std::string errorOf(const std::string &text, const Json &base = kBase) {
  std::string error;
  ScenarioPath::resolve(text, base, error);
  return error;
}

Json applied(const std::string &text, double value, const Json &base = kBase) {
  std::string error;
  const ScenarioPath path = ScenarioPath::resolve(text, base, error);
  EXPECT_EQ(error, "");
  Json scenario = base;
  path.apply(scenario, value);
  return scenario;
}

TEST(ScenarioPath, WritesNumbersTheBaseHas) {
  EXPECT_EQ(applied("duration", 9.5)["duration"], 9.5);
  EXPECT_EQ(applied("inputs.AccelerationDemand", -1.0)["inputs"]["AccelerationDemand"], -1.0);
  EXPECT_EQ(applied("events.0.set.SteeringAngle", 0.02)["events"][0]["set"]["SteeringAngle"], 0.02);
  EXPECT_EQ(applied("events.1.until", 4.5)["events"][1]["until"], 4.5);
  EXPECT_EQ(applied("events.1.ramp.AccelerationDemand", -3.0)["events"][1]["ramp"]["AccelerationDemand"], -3.0);
}

TEST(ScenarioPath, CreatesInputsTheBaseLeavesAtTheirDefault) {
  EXPECT_EQ(applied("inputs.InitialSpeed", 20.0)["inputs"]["InitialSpeed"], 20.0);
  EXPECT_EQ(applied("events.0.set.RoadGrade", 0.1)["events"][0]["set"]["RoadGrade"], 0.1);
  const Json noInputs = Json::parse(R"({"duration": 1})");
  EXPECT_EQ(applied("inputs.RoadGrade", -0.05, noInputs)["inputs"]["RoadGrade"], -0.05);
}

TEST(ScenarioPath, RefusesPathsThatLeadNowhere) {
  EXPECT_EQ(errorOf("inputs.Speed"),
            "unknown path: 'Speed' is not an input; expected AccelerationDemand, GearSelector, SteeringAngle, "
            "RoadGrade, InitialPositionX, InitialPositionY, InitialHeading or InitialSpeed");
  EXPECT_EQ(errorOf("events.3.set.SteeringAngle"), "unknown path: events.3: the base events has 3 elements");
  EXPECT_EQ(errorOf("events.first.time"), "unknown path: events is a list; expected an index 0, 1, ... for 'first'");
  EXPECT_EQ(errorOf("events.01.time"), "unknown path: events is a list; expected an index 0, 1, ... for '01'");
  EXPECT_EQ(errorOf("events.2.set.SteeringAngle"), "unknown path: the base scenario has no events.2.set");
  EXPECT_EQ(errorOf("events.2.until"), "unknown path: the base scenario has no events.2.until");
  EXPECT_EQ(errorOf("gravity"), "unknown path: the base scenario has no gravity");
  EXPECT_EQ(errorOf("inputs..GearSelector"), "unknown path: empty name between dots");
  EXPECT_EQ(errorOf(""), "unknown path: empty name between dots");
  EXPECT_EQ(errorOf("duration.value"), "unknown path: duration is not an object or a list");
}

TEST(ScenarioPath, RefusesFieldsThatAreNotNumbers) {
  EXPECT_EQ(errorOf("events.2.initialize"), "unknown path: events.2.initialize is true in the base, not a number");
  EXPECT_EQ(errorOf("events.0.set"),
            "unknown path: events.0.set is {\"SteeringAngle\":0.05} in the base, not a number");
}

}  // namespace
}  // namespace corvanta::sweep
