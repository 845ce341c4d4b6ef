// The progress line of a sweep on standard error: runs done, runs per second and the time
// left, drawn only on a terminal and only after the first second, so that logs and short
// sweeps stay clean.
#ifndef CORVANTA_SIM_SWEEPPROGRESSBAR_H
#define CORVANTA_SIM_SWEEPPROGRESSBAR_H

#include <cstdint>
#include <string>

namespace corvanta::sim {

// Where a sweep stands, as its progress callback reports it.
struct SweepStatus {
  std::uint64_t runsDone = 0;
  std::uint64_t runsTotal = 0;
  std::uint64_t stepsDone = 0;
  double wallSeconds = 0.0;
};

class SweepProgressBar {
 public:
  explicit SweepProgressBar(bool enabled) : enabled_(enabled) {}

  void update(const SweepStatus &progress);
  // Erases the line, if one was drawn.
  void finish();

  static bool standardErrorIsTerminal();

  // "[##########..........]  50.0%  500/1000 runs  123.4 runs/s  ETA 0:04", or "" before
  // the first run has finished.
  static std::string formatLine(const SweepStatus &progress);

 private:
  bool enabled_;
  bool drawn_ = false;
};

// "1000 runs, 20000000 steps in 8.10 s on 2 threads: 123.5 runs/s, 2.47e+06 steps/s,
// 247 model seconds per wall second".
std::string formatThroughput(const SweepStatus &progress, unsigned threads);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_SWEEPPROGRESSBAR_H
