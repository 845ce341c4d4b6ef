// Random numbers that are the same on every platform and compiler.
//
// A Monte-Carlo sweep must give the same runs from the same file wherever it runs (Linux,
// Windows, any thread count, any Dask worker), so nothing here comes from <random>: the
// standard distributions are allowed to differ between library implementations.  The
// generator is xoshiro256** seeded through splitmix64, and the transforms to uniform and
// normal values use only IEEE-754 +, -, *, / and sqrt, which are correctly rounded
// everywhere (the build forbids fused multiply-add).
//
// Streams: every (seed, run, field) triple has its own generator, so run 17 gets the same
// values whether it runs first, last or alone on a cluster node, and adding a field leaves
// the samples of the others unchanged.
#ifndef CORVANTA_SWEEP_SAMPLING_H
#define CORVANTA_SWEEP_SAMPLING_H

#include <array>
#include <cstdint>

namespace corvanta::sweep {

// splitmix64's finaliser: a bijective mix of 64 bits.
std::uint64_t mix64(std::uint64_t value);

// xoshiro256** (Blackman and Vigna, 2018), its state filled by splitmix64 from one seed.
class RandomStream {
 public:
  explicit RandomStream(std::uint64_t seed);

  // The stream of one field of one run of a sweep:
  //   seed' = mix64(mix64(mix64(seed) ^ run) ^ field), then RandomStream(seed').
  static RandomStream forRun(std::uint64_t seed, std::uint64_t run, std::uint64_t field);

  std::uint64_t next();

  // (next() >> 11) * 2^-53: 53 random bits, in [0, 1).
  double nextUnit();
  // ((next() >> 11) + 0.5) * 2^-53: strictly inside (0, 1), symmetric about 1/2.
  double nextOpenUnit();

 private:
  std::array<std::uint64_t, 4> state_{};
};

// Natural logarithm of a finite x > 0 from frexp and a fixed series; the same bits on
// every platform, within 2 ulp of the exact value.
double portableLog(double x);

// The standard normal quantile Phi^-1(p) for 0 < p < 1 (Acklam's rational approximation,
// relative error below 1.15e-9), built on portableLog and sqrt.
double normalQuantile(double p);

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_SAMPLING_H
