// Instances of the vehicle library run exactly the model of the seven functions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "capi/corvanta.h"
#include "tests/TestSupport.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

// Inputs that change every 500 steps: drive, steer, brake, a grade, then non-finite values.
ExtU_Corvanta_T inputsAt(int k) {
  ExtU_Corvanta_T u{};
  u.GearSelector = 1.0;
  u.InitialSpeed = 5.0;
  u.InitialHeading = 0.3;
  const int phase = (k / 500) % 6;
  u.AccelerationDemand = phase < 2 ? 1.5 : (phase == 2 ? -2.0 : 0.4);
  u.SteeringAngle = phase == 1 ? 0.05 : (phase == 3 ? -0.03 : 0.0);
  u.RoadGrade = phase == 4 ? 0.02 : -0.0;
  if (phase == 5) u.SteeringAngle = std::numeric_limits<double>::quiet_NaN();
  return u;
}

std::vector<double> runSevenFunctions(int steps) {
  void *car = CreateVehicleModel();
  std::vector<double> out;
  Initialize(car);
  for (int k = 0; k < steps; ++k) {
    const ExtU_Corvanta_T u = inputsAt(k);
    SetInputs(car, &u);
    if (k == 2750) Initialize(car);  // a restart mid-run, and the recovery rule after the NaN
    Step(car);
    const ExtY_Corvanta_T *y = GetOutputs(car);
    out.insert(out.end(), &y->PositionX, &y->PositionX + CORVANTA_NUM_OUTPUTS);
  }
  DeleteVehicleModel(car);
  return out;
}

std::vector<double> runInstance(CorvantaInstance *car, int steps) {
  std::vector<double> out;
  corvanta_instance_initialize(car);
  for (int k = 0; k < steps; ++k) {
    const ExtU_Corvanta_T u = inputsAt(k);
    corvanta_instance_set_inputs(car, &u);
    if (k == 2750) corvanta_instance_initialize(car);
    corvanta_instance_step(car);
    const ExtY_Corvanta_T *y = corvanta_instance_outputs(car);
    out.insert(out.end(), &y->PositionX, &y->PositionX + CORVANTA_NUM_OUTPUTS);
  }
  return out;
}

void expectSameBits(const std::vector<double> &a, const std::vector<double> &b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::isnan(a[i]) && std::isnan(b[i])) continue;  // payloads are not part of the contract
    ASSERT_EQ(bitsOf(a[i]), bitsOf(b[i])) << "value " << i << " (step " << i / CORVANTA_NUM_OUTPUTS << ")";
  }
}

TEST(VehicleInstance, BuiltInCarMatchesTheSevenFunctionsBitForBit) {
  const int steps = 3600;
  const std::vector<double> expected = runSevenFunctions(steps);
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  ASSERT_NE(car, nullptr);
  expectSameBits(expected, runInstance(car, steps));
  corvanta_instance_free(car);

  CorvantaVehicle *builtin = corvanta_vehicle_create_builtin();
  ASSERT_NE(builtin, nullptr);
  CorvantaInstance *fromSet = corvanta_instance_create(builtin);
  corvanta_vehicle_free(builtin);  // the instance keeps what it needs
  ASSERT_NE(fromSet, nullptr);
  expectSameBits(expected, runInstance(fromSet, steps));
  corvanta_instance_free(fromSet);
}

TEST(VehicleInstance, NullHandlesAndStepBeforeInitializeAreHarmless) {
  corvanta_instance_initialize(nullptr);
  corvanta_instance_set_inputs(nullptr, nullptr);
  corvanta_instance_step(nullptr);
  corvanta_instance_terminate(nullptr);
  corvanta_instance_free(nullptr);
  corvanta_vehicle_free(nullptr);
  EXPECT_EQ(corvanta_instance_outputs(nullptr), nullptr);

  CorvantaInstance *car = corvanta_instance_create(nullptr);
  ASSERT_NE(car, nullptr);
  corvanta_instance_set_inputs(car, nullptr);
  ExtU_Corvanta_T u{};
  u.InitialPositionX = 10.0;
  corvanta_instance_set_inputs(car, &u);
  corvanta_instance_step(car);  // not initialised: nothing happens
  const ExtY_Corvanta_T *y = corvanta_instance_outputs(car);
  EXPECT_SAME_BITS(0.0, y->PositionX);
  corvanta_instance_free(car);
}

}  // namespace
