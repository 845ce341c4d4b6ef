// The seven C functions: lifecycle, robustness against misuse, and the public records.
#include "capi/corvanta.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>

#include "model/Corvanta.h"
#include "tests/TestSupport.h"

namespace {

struct Handle {
  Handle() : p(CreateVehicleModel()) {}
  ~Handle() { DeleteVehicleModel(p); }
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
  void *p;
};

ExtU_Corvanta_T drivingInputs() {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 1.2;
  u.GearSelector = 1.0;
  u.SteeringAngle = 0.02;
  u.InitialSpeed = 3.0;
  return u;
}

TEST(Lifecycle, FreshOutputsAreZeroAndThePointerIsStable) {
  Handle car;
  ASSERT_NE(car.p, nullptr);
  const ExtY_Corvanta_T *y = GetOutputs(car.p);
  ASSERT_NE(y, nullptr);
  const double *values = reinterpret_cast<const double *>(y);
  for (int k = 0; k < CORVANTA_NUM_OUTPUTS; ++k) {
    EXPECT_SAME_BITS(0.0, values[k]);
  }
  Initialize(car.p);
  const ExtU_Corvanta_T u = drivingInputs();
  SetInputs(car.p, &u);
  Step(car.p);
  EXPECT_EQ(GetOutputs(car.p), y);
  EXPECT_GT(y->LongitudinalSpeed, 2.9);  // seen through the kept pointer
}

TEST(Lifecycle, NullHandlesAreIgnored) {
  DeleteVehicleModel(nullptr);
  Initialize(nullptr);
  const ExtU_Corvanta_T u = drivingInputs();
  SetInputs(nullptr, &u);
  Step(nullptr);
  Terminate(nullptr);
  EXPECT_EQ(GetOutputs(nullptr), nullptr);
  Handle car;
  Initialize(car.p);
  SetInputs(car.p, nullptr);  // ignored: the inputs stay zero
  Step(car.p);
  EXPECT_SAME_BITS(0.0, GetOutputs(car.p)->PositionX);
}

TEST(Lifecycle, StepBeforeInitializeDoesNothing) {
  Handle car;
  const ExtU_Corvanta_T u = drivingInputs();
  SetInputs(car.p, &u);
  for (int k = 0; k < 10; ++k) {
    Step(car.p);
  }
  const ExtY_Corvanta_T *y = GetOutputs(car.p);
  EXPECT_SAME_BITS(0.0, y->PositionX);
  EXPECT_SAME_BITS(0.0, y->LongitudinalSpeed);
  EXPECT_SAME_BITS(0.0, y->TipOverIndicator);
  EXPECT_EQ(static_cast<Corvanta *>(car.p)->M.ticks, 0U);
  // Once initialised the instance runs normally, from time zero.
  Initialize(car.p);
  Step(car.p);
  EXPECT_SAME_BITS(0.0001, static_cast<Corvanta *>(car.p)->M.modelTime);
  EXPECT_SAME_BITS(-1.0, y->TipOverIndicator);
}

TEST(Lifecycle, TerminateHasNoEffect) {
  Handle a;
  Handle b;
  const ExtU_Corvanta_T u = drivingInputs();
  for (void *car : {a.p, b.p}) {
    Initialize(car);
    SetInputs(car, &u);
  }
  for (int k = 0; k < 300; ++k) {
    Step(a.p);
    Step(b.p);
    if (k == 100) {
      Terminate(b.p);
    }
  }
  EXPECT_EQ(std::memcmp(GetOutputs(a.p), GetOutputs(b.p), sizeof(ExtY_Corvanta_T)), 0);
}

TEST(Lifecycle, InitialConditionsChangeOnlyThroughInitialize) {
  Handle car;
  Initialize(car.p);
  ExtU_Corvanta_T u = drivingInputs();
  u.InitialPositionX = 5.0;
  SetInputs(car.p, &u);
  Step(car.p);
  u.InitialPositionX = 500.0;
  u.InitialSpeed = 30.0;
  SetInputs(car.p, &u);
  Step(car.p);
  EXPECT_LT(GetOutputs(car.p)->PositionX, 6.0);
  EXPECT_LT(GetOutputs(car.p)->LongitudinalSpeed, 4.0);
  Initialize(car.p);
  Step(car.p);
  EXPECT_NEAR(GetOutputs(car.p)->PositionX, 500.0, 0.01);
  EXPECT_NEAR(GetOutputs(car.p)->LongitudinalSpeed, 30.0, 0.01);
}

TEST(PublicRecords, ListsAgreeWithTheStructs) {
  // The field lists and the structs describe the same records in the same order.
  std::size_t index = 0;
#define CHECK_INPUT(name, unit, text)                                          \
  EXPECT_EQ(offsetof(ExtU_Corvanta_T, name), index * sizeof(double)) << #name; \
  ++index;
  CORVANTA_INPUT_FIELDS(CHECK_INPUT)
#undef CHECK_INPUT
  EXPECT_EQ(index, static_cast<std::size_t>(CORVANTA_NUM_INPUTS));
  EXPECT_EQ(sizeof(ExtU_Corvanta_T), CORVANTA_NUM_INPUTS * sizeof(double));
  index = 0;
#define CHECK_OUTPUT(name, unit, text)                                         \
  EXPECT_EQ(offsetof(ExtY_Corvanta_T, name), index * sizeof(double)) << #name; \
  ++index;
  CORVANTA_OUTPUT_FIELDS(CHECK_OUTPUT)
#undef CHECK_OUTPUT
  EXPECT_EQ(index, static_cast<std::size_t>(CORVANTA_NUM_OUTPUTS));
  EXPECT_EQ(sizeof(ExtY_Corvanta_T), CORVANTA_NUM_OUTPUTS * sizeof(double));
  EXPECT_EQ(offsetof(ExtU_Corvanta_T, InitialSpeed), CORVANTA_IN_INITIAL_SPEED * sizeof(double));
  EXPECT_EQ(offsetof(ExtY_Corvanta_T, TipOverIndicator), CORVANTA_OUT_TIP_OVER_INDICATOR * sizeof(double));
  EXPECT_EQ(std::string(CORVANTA_VERSION_STRING), std::to_string(CORVANTA_VERSION_MAJOR) + "." +
                                                      std::to_string(CORVANTA_VERSION_MINOR) + "." +
                                                      std::to_string(CORVANTA_VERSION_PATCH));
  EXPECT_EQ(CORVANTA_VERSION, CORVANTA_VERSION_MAJOR * 10000 + CORVANTA_VERSION_MINOR * 100 + CORVANTA_VERSION_PATCH);
}

}  // namespace
