// Doubles as text: the shortest decimal form that reads back as the same double
// (std::to_chars), so that 0.03 prints as "0.03" and every bit survives a round trip.
#ifndef CORVANTA_ENGINE_NUMBERTEXT_H
#define CORVANTA_ENGINE_NUMBERTEXT_H

#include <cstddef>
#include <string>

namespace corvanta::engine {

// Enough for every double in its shortest form ("-2.2250738585072014e-308" has 24,
// "-0.00012345678901234567" 23, "-1234567890123456.8" 19).
inline constexpr std::size_t kNumberTextCapacity = 32;

// Writes the shortest round-trip form of `value` to `buffer` (no terminating NUL) and
// returns its length: positional for decimal exponents -4 .. 15 ("0.0002", "20",
// "1000000000000"), else with an exponent ("1e-05", "1e+16"), as Python's repr does.  Infinities are "inf" and "-inf";
// every NaN is "nan" or "-nan" after its sign bit.
std::size_t formatShortest(double value, char *buffer);

std::string shortestText(double value);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_NUMBERTEXT_H
