// The steady-state-circle test.
#include "engine/testsuite/TestProcedures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/driving/Condition.h"
#include "engine/testsuite/Metrics.h"
#include "engine/testsuite/ResultSeries.h"
#include "engine/testsuite/ScenarioBuilder.h"
#include "engine/testsuite/VehicleParameter.h"

namespace corvanta::testsuite {

TestResult steadyStateCircle(const TestContext &context, const OptionValues &o) {
  const double radius = o.at("radius");
  const double startSpeed = o.at("start-speed");
  const double endSpeed = o.at("end-speed");
  const double rampTime = o.at("ramp-time");
  const double settle = 5.0;
  // The run stops when the car leaves the circle by more than 3 m.
  const TestScenario scenario =
      ScenarioBuilder("steady-state-circle", "steady-state circular driving", settle + rampTime, startSpeed)
          .speed({{"profile",
                   {{"time", {0.0, settle, settle + rampTime}}, {"speed", {startSpeed, startSpeed, endSpeed}}}}})
          .path({{"circle", {{"radius", radius}, {"direction", "left"}}}})
          .stopWhen("LateralDeviation", ">", 3.0)
          .stopWhen("LateralDeviation", "<", -3.0)
          .build();
  RunRecord record = runTest(context, scenario);

  // Quasi-steady values: 1 s moving averages from the end of the settling time on.
  const RunRecord steady = after(record, settle);
  const std::vector<double> time = steady.column(driving::kTime);
  const std::vector<double> ay = movingAverage(time, steady.column(driving::kLateralAcceleration), 1.0);
  const std::vector<double> steer = movingAverage(time, steady.column(driving::kSteeringAngle), 1.0);
  const std::vector<double> deviation = steady.column(driving::kLateralDeviation);
  const std::vector<double> speedValues = steady.column(driving::kLongitudinalSpeed);
  const double low = o.at("fit-low");
  const double high = o.at("fit-high");
  const LineFit fit = fitLine(ay, steer, low, high);
  double maxAy = NAN;
  double speedAtMax = NAN;
  for (std::size_t i = 0; i < ay.size(); ++i) {
    if (std::fabs(deviation[i]) <= 1.0 && !(ay[i] <= maxAy)) {
      maxAy = ay[i];
      speedAtMax = speedValues[i];
    }
  }
  // The Wheelbase of the car that ran; NaN when the model functions give no parameter set.
  const double wheelbase = vehicleParameter(context.model, "Wheelbase").value_or(NAN);

  TestResult result;
  result.description = "Circle of radius " + driving::shortestText(radius) + " m to the left, speed from " +
                       driving::shortestText(startSpeed) + " to " + driving::shortestText(endSpeed) + " m/s over " +
                       driving::shortestText(rampTime) + " s after " + driving::shortestText(settle) +
                       " s at the start speed.";
  result.metrics = {
      {"understeer_gradient", fit.slope * kRadToDeg * kStandardGravity, "deg/g",
       "slope of the road-wheel steering angle (SteeringAngle, 1 s average) against the lateral acceleration "
       "(1 s average) fitted by least squares over " +
           driving::shortestText(low) + " to " + driving::shortestText(high) +
           " m/s^2; > 0 understeer (constant radius: the Ackermann angle does not change)"},
      {"steer_at_zero_ay", fit.intercept * kRadToDeg, "deg", "the fit's steering angle at zero lateral acceleration"},
      {"ackermann_angle", wheelbase / radius * kRadToDeg, "deg", "wheelbase / radius, for comparison"},
      {"fit_r_squared", fit.rSquared, "1", "coefficient of determination of the fit"},
      {"fit_points", static_cast<double>(fit.points), "1", "samples (every 0.001 s) in the fit range"},
      {"max_lateral_acceleration", maxAy, "m/s^2",
       "largest 1 s average of LateralAcceleration while the car stays within 1 m of the circle"},
      {"speed_at_max_lateral_acceleration", speedAtMax, "m/s", "LongitudinalSpeed at that moment"},
  };
  if (record.stopped) {
    result.notes.push_back("the run stopped early: the car left the circle by more than 3 m");
  }
  Plot steerPlot{"steer-vs-ay.svg",
                 "Steering angle against lateral acceleration",
                 "lateral acceleration (m/s^2)",
                 false,
                 false,
                 {}};
  Series fitSeries{"fit " + driving::shortestText(low) + "-" + driving::shortestText(high) + " m/s^2",
                   {low, high},
                   {(fit.slope * low + fit.intercept) * kRadToDeg, (fit.slope * high + fit.intercept) * kRadToDeg},
                   false};
  steerPlot.panels.push_back(
      Panel{"steering angle (deg)", {line("1 s averages", ay, scaled(steer, kRadToDeg)), fitSeries}});
  Plot timePlot{"time.svg", "Speed, lateral acceleration and deviation", "time (s)", false, false, {}};
  timePlot.panels.push_back(Panel{
      "speed (m/s)",
      {timeSeries(record, driving::kLongitudinalSpeed, "speed"), timeSeries(record, driving::kTargetSpeed, "target")}});
  timePlot.panels.push_back(Panel{"lat. acc. (m/s^2)", {timeSeries(record, driving::kLateralAcceleration, "ay")}});
  timePlot.panels.push_back(Panel{"deviation (m)", {timeSeries(record, driving::kLateralDeviation, "deviation")}});
  result.plots = {steerPlot, timePlot, pathPlot(record, "path.svg")};
  result.runs.push_back(std::move(record));
  return result;
}

}  // namespace corvanta::testsuite
