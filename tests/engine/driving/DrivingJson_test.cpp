// The "driver" object and condition events of JSON scenarios: what they read into and the
// messages for what they refuse.
#include "engine/driving/DrivingJson.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/messages/ScenarioError.h"
#include "engine/scenario/JsonScenario.h"

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

std::string withDriver(const std::string &driver) { return R"({"duration": 1, "driver": )" + driver + "}"; }

TEST(DrivingJson, ReadsTheMinimalShapes) {
  const Schedule circle =
      parseJsonScenario(withDriver(R"({"speed": {"target": 10.0}, "path": {"circle": {"radius": 30.0}}})"), "s.json");
  ASSERT_TRUE(circle.driving.driver.speed);
  EXPECT_EQ(circle.driving.driver.speed->target, 10.0);
  EXPECT_EQ(circle.driving.driver.speed->kp, 2.0);
  ASSERT_TRUE(circle.driving.driver.path);
  EXPECT_TRUE(circle.driving.driver.path->closed);
  EXPECT_EQ(circle.driving.driver.path->points.size(), 377u);  // 0.5 m chords round 30 m
  EXPECT_EQ(circle.driving.driver.updateSteps, 10u);

  const Schedule points = parseJsonScenario(
      withDriver(R"({"speed": {"target": 8.0}, "path": {"points": [[0, 0], [50, 0], [80, 3.5], [120, 3.5]]}})"),
      "s.json");
  ASSERT_TRUE(points.driving.driver.path);
  EXPECT_FALSE(points.driving.driver.path->closed);
  EXPECT_EQ(points.driving.driver.path->points.size(), 4u);
  EXPECT_EQ(points.driving.driver.path->points[2].y, 3.5);
}

TEST(DrivingJson, ReadsEveryDriverKey) {
  const Schedule schedule = parseJsonScenario(withDriver(R"({
      "speed": {"profile": {"distance": [0, 100], "speed": [5, 10]}, "kp": 1.5, "ki": 0.2, "integral_band": 1,
                "min_demand": -3, "max_demand": 1},
      "path": {"lane_change": {"start": 20, "length": 30, "offset": -3.5}, "look_ahead_time": 1.0,
               "min_look_ahead": 5, "wheelbase": 2.9, "max_angle": 0.4, "max_rate": 0.5},
      "update_period": 0.005})"),
                                              "s.json");
  const driving::DriverSetup &driver = schedule.driving.driver;
  EXPECT_EQ(driver.speed->mode, driving::SpeedControllerSettings::Mode::Profile);
  EXPECT_TRUE(driver.speed->profile.overDistance);
  EXPECT_EQ(driver.speed->profile.speed, (std::vector<double>{5.0, 10.0}));
  EXPECT_EQ(driver.speed->kp, 1.5);
  EXPECT_EQ(driver.speed->ki, 0.2);
  EXPECT_EQ(driver.speed->integralBand, 1.0);
  EXPECT_EQ(driver.speed->minDemand, -3.0);
  EXPECT_EQ(driver.speed->maxDemand, 1.0);
  EXPECT_EQ(driver.follower.lookAheadTime, 1.0);
  EXPECT_EQ(driver.follower.minLookAhead, 5.0);
  EXPECT_EQ(driver.follower.wheelbase, 2.9);
  EXPECT_EQ(driver.follower.maxAngle, 0.4);
  EXPECT_EQ(driver.follower.maxRate, 0.5);
  EXPECT_EQ(driver.updateSteps, 50u);
  EXPECT_EQ(driver.path->points.back().y, -3.5);

  const Schedule demand = parseJsonScenario(
      withDriver(R"({"speed": {"demand": 0, "gear": "neutral"}, "path": {"straight": {}}})"), "s.json");
  EXPECT_EQ(demand.driving.driver.speed->mode, driving::SpeedControllerSettings::Mode::Demand);
  EXPECT_EQ(demand.driving.driver.speed->gear, driving::kGearNeutral);
}

