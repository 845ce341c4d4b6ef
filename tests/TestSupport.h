// Bit patterns of doubles, for the tests of every layer: exact comparisons in which -0.0
// differs from +0.0 and NaN payloads count.
#ifndef CORVANTA_TESTS_TESTSUPPORT_H
#define CORVANTA_TESTS_TESTSUPPORT_H

#include <cstdint>
#include <cstring>

inline std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

inline double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Bitwise equality, so that -0.0 differs from +0.0 and NaN payloads count.
#define EXPECT_SAME_BITS(expected, actual) \
  EXPECT_EQ(bitsOf(expected), bitsOf(actual)) << (expected) << " vs " << (actual)

#endif  // CORVANTA_TESTS_TESTSUPPORT_H
