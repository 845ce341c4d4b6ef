#include "engine/testsuite/StandardTests.h"
#include "runtime/DoubleText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>

#include <nlohmann/json.hpp>

#include "engine/scenario/JsonScenario.h"
#include "engine/testsuite/Metrics.h"
#include "engine/driving/PathShapes.h"

namespace corvanta::testsuite {

namespace {

using driving::Signal;

constexpr double kVehicleMass = 1760.0;  // kg

// ---- Building scenarios ------------------------------------------------------------
//
// Every run is a JSON scenario, read by the scenario engine like any other and written
// beside the run's CSV: `corvanta-sim DIR/RUN.json` runs it again.

using Json = nlohmann::ordered_json;

class ScenarioBuilder {
 public:
  ScenarioBuilder(const std::string &name, const std::string &description, double duration, double initialSpeed) {
    json_["name"] = name;
    json_["description"] = description;
    json_["duration"] = duration;
    json_["inputs"] = {{"GearSelector", 1}, {"InitialSpeed", initialSpeed}};
    json_["driver"] = Json::object();
    json_["events"] = Json::array();
  }

  ScenarioBuilder &speed(Json setting) {
    json_["driver"]["speed"] = std::move(setting);
    return *this;
  }
  ScenarioBuilder &path(Json shape) {
    json_["driver"]["path"] = std::move(shape);
    return *this;
  }
  ScenarioBuilder &event(Json event) {
    json_["events"].push_back(std::move(event));
    return *this;
  }
  ScenarioBuilder &ramp(double from, double until, const char *input, double target) {
    return event({{"time", from}, {"until", until}, {"ramp", {{input, target}}}});
  }
  ScenarioBuilder &stopWhen(const char *signal, const char *op, double value) {
    return event({{"when", {{signal, {{op, value}}}}}, {"stop", true}});
  }

  TestScenario build() const {
    const std::string name = json_["name"].get<std::string>();
    std::string text = json_.dump(2) + "\n";
    return TestScenario{name, engine::parseJsonScenario(text, name + ".json"), std::move(text)};
  }

