// The step-steer test.
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

namespace corvanta::testsuite {

TestResult stepSteer(const TestContext &context, const OptionValues &o) {
  const double speed = o.at("speed");
  const double steer = o.at("steer");
  const double rise = o.at("rise-time");
  const double start = 3.0;
  const double hold = o.at("hold");
  const TestScenario scenario = ScenarioBuilder("step-steer", "step steer at a held speed", start + hold, speed)
                                    .speed(holdSpeed(speed))
                                    .ramp(start, start + rise, "SteeringAngle", steer)
                                    .build();
  RunRecord record = runTest(context, scenario);

  const std::vector<double> time = record.column(driving::kTime);
  const StepResponse response = stepResponse(time, record.column(driving::kSteeringAngle),
                                             record.column(driving::kYawRate), start, 1.0, 1.0, 1.5);
  const double steadyAy = meanOver(time, record.column(driving::kLateralAcceleration), time.back() - 1.0, time.back());
  TestResult result;
  result.description = "Steering step of " + driving::shortestText(steer) + " rad (road wheel) in " +
                       driving::shortestText(rise) + " s at t = " + driving::shortestText(start) +
                       " s, speed held at " + driving::shortestText(speed) + " m/s.";
  result.metrics = {
      {"yaw_rate_gain", response.gain, "1/s",
       "steady yaw-rate change / steady steering change; steady = mean of the last 1 s, both relative to the mean "
       "of the 1 s before the step"},
      {"steady_yaw_rate", response.steadyResponse, "rad/s", "steady yaw-rate change"},
      {"response_time", response.responseTime, "s",
       "from the steering reaching 50 % of its step to the yaw rate first reaching 90 % of its steady change"},
      {"peak_response_time", response.peakTime, "s",
       "from the same 50 % steering instant to the yaw-rate peak, its largest value within 1.5 s; none (null) "
       "when the overshoot is below 0.5 % or the yaw rate is still rising after 1.5 s"},
      {"overshoot", response.overshoot, "%",
       "(peak - steady) / steady yaw-rate change, the peak taken within 1.5 s of the 50 % steering instant"},
      {"steady_lateral_acceleration", steadyAy, "m/s^2", "mean LateralAcceleration over the last 1 s"},
  };
  Plot plot{"response.svg", "Yaw-rate response to a steering step", "time (s)", false, false, {}};
  plot.panels.push_back(
      Panel{"steering (deg)", {timeSeries(record, driving::kSteeringAngle, "SteeringAngle", kRadToDeg)}});
  plot.panels.push_back(Panel{"yaw rate (deg/s)", {timeSeries(record, driving::kYawRate, "YawRate", kRadToDeg)}});
  plot.panels.push_back(
      Panel{"lat. acc. (m/s^2)", {timeSeries(record, driving::kLateralAcceleration, "LateralAcceleration")}});
  plot.panels.push_back(Panel{"speed (m/s)", {timeSeries(record, driving::kLongitudinalSpeed, "speed")}});
  result.plots = {plot};
  result.runs.push_back(std::move(record));
  return result;
}

}  // namespace corvanta::testsuite
