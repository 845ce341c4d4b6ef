// A one-line progress bar on standard error, drawn only when standard error is a terminal
// and only once the run has taken a second of wall time, so that short runs and logs stay
// clean.
#ifndef CORVANTA_SIM_PROGRESSBAR_H
#define CORVANTA_SIM_PROGRESSBAR_H

#include <chrono>
#include <cstdint>

namespace corvanta::sim {

class ProgressBar {
 public:
  // `enabled` false gives a bar that never draws.
  ProgressBar(std::uint64_t totalSteps, bool enabled);

  // Cheap enough to call after every step: it looks at the clock every few thousand steps.
  void update(std::uint64_t steps) {
    if (enabled_ && (steps & kCheckMask) == 0) {
      redraw(steps);
    }
  }
  // Erases the bar, if one was drawn.
  void finish();

  // Whether standard error is a terminal.
  static bool standardErrorIsTerminal();

 private:
  static constexpr std::uint64_t kCheckMask = 4095;
  using Clock = std::chrono::steady_clock;

  void redraw(std::uint64_t steps);

  std::uint64_t total_;
  bool enabled_;
  bool drawn_ = false;
  Clock::time_point start_;
  Clock::time_point lastDraw_;
};

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_PROGRESSBAR_H
