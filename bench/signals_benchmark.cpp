// What the vehicle library's signals and states cost a host: a Step alone, a Step followed
// by reading every signal, and saving, restoring and copying a state.  Compare
// BM_InstanceStepAndSignals with BM_InstanceStep (same regime) for the share of the read.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/Regimes.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

constexpr int kStepsPerRun = 20000;  // restart every 2 s of model time, as the step benchmarks do

struct Stepper {
  explicit Stepper(int regime) {
    int count = 0;
    inputs = corvanta::bench::regimes(&count)[regime].inputs;
    car = corvanta_instance_create(nullptr);
    corvanta_instance_set_inputs(car, &inputs);
    corvanta_instance_initialize(car);
  }
  ~Stepper() { corvanta_instance_free(car); }
  Stepper(const Stepper &) = delete;
  Stepper &operator=(const Stepper &) = delete;
  void step() {
    if (stepInRun == kStepsPerRun) {
      corvanta_instance_initialize(car);
      stepInRun = 0;
    }
    corvanta_instance_set_inputs(car, &inputs);
    corvanta_instance_step(car);
    ++stepInRun;
  }
  ExtU_Corvanta_T inputs{};
  CorvantaInstance *car = nullptr;
  int stepInRun = 0;
};

void labelRegime(benchmark::State &state) {
  int count = 0;
  state.SetLabel(corvanta::bench::regimes(&count)[state.range(0)].name);
}

void BM_InstanceStep(benchmark::State &state) {
  labelRegime(state);
  Stepper s(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    s.step();
    benchmark::DoNotOptimize(corvanta_instance_outputs(s.car)->PositionX);
  }
  state.counters["time_per_step"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_InstanceStep)->Arg(0)->Arg(2);

void BM_InstanceStepAndSignals(benchmark::State &state) {
  labelRegime(state);
  Stepper s(static_cast<int>(state.range(0)));
  double signals[CORVANTA_NUM_SIGNALS];
  for (auto _ : state) {
    s.step();
    corvanta_instance_signals(s.car, signals, CORVANTA_NUM_SIGNALS);
    benchmark::DoNotOptimize(signals);
  }
  state.counters["time_per_step"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_InstanceStepAndSignals)->Arg(0)->Arg(2);

void BM_SaveState(benchmark::State &state) {
  Stepper s(2);
  for (int k = 0; k < 1500; ++k) s.step();
  std::vector<unsigned char> buffer(corvanta_instance_state_size(s.car));
  for (auto _ : state) {
    benchmark::DoNotOptimize(corvanta_instance_save_state(s.car, buffer.data(), buffer.size()));
  }
  state.counters["bytes"] = static_cast<double>(buffer.size());
}
BENCHMARK(BM_SaveState);

void BM_RestoreState(benchmark::State &state) {
  Stepper s(2);
  for (int k = 0; k < 1500; ++k) s.step();
  std::vector<unsigned char> buffer(corvanta_instance_state_size(s.car));
  corvanta_instance_save_state(s.car, buffer.data(), buffer.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(corvanta_instance_restore_state(s.car, buffer.data(), buffer.size(), nullptr, 0));
  }
}
BENCHMARK(BM_RestoreState);

void BM_CopyState(benchmark::State &state) {
  Stepper from(2);
  Stepper to(0);
  for (int k = 0; k < 1500; ++k) from.step();
  for (auto _ : state) {
    benchmark::DoNotOptimize(corvanta_instance_copy_state(to.car, from.car));
  }
}
BENCHMARK(BM_CopyState);

}  // namespace

BENCHMARK_MAIN();
