// Memory behaviour through the C interface: stepping allocates nothing, and an allocation
// failure in CreateVehicleModel returns NULL instead of throwing through C.  This file
// replaces the global allocation functions for its own executable.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

#include "capi/corvanta.h"
#include "model/Corvanta.h"

namespace {

std::atomic<long> allocations{0};
std::atomic<bool> failAllocations{false};

void *allocate(std::size_t size) {
  if (failAllocations.load()) {
    return nullptr;
  }
  ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void *operator new(std::size_t size) {
  void *p = allocate(size);
  if (p == nullptr) {
    throw std::bad_alloc();
  }
  return p;
}
void *operator new[](std::size_t size) { return operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(Memory, SteppingAllocatesNothing) {
  void *car = CreateVehicleModel();
  ASSERT_NE(car, nullptr);
  Initialize(car);
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 1.5;
  u.GearSelector = 1.0;
  u.SteeringAngle = 0.03;
  SetInputs(car, &u);
  const long before = allocations.load();
  for (int k = 0; k < 20000; ++k) {
    if (k == 10000) {
      u.AccelerationDemand = -3.0;
      SetInputs(car, &u);
      Initialize(car);
    }
    Step(car);
    static_cast<void>(GetOutputs(car));
  }
  Terminate(car);
  EXPECT_EQ(allocations.load(), before);
  DeleteVehicleModel(car);
}

TEST(Memory, GradeChangesAndNonFiniteInputsAllocateNothing) {
  // Grade-cache misses, full-formula fallbacks of the tyres and re-initialisation.
  void *car = CreateVehicleModel();
  ASSERT_NE(car, nullptr);
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 0.5;
  u.GearSelector = 1.0;
  u.InitialSpeed = 10.0;
  SetInputs(car, &u);
  Initialize(car);
  const long before = allocations.load();
  for (int k = 0; k < 6000; ++k) {
    u.RoadGrade = 0.001 * (k % 7);
    u.SteeringAngle = (k >= 3000 && k < 3010) ? std::numeric_limits<double>::quiet_NaN() : 0.02;
    if (k == 4000) {
      Initialize(car);
    }
    SetInputs(car, &u);
    Step(car);
  }
  EXPECT_EQ(allocations.load(), before);
  DeleteVehicleModel(car);
}

TEST(Memory, AnInstanceTakesAtMost20KiB) { EXPECT_LE(sizeof(Corvanta), 20U * 1024U); }

TEST(Memory, AllocationFailureReturnsNull) {
  failAllocations = true;
  void *car = CreateVehicleModel();
  failAllocations = false;
  EXPECT_EQ(car, nullptr);
  // Every function tolerates the NULL a failed creation hands back.
  Initialize(car);
  Step(car);
  EXPECT_EQ(GetOutputs(car), nullptr);
  DeleteVehicleModel(car);
}

}  // namespace
