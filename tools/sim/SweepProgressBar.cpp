#include "tools/sim/SweepProgressBar.h"

#include <cstdio>

#include "capi/corvanta.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace corvanta::sim {

namespace {

constexpr int kBarWidth = 30;
constexpr double kDelayBeforeFirstDraw = 1.0;  // s

std::string printed(const char *format, double a, double b = 0.0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// 75 -> "1:15", 3725 -> "1:02:05".
std::string formatDuration(double seconds) {
  const auto total = static_cast<unsigned long long>(seconds + 0.5);
  char text[64];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%llu:%02llu", total / 60, total % 60);
  }
  return text;
}

}  // namespace

bool SweepProgressBar::standardErrorIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

std::string SweepProgressBar::formatLine(const SweepStatus &progress) {
  if (progress.runsTotal == 0 || progress.runsDone == 0 || progress.wallSeconds <= 0.0) {
    return std::string();
  }
  const double fraction = static_cast<double>(progress.runsDone) / static_cast<double>(progress.runsTotal);
  const int filled = static_cast<int>(fraction * kBarWidth);
  const double rate = static_cast<double>(progress.runsDone) / progress.wallSeconds;
  const double left = static_cast<double>(progress.runsTotal - progress.runsDone) / rate;
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " + printed("%5.1f%%", 100.0 * fraction) +
         "  " + std::to_string(progress.runsDone) + "/" + std::to_string(progress.runsTotal) + " runs  " +
         printed("%.1f runs/s", rate) + "  ETA " + formatDuration(left);
}

void SweepProgressBar::update(const SweepStatus &progress) {
  if (!enabled_ || progress.wallSeconds < kDelayBeforeFirstDraw) {
    return;
  }
  const std::string line = formatLine(progress);
  if (!line.empty()) {
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
  }
}

void SweepProgressBar::finish() {
  if (drawn_) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    drawn_ = false;
  }
}

std::string formatThroughput(const SweepStatus &progress, unsigned threads) {
  const double seconds = progress.wallSeconds > 0.0 ? progress.wallSeconds : 1e-9;
  const double runs = static_cast<double>(progress.runsDone);
  const double steps = static_cast<double>(progress.stepsDone);
  return std::to_string(progress.runsDone) + " runs, " + std::to_string(progress.stepsDone) + " steps in " +
         printed("%.2f s", progress.wallSeconds) + " on " + std::to_string(threads) +
         (threads == 1 ? " thread: " : " threads: ") + printed("%.1f runs/s, ", runs / seconds) +
         printed("%.3g steps/s, ", steps / seconds) +
         printed("%.1f model seconds per wall second", steps * CORVANTA_STEP_SIZE / seconds);
}

}  // namespace corvanta::sim
