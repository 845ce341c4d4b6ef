#include "tools/sim/ProgressBar.h"

#include <cstdio>
#include <string>

#include "capi/corvanta.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace corvanta::sim {

namespace {

constexpr int kBarWidth = 40;
constexpr std::chrono::milliseconds kDelayBeforeFirstDraw{1000};
constexpr std::chrono::milliseconds kRedrawInterval{100};

}  // namespace

ProgressBar::ProgressBar(std::uint64_t totalSteps, bool enabled)
    : total_(totalSteps), enabled_(enabled && totalSteps > 0), start_(Clock::now()), lastDraw_(start_) {}

bool ProgressBar::standardErrorIsTerminal() {
#if defined(_WIN32)
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

void ProgressBar::redraw(std::uint64_t steps) {
  const Clock::time_point now = Clock::now();
  if (now - start_ < kDelayBeforeFirstDraw || (drawn_ && now - lastDraw_ < kRedrawInterval)) {
    return;
  }
  lastDraw_ = now;
  drawn_ = true;
  const double fraction = static_cast<double>(steps) / static_cast<double>(total_);
  const int filled = static_cast<int>(fraction * kBarWidth);
  const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                          std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
  std::fprintf(stderr, "\r[%s] %5.1f%%  t = %.1f s of %.1f s", bar.c_str(), 100.0 * fraction,
               static_cast<double>(steps) * CORVANTA_STEP_SIZE, static_cast<double>(total_) * CORVANTA_STEP_SIZE);
  std::fflush(stderr);
}

void ProgressBar::finish() {
  if (drawn_) {
    std::fprintf(stderr, "\r%*s\r", kBarWidth + 40, "");
    std::fflush(stderr);
    drawn_ = false;
  }
}

}  // namespace corvanta::sim
