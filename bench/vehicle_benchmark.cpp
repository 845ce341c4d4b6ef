// What a parameter set costs: Step of instances made from the built-in set and from the
// example vehicles (examples/vehicles) through the vehicle library, Step of the plain
// seven-function library, the two measured interleaved (the speed ratio of the built-in
// set through the vehicle library over the plain library), and creating an instance from
// a set.
//
//   build/bench/corvanta_vehicle_benchmarks --benchmark_repetitions=3
//
// Counters: time_per_step (s per Step, printed in ns or us), steps_per_second; the
// interleaved benchmark reports plain_ns, vehicle_ns (medians of the rounds, CPU time of
// this thread) and ratio = vehicle / plain (median of the per-round ratios).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/Regimes.h"
#include "tools/common/CorvantaLibrary.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

constexpr int kStepsPerRun = 20000;  // restart every 2 s of model time, as the step benchmarks do

const char *const kSetNames[] = {"built-in", "estate", "low-mu"};

// The sets by index: 0 the built-in one, 1 and 2 the example vehicles.
const CorvantaVehicle *vehicleSet(int index) {
  static const std::vector<CorvantaVehicle *> sets = [] {
    std::vector<CorvantaVehicle *> made;
    made.push_back(corvanta_vehicle_create_builtin());
    for (const char *file : {"/estate.json", "/low-mu.json"}) {
      char error[4096] = "";
      CorvantaVehicle *set =
          corvanta_vehicle_load((std::string(CORVANTA_BENCH_VEHICLES) + file).c_str(), error, sizeof error);
      if (set == nullptr) {
        std::fprintf(stderr, "%s\n", error);
        std::abort();
      }
      made.push_back(set);
    }
    return made;
  }();
  return sets[static_cast<std::size_t>(index)];
}

const corvanta::tools::CorvantaApi &plainLibrary() {
  static const corvanta::tools::CorvantaLibrary library =
      corvanta::tools::CorvantaLibrary::open(CORVANTA_BENCH_PLAIN_LIBRARY);
  return library.api();
}

const ExtU_Corvanta_T &regimeInputs(int regime) {
  int count = 0;
  return corvanta::bench::regimes(&count)[regime].inputs;
}

const char *regimeName(int regime) {
  int count = 0;
  return corvanta::bench::regimes(&count)[regime].name;
}

void setCounters(benchmark::State &state) {
  const double steps = static_cast<double>(state.iterations());
  state.counters["time_per_step"] =
      benchmark::Counter(steps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["steps_per_second"] = benchmark::Counter(steps, benchmark::Counter::kIsRate);
}

// An instance of a set in a regime, inputs written before every step as a host does.
struct InstanceStepper {
  InstanceStepper(const CorvantaVehicle *set, int regime) : inputs(regimeInputs(regime)) {
    car = corvanta_instance_create(set);
    corvanta_instance_set_inputs(car, &inputs);
    corvanta_instance_initialize(car);
  }
  ~InstanceStepper() { corvanta_instance_free(car); }
  InstanceStepper(const InstanceStepper &) = delete;
  InstanceStepper &operator=(const InstanceStepper &) = delete;
  void step() {
    if (stepInRun == kStepsPerRun) {
      corvanta_instance_initialize(car);
      stepInRun = 0;
    }
    corvanta_instance_set_inputs(car, &inputs);
    corvanta_instance_step(car);
    ++stepInRun;
  }
  double x() const { return corvanta_instance_outputs(car)->PositionX; }
  ExtU_Corvanta_T inputs;
  CorvantaInstance *car = nullptr;
  int stepInRun = 0;
};

// The same through the plain library's seven functions.
struct PlainStepper {
  explicit PlainStepper(int regime) : api(plainLibrary()), inputs(regimeInputs(regime)) {
    car = api.CreateVehicleModel();
    api.SetInputs(car, &inputs);
    api.Initialize(car);
  }
  ~PlainStepper() { api.DeleteVehicleModel(car); }
  PlainStepper(const PlainStepper &) = delete;
  PlainStepper &operator=(const PlainStepper &) = delete;
  void step() {
    if (stepInRun == kStepsPerRun) {
      api.Initialize(car);
      stepInRun = 0;
    }
    api.SetInputs(car, &inputs);
    api.Step(car);
    ++stepInRun;
  }
  double x() const { return api.GetOutputs(car)->PositionX; }
  const corvanta::tools::CorvantaApi &api;
  ExtU_Corvanta_T inputs;
  void *car = nullptr;
  int stepInRun = 0;
};

// Args: regime, set.
void BM_VehicleStep(benchmark::State &state) {
  const int regime = static_cast<int>(state.range(0));
  const int set = static_cast<int>(state.range(1));
  state.SetLabel(std::string(regimeName(regime)) + ", " + kSetNames[set]);
  InstanceStepper s(vehicleSet(set), regime);
  for (auto _ : state) {
    s.step();
    benchmark::DoNotOptimize(s.x());
  }
  setCounters(state);
}
BENCHMARK(BM_VehicleStep)->ArgsProduct({{0, 1, 2}, {0, 1, 2}});

// Arg: regime.
void BM_PlainLibraryStep(benchmark::State &state) {
  const int regime = static_cast<int>(state.range(0));
  state.SetLabel(regimeName(regime));
  PlainStepper s(regime);
  for (auto _ : state) {
    s.step();
    benchmark::DoNotOptimize(s.x());
  }
  setCounters(state);
}
BENCHMARK(BM_PlainLibraryStep)->Arg(0)->Arg(1)->Arg(2);

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The plain library and the vehicle library's built-in set (or another set) in turn:
// each round steps both for 20 000 steps, alternating which goes first, timed as CPU time
// of this thread.  Args: regime, set.
void BM_VehicleOverPlainInterleaved(benchmark::State &state) {
  const int regime = static_cast<int>(state.range(0));
  const int set = static_cast<int>(state.range(1));
  state.SetLabel(std::string(regimeName(regime)) + ", " + kSetNames[set]);
  constexpr int kRounds = 15;
  std::vector<double> plainNs, vehicleNs, ratios;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      PlainStepper plain(regime);
      InstanceStepper vehicle(vehicleSet(set), regime);
      double plainSeconds = 0.0, vehicleSeconds = 0.0;
      for (int order = 0; order < 2; ++order) {
        const bool plainFirst = (round + order) % 2 == 0;
        const double start = threadSeconds();
        for (int k = 0; k < kStepsPerRun / 2; ++k) {
          if (plainFirst) {
            plain.step();
          } else {
            vehicle.step();
          }
        }
        benchmark::DoNotOptimize(plain.x());
        benchmark::DoNotOptimize(vehicle.x());
        (plainFirst ? plainSeconds : vehicleSeconds) += threadSeconds() - start;
        const double second = threadSeconds();
        for (int k = 0; k < kStepsPerRun / 2; ++k) {
          if (plainFirst) {
            vehicle.step();
          } else {
            plain.step();
          }
        }
        benchmark::DoNotOptimize(plain.x());
        benchmark::DoNotOptimize(vehicle.x());
        (plainFirst ? vehicleSeconds : plainSeconds) += threadSeconds() - second;
      }
      plainNs.push_back(1e9 * plainSeconds / kStepsPerRun);
      vehicleNs.push_back(1e9 * vehicleSeconds / kStepsPerRun);
      ratios.push_back(vehicleSeconds / plainSeconds);
    }
  }
  state.counters["plain_ns"] = median(plainNs);
  state.counters["vehicle_ns"] = median(vehicleNs);
  state.counters["ratio"] = median(ratios);
}
BENCHMARK(BM_VehicleOverPlainInterleaved)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// Creating an instance from a set (and deleting it); with Initialize, as a run starts.
void BM_InstanceCreate(benchmark::State &state) {
  const CorvantaVehicle *set = vehicleSet(static_cast<int>(state.range(0)));
  state.SetLabel(kSetNames[state.range(0)]);
  for (auto _ : state) {
    CorvantaInstance *car = corvanta_instance_create(set);
    benchmark::DoNotOptimize(car);
    corvanta_instance_free(car);
  }
}
BENCHMARK(BM_InstanceCreate)->Arg(0)->Arg(1);

