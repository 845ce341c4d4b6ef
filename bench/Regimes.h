// The driving regimes the speed figures are quoted for, shared by the benchmarks and the
// side-by-side comparison host.  Each regime is a constant input record applied from
// Initialize on.
#ifndef CORVANTA_BENCH_REGIMES_H
#define CORVANTA_BENCH_REGIMES_H

#include <cmath>
#include <limits>

#include "capi/corvanta.h"

namespace corvanta::bench {

struct Regime {
  const char *name;
  ExtU_Corvanta_T inputs;
};

inline ExtU_Corvanta_T regimeInputs(double demand, double selector, double speed, double steering) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = demand;
  u.GearSelector = selector;
  u.SteeringAngle = steering;
  u.InitialSpeed = speed;
  return u;
}

// cruise:  drive at 20 m/s with demand 0.2;
// launch:  full throttle (demand 2, the top of the throttle map) from rest;
// corner:  15 m/s, demand 0.2, steering 0.05 rad;
// nan:     a NaN steering angle: every state turns NaN after the first step.
inline const Regime *regimes(int *count) {
  static const Regime all[] = {
      {"cruise", regimeInputs(0.2, CORVANTA_GEAR_DRIVE, 20.0, 0.0)},
      {"launch", regimeInputs(2.0, CORVANTA_GEAR_DRIVE, 0.0, 0.0)},
      {"corner", regimeInputs(0.2, CORVANTA_GEAR_DRIVE, 15.0, 0.05)},
      {"nan", regimeInputs(0.2, CORVANTA_GEAR_DRIVE, 20.0, std::numeric_limits<double>::quiet_NaN())},
  };
  *count = static_cast<int>(sizeof all / sizeof all[0]);
  return all;
}

// The three regimes of the speed target (without the NaN run).
constexpr int kTargetRegimes = 3;

}  // namespace corvanta::bench

#endif  // CORVANTA_BENCH_REGIMES_H
