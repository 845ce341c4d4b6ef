// Truncation of a double toward zero to a 32-bit integer, for branching on values
// stored as doubles (shift state, gear, gear selector).
#ifndef CORVANTA_RUNTIME_TRUNCATION_H
#define CORVANTA_RUNTIME_TRUNCATION_H

#include <cstdint>

// Returns the truncated value, or fallback when x is NaN, infinite or outside the int32
// range, where a plain conversion would be undefined.  The fallback must be a value that
// selects the default branch.
inline std::int32_t truncateToInt32(double x, std::int32_t fallback) {
  if (x > -2147483649.0 && x < 2147483648.0) {
    return static_cast<std::int32_t>(x);
  }
  return fallback;
}

#endif  // CORVANTA_RUNTIME_TRUNCATION_H
