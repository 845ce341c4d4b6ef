// The double-lane-change test.
#include "engine/testsuite/TestProcedures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/driving/Condition.h"
#include "engine/driving/PathShapes.h"
#include "engine/testsuite/Metrics.h"
#include "engine/testsuite/ResultSeries.h"
#include "engine/testsuite/ScenarioBuilder.h"

namespace corvanta::testsuite {

TestResult doubleLaneChange(const TestContext &context, const OptionValues &o) {
  const double speed = o.at("speed");
  driving::LaneChangeCourse course;
  course.vehicleWidth = o.at("width");
  course.offset = o.at("offset");
  const double duration = course.totalLength() / speed + 2.0;
  const TestScenario scenario =
      ScenarioBuilder("double-lane-change", "obstacle-avoidance double lane change", duration, speed)
          .speed(holdSpeed(speed))
          .path({{"double_lane_change",
                  {{"offset", course.offset}, {"vehicle_width", course.vehicleWidth}, {"lead_in", course.leadIn}}}})
          .stopWhen("PositionX", ">", course.totalLength())
          .build();
  RunRecord record = runTest(context, scenario);

  // The course proper: from the entry lane's start to the exit lane's end.
  const double from = course.entryStart();
  const double to = course.exitStart() + course.exitLength;
  std::vector<double> deviation, yaw, ay, steerValues, speeds;
  for (const driving::SignalFrame &frame : record.frames) {
    if (frame[driving::kPositionX] >= from && frame[driving::kPositionX] <= to) {
      deviation.push_back(frame[driving::kLateralDeviation]);
      yaw.push_back(frame[driving::kYawRate]);
      ay.push_back(frame[driving::kLateralAcceleration]);
      steerValues.push_back(frame[driving::kSteeringAngle]);
      speeds.push_back(frame[driving::kLongitudinalSpeed]);
    }
  }
  const std::vector<driving::Point2> cones = driving::laneChangeCones(course);
  std::vector<double> coneX, coneY;
  for (const driving::Point2 &cone : cones) {
    coneX.push_back(cone.x);
    coneY.push_back(cone.y);
  }
  Footprint footprint;
  footprint.halfWidth = 0.5 * course.vehicleWidth;
  const std::size_t hit = conesHit(record.column(driving::kPositionX), record.column(driving::kPositionY),
                                   record.column(driving::kHeading), coneX, coneY, footprint);
  TestResult result;
  result.description = "Obstacle-avoidance double lane change, held at " + driving::shortestText(speed) +
                       " m/s: entry lane 15 m (width 1.1 b + 0.25), 30 m transition, lane offset " +
                       driving::shortestText(course.offset) +
                       " m for 25 m (width 1.2 b + 0.25), 25 m transition, exit lane 15 m "
                       "(width 1.3 b + 0.25), b = " +
                       driving::shortestText(course.vehicleWidth) +
                       " m; the driver follows the course's centre line (half-cosine transitions).";
  result.metrics = {
      {"peak_lateral_deviation", maxAbs(deviation), "m",
       "largest |LateralDeviation| from the centre line between the entry lane's start and the exit lane's end"},
      {"peak_yaw_rate", maxAbs(yaw), "rad/s", "largest |YawRate| over the same stretch"},
      {"peak_lateral_acceleration", maxAbs(ay), "m/s^2", "largest |LateralAcceleration| over the same stretch"},
      {"peak_steering_angle", maxAbs(steerValues), "rad", "largest |SteeringAngle| over the same stretch"},
      {"cones_hit", static_cast<double>(hit), "1",
       "cones (every 2.5 m along both edges of the three lanes, " + std::to_string(cones.size()) +
           " in all) inside the vehicle's footprint (2.06 m ahead of and 2.64 m behind the centre of mass, width b) "
           "at any sample"},
      {"min_speed", speeds.empty() ? NAN : *std::min_element(speeds.begin(), speeds.end()), "m/s",
       "lowest LongitudinalSpeed over the stretch"},
  };
  Plot pathView{"path.svg", "Lateral position against X (axes not to scale)", "X (m)", false, false, {}};
  Panel panel{"Y (m)", {}};
  Series centre{"centre line", {}, {}, false};
  for (const driving::Point2 &p : record.path) {
    centre.x.push_back(p.x);
    centre.y.push_back(p.y);
  }
  panel.series.push_back(centre);
  panel.series.push_back(
      line("vehicle (centre of mass)", record.column(driving::kPositionX), record.column(driving::kPositionY)));
  panel.series.push_back(Series{"cones", coneX, coneY, true});
  pathView.panels.push_back(panel);
  Plot timePlot{"time.svg", "Steering, yaw rate and lateral acceleration", "time (s)", false, false, {}};
  timePlot.panels.push_back(
      Panel{"steering (deg)", {timeSeries(record, driving::kSteeringAngle, "SteeringAngle", kRadToDeg)}});
  timePlot.panels.push_back(Panel{"yaw rate (deg/s)", {timeSeries(record, driving::kYawRate, "YawRate", kRadToDeg)}});
  timePlot.panels.push_back(Panel{"lat. acc. (m/s^2)", {timeSeries(record, driving::kLateralAcceleration, "ay")}});
  timePlot.panels.push_back(Panel{"deviation (m)", {timeSeries(record, driving::kLateralDeviation, "deviation")}});
  result.plots = {pathView, timePlot};
  result.runs.push_back(std::move(record));
  return result;
}

}  // namespace corvanta::testsuite