 private:
  Json json_;
};

Json holdSpeed(double target) { return {{"target", target}}; }

Json fixedDemand(double demand, const char *gear) { return {{"demand", demand}, {"gear", gear}}; }

Json straightAhead() { return {{"straight", Json::object()}}; }

RunRecord run(const TestContext &context, const TestScenario &scenario) {
  return runTest(context.model, scenario, 10, context.progress);
}

// ---- Reading results ---------------------------------------------------------------

std::vector<double> scaled(std::vector<double> values, double factor) {
  for (double &value : values) {
    value *= factor;
  }
  return values;
}

Series line(const std::string &label, std::vector<double> x, std::vector<double> y) {
  return Series{label, std::move(x), std::move(y), false};
}

Series timeSeries(const RunRecord &record, Signal signal, const std::string &label, double factor = 1.0) {
  return line(label, record.column(driving::kTime), scaled(record.column(signal), factor));
}

// Samples of a run from time `from` on.
RunRecord after(const RunRecord &record, double from) {
  RunRecord part;
  part.name = record.name;
  for (const driving::SignalFrame &frame : record.frames) {
    if (frame[driving::kTime] >= from) {
      part.frames.push_back(frame);
    }
  }
  return part;
}

double maxAbs(const std::vector<double> &values) {
  double largest = 0.0;
  for (const double value : values) {
    largest = std::max(largest, std::fabs(value));
  }
  return largest;
}

Plot pathPlot(const RunRecord &record, const std::string &file) {
  Plot plot{file, "Path driven", "X (m)", false, true, {}};
  Panel panel{"Y (m)", {}};
  if (!record.path.empty()) {
    Series path{"driver's path", {}, {}, false};
    for (const driving::Point2 &p : record.path) {
      path.x.push_back(p.x);
      path.y.push_back(p.y);
    }
    panel.series.push_back(std::move(path));
  }
  panel.series.push_back(line("vehicle", record.column(driving::kPositionX), record.column(driving::kPositionY)));
  plot.panels.push_back(std::move(panel));
  return plot;
}

// ---- steady-state-circle -------------------------------------------------------------

TestResult steadyStateCircle(const TestContext &context, const OptionValues &o) {
  const double radius = o.at("radius");
  const double startSpeed = o.at("start-speed");
  const double endSpeed = o.at("end-speed");
  const double rampTime = o.at("ramp-time");
  const double settle = 5.0;
  // The run stops when the car leaves the circle by more than 3 m.
  const TestScenario scenario =
      ScenarioBuilder("steady-state-circle", "steady-state circular driving", settle + rampTime, startSpeed)
          .speed({{"profile", {{"time", {0.0, settle, settle + rampTime}}, {"speed", {startSpeed, startSpeed, endSpeed}}}}})
          .path({{"circle", {{"radius", radius}, {"direction", "left"}}}})
          .stopWhen("LateralDeviation", ">", 3.0)
          .stopWhen("LateralDeviation", "<", -3.0)
          .build();
  RunRecord record = run(context, scenario);

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
  const double wheelbase = 2.8;

  TestResult result;
  result.description = "Circle of radius " + driving::shortestText(radius) + " m to the left, speed from " +
                       driving::shortestText(startSpeed) + " to " + driving::shortestText(endSpeed) + " m/s over " +
                       driving::shortestText(rampTime) + " s after " + driving::shortestText(settle) +
                       " s at the start speed.";
  result.metrics = {
      {"understeer_gradient", fit.slope * kRadToDeg * kStandardGravity, "deg/g",
       "slope of the road-wheel steering angle (SteeringAngle, 1 s average) against the lateral acceleration "
       "(1 s average) fitted by least squares over " + driving::shortestText(low) + " to " +
           driving::shortestText(high) + " m/s^2; > 0 understeer (constant radius: the Ackermann angle does not change)"},
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
  Plot steerPlot{"steer-vs-ay.svg", "Steering angle against lateral acceleration", "lateral acceleration (m/s^2)",
                 false, false, {}};
  Series fitSeries{"fit " + driving::shortestText(low) + "-" + driving::shortestText(high) + " m/s^2", {low, high},
                   {(fit.slope * low + fit.intercept) * kRadToDeg, (fit.slope * high + fit.intercept) * kRadToDeg},
                   false};
  steerPlot.panels.push_back(Panel{"steering angle (deg)", {line("1 s averages", ay, scaled(steer, kRadToDeg)),
                                                            fitSeries}});
  Plot timePlot{"time.svg", "Speed, lateral acceleration and deviation", "time (s)", false, false, {}};
  timePlot.panels.push_back(Panel{"speed (m/s)", {timeSeries(record, driving::kLongitudinalSpeed, "speed"),
                                                  timeSeries(record, driving::kTargetSpeed, "target")}});
  timePlot.panels.push_back(Panel{"lat. acc. (m/s^2)", {timeSeries(record, driving::kLateralAcceleration, "ay")}});
  timePlot.panels.push_back(Panel{"deviation (m)", {timeSeries(record, driving::kLateralDeviation, "deviation")}});
  result.plots = {steerPlot, timePlot, pathPlot(record, "path.svg")};
  result.runs.push_back(std::move(record));
  return result;
}

// ---- step-steer ----------------------------------------------------------------------

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
  RunRecord record = run(context, scenario);

  const std::vector<double> time = record.column(driving::kTime);
  const StepResponse response =
      stepResponse(time, record.column(driving::kSteeringAngle), record.column(driving::kYawRate), start, 1.0, 1.0, 1.5);
  const double steadyAy = meanOver(time, record.column(driving::kLateralAcceleration), time.back() - 1.0, time.back());
  TestResult result;
  result.description = "Steering step of " + driving::shortestText(steer) + " rad (road wheel) in " +
                       driving::shortestText(rise) + " s at t = " + driving::shortestText(start) + " s, speed held at " +
                       driving::shortestText(speed) + " m/s.";
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
  plot.panels.push_back(Panel{"steering (deg)", {timeSeries(record, driving::kSteeringAngle, "SteeringAngle",
                                                            kRadToDeg)}});
  plot.panels.push_back(Panel{"yaw rate (deg/s)", {timeSeries(record, driving::kYawRate, "YawRate", kRadToDeg)}});
  plot.panels.push_back(Panel{"lat. acc. (m/s^2)", {timeSeries(record, driving::kLateralAcceleration,
                                                               "LateralAcceleration")}});
  plot.panels.push_back(Panel{"speed (m/s)", {timeSeries(record, driving::kLongitudinalSpeed, "speed")}});
  result.plots = {plot};
  result.runs.push_back(std::move(record));
  return result;
}

// ---- frequency-response ----------------------------------------------------------------

// The most model time, s, that the runs of one frequency-response test may take together.
constexpr double kMaxFrequencyResponseTime = 1200.0;

TestResult frequencyResponse(const TestContext &context, const OptionValues &o) {
  const double speed = o.at("speed");
  const double amplitude = o.at("amplitude");
  const double low = o.at("min-frequency");
  const double high = o.at("max-frequency");
  const int count = static_cast<int>(o.at("count"));
  const double cycles = o.at("cycles");
  if (!(high > low) && count > 1) {
    throw TestOptionError("frequency-response: --max-frequency must be greater than --min-frequency when --count > 1");
  }
  const double settle = 3.0;
  // Every run is kept (a frame every 10 steps, for the plots and the run files): about
  // 0.25 MB per second of model time, so the runs together are bounded.
  double modelTime = 0.0;
  for (int i = 0; i < count; ++i) {
    const double frequency = count == 1 ? low : low * std::pow(high / low, static_cast<double>(i) / (count - 1));
    modelTime += settle + (cycles + 1.0) / frequency;
  }
  if (!(modelTime <= kMaxFrequencyResponseTime)) {
    throw TestOptionError("frequency-response: these options need " + driving::shortestText(std::ceil(modelTime)) +
                          " s of simulated time in " + std::to_string(count) + " runs; at most " +
                          driving::shortestText(kMaxFrequencyResponseTime) +
                          " s is allowed (about 300 MB of recorded runs): lower --count or --cycles, or raise "
                          "--min-frequency");
  }
  TestResult result;
  Table table{"frequency_response", {"frequency", "yaw_rate_gain", "phase"}, {"Hz", "1/s", "deg"}, {}};
  Plot time{"time.svg", "Steering and yaw rate, every frequency", "time (s)", false, false, {}};
  Panel steerPanel{"steering (deg)", {}};
  Panel yawPanel{"yaw rate (deg/s)", {}};
  for (int i = 0; i < count; ++i) {
    const double frequency = count == 1 ? low : low * std::pow(high / low, static_cast<double>(i) / (count - 1));
    const double period = 1.0 / frequency;
    // One settling cycle, then the measured ones; the sine as ramps 1/64 period apart.
    const double sineStart = settle;
    const double sineEnd = sineStart + (cycles + 1.0) * period;
    char name[64];
    std::snprintf(name, sizeof name, "sine-%.3gHz", frequency);
    ScenarioBuilder builder(name, "steering sine at a held speed", sineEnd, speed);
    builder.speed(holdSpeed(speed));
    const int segments = static_cast<int>(std::ceil((cycles + 1.0) * 64.0));
    for (int k = 0; k < segments; ++k) {
      const double t0 = sineStart + (sineEnd - sineStart) * (static_cast<double>(k) / segments);
      const double t1 = sineStart + (sineEnd - sineStart) * (static_cast<double>(k + 1) / segments);
      builder.ramp(t0, t1, "SteeringAngle",
                   amplitude * std::sin(2.0 * 3.14159265358979323846 * frequency * (t1 - sineStart)));
    }
    RunRecord record = run(context, builder.build());
    const std::vector<double> t = record.column(driving::kTime);
    const FrequencyPoint point = frequencyPoint(t, record.column(driving::kSteeringAngle),
                                                record.column(driving::kYawRate), frequency, sineStart + period,
                                                sineEnd);
    table.rows.push_back({point.frequency, point.gain, point.phaseDeg});
    steerPanel.series.push_back(timeSeries(record, driving::kSteeringAngle, name, kRadToDeg));
    yawPanel.series.push_back(timeSeries(record, driving::kYawRate, name, kRadToDeg));
    result.runs.push_back(std::move(record));
  }
  std::vector<double> f, gain, phase;
  for (const auto &row : table.rows) {
    f.push_back(row[0]);
    gain.push_back(row[1]);
    phase.push_back(row[2]);
  }
  const auto peak = std::max_element(gain.begin(), gain.end());
  const std::size_t peakIndex = static_cast<std::size_t>(peak - gain.begin());
  const double phaseAt1Hz = (low <= 1.0 && high >= 1.0) ? valueAt(f, phase, 1.0) : NAN;
  double minus45 = NAN;
  for (std::size_t i = 1; i < phase.size(); ++i) {
    if (phase[i - 1] > -45.0 && phase[i] <= -45.0) {
      minus45 = f[i - 1] + (f[i] - f[i - 1]) * (-45.0 - phase[i - 1]) / (phase[i] - phase[i - 1]);
      break;
    }
  }
  result.description = "Steering sines of " + driving::shortestText(amplitude) + " rad at " + std::to_string(count) +
                       " frequencies from " + driving::shortestText(low) + " to " + driving::shortestText(high) +
                       " Hz (log spaced), speed held at " + driving::shortestText(speed) + " m/s; each run settles " +
                       driving::shortestText(settle) + " s, steers one cycle to settle and " +
                       driving::shortestText(cycles) + " cycles that are measured.";
  result.metrics = {
      {"gain_at_lowest_frequency", gain.front(), "1/s", "yaw-rate gain at the lowest frequency"},
      {"peak_gain_ratio", *peak / gain.front(), "1", "largest gain / gain at the lowest frequency"},
      {"peak_gain_frequency", f[peakIndex], "Hz", "frequency of the largest gain (among those run)"},
      {"phase_at_1hz", phaseAt1Hz, "deg", "yaw-rate phase relative to the steering at 1 Hz (interpolated)"},
      {"frequency_at_minus_45deg", minus45, "Hz", "frequency at which the phase lag reaches 45 deg (interpolated)"},
  };
  result.tables.push_back(table);
  Plot bode{"bode.svg", "Yaw-rate response to steering (Bode plot)", "frequency (Hz)", true, false, {}};
  bode.panels.push_back(Panel{"gain (1/s)", {Series{"yaw rate / steering", f, gain, true}}});
  bode.panels.push_back(Panel{"phase (deg)", {Series{"yaw rate - steering", f, phase, true}}});
  time.panels = {steerPanel, yawPanel};
  result.plots = {bode, time};
  return result;
}

// ---- double-lane-change ----------------------------------------------------------------

TestResult doubleLaneChange(const TestContext &context, const OptionValues &o) {
  const double speed = o.at("speed");
  driving::LaneChangeCourse course;
  course.vehicleWidth = o.at("width");
  course.offset = o.at("offset");
  const double duration = course.totalLength() / speed + 2.0;
  const TestScenario scenario =
      ScenarioBuilder("double-lane-change", "obstacle-avoidance double lane change", duration, speed)
          .speed(holdSpeed(speed))
          .path({{"double_lane_change", {{"offset", course.offset}, {"vehicle_width", course.vehicleWidth},
                                         {"lead_in", course.leadIn}}}})
          .stopWhen("PositionX", ">", course.totalLength())
          .build();
  RunRecord record = run(context, scenario);

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
  result.description =
      "Obstacle-avoidance double lane change, held at " + driving::shortestText(speed) +
      " m/s: entry lane 15 m (width 1.1 b + 0.25), 30 m transition, lane offset " +
      driving::shortestText(course.offset) + " m for 25 m (width 1.2 b + 0.25), 25 m transition, exit lane 15 m "
      "(width 1.3 b + 0.25), b = " + driving::shortestText(course.vehicleWidth) +
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
  panel.series.push_back(line("vehicle (centre of mass)", record.column(driving::kPositionX),
                              record.column(driving::kPositionY)));
  panel.series.push_back(Series{"cones", coneX, coneY, true});
  pathView.panels.push_back(panel);
  Plot timePlot{"time.svg", "Steering, yaw rate and lateral acceleration", "time (s)", false, false, {}};
  timePlot.panels.push_back(Panel{"steering (deg)", {timeSeries(record, driving::kSteeringAngle, "SteeringAngle",
                                                                kRadToDeg)}});
  timePlot.panels.push_back(Panel{"yaw rate (deg/s)", {timeSeries(record, driving::kYawRate, "YawRate", kRadToDeg)}});
  timePlot.panels.push_back(Panel{"lat. acc. (m/s^2)", {timeSeries(record, driving::kLateralAcceleration, "ay")}});
  timePlot.panels.push_back(Panel{"deviation (m)", {timeSeries(record, driving::kLateralDeviation, "deviation")}});
  result.plots = {pathView, timePlot};
  result.runs.push_back(std::move(record));
  return result;
}

// ---- braking -----------------------------------------------------------------------------

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
  RunRecord record = run(context, scenario);

