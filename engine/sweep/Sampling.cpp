#include "engine/sweep/Sampling.h"

#include <cmath>

namespace corvanta::sweep {

namespace {

constexpr std::uint64_t kGoldenGamma = 0x9e3779b97f4a7c15ULL;

std::uint64_t rotateLeft(std::uint64_t value, int bits) { return (value << bits) | (value >> (64 - bits)); }

// 2^-53, the spacing of the unit doubles made from 53 random bits.
constexpr double kUnitSpacing = 1.0 / 9007199254740992.0;

}  // namespace

std::uint64_t mix64(std::uint64_t value) {
  value += kGoldenGamma;
  value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
  value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
  return value ^ (value >> 31);
}

RandomStream::RandomStream(std::uint64_t seed) {
  // splitmix64: the state advances by the golden gamma and each output is its mix.
  for (std::uint64_t &word : state_) {
    word = mix64(seed);
    seed += kGoldenGamma;
  }
}

RandomStream RandomStream::forRun(std::uint64_t seed, std::uint64_t run, std::uint64_t field) {
  return RandomStream(mix64(mix64(mix64(seed) ^ run) ^ field));
}

std::uint64_t RandomStream::next() {
  const std::uint64_t result = rotateLeft(state_[1] * 5, 7) * 9;
  const std::uint64_t shifted = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= shifted;
  state_[3] = rotateLeft(state_[3], 45);
  return result;
}

double RandomStream::nextUnit() { return static_cast<double>(next() >> 11) * kUnitSpacing; }

double RandomStream::nextOpenUnit() { return (static_cast<double>(next() >> 11) + 0.5) * kUnitSpacing; }

double portableLog(double x) {
  // x = m * 2^e with m in [sqrt(1/2), sqrt(2)); log(m) = 2 atanh(s) with s = (m - 1)/(m + 1),
  // |s| <= 0.1716, summed as 2 (s + s^3/3 + ... + s^25/25) by Horner's rule; the terms left
  // out are below 1e-21 of the result.  frexp and the scaling by 2 are exact.
  int exponent = 0;
  double mantissa = std::frexp(x, &exponent);
  if (mantissa < 0.70710678118654752) {
    mantissa *= 2.0;
    --exponent;
  }
  const double s = (mantissa - 1.0) / (mantissa + 1.0);
  const double s2 = s * s;
  double series = 1.0 / 25.0;
  for (int odd = 23; odd >= 1; odd -= 2) {
    series = series * s2 + 1.0 / static_cast<double>(odd);
  }
  const double logMantissa = 2.0 * s * series;
  // ln 2 in two parts: the first has trailing zero bits, so exponent * kLn2High is exact.
  constexpr double kLn2High = 6.93147180369123816490e-01;
  constexpr double kLn2Low = 1.90821492927058770002e-10;
  const double e = static_cast<double>(exponent);
  return e * kLn2High + (logMantissa + e * kLn2Low);
}

double normalQuantile(double p) {
  static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,  -2.759285104469687e+02,
                                 1.383577518672690e+02,  -3.066479806614716e+01, 2.506628277459239e+00};
  static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02, -1.556989798598866e+02,
                                 6.680131188771972e+01, -1.328068155288572e+01};
  static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01, -2.400758277161838e+00,
                                 -2.549732539343734e+00, 4.374664141464968e+00,  2.938163982698783e+00};
  static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01, 2.445134137142996e+00,
                                 3.754408661907416e+00};
  constexpr double kLowerBreak = 0.02425;
  constexpr double kUpperBreak = 1.0 - kLowerBreak;

  const auto tail = [&](double q) {
    return (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
           ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
  };
  if (p < kLowerBreak) {
    return tail(std::sqrt(-2.0 * portableLog(p)));
  }
  if (p > kUpperBreak) {
    return -tail(std::sqrt(-2.0 * portableLog(1.0 - p)));
  }
  const double q = p - 0.5;
  const double r = q * q;
  return (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
         (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
}

}  // namespace corvanta::sweep
