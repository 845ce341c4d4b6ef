// Helpers shared by the test suites.
#ifndef CORVANTA_TESTS_TESTSUPPORT_H
#define CORVANTA_TESTS_TESTSUPPORT_H

#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/Corvanta.h"

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
#define EXPECT_SAME_BITS(expected, actual) EXPECT_EQ(bitsOf(expected), bitsOf(actual)) << (expected) << " vs " << (actual)

// Runs one evaluation of the outputs (the output phase only: no discrete update and no
// integration), as the integrator's minor evaluations do, but with the time-step kind
// chosen by the caller.  First-initialisation loads happen while their flags are set.
inline void evaluateOnce(Corvanta &model, bool major) {
  const int kind = model.M.timeStepKind;
  model.M.timeStepKind = major ? kMajorTimeStep : kMinorTimeStep;
  model.limitEngineSpeed();
  model.outputPhase();
  model.M.timeStepKind = kind;
}

#endif  // CORVANTA_TESTS_TESTSUPPORT_H