  const double onset = record.firedAt(0);
  const std::vector<double> time = record.column(driving::kTime);
  const Braking b = braking(time, record.column(driving::kLongitudinalSpeed), record.column(driving::kDistance), onset,
                            stopSpeed);
  const std::vector<double> decel = scaled(movingAverage(time, record.column(driving::kLongitudinalAcceleration), 0.1),
                                           -1.0);
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
      {"stopping_distance", b.distance, "m", "Distance travelled from the brake onset to standstill (speed < 0.05 m/s)"},
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
  plot.panels.push_back(Panel{"demand (m/s^2)", {timeSeries(record, driving::kAccelerationDemand,
                                                            "AccelerationDemand")}});
  Plot distancePlot{"speed-vs-distance.svg", "Speed against distance", "distance (m)", false, false, {}};
  distancePlot.panels.push_back(Panel{"speed (m/s)", {line("speed", record.column(driving::kDistance),
                                                           record.column(driving::kLongitudinalSpeed))}});
  result.plots = {plot, distancePlot};
  result.runs.push_back(std::move(record));
  return result;
}

// ---- acceleration ------------------------------------------------------------------------

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
  RunRecord record = run(context, scenario);

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
  plot.panels.push_back(Panel{"acceleration (m/s^2)", {line("0.1 s average", time,
                                                            movingAverage(time, record.column(
                                                                driving::kLongitudinalAcceleration), 0.1))}});
  Plot distancePlot{"speed-vs-distance.svg", "Speed against distance", "distance (m)", false, false, {}};
  distancePlot.panels.push_back(Panel{"speed (m/s)", {line("speed", distance, speed)}});
  result.plots = {plot, distancePlot};
  result.runs.push_back(std::move(record));
  return result;
}

