// A seeded, reproducible stream of input records and re-initialisations that visits the
// corners of the input space: plausible driving values most of the time, and now and then
// NaN, ±infinity, -0.0, huge and subnormal values in any of the eight inputs.  Used to
// show that two builds agree bit for bit beyond the regression scenarios.
#ifndef CORVANTA_BENCH_RANDOMINPUTS_H
#define CORVANTA_BENCH_RANDOMINPUTS_H

#include <cstdint>
#include <limits>

#include "capi/corvanta.h"

namespace corvanta::bench {

class RandomInputs {
 public:
  explicit RandomInputs(std::uint64_t seed) : state_(seed) { resample(); }

  // What the host does before the next Step.
  enum class Event { Step, Reinitialize };

  // Advances the stream by one step: possibly changes one input, and says whether the
  // host re-initialises (with all inputs freshly drawn plausible values) before stepping.
  Event next() {
    if (uniform() < 1.0 / 5000.0) {
      resample();
      return Event::Reinitialize;
    }
    if (uniform() < 1.0 / 200.0) {
      const int field = static_cast<int>(uniform() * 8.0);
      inputs_.*kFields[field] = (uniform() < 0.7) ? plausible(field) : special();
    }
    return Event::Step;
  }

  const ExtU_Corvanta_T &inputs() const { return inputs_; }

 private:
  // splitmix64: small, fast and the same on every platform.
  std::uint64_t bits() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  double uniform() { return static_cast<double>(bits() >> 11) * 0x1.0p-53; }
  double between(double low, double high) { return low + (high - low) * uniform(); }

  double plausible(int field) {
    switch (field) {
      case 0:
        return between(-5.0, 2.5);  // demand
      case 1:
        return (uniform() < 0.8) ? 1.0 : between(-1.0, 5.0);  // selector
      case 2:
        return between(-0.3, 0.3);  // steering
      case 3:
        return (uniform() < 0.5) ? 0.0 : between(-0.6, 0.6);  // grade
      case 4:
      case 5:
        return between(-100.0, 100.0);  // initial position
      case 6:
        return between(-4.0, 4.0);  // initial heading
      default:
        return between(-5.0, 40.0);  // initial speed
    }
  }

  double special() {
    constexpr double kSpecials[] = {std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::infinity(),
                                    -std::numeric_limits<double>::infinity(),
                                    -0.0,
                                    0.0,
                                    1e300,
                                    -1e300,
                                    std::numeric_limits<double>::max(),
                                    std::numeric_limits<double>::denorm_min(),
                                    -1e-310,
                                    std::numeric_limits<double>::min(),
                                    1e20};
    return kSpecials[static_cast<int>(uniform() * (sizeof kSpecials / sizeof kSpecials[0]))];
  }

  void resample() {
    for (int field = 0; field < 8; ++field) {
      inputs_.*kFields[field] = plausible(field);
    }
  }

  // The eight inputs in record order.
  static constexpr double ExtU_Corvanta_T::*kFields[8] = {
      &ExtU_Corvanta_T::AccelerationDemand, &ExtU_Corvanta_T::GearSelector,     &ExtU_Corvanta_T::SteeringAngle,
      &ExtU_Corvanta_T::RoadGrade,          &ExtU_Corvanta_T::InitialPositionX, &ExtU_Corvanta_T::InitialPositionY,
      &ExtU_Corvanta_T::InitialHeading,     &ExtU_Corvanta_T::InitialSpeed};

  std::uint64_t state_;
  ExtU_Corvanta_T inputs_{};
};

}  // namespace corvanta::bench

#endif  // CORVANTA_BENCH_RANDOMINPUTS_H
