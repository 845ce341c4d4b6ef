// Throughput of the model through the C functions.  Reported per benchmark:
//   steps_per_second   Step() calls per wall-clock second
//   time_per_step      wall-clock time per Step()
//   real_time_factor   model seconds simulated per wall-clock second (one step = 0.0001 s)
//   bytes_per_instance memory of one instance
#include <benchmark/benchmark.h>

#include <vector>

#include "Corvanta.h"
#include "corvanta.h"

namespace {

void setCounters(benchmark::State &state, double stepsPerIteration) {
  const double steps = static_cast<double>(state.iterations()) * stepsPerIteration;
  state.counters["steps_per_second"] = benchmark::Counter(steps, benchmark::Counter::kIsRate);
  state.counters["time_per_step"] =
      benchmark::Counter(steps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["real_time_factor"] = benchmark::Counter(steps * CORVANTA_STEP_SIZE, benchmark::Counter::kIsRate);
  state.counters["bytes_per_instance"] = static_cast<double>(sizeof(Corvanta));
}

ExtU_Corvanta_T drivingInputs() {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 1.0;
  u.GearSelector = 1.0;
  u.SteeringAngle = 0.03;
  u.InitialSpeed = 10.0;
  return u;
}

// One instance, inputs written before every step as a host loop does.
void BM_Step(benchmark::State &state) {
  void *car = CreateVehicleModel();
  const ExtU_Corvanta_T u = drivingInputs();
  SetInputs(car, &u);
  Initialize(car);
  const ExtY_Corvanta_T *y = GetOutputs(car);
  for (auto _ : state) {
    SetInputs(car, &u);
    Step(car);
    benchmark::DoNotOptimize(y->PositionX);
  }
  setCounters(state, 1.0);
  DeleteVehicleModel(car);
}
BENCHMARK(BM_Step);

// Many independent instances stepped in turn, as a Monte-Carlo study does.
void BM_StepInstances(benchmark::State &state) {
  std::vector<void *> cars(static_cast<std::size_t>(state.range(0)));
  ExtU_Corvanta_T u = drivingInputs();
  for (std::size_t k = 0; k < cars.size(); ++k) {
    cars[k] = CreateVehicleModel();
    u.SteeringAngle = 0.001 * static_cast<double>(k);
    SetInputs(cars[k], &u);
    Initialize(cars[k]);
  }
  for (auto _ : state) {
    for (void *car : cars) {
      Step(car);
    }
    benchmark::DoNotOptimize(GetOutputs(cars.front())->PositionX);
  }
  setCounters(state, static_cast<double>(cars.size()));
  for (void *car : cars) {
    DeleteVehicleModel(car);
  }
}
BENCHMARK(BM_StepInstances)->Arg(16)->Arg(256);

void BM_CreateInitializeDelete(benchmark::State &state) {
  for (auto _ : state) {
    void *car = CreateVehicleModel();
    Initialize(car);
    benchmark::DoNotOptimize(car);
    DeleteVehicleModel(car);
  }
  state.counters["bytes_per_instance"] = static_cast<double>(sizeof(Corvanta));
}
BENCHMARK(BM_CreateInitializeDelete);

}  // namespace

BENCHMARK_MAIN();