// ---- coast-down ----------------------------------------------------------------------------

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
  RunRecord record = run(context, scenario);

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
      measuredForce.push_back(mass * (valueAt(time, speeds, time[i] - halfWindow) -
                                      valueAt(time, speeds, time[i] + halfWindow)) / (2.0 * halfWindow));
    }
  }
  for (int i = 0; i <= 50; ++i) {
    const double v = endSpeed + (speed - endSpeed) * i / 50.0;
    fitSpeed.push_back(v);
    fitForce.push_back(load.a + load.b * v + load.c * v * v);
  }
  Plot forcePlot{"road-load.svg", "Road load against speed", "speed (m/s)", false, false, {}};
  forcePlot.panels.push_back(Panel{"force (N)", {Series{"m (-dv/dt), every 1 s", measuredSpeed, measuredForce, true},
                                                 line("fit A + B v + C v^2", fitSpeed, fitForce)}});
  Plot timePlot{"time.svg", "Speed while coasting", "time (s)", false, false, {}};
  timePlot.panels.push_back(Panel{"speed (m/s)", {line("speed", time, speeds)}});
  result.plots = {forcePlot, timePlot};
  result.runs.push_back(std::move(record));
  return result;
}

// ---- options ------------------------------------------------------------------------------

std::size_t editDistance(const std::string &a, const std::string &b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) {
    row[j] = j;
  }
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string closest(const std::string &name, const std::vector<std::string> &known) {
  std::string best;
  std::size_t bestDistance = 3;
  for (const std::string &candidate : known) {
    const std::size_t distance = editDistance(name, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

std::string joined(const std::vector<std::string> &names, const std::string &prefix) {
  std::string text;
  for (const std::string &name : names) {
    text += (text.empty() ? "" : ", ") + prefix + name;
  }
  return text;
}

}  // namespace

const std::vector<TestDefinition> &standardTests() {
  static const std::vector<TestDefinition> tests = {
      {"steady-state-circle",
       "constant radius, slowly increasing speed: understeer gradient, largest lateral acceleration",
       {{"radius", 20.0, "m", "circle radius", 5.0, 500.0},
        {"start-speed", 3.0, "m/s", "speed held for the first 5 s", 1.0, 15.0},
        {"end-speed", 12.0, "m/s", "target speed at the end of the ramp", 1.0, 15.0},
        {"ramp-time", 60.0, "s", "duration of the speed ramp", 5.0, 1000.0},
        {"fit-low", 0.5, "m/s^2", "lower end of the understeer-gradient fit range", 0.0, 20.0},
        {"fit-high", 4.0, "m/s^2", "upper end of the fit range", 0.1, 20.0}},
       steadyStateCircle},
      {"step-steer",
       "steering step at a held speed: yaw-rate gain, response time, peak response time, overshoot",
       {{"speed", 10.0, "m/s", "speed held by the driver", 1.0, 14.0},
        {"steer", 0.05, "rad", "road-wheel steering step (> 0 left)", -0.5, 0.5},
        {"rise-time", 0.1, "s", "time the steering takes to reach the step", 0.001, 1.0},
        {"hold", 5.0, "s", "time after the step", 2.0, 60.0}},
       stepSteer},
      {"frequency-response",
       "steering sines at a held speed: yaw-rate gain and phase against frequency (Bode plot)",
       {{"speed", 10.0, "m/s", "speed held by the driver", 1.0, 14.0},
        {"amplitude", 0.02, "rad", "road-wheel steering amplitude", 0.001, 0.2},
        {"min-frequency", 0.2, "Hz", "lowest frequency", 0.05, 10.0},
        {"max-frequency", 4.0, "Hz", "highest frequency", 0.05, 10.0},
        {"count", 8.0, "1", "number of frequencies (log spaced, one run each)", 1.0, 40.0},
        {"cycles", 4.0, "1", "cycles measured per frequency, after one settling cycle", 1.0, 50.0}},
       frequencyResponse},
      {"double-lane-change",
       "obstacle-avoidance double lane change: peak deviation, peak yaw rate, cones hit",
       {{"speed", 13.0, "m/s", "speed held by the driver (the car holds about 14 m/s at most)", 1.0, 15.0},
        {"width", 1.8, "m", "vehicle width b, which sets the lane widths", 1.0, 3.0},
        {"offset", 3.5, "m", "lateral offset of the middle lane", 0.5, 10.0}},
       doubleLaneChange},
      {"braking",
       "from a held speed to standstill: stopping distance, time, mean fully developed deceleration",
       {{"speed", 10.0, "m/s", "speed held before braking", 1.0, 14.0},
        {"demand", driving::kMinDemand, "m/s^2", "AccelerationDemand while braking; the strongest the brake map covers by default",
         driving::kMinDemand, -0.1}},
       brakingTest},
      {"acceleration",
       "from standstill: time and distance to given speeds",
       {{"to", 12.0, "m/s", "highest speed (the run stops there)", 0.5, 15.0},
        {"interval", 2.0, "m/s", "speeds reported: every interval up to --to", 0.1, 15.0},
        {"demand", driving::kMaxDemand, "m/s^2", "AccelerationDemand; the largest the throttle map covers by default", 0.1,
         driving::kMaxDemand},
        {"time-limit", 60.0, "s", "longest run", 1.0, 600.0}},
       accelerationTest},
      {"coast-down",
       "in neutral from a given speed: road-load coefficients A, B, C",
       {{"speed", 15.0, "m/s", "start speed", 2.0, 30.0},
        {"end-speed", 3.0, "m/s", "the run stops below this speed", 0.5, 29.0},
        {"mass", kVehicleMass, "kg", "mass in F = m (-dv/dt)", 1.0, 100000.0}},
       coastDown},
  };
  return tests;
}

const TestDefinition &findTest(const std::string &name) {
  std::vector<std::string> names;
  for (const TestDefinition &test : standardTests()) {
    if (test.name == name) {
      return test;
    }
    names.push_back(test.name);
  }
  const std::string suggestion = closest(name, names);
  throw TestOptionError("unknown test '" + name + "'" +
                        (suggestion.empty() ? "" : " (did you mean '" + suggestion + "'?)") + "; the tests are " +
                        joined(names, ""));
}

OptionValues resolveOptions(const TestDefinition &test, const std::vector<std::pair<std::string, std::string>> &given) {
  OptionValues values;
  std::vector<std::string> names;
  for (const TestOption &option : test.options) {
    values[option.name] = option.value;
    names.push_back(option.name);
  }
  std::set<std::string> seen;
  for (const auto &entry : given) {
    const std::string &name = entry.first;  // named, not bound: lambdas may capture it
    const std::string &text = entry.second;
    const auto option = std::find_if(test.options.begin(), test.options.end(),
                                     [&](const TestOption &candidate) { return candidate.name == name; });
    if (option == test.options.end()) {
      const std::string suggestion = closest(name, names);
      throw TestOptionError(test.name + ": unknown option '--" + name + "'" +
                            (suggestion.empty() ? "" : " (did you mean '--" + suggestion + "'?)") +
                            "; the options are " + joined(names, "--"));
    }
    if (!seen.insert(name).second) {
      throw TestOptionError(test.name + ": --" + name + " is given twice");
    }
    double value = 0.0;
    const char *end = text.data() + text.size();
    const auto [stop, error] = doubletext::fromChars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
      throw TestOptionError(test.name + ": --" + name + ": expected a number in " + option->unit + ", got '" + text +
                            "'");
    }
    if (value < option->min || value > option->max) {
      throw TestOptionError(test.name + ": --" + name + " " + text + " is out of range: expected " +
                            driving::shortestText(option->min) + " to " + driving::shortestText(option->max) + " " +
                            option->unit);
    }
    values[name] = value;
  }
  return values;
}

TestResult runStandardTest(const TestDefinition &test, const OptionValues &options, const TestContext &context) {
  TestResult result = test.run(context, options);
  result.test = test.name;
  result.options = options;
  return result;
}

}  // namespace corvanta::testsuite