void BM_InstanceCreateInitialize(benchmark::State &state) {
  const CorvantaVehicle *set = vehicleSet(static_cast<int>(state.range(0)));
  state.SetLabel(kSetNames[state.range(0)]);
  const ExtU_Corvanta_T inputs = regimeInputs(0);
  for (auto _ : state) {
    CorvantaInstance *car = corvanta_instance_create(set);
    corvanta_instance_set_inputs(car, &inputs);
    corvanta_instance_initialize(car);
    benchmark::DoNotOptimize(corvanta_instance_outputs(car)->PositionX);
    corvanta_instance_free(car);
  }
}
BENCHMARK(BM_InstanceCreateInitialize)->Arg(0)->Arg(1);

// Making a set: a copy of the built-in one with one parameter changed (what a sweep run
// with a vehicle.NAME field does before its instance).
void BM_SetCopyAndChange(benchmark::State &state) {
  const CorvantaVehicle *builtin = vehicleSet(0);
  const double mass = 1900.0;
  for (auto _ : state) {
    CorvantaVehicle *set = corvanta_vehicle_copy(builtin);
    corvanta_vehicle_set(set, "VehicleMass", &mass, 1, nullptr, 0);
    benchmark::DoNotOptimize(set);
    corvanta_vehicle_free(set);
  }
}
BENCHMARK(BM_SetCopyAndChange);

// Making the built-in set (and freeing it).
void BM_CreateBuiltin(benchmark::State &state) {
  for (auto _ : state) {
    CorvantaVehicle *set = corvanta_vehicle_create_builtin();
    benchmark::DoNotOptimize(set);
    corvanta_vehicle_free(set);
  }
}
BENCHMARK(BM_CreateBuiltin);

// One value of a parameter changed on a set of its own (shared with nothing, so nothing is
// copied), as a sweep or a fitting loop changes one set again and again: arg 0 a scalar
// (VehicleMass), arg 1 one value of the largest table (the throttle map), arg 2 a tyre
// coefficient of both axles (PDY1).  The value goes back and forth, so every call changes it.
void BM_ChangeOneParameter(benchmark::State &state) {
  const char *const names[] = {"VehicleMass", "ThrottleMap_Table", "PDY1"};
  const char *name = names[state.range(0)];
  state.SetLabel(name);
  CorvantaVehicle *set = corvanta_vehicle_create_builtin();
  std::size_t count = 0;
  corvanta_vehicle_get(set, name, nullptr, 0, &count);
  std::vector<double> values(count);
  corvanta_vehicle_get(set, name, values.data(), count, &count);
  double *changed = &values[count / 2];
  const double original = *changed;
  corvanta_vehicle_set(set, name, values.data(), count, nullptr, 0);  // the set's own block from here on
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    *changed = flip ? original * 1.001 : original;
    benchmark::DoNotOptimize(corvanta_vehicle_set(set, name, values.data(), count, nullptr, 0));
  }
  corvanta_vehicle_free(set);
}
BENCHMARK(BM_ChangeOneParameter)->Arg(0)->Arg(1)->Arg(2);

}  // namespace

BENCHMARK_MAIN();
