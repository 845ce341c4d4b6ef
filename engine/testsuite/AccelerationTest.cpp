// The acceleration test.
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

TestResult accelerationTest(const TestContext &context, const OptionValues &o) {
  const double to = o.at("to");
  const double interval = o.at("interval");
  const double demand = o.at("demand");
  const double limit = o.at("time-limit");
  const TestScenario scenario = ScenarioBuilder("acceleration", "acceleration from standstill", limit, 0.0)
                                    .speed(fixedDemand(demand, "drive"))
                                    .path(straightAhead())
                                    .stopWhen("LongitudinalSpeed", ">=", to)
                                    .build();
  RunRecord record = runTest(context, scenario);

  const std::vector<double> time = record.column(driving::kTime);
  const std::vector<double> speed = record.column(driving::kLongitudinalSpeed);
  const std::vector<double> distance = record.column(driving::kDistance);
  TestResult result;
  result.description = "From standstill in drive with AccelerationDemand " + driving::shortestText(demand) +
                       " m/s^2 until " + driving::shortestText(to) + " m/s (at most " + driving::shortestText(limit) +
                       " s).";
  Table table{"speeds_reached", {"speed", "time", "distance"}, {"m/s", "s", "m"}, {}};
  std::vector<double> targets;
  for (double target = interval; target < to - 1e-9; target += interval) {
    targets.push_back(target);
  }
  targets.push_back(to);
  for (const double target : targets) {
    const SpeedReached reached = speedReached(time, speed, distance, target);
    table.rows.push_back({target, reached.time, reached.distance});
    const std::string label = driving::shortestText(target);
    result.metrics.push_back({"time_to_" + label, reached.time, "s",
                              "time from the start to LongitudinalSpeed >= " + label + " m/s (interpolated)"});
    result.metrics.push_back({"distance_to_" + label, reached.distance, "m", "Distance travelled by then"});
  }
  if (!record.stopped) {
    result.notes.push_back("the car did not reach " + driving::shortestText(to) + " m/s within " +
                           driving::shortestText(limit) + " s");
  }
  result.tables.push_back(table);
  Plot plot{"time.svg", "Speed from standstill", "time (s)", false, false, {}};
  plot.panels.push_back(Panel{"speed (m/s)", {line("speed", time, speed)}});
  plot.panels.push_back(Panel{
      "acceleration (m/s^2)",
      {line("0.1 s average", time, movingAverage(time, record.column(driving::kLongitudinalAcceleration), 0.1))}});
  Plot distancePlot{"speed-vs-distance.svg", "Speed against distance", "distance (m)", false, false, {}};
  distancePlot.panels.push_back(Panel{"speed (m/s)", {line("speed", distance, speed)}});
  result.plots = {plot, distancePlot};
  result.runs.push_back(std::move(record));
  return result;
}

}  // namespace corvanta::testsuite
