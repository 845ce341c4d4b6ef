// The coast-down test.
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

TestResult coastDown(const TestContext &context, const OptionValues &o) {
  const double speed = o.at("speed");
  const double endSpeed = o.at("end-speed");
  const double mass = o.at("mass");
  if (!(endSpeed < speed)) {
    throw TestOptionError("coast-down: --end-speed must be lower than --speed");
  }
  const TestScenario scenario = ScenarioBuilder("coast-down", "coasting in neutral", 300.0, speed)
                                    .speed(fixedDemand(0.0, "neutral"))
                                    .path(straightAhead())
                                    .stopWhen("LongitudinalSpeed", "<", endSpeed)
                                    .build();
  RunRecord record = runTest(context, scenario);

  const std::vector<double> time = record.column(driving::kTime);
  const std::vector<double> speeds = record.column(driving::kLongitudinalSpeed);
  const double halfWindow = 0.5;
  const RoadLoad load = roadLoad(time, speeds, mass, halfWindow, endSpeed, speed);
  TestResult result;
  result.description = "In neutral from " + driving::shortestText(speed) + " m/s until " +
                       driving::shortestText(endSpeed) + " m/s on a level road; F = mass * deceleration with mass " +
                       driving::shortestText(mass) + " kg.";
  result.metrics = {
      {"A", load.a, "N", "constant term of F = A + B v + C v^2 fitted by least squares to F = m (-dv/dt)"},
      {"B", load.b, "N/(m/s)", "linear term"},
      {"C", load.c, "N/(m/s)^2", "quadratic term"},
      {"coast_down_time", time.back() - time.front(), "s", "time from the start to the end speed"},
      {"coast_down_distance", record.frames.back()[driving::kDistance], "m", "Distance travelled by then"},
      {"fit_points", static_cast<double>(load.points), "1",
       "samples (every 0.001 s) in the fit; dv/dt is the central difference over +-0.5 s"},
  };
  if (!record.stopped) {
    result.notes.push_back("the car did not slow to the end speed within 300 s");
  }
  std::vector<double> fitSpeed, fitForce, measuredSpeed, measuredForce;
  for (std::size_t i = 0; i < time.size(); i += 1000) {
    if (time[i] - halfWindow >= time.front() && time[i] + halfWindow <= time.back()) {
      measuredSpeed.push_back(speeds[i]);
      measuredForce.push_back(
          mass * (valueAt(time, speeds, time[i] - halfWindow) - valueAt(time, speeds, time[i] + halfWindow)) /
          (2.0 * halfWindow));
    }
  }
  for (int i = 0; i <= 50; ++i) {
    const double v = endSpeed + (speed - endSpeed) * i / 50.0;
    fitSpeed.push_back(v);
    fitForce.push_back(load.a + load.b * v + load.c * v * v);
  }
  Plot forcePlot{"road-load.svg", "Road load against speed", "speed (m/s)", false, false, {}};
  forcePlot.panels.push_back(Panel{"force (N)",
                                   {Series{"m (-dv/dt), every 1 s", measuredSpeed, measuredForce, true},
                                    line("fit A + B v + C v^2", fitSpeed, fitForce)}});
  Plot timePlot{"time.svg", "Speed while coasting", "time (s)", false, false, {}};
  timePlot.panels.push_back(Panel{"speed (m/s)", {line("speed", time, speeds)}});
  result.plots = {forcePlot, timePlot};
  result.runs.push_back(std::move(record));
  return result;
}

}  // namespace corvanta::testsuite
