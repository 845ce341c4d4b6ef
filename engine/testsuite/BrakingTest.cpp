// The braking test.
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

TestResult brakingTest(const TestContext &context, const OptionValues &o) {
  const double speed = o.at("speed");
  const double demand = o.at("demand");
  const double settle = 2.0;
  const double stopSpeed = 0.05;
  // Event 0 brakes, event 1 stops the run at a standstill.
  const TestScenario scenario =
      ScenarioBuilder("braking", "braking to standstill from a held speed", settle + 30.0, speed)
          .speed(holdSpeed(speed))
          .path(straightAhead())
          .event({{"when", {{"time", {{">=", settle}}}}}, {"driver", {{"speed", fixedDemand(demand, "drive")}}}})
          .stopWhen("LongitudinalSpeed", "<", stopSpeed)
          .build();
  RunRecord record = runTest(context, scenario);

  const double onset = record.firedAt(0);
  const std::vector<double> time = record.column(driving::kTime);
  const Braking b =
      braking(time, record.column(driving::kLongitudinalSpeed), record.column(driving::kDistance), onset, stopSpeed);
  const std::vector<double> decel =
      scaled(movingAverage(time, record.column(driving::kLongitudinalAcceleration), 0.1), -1.0);
  // Over the fully developed part, down to 10 % of the initial speed: the last metres to
  // a standstill bring spikes of the tyre forces that are no braking performance.
  const std::vector<double> speeds = record.column(driving::kLongitudinalSpeed);
  double peakDecel = 0.0;
  for (std::size_t i = 0; i < time.size(); ++i) {
    if (time[i] >= onset && speeds[i] >= 0.1 * b.initialSpeed) {
      peakDecel = std::max(peakDecel, decel[i]);
    }
  }
  TestResult result;
  result.description = "Speed held at " + driving::shortestText(speed) + " m/s for " + driving::shortestText(settle) +
                       " s, then AccelerationDemand " + driving::shortestText(demand) +
                       " m/s^2 in drive until LongitudinalSpeed < " + driving::shortestText(stopSpeed) + " m/s.";
  result.metrics = {
      {"initial_speed", b.initialSpeed, "m/s", "LongitudinalSpeed at the brake onset"},
      {"stopping_distance", b.distance, "m",
       "Distance travelled from the brake onset to standstill (speed < 0.05 m/s)"},
      {"stopping_time", b.time, "s", "time from the brake onset to standstill"},
      {"mfdd", b.mfdd, "m/s^2",
       "mean fully developed deceleration (v_b^2 - v_e^2) / (2 (s_e - s_b)), v_b = 0.8 v0, v_e = 0.1 v0"},
      {"peak_deceleration", peakDecel, "m/s^2",
       "largest 0.1 s average of -LongitudinalAcceleration from the onset until the speed falls below 0.1 v0"},
  };
  if (!record.stopped) {
    result.notes.push_back("the car did not come to a standstill within 30 s of braking");
  }
  Plot plot{"time.svg", "Speed and deceleration", "time (s)", false, false, {}};
  plot.panels.push_back(Panel{"speed (m/s)", {timeSeries(record, driving::kLongitudinalSpeed, "speed")}});
  plot.panels.push_back(Panel{"deceleration (m/s^2)", {line("0.1 s average", time, decel)}});
  plot.panels.push_back(
      Panel{"demand (m/s^2)", {timeSeries(record, driving::kAccelerationDemand, "AccelerationDemand")}});
  Plot distancePlot{"speed-vs-distance.svg", "Speed against distance", "distance (m)", false, false, {}};
  distancePlot.panels.push_back(Panel{
      "speed (m/s)", {line("speed", record.column(driving::kDistance), record.column(driving::kLongitudinalSpeed))}});
  result.plots = {plot, distancePlot};
  result.runs.push_back(std::move(record));
  return result;
}

}  // namespace corvanta::testsuite
