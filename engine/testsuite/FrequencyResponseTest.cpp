// The frequency-response test.
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
    RunRecord record = runTest(context, builder.build());
    const std::vector<double> t = record.column(driving::kTime);
    const FrequencyPoint point =
        frequencyPoint(t, record.column(driving::kSteeringAngle), record.column(driving::kYawRate), frequency,
                       sineStart + period, sineEnd);
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

}  // namespace corvanta::testsuite
