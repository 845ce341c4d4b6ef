// Several threads, each driving instances of its own, compute exactly what one thread
// computes running the same instances one after another.
#include "capi/corvanta.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kThreads = 4;
constexpr int kInstancesPerThread = 2;
constexpr int kSteps = 4000;
constexpr int kRecordEvery = 50;

// Inputs that differ between runs and change during a run: demand, steering and
// grade vary, one run brakes, one reverses, one gets NaN steering and is re-initialised.
ExtU_Corvanta_T inputsFor(int run, int step) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = (run % 3 == 2) ? -2.0 : 0.4 + 0.2 * run;
  u.GearSelector = (run == 5) ? CORVANTA_GEAR_REVERSE : CORVANTA_GEAR_DRIVE;
  u.SteeringAngle = 0.01 * run * ((step / 1000) % 2 == 0 ? 1.0 : -1.0);
  u.RoadGrade = 0.005 * (run - 3);
  u.InitialSpeed = 2.0 * run;
  u.InitialHeading = 0.1 * run;
  return u;
}

// One run: the outputs every kRecordEvery steps.
std::vector<ExtY_Corvanta_T> drive(int run) {
  std::vector<ExtY_Corvanta_T> trace;
  void *car = CreateVehicleModel();
  if (car == nullptr) {
    return trace;
  }
  Initialize(car);
  for (int step = 0; step < kSteps; ++step) {
    ExtU_Corvanta_T u = inputsFor(run, step);
    if (run == 3 && step >= 1500 && step < 1502) {
      std::memset(&u.SteeringAngle, 0xFF, sizeof u.SteeringAngle);  // a NaN
    }
    if (run == 3 && step == 1502) {
      Initialize(car);
    }
    SetInputs(car, &u);
    Step(car);
    if (step % kRecordEvery == 0) {
      trace.push_back(*GetOutputs(car));
    }
  }
  DeleteVehicleModel(car);
  return trace;
}

bool sameBits(const std::vector<ExtY_Corvanta_T> &a, const std::vector<ExtY_Corvanta_T> &b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

TEST(Threads, OwnInstancesPerThreadMatchASerialRun) {
  constexpr int runs = kThreads * kInstancesPerThread;
  std::vector<std::vector<ExtY_Corvanta_T>> serial(runs);
  for (int run = 0; run < runs; ++run) {
    serial[run] = drive(run);
    ASSERT_EQ(serial[run].size(), static_cast<std::size_t>(kSteps / kRecordEvery));
  }

  std::vector<std::vector<ExtY_Corvanta_T>> parallel(runs);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &parallel] {
      for (int k = 0; k < kInstancesPerThread; ++k) {
        const int run = t + kThreads * k;
        parallel[run] = drive(run);
      }
    });
  }
  for (std::thread &thread : threads) {
    thread.join();
  }
  for (int run = 0; run < runs; ++run) {
    EXPECT_TRUE(sameBits(serial[run], parallel[run])) << "run " << run;
  }
}

}  // namespace
