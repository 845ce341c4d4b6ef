#include "engine/sweep/Sampling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/sweep/SweepDefinition.h"
#include "tests/TestSupport.h"

namespace corvanta::sweep {
namespace {

// Reference values from an independent implementation of splitmix64 and xoshiro256**
// written from their published descriptions.
TEST(RandomStream, MatchesTheReferenceGenerators) {
  EXPECT_EQ(mix64(0), 0xe220a8397b1dcdafULL);  // the first output of splitmix64 from state 0
  RandomStream stream(42);
  EXPECT_EQ(stream.next(), 0x15780b2e0c2ec716ULL);
  EXPECT_EQ(stream.next(), 0x6104d9866d113a7eULL);
  EXPECT_EQ(stream.next(), 0xae17533239e499a1ULL);
}

TEST(RandomStream, StreamsOfDifferentRunsAndFieldsDiffer) {
  const std::uint64_t first = RandomStream::forRun(7, 0, 0).next();
  EXPECT_EQ(first, RandomStream::forRun(7, 0, 0).next());
  EXPECT_NE(first, RandomStream::forRun(7, 1, 0).next());
  EXPECT_NE(first, RandomStream::forRun(7, 0, 1).next());
  EXPECT_NE(first, RandomStream::forRun(8, 0, 0).next());
}

TEST(RandomStream, UnitValuesStayInsideTheirIntervals) {
  RandomStream stream(1);
  for (int index = 0; index < 10000; ++index) {
    const double unit = stream.nextUnit();
    EXPECT_GE(unit, 0.0);
    EXPECT_LT(unit, 1.0);
    const double open = stream.nextOpenUnit();
    EXPECT_GT(open, 0.0);
    EXPECT_LT(open, 1.0);
  }
}

TEST(PortableLog, ExactAtPowersOfTwoAndCloseElsewhere) {
  EXPECT_EQ(bitsOf(portableLog(1.0)), bitsOf(0.0));
  EXPECT_EQ(portableLog(2.0), 0.69314718055994531);
  EXPECT_EQ(portableLog(0.5), -0.69314718055994531);
  RandomStream stream(3);
  for (int index = 0; index < 20000; ++index) {
    const double x = std::ldexp(stream.nextOpenUnit(), static_cast<int>(stream.next() % 2000) - 1000);
    const double exact = std::log(x);
    EXPECT_NEAR(portableLog(x), exact, 4.0 * std::fabs(exact) * 2.220446049250313e-16 + 1e-300) << x;
  }
  EXPECT_NEAR(portableLog(4.9406564584124654e-324), -744.44007192138126, 1e-12);  // smallest subnormal
}

TEST(NormalQuantile, WithinTheApproximationErrorOfTheExactQuantile) {
  // Exact quantiles (Python's statistics.NormalDist().inv_cdf).
  const struct {
    double p, z;
  } cases[] = {{1e-300, -37.0470962993612}, {1e-10, -6.361340902404056},    {0.001, -3.090232306167813},
               {0.02, -2.0537489106318225}, {0.02425, -1.9729610513118845}, {0.1, -1.2815515655446008},
               {0.3, -0.5244005127080407},  {0.7, 0.5244005127080407},      {0.9, 1.2815515655446008},
               {0.99, 2.3263478740408408},  {0.999999, 4.753424308817089}};
  for (const auto &c : cases) {
    EXPECT_NEAR(normalQuantile(c.p), c.z, 1.2e-9 * std::fabs(c.z)) << c.p;
  }
  EXPECT_EQ(bitsOf(normalQuantile(0.5)), bitsOf(0.0));
}

TEST(NormalQuantile, IncreasesWithTheProbability) {
  double previous = -1e300;
  for (int index = 1; index < 4000; ++index) {
    const double z = normalQuantile(static_cast<double>(index) / 4000.0);
    EXPECT_GT(z, previous) << index;
    previous = z;
  }
}

// Pinned against the independent implementation: the samples of a file are part of its
// meaning and must never change.
TEST(DistributionSample, PinnedValuesOfEachKind) {
  Distribution uniform;
  uniform.kind = Distribution::Kind::Uniform;
  uniform.first = 5.0;
  uniform.second = 35.0;
  EXPECT_EQ(bitsOf(uniform.sample(7, 0, 0)), 0x402f5c3a8bc44d94ULL);
  EXPECT_EQ(bitsOf(uniform.sample(7, 1, 0)), 0x403a980ecc444949ULL);
  EXPECT_EQ(bitsOf(uniform.sample(7, 2, 0)), 0x4041711d36fa6707ULL);

  Distribution choice;
  choice.kind = Distribution::Kind::Choice;
  choice.choices = {10.0, 20.0, 30.0};
  const double expected[] = {10.0, 10.0, 20.0, 30.0, 20.0};
  for (std::uint64_t run = 0; run < 5; ++run) {
    EXPECT_EQ(choice.sample(7, run, 1), expected[run]) << run;
  }

  Distribution normal;
  normal.kind = Distribution::Kind::Normal;
  normal.first = 0.0;
  normal.second = 0.02;
  EXPECT_EQ(bitsOf(normal.sample(7, 0, 2)), 0xbf70763ab5fcd33aULL);
  EXPECT_EQ(bitsOf(normal.sample(7, 1, 2)), 0xbf7c4c5616906933ULL);
  EXPECT_EQ(bitsOf(normal.sample(7, 2, 2)), 0x3f57885215d87053ULL);
}

TEST(DistributionSample, BoundedNormalStaysInsideItsBoundsAndKeepsItsShape) {
  Distribution normal;
  normal.kind = Distribution::Kind::Normal;
  normal.first = 0.0;
  normal.second = 1.0;
  normal.bounded = true;
  normal.lower = -0.5;
  normal.upper = 2.0;
  double sum = 0.0;
  for (std::uint64_t run = 0; run < 20000; ++run) {
    const double value = normal.sample(11, run, 0);
    ASSERT_GE(value, -0.5);
    ASSERT_LE(value, 2.0);
    sum += value;
  }
  // Mean of the normal truncated to [-0.5, 2]: (phi(-0.5) - phi(2)) / (Phi(2) - Phi(-0.5)) = 0.4459.
  EXPECT_NEAR(sum / 20000.0, 0.4459, 0.02);
}

TEST(DistributionSample, BoundsHoldingNothingOfTheNormalAreReported) {
  Distribution normal;
  normal.kind = Distribution::Kind::Normal;
  normal.first = 0.0;
  normal.second = 1.0;
  normal.bounded = true;
  normal.lower = 40.0;
  normal.upper = 41.0;
  EXPECT_THROW(normal.sample(1, 3, 0), SweepError);
}

}  // namespace
}  // namespace corvanta::sweep
