#include "tools/sim/SweepProgressBar.h"

#include <gtest/gtest.h>

namespace corvanta::sim {
namespace {

TEST(SweepProgressBar, LineShowsRunsRateAndTimeLeft) {
  EXPECT_EQ(SweepProgressBar::formatLine(SweepStatus{0, 100, 0, 1.0}), "");
  EXPECT_EQ(SweepProgressBar::formatLine(SweepStatus{50, 100, 0, 2.0}),
            "[###############...............]  50.0%  50/100 runs  25.0 runs/s  ETA 0:02");
  EXPECT_EQ(SweepProgressBar::formatLine(SweepStatus{1, 4000, 0, 1.0}).substr(39),
            "  1/4000 runs  1.0 runs/s  ETA 1:06:39");
  EXPECT_EQ(formatThroughput(SweepStatus{1000, 1000, 20000000, 8.0}, 2),
            "1000 runs, 20000000 steps in 8.00 s on 2 threads: 125.0 runs/s, 2.5e+06 steps/s, 250.0 model seconds "
            "per wall second");
}

}  // namespace
}  // namespace corvanta::sim
