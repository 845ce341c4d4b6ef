#include "tools/sim/RunSummary.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace corvanta::sim {

namespace {

constexpr double kMetresPerSecondToKmh = 3.6;
constexpr double kRadiansToDegrees = 57.295779513082323;

// Model time of a step count, exact to the step: 30001 -> "3.0001", 100000 -> "10".
std::string formatModelTime(std::uint64_t steps) {
  const std::uint64_t stepsPerSecond = 10000;
  std::string text = std::to_string(steps / stepsPerSecond);
  std::string fraction = std::to_string(steps % stepsPerSecond + stepsPerSecond).substr(1);
  while (!fraction.empty() && fraction.back() == '0') {
    fraction.pop_back();
  }
  return fraction.empty() ? text : text + "." + fraction;
}

#if defined(__GNUC__)
std::string printed(const char *format, ...) __attribute__((format(printf, 1, 2)));
#endif

std::string printed(const char *format, ...) {
  char text[256];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

std::string line(const char *label, const std::string &text) { return printed("  %-12s%s\n", label, text.c_str()); }

}  // namespace

void RunStatistics::record(const StepReport &report) {
  double outputs[CORVANTA_NUM_OUTPUTS];
  std::memcpy(outputs, &report.outputs, sizeof outputs);
  statistics_.afterStep(report.steps, report.initialized, report.inputs, outputs);
  final_ = report.outputs;
}

std::string formatSummary(const ScenarioFacts &scenario, const RunStatistics &statistics,
                          const SummaryContext &context) {
  const ExtY_Corvanta_T &pose = statistics.finalOutputs();
  const double modelSeconds = static_cast<double>(statistics.steps()) * CORVANTA_STEP_SIZE;
  std::string text;
  const std::string title =
      scenario.name.empty() ? context.scenarioFile : scenario.name + " (" + context.scenarioFile + ")";
  text += line("scenario", title);
  text += line("library", context.libraryPath);
  text += line("model time", formatModelTime(statistics.steps()) + " s, " + std::to_string(statistics.steps()) +
                                 " steps of 0.0001 s");
  text += line("output", context.output);
  text += line("distance", printed("%.3f m along the path", statistics.distance()));
  text += line("top speed", printed("%.3f m/s (%.1f km/h) at t = %s s", statistics.topSpeed(),
                                    statistics.topSpeed() * kMetresPerSecondToKmh,
                                    formatModelTime(statistics.topSpeedStep()).c_str()));
  text += line("final pose",
               printed("X %.3f m, Y %.3f m, heading %.4f rad (%.1f deg), speed %.3f m/s", pose.PositionX,
                       pose.PositionY, pose.Heading, pose.Heading * kRadiansToDegrees, pose.LongitudinalSpeed));
  if (statistics.firstTipOverStep()) {
    text += line("tip-over", "indicator +1 first at t = " + formatModelTime(*statistics.firstTipOverStep()) +
                                 " s, for " + formatModelTime(statistics.tipOverSteps()) + " s in all");
  } else {
    text += line("tip-over", "never (the indicator stayed at -1 or 0)");
  }
  if (statistics.firstNonFiniteStep()) {
    text += line("WARNING",
                 "outputs NaN or infinite from t = " + formatModelTime(*statistics.firstNonFiniteStep()) + " s on");
  }
  const std::string factor =
      (context.wallSeconds > 0.0)
          ? printed(", real-time factor %.1f (model seconds per wall second)", modelSeconds / context.wallSeconds)
          : std::string();
  text += line("wall time", printed("%.3f s", context.wallSeconds) + factor);
  return text;
}

}  // namespace corvanta::sim
