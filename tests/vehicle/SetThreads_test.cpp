// Threads making built-in sets (the first of them while the shared built-in block is still
// unmade), copying one set they share and changing their copies, each running instances of
// its sets: every thread gets what one thread gets doing the same alone, and the shared
// sets keep their values.  Also built with ThreadSanitizer by scripts/sanitize.sh.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "vehicle/corvanta_vehicle.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 6;
constexpr int kSteps = 60;

struct Seen {
  std::vector<std::uint64_t> identities;
  std::vector<unsigned char> outputs;  // bytes of the output record after the last step of each run
  bool operator==(const Seen &other) const { return identities == other.identities && outputs == other.outputs; }
};

void runOn(const CorvantaVehicle *set, Seen &seen) {
  CorvantaInstance *car = corvanta_instance_create(set);
  if (car == nullptr) {
    seen.identities.push_back(0);
    return;
  }
  ExtU_Corvanta_T u{};
  u.InitialSpeed = 10.0;
  u.AccelerationDemand = 1.0;
  u.GearSelector = CORVANTA_GEAR_DRIVE;
  u.SteeringAngle = 0.02;
  corvanta_instance_set_inputs(car, &u);
  corvanta_instance_initialize(car);
  for (int k = 0; k < kSteps; ++k) {
    corvanta_instance_step(car);
  }
  const auto *y = reinterpret_cast<const unsigned char *>(corvanta_instance_outputs(car));
  seen.outputs.insert(seen.outputs.end(), y, y + sizeof(ExtY_Corvanta_T));
  corvanta_instance_free(car);
}

// What thread `t` does: built-in sets changed, and (given `shared`) copies of it changed.
Seen work(int t, const CorvantaVehicle *shared) {
  Seen seen;
  for (int round = 0; round < kRounds; ++round) {
    CorvantaVehicle *own = corvanta_vehicle_create_builtin();
    CorvantaVehicle *copy = shared != nullptr ? corvanta_vehicle_copy(shared) : nullptr;
    if (own == nullptr || (shared != nullptr && copy == nullptr)) {
      ADD_FAILURE() << "no set";
      return seen;
    }
    seen.identities.push_back(corvanta_vehicle_identity(own));
    runOn(own, seen);  // still the built-in block
    const double mass = 1700.0 + 50.0 * t + round;
    corvanta_vehicle_set(own, "VehicleMass", &mass, 1, nullptr, 0);
    seen.identities.push_back(corvanta_vehicle_identity(own));
    runOn(own, seen);
    if (copy != nullptr) {
      const double friction = 0.8 + 0.01 * t;
      corvanta_vehicle_set(copy, "PDY1", &friction, 1, nullptr, 0);
      seen.identities.push_back(corvanta_vehicle_identity(copy));
      seen.identities.push_back(corvanta_vehicle_identity(shared));
      runOn(copy, seen);
      runOn(shared, seen);
    }
    corvanta_vehicle_free(copy);
    corvanta_vehicle_free(own);
  }
  return seen;
}

std::vector<Seen> inThreads(const CorvantaVehicle *shared) {
  std::vector<Seen> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, shared, &seen] { seen[t] = work(t, shared); });
  }
  for (std::thread &thread : threads) {
    thread.join();
  }
  return seen;
}

TEST(SetThreads, ThreadsMakingAndChangingSetsGetTheSerialResults) {
  // First the built-in sets alone: in this program no test before makes one, so the
  // threads race to make the shared built-in block.
  const std::vector<Seen> builtinOnly = inThreads(nullptr);
  const char text[] = "{\"parameters\": {\"Wheelbase\": 2.9}}";
  CorvantaVehicle *shared = corvanta_vehicle_parse(text, std::strlen(text), nullptr, nullptr, nullptr, 0);
  ASSERT_NE(shared, nullptr);
  const std::uint64_t sharedIdentity = corvanta_vehicle_identity(shared);
  const std::vector<Seen> withCopies = inThreads(shared);
  double wheelbase = 0.0;
  ASSERT_EQ(corvanta_vehicle_get(shared, "Wheelbase", &wheelbase, 1, nullptr), CORVANTA_VEHICLE_OK);
  EXPECT_EQ(wheelbase, 2.9);
  EXPECT_EQ(corvanta_vehicle_identity(shared), sharedIdentity);
  for (int t = 0; t < kThreads; ++t) {
    const Seen serial = work(t, nullptr);
    ASSERT_EQ(serial.outputs.size(), static_cast<std::size_t>(kRounds * 2) * sizeof(ExtY_Corvanta_T));
    EXPECT_TRUE(builtinOnly[t] == serial) << "thread " << t;
    const Seen serialWithCopies = work(t, shared);
    ASSERT_EQ(serialWithCopies.outputs.size(), static_cast<std::size_t>(kRounds * 4) * sizeof(ExtY_Corvanta_T));
    EXPECT_TRUE(withCopies[t] == serialWithCopies) << "thread " << t;
    // Every built-in set has the built-in identity before its change, and the shared set
    // its own throughout.
    EXPECT_EQ(serialWithCopies.identities[0], builtinOnly[0].identities[0]);
    EXPECT_EQ(serialWithCopies.identities[3], sharedIdentity);
  }
  // Different changes, different sets.
  EXPECT_NE(withCopies[0].identities[1], withCopies[1].identities[1]);
  EXPECT_NE(withCopies[0].identities[2], withCopies[1].identities[2]);
  corvanta_vehicle_free(shared);
}

}  // namespace
