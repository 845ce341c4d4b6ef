// atan2 and hypot of the portable-maths builds: the special values of C99 Annex F exactly,
// the quadrants and the axes, and within 2 ulp of the platform's (glibc's atan2 and hypot
// are within 1 ulp of the exact value) on random arguments over the whole range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "runtime/PortableMath.h"
#include "runtime/PortableMathComposite.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.141592653589793;

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Distance in representable doubles (same sign assumed, or both near zero).
double ulpDistance(double a, double b) {
  if (a == b) return 0.0;
  return std::fabs(a - b) / (std::nextafter(std::fabs(b), kInf) - std::fabs(b));
}

TEST(PortableMathComposite, Atan2SpecialValues) {
  EXPECT_EQ(bitsOf(Corvanta_atan2(0.0, 1.0)), bitsOf(0.0));
  EXPECT_EQ(bitsOf(Corvanta_atan2(-0.0, 1.0)), bitsOf(-0.0));
  EXPECT_EQ(bitsOf(Corvanta_atan2(0.0, 0.0)), bitsOf(0.0));
  EXPECT_EQ(bitsOf(Corvanta_atan2(-0.0, 0.0)), bitsOf(-0.0));
  EXPECT_EQ(Corvanta_atan2(0.0, -0.0), kPi);
  EXPECT_EQ(Corvanta_atan2(-0.0, -0.0), -kPi);
  EXPECT_EQ(Corvanta_atan2(0.0, -3.0), kPi);
  EXPECT_EQ(Corvanta_atan2(-0.0, -3.0), -kPi);
  EXPECT_EQ(Corvanta_atan2(2.0, 0.0), kPi / 2);
  EXPECT_EQ(Corvanta_atan2(-2.0, -0.0), -kPi / 2);
  EXPECT_EQ(Corvanta_atan2(kInf, kInf), kPi / 4);
  EXPECT_EQ(Corvanta_atan2(-kInf, kInf), -kPi / 4);
  EXPECT_EQ(Corvanta_atan2(kInf, -kInf), 3 * kPi / 4);
  EXPECT_EQ(Corvanta_atan2(-kInf, -kInf), -3 * kPi / 4);
  EXPECT_EQ(Corvanta_atan2(kInf, 5.0), kPi / 2);
  EXPECT_EQ(Corvanta_atan2(-kInf, -5.0), -kPi / 2);
  EXPECT_EQ(bitsOf(Corvanta_atan2(5.0, kInf)), bitsOf(0.0));
  EXPECT_EQ(bitsOf(Corvanta_atan2(-5.0, kInf)), bitsOf(-0.0));
  EXPECT_EQ(Corvanta_atan2(5.0, -kInf), kPi);
  EXPECT_EQ(Corvanta_atan2(-5.0, -kInf), -kPi);
  EXPECT_TRUE(std::isnan(Corvanta_atan2(kNan, 1.0)));
  EXPECT_TRUE(std::isnan(Corvanta_atan2(1.0, kNan)));
}

TEST(PortableMathComposite, Atan2QuadrantsAndItsComposition) {
  // The four diagonals and the slope's arctangent where |y| <= |x|, x > 0.
  EXPECT_EQ(Corvanta_atan2(1.0, 1.0), Corvanta_atan(1.0));
  EXPECT_EQ(Corvanta_atan2(1.0, -1.0), Corvanta_atan(-1.0) + kPi);
  EXPECT_EQ(Corvanta_atan2(-1.0, -1.0), Corvanta_atan(1.0) - kPi);
  EXPECT_EQ(Corvanta_atan2(0.3, 2.0), Corvanta_atan(0.15));
  EXPECT_NEAR(Corvanta_atan2(1.0, -1.0), 3 * kPi / 4, 1e-15);
  // atan(u) = u - u^3/3 + ... for the slope u = 1e-3 / 2 beside the negative y axis.
  EXPECT_NEAR(Corvanta_atan2(-2.0, 1e-3), -kPi / 2 + 5e-4 - 5e-4 * 5e-4 * 5e-4 / 3, 1e-15);
}

TEST(PortableMathComposite, HypotSpecialValuesAndRange) {
  EXPECT_EQ(Corvanta_hypot(kInf, kNan), kInf);
  EXPECT_EQ(Corvanta_hypot(kNan, -kInf), kInf);
  EXPECT_TRUE(std::isnan(Corvanta_hypot(kNan, 1.0)));
  EXPECT_EQ(bitsOf(Corvanta_hypot(-0.0, 0.0)), bitsOf(0.0));
  EXPECT_EQ(Corvanta_hypot(3.0, -4.0), 5.0);
  EXPECT_EQ(Corvanta_hypot(-5.0, 0.0), 5.0);
  // Squares that overflow or underflow in plain arithmetic.
  EXPECT_EQ(Corvanta_hypot(3e300, 4e300), 5e300);
  EXPECT_NEAR(Corvanta_hypot(3e-300, 4e-300) / 5e-300, 1.0, 1e-15);
  EXPECT_EQ(Corvanta_hypot(std::numeric_limits<double>::max(), 0.0), std::numeric_limits<double>::max());
  EXPECT_EQ(Corvanta_hypot(std::numeric_limits<double>::denorm_min(), 0.0), std::numeric_limits<double>::denorm_min());
}

TEST(PortableMathComposite, WithinTwoUlpOfThePlatformOnRandomArguments) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> exponent(-30.0, 30.0);
  std::uniform_real_distribution<double> sign(-1.0, 1.0);
  double worstAtan2 = 0.0;
  double worstHypot = 0.0;
  for (int k = 0; k < 200000; ++k) {
    const double y = std::copysign(std::pow(2.0, exponent(random)), sign(random));
    const double x = std::copysign(std::pow(2.0, exponent(random)), sign(random));
    worstAtan2 = std::max(worstAtan2, ulpDistance(Corvanta_atan2(y, x), std::atan2(y, x)));
    worstHypot = std::max(worstHypot, ulpDistance(Corvanta_hypot(x, y), std::hypot(x, y)));
  }
  EXPECT_LE(worstAtan2, 2.0);
  EXPECT_LE(worstHypot, 2.0);
}

}  // namespace
