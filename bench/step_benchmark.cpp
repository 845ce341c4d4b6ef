// Throughput of the model through the C functions.  Reported per benchmark:
//   steps_per_second   Step() calls per wall-clock second
//   time_per_step      wall-clock time per Step()
//   real_time_factor   model seconds simulated per wall-clock second (one step = 0.0001 s)
//   bytes_per_instance memory of one instance
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "bench/Regimes.h"
#include "capi/corvanta.h"
#include "model/Corvanta.h"

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

constexpr int kStepsPerRun = 20000;  // each regime restarts from Initialize every 2 s of model time

// One instance in a regime of Regimes.h, inputs written before every step.
void BM_Regime(benchmark::State &state) {
  int count = 0;
  const corvanta::bench::Regime &regime = corvanta::bench::regimes(&count)[state.range(0)];
  state.SetLabel(regime.name);
  void *car = CreateVehicleModel();
  const ExtU_Corvanta_T u = regime.inputs;
  SetInputs(car, &u);
  Initialize(car);
  const ExtY_Corvanta_T *y = GetOutputs(car);
  int stepInRun = 0;
  for (auto _ : state) {
    if (stepInRun == kStepsPerRun) {
      Initialize(car);
      stepInRun = 0;
    }
    SetInputs(car, &u);
    Step(car);
    ++stepInRun;
    benchmark::DoNotOptimize(y->PositionX);
  }
  setCounters(state, 1.0);
  DeleteVehicleModel(car);
}
BENCHMARK(BM_Regime)->DenseRange(0, 3);

// One instance per thread, each on its own thread: throughput of a sweep on N cores.
// Compare steps_per_second per thread across thread counts for the scaling.
void BM_RegimeThreads(benchmark::State &state) {
  int count = 0;
  const ExtU_Corvanta_T u = corvanta::bench::regimes(&count)[0].inputs;
  void *car = CreateVehicleModel();
  SetInputs(car, &u);
  Initialize(car);
  int stepInRun = 0;
  for (auto _ : state) {
    if (stepInRun == kStepsPerRun) {
      Initialize(car);
      stepInRun = 0;
    }
    SetInputs(car, &u);
    Step(car);
    ++stepInRun;
  }
  state.counters["steps_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  DeleteVehicleModel(car);
}
BENCHMARK(BM_RegimeThreads)
    ->DenseThreadRange(1, static_cast<int>(std::max(1U, std::thread::hardware_concurrency())))
    ->UseRealTime();

// Unit cost of the maths functions the model calls, on arguments of the model's range
// (a fresh argument every call, so that nothing is folded or hoisted).
template <double (*F)(double)>
void BM_MathUnitCost(benchmark::State &state) {
  double x = 0.1;
  double sink = 0.0;
  for (auto _ : state) {
    sink += F(x);
    x = (x > 1.5) ? -1.3 : x + 0.0123;
    benchmark::DoNotOptimize(sink);
  }
}
double atanOf(double x) { return std::atan(x * 20.0); }
double sinOf(double x) { return std::sin(x); }
double cosOf(double x) { return std::cos(x); }
double expOf(double x) { return std::exp(x); }
double sincosOf(double x) { return std::sin(x) + std::cos(x); }  // one sincos call
BENCHMARK_TEMPLATE(BM_MathUnitCost, atanOf)->Name("BM_MathUnitCost/atan");
BENCHMARK_TEMPLATE(BM_MathUnitCost, sinOf)->Name("BM_MathUnitCost/sin");
BENCHMARK_TEMPLATE(BM_MathUnitCost, cosOf)->Name("BM_MathUnitCost/cos");
BENCHMARK_TEMPLATE(BM_MathUnitCost, expOf)->Name("BM_MathUnitCost/exp");
BENCHMARK_TEMPLATE(BM_MathUnitCost, sincosOf)->Name("BM_MathUnitCost/sincos");

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
