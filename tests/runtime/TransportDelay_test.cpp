#include "runtime/TransportDelay.h"

#include <gtest/gtest.h>

#include "tests/TestSupport.h"

namespace {

constexpr int kSize = 8;

struct Delay {
  double buffer[2 * kSize] = {};
  int last = 0;
  int oldest = 0;
  int newest = 0;

  void write(double t, double u) {
    newest = (newest < kSize - 1) ? newest + 1 : 0;
    if (newest == oldest) {
      oldest = (oldest < kSize - 1) ? oldest + 1 : 0;
    }
    buffer[newest] = u;
    buffer[kSize + newest] = t;
  }
  double read(double t) { return rt_TDelayInterpolate(t, 0.0, buffer, kSize, &last, oldest, newest, -7.0); }
};

TEST(TransportDelay, InitialOutputUntilAfterTheStart) {
  Delay d;
  EXPECT_SAME_BITS(-7.0, d.read(0.0));
  EXPECT_SAME_BITS(-7.0, d.read(-1.0));
  // Only the initial entry is stored.
  EXPECT_SAME_BITS(-7.0, d.read(0.5));
  d.write(0.0, 3.0);
  EXPECT_SAME_BITS(-7.0, d.read(0.0));
}

TEST(TransportDelay, InterpolatesAndExtrapolatesLinearly) {
  Delay d;
  d.write(1.0, 10.0);
  d.write(2.0, 30.0);
  const double f1 = (2.0 - 1.25) / (2.0 - 1.0);
  EXPECT_SAME_BITS((1.0 - f1) * 30.0 + f1 * 10.0, d.read(1.25));
  EXPECT_EQ(d.last, 2);
  // After the newest sample: extrapolated from the last pair.
  EXPECT_DOUBLE_EQ(40.0, d.read(2.5));
  // Searching backwards from the last position.
  EXPECT_DOUBLE_EQ(20.0, d.read(1.5));
}

TEST(TransportDelay, EqualTimeStampsAreAStep) {
  // As after a restart at time 5: the initial entry (0.0 at 5) and the first sample
  // share a stamp; before it the older value holds, from it on the newer.
  Delay d;
  d.buffer[kSize] = 5.0;
  d.write(5.0, 42.0);
  d.write(6.0, 50.0);
  EXPECT_SAME_BITS(0.0, d.read(4.0));
  EXPECT_SAME_BITS(42.0, d.read(5.0));
}

TEST(TransportDelay, WrapsAroundWhenFull) {
  Delay d;
  for (int k = 1; k <= 20; ++k) {
    d.write(k, 100.0 * k);
  }
  EXPECT_EQ(d.newest, 20 % kSize);
  EXPECT_EQ(d.oldest, (d.newest + 1) % kSize);
  EXPECT_DOUBLE_EQ(1950.0, d.read(19.5));
  EXPECT_DOUBLE_EQ(1450.0, d.read(14.5));
  // Before the oldest retained sample: the two oldest extrapolate.
  EXPECT_DOUBLE_EQ(1200.0, d.read(12.0));
}

}  // namespace
