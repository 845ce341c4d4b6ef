// Soak: hours of model time on one instance with changing finite inputs.  Every step the
// outputs must be finite, the transport delay's indices within [0, 1023] and the model time
// exactly (double)(ticks + 1) × 0.0001 for the tick count before the step, also across
// 2^32 steps.  Label soak: not part of the default run (ctest -L soak).
#include "model/Corvanta.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::uint64_t kStepsPerSecond = 10000;
constexpr std::uint64_t kStepsPerHour = 3600 * kStepsPerSecond;
constexpr std::uint64_t kPhaseSteps = 30 * kStepsPerSecond;           // inputs change every 30 s
constexpr std::uint64_t kReinitializeEvery = 1200 * kStepsPerSecond;  // a restart every 20 min
constexpr std::uint64_t kProgressEvery = 600 * kStepsPerSecond;

// A driving cycle of six 30 s phases: accelerate weaving, cruise in a curve, brake,
// coast in neutral down a grade, reverse, brake hard.  The steering changes every step.
ExtU_Corvanta_T cycleInputs(std::uint64_t step) {
  ExtU_Corvanta_T u{};
  const std::uint64_t phase = (step / kPhaseSteps) % 6;
  const double t = static_cast<double>(step % kPhaseSteps) / static_cast<double>(kStepsPerSecond);
  const double weave = std::sin(0.5 * t);
  u.GearSelector = CORVANTA_GEAR_DRIVE;
  switch (phase) {
    case 0:
      u.AccelerationDemand = 1.5;
      u.SteeringAngle = 0.02 * weave;
      break;
    case 1:
      u.AccelerationDemand = 0.3;
      u.SteeringAngle = -0.05;
      u.RoadGrade = -0.02;
      break;
    case 2:
      u.AccelerationDemand = -3.0;
      u.SteeringAngle = 0.01 * weave;
      break;
    case 3:
      u.GearSelector = CORVANTA_GEAR_NEUTRAL;
      u.RoadGrade = 0.05;
      u.SteeringAngle = 0.03 * weave;
      break;
    case 4:
      u.GearSelector = CORVANTA_GEAR_REVERSE;
      u.AccelerationDemand = 0.8;
      u.SteeringAngle = 0.1 * weave;
      break;
    default:
      u.AccelerationDemand = -4.0;
      break;
  }
  u.InitialSpeed = 5.0;
  u.InitialHeading = 0.3;
  return u;
}

// Runs `steps` steps from the current tick count and checks every one.  Stops at the
// first violation.
void soak(Corvanta &car, std::uint64_t steps, const char *name) {
  for (std::uint64_t k = 0; k < steps; ++k) {
    if (k % kReinitializeEvery == kReinitializeEvery / 3) {
      car.initialize();
    }
    const ExtU_Corvanta_T u = cycleInputs(k);
    car.setExternalInputs(&u);
    const std::uint64_t ticks = car.M.ticks;
    car.step();

    ASSERT_EQ(car.M.modelTime, static_cast<double>(ticks + 1) * 0.0001) << "step " << k;
    ASSERT_EQ(car.M.ticks, ticks + 1);
    const double *y = reinterpret_cast<const double *>(&car.Y);
    for (int i = 0; i < CORVANTA_NUM_OUTPUTS; ++i) {
      ASSERT_TRUE(std::isfinite(y[i])) << "output " << i << " at step " << k;
    }
    for (std::int32_t index : {car.DW.TransportDelayTail, car.DW.TransportDelayHead, car.DW.TransportDelayLast}) {
      ASSERT_TRUE(index >= 0 && index < kTransportDelayEntries) << "delay index " << index << " at step " << k;
    }
    if ((k + 1) % kProgressEvery == 0) {
      std::printf("%s: %llu s of model time, X = %.3f m, speed %.3f m/s\n", name,
                  static_cast<unsigned long long>((k + 1) / kStepsPerSecond), car.Y.PositionX, car.Y.LongitudinalSpeed);
      std::fflush(stdout);
    }
  }
}

TEST(Soak, OneHourOfChangingInputs) {
  Corvanta car;
  car.initialize();
  soak(car, kStepsPerHour, "one hour");
  EXPECT_EQ(car.M.ticks, kStepsPerHour);
}

TEST(Soak, AcrossTwoToTheThirtyTwoSteps) {
  // Start 5 min of model time before the tick count passes 2^32 and run 10 min.
  constexpr std::uint64_t start = (std::uint64_t{1} << 32) - 300 * kStepsPerSecond;
  Corvanta car;
  car.initialize();
  car.getRTM()->ticks = start;
  car.getRTM()->modelTime = static_cast<double>(start) * 0.0001;
  car.initialize();  // the delay restarts at the new time
  soak(car, 600 * kStepsPerSecond, "across 2^32");
  EXPECT_EQ(car.M.ticks, start + 600 * kStepsPerSecond);
  EXPECT_GT(car.M.modelTime, 429496.7296);
}

}  // namespace