TEST(DrivingJson, ReadsConditionEventsApartFromTimedOnes) {
  const Schedule schedule = parseJsonScenario(R"({"duration": 30,
      "driver": {"speed": {"target": 10}},
      "events": [
        {"time": 0.5, "set": {"SteeringAngle": 0.01}},
        {"when": {"time_in_state": {">=": 2}}, "driver": {"speed": {"demand": -4}}, "set": {"RoadGrade": 0.01}},
        {"time": 1, "set": {"SteeringAngle": 0}},
        {"when": {"LongitudinalSpeed": {"<": 0.05}, "time": {">": 1}}, "stop": true},
        {"when": {"Distance": {">": 10}}, "driver": {"speed": null}}
      ]})",
                                              "s.json");
  ASSERT_EQ(schedule.events.size(), 2u);
  EXPECT_EQ(schedule.events[1].step, 10000u);
  const auto &events = schedule.driving.events;
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].when[0].signal, driving::kTimeInState);
  EXPECT_EQ(events[0].when[0].op, driving::Comparison::Operator::GreaterEqual);
  EXPECT_TRUE(events[0].changesSpeed);
  EXPECT_EQ(events[0].speed->demand, -4.0);
  EXPECT_EQ(events[0].sets[0].input, 3);
  ASSERT_EQ(events[1].when.size(), 2u);
  EXPECT_TRUE(events[1].stop);
  EXPECT_TRUE(events[2].changesSpeed);
  EXPECT_FALSE(events[2].speed);
}

TEST(DrivingJson, ErrorsNameThePlace) {
  EXPECT_EQ(errorOf(withDriver(R"({"sped": {"target": 1}})")),
            "s.json: driver.sped: unknown key (did you mean speed?); expected speed, path or update_period");
  EXPECT_EQ(errorOf(withDriver(R"({"speed": {}})")),
            "s.json: driver.speed: expected exactly one of \"target\" (m/s), \"profile\" or \"demand\" (m/s^2)");
  EXPECT_EQ(errorOf(withDriver(R"({"speed": {"target": 5, "gear": "neutral"}})")),
            "s.json: driver.speed.gear: \"gear\" goes with \"demand\"; a target speed chooses drive or reverse by "
            "its sign");
  EXPECT_EQ(errorOf(withDriver(R"({"speed": {"demand": 1, "gear": "park"}})")),
            "s.json: driver.speed.gear: expected \"drive\", \"reverse\" or \"neutral\"");
  EXPECT_EQ(errorOf(withDriver(R"({"speed": {"profile": {"time": [0, 0], "speed": [1, 2]}}})")),
            "s.json: driver.speed: speed profile: the time values must increase");
  EXPECT_EQ(errorOf(withDriver(R"({"path": {"circle": {"radius": -3}}})")),
            "s.json: driver.path.circle.radius: expected a number > 0, got -3");
  EXPECT_EQ(errorOf(withDriver(R"({"path": {"circle": {"radius": 3}, "straight": {}}})")),
            "s.json: driver.path: expected one shape, got \"straight\" and \"circle\"");
  EXPECT_EQ(errorOf(withDriver(R"({"path": {"points": [[0, 0], [0, 0]]}})")),
            "s.json: driver.path.points: path points 0 and 1 must be finite and distinct");
  EXPECT_EQ(errorOf(withDriver(R"({"path": {"points": [[0, 0, 1]]}})")),
            "s.json: driver.path.points[0]: expected a point [x, y] in m");
  EXPECT_EQ(errorOf(withDriver(R"({"update_period": 0.00015})")),
            "s.json: driver.update_period: expected a whole number of 0.0001 s steps from 0.0001 to 100 s, got "
            "0.00015");
  EXPECT_EQ(errorOf(R"({"duration": 1, "events": [{"when": {"Speed": {"<": 1}}, "stop": true}]})"),
            "s.json: events[0].when.Speed: unknown signal; expected time, PositionX, PositionY, Heading, "
            "LongitudinalSpeed, PitchAngle, RollAngle, TipOverIndicator, AccelerationDemand, GearSelector, "
            "SteeringAngle, RoadGrade, InitialPositionX, InitialPositionY, InitialHeading, InitialSpeed, Distance, "
            "YawRate, LongitudinalAcceleration, LateralAcceleration, PathRadius, LateralDeviation, TargetSpeed or "
            "time_in_state");
  EXPECT_EQ(errorOf(R"({"duration": 1, "events": [{"when": {"YawRate": {"=": 1}}}]})"),
            "s.json: events[0].when.YawRate.=: expected \"<\", \"<=\", \">\" or \">=\"");
  EXPECT_EQ(errorOf(R"({"duration": 1, "events": [{"when": {"time": {">": 1}}, "time": 2}]})"),
            "s.json: events[0].time: \"time\" does not go with \"when\": a condition event may \"set\" inputs, change "
            "the \"driver\" or \"stop\" the run");
  EXPECT_EQ(errorOf(R"({"duration": 1, "events": [{"when": {"time": {">": 1}}, "stop": 1}]})"),
            "s.json: events[0].stop: expected true or false");
  EXPECT_EQ(errorOf(R"({"duration": 1, "events": [{"when": {}}]})"),
            "s.json: events[0].when: expected at least one signal, as {\"LongitudinalSpeed\": {\"<\": 0.05}}");
}

}  // namespace
}  // namespace corvanta::engine
