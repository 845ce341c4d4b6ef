// Maths-library calls per Step by function, per regime.  The model's calls bind to the
// interposing counter library (MathCallCounter.c), which forwards them to the maths
// library; the counters are reported as averages per Step.  The time per Step of this
// program includes the counting and is not a speed figure (corvanta_benchmarks gives
// those).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/MathCallCounter.h"
#include "bench/Regimes.h"
#include "capi/corvanta.h"

namespace {

constexpr int kStepsPerRun = 20000;  // re-initialise every 2 s of model time, as the speed runs do

void BM_MathCallsPerStep(benchmark::State &state) {
  int count = 0;
  const corvanta::bench::Regime &regime = corvanta::bench::regimes(&count)[state.range(0)];
  state.SetLabel(regime.name);
  void *car = CreateVehicleModel();
  const ExtU_Corvanta_T u = regime.inputs;
  SetInputs(car, &u);
  Initialize(car);
  corvanta_math_reset();
  long steps = 0;
  int stepInRun = 0;
  for (auto _ : state) {
    if (stepInRun == kStepsPerRun) {
      Initialize(car);
      stepInRun = 0;
    }
    SetInputs(car, &u);
    Step(car);
    ++stepInRun;
    ++steps;
  }
  double total = 0.0;
  for (int f = 0; f < corvanta_math_function_count(); ++f) {
    const double perStep = static_cast<double>(corvanta_math_calls(f)) / static_cast<double>(steps);
    total += perStep;
    if (perStep > 0.0) {
      state.counters[std::string("calls_") + corvanta_math_function_name(f)] = perStep;
    }
  }
  state.counters["calls_total"] = total;
  DeleteVehicleModel(car);
}
BENCHMARK(BM_MathCallsPerStep)->DenseRange(0, 3)->Iterations(100000);

}  // namespace

BENCHMARK_MAIN();
