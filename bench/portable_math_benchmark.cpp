// Speed of the portable maths functions (runtime/PortableMath.h) against the platform's,
// and of Step with the portable maths against Step with the platform's.
//
//   BM_Maths/FUNCTION/ARGUMENTS/IMPLEMENTATION   ns per call
//     FUNCTION        sin, cos, sincos, atan, exp
//     ARGUMENTS       model: the range the model's calls take (the fast path);
//                     hard: the hard cases of tests/data/portable_math/hard_cases.txt
//                     (results within 2^-18 ulp or less of a rounding boundary: for atan
//                     and exp every one of them takes the accurate path, for sin and cos
//                     the closest ones);
//                     huge: |x| from 2^21 to 2^1023 (sin, cos and sincos: always the
//                     accurate path, with the long reduction)
//                     chained: the model's range, each argument depending on the result
//                     of the call before (x = a[i] + f(x) * 0): the latency of a call,
//                     which is what the model's nested calls (atan inside atan inside
//                     sin) wait for, where the other sets measure throughput
//     IMPLEMENTATION  platform (the C library's) or portable
//   BM_Step/REGIME/LIBRARY   ns per Step (time_per_step) and steps per second, LIBRARY
//     platform: libcorvanta as built by default; portable: the same model with the portable
//     maths (tests/windows/libcorvanta_portable_math.so).  Both are loaded at run time, as
//     a host loads them; CORVANTA_BENCH_PLATFORM_LIBRARY and CORVANTA_BENCH_PORTABLE_LIBRARY
//     name other files.
//
// Run pinned to one core with repetitions, for example
//   taskset -c 1 build/bench/corvanta_portable_math_benchmarks --benchmark_repetitions=5
//     --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/Regimes.h"
#include "runtime/PortableMath.h"
#include "tools/common/CorvantaLibrary.h"

namespace {

double fromBits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// Arguments of the model's range: the angles of the wheels and the body (radians) for the
// trigonometric functions, slip quantities times stiffness factors for atan, and the
// small negative exponents of the decays for exp.
std::vector<double> modelArguments(const std::string &function) {
  std::mt19937_64 random(20261209);
  std::vector<double> arguments(4096);
  for (double &x : arguments) {
    const double u = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    if (function == "atan") {
      x = -30.0 + 60.0 * u;
    } else if (function == "exp") {
      x = -8.0 + 9.0 * u;
    } else {
      x = -1.6 + 3.2 * u;
    }
  }
  return arguments;
}

// The hard cases of one function (sincos takes those of sin and of cos).
std::vector<double> hardArguments(const std::string &function) {
  std::vector<double> arguments;
  std::ifstream in(CORVANTA_PORTABLE_MATH_HARD_CASES);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, argument;
    fields >> name >> argument;
    if (name == function || (function == "sincos" && (name == "sin" || name == "cos"))) {
      arguments.push_back(fromBits(std::strtoull(argument.c_str(), nullptr, 16)));
    }
  }
  return arguments;
}

std::vector<double> hugeArguments() {
  std::mt19937_64 random(20261210);
  std::vector<double> arguments(1024);
  for (double &x : arguments) {
    const int exponent = std::uniform_int_distribution<int>(21, 1023)(random);
    const double significand = std::uniform_real_distribution<double>(1.0, 2.0)(random);
    x = std::ldexp(significand, exponent) * ((random() & 1) ? -1.0 : 1.0);
  }
  return arguments;
}

double platformSin(double x) { return std::sin(x); }
double platformCos(double x) { return std::cos(x); }
double platformAtan(double x) { return std::atan(x); }
double platformExp(double x) { return std::exp(x); }
double platformSincos(double x) {
  // One sincos call: GCC joins the sine and the cosine of one argument.
  return std::sin(x) + std::cos(x);
}
double portableSincos(double x) {
  double s, c;
  Corvanta_sincos(x, &s, &c);
  return s + c;
}

std::string libraryPath(const char *variable, const char *builtIn) {
  const char *value = std::getenv(variable);
  return (value != nullptr && *value != '\0') ? value : builtIn;
}

// The libraries stay open for the whole run (opened once, on first use).
const corvanta::tools::CorvantaApi &library(bool portable) {
  static std::map<bool, std::unique_ptr<corvanta::tools::CorvantaLibrary>> open;
  auto &slot = open[portable];
  if (!slot) {
    const std::string path = portable ? libraryPath("CORVANTA_BENCH_PORTABLE_LIBRARY", CORVANTA_BENCH_PORTABLE_LIBRARY)
                                      : libraryPath("CORVANTA_BENCH_PLATFORM_LIBRARY", CORVANTA_BENCH_PLATFORM_LIBRARY);
    slot = std::make_unique<corvanta::tools::CorvantaLibrary>(corvanta::tools::CorvantaLibrary::open(path));
  }
  return slot->api();
}

// One regime from Initialize, re-initialised every 20 000 steps (2 s of model time), as in
// the other Step benchmarks.
void BM_Step(benchmark::State &state, int regime, bool portable) {
  const corvanta::tools::CorvantaApi *api = nullptr;
  try {
    api = &library(portable);
  } catch (const std::exception &error) {
    state.SkipWithError(error.what());
    return;
  }
  int count = 0;
  const ExtU_Corvanta_T &u = corvanta::bench::regimes(&count)[regime].inputs;
  void *car = api->CreateVehicleModel();
  api->SetInputs(car, &u);
  api->Initialize(car);
  int steps = 0;
  for (auto _ : state) {
    if (++steps == 20000) {
      steps = 0;
      api->SetInputs(car, &u);
      api->Initialize(car);
    }
    api->SetInputs(car, &u);
    api->Step(car);
  }
  benchmark::DoNotOptimize(api->GetOutputs(car)->PositionX);
  api->DeleteVehicleModel(car);
  const double n = static_cast<double>(state.iterations());
  state.counters["steps_per_second"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
  state.counters["time_per_step"] = benchmark::Counter(n, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void registerAll() {
  struct Function {
    const char *name;
    double (*platform)(double);
    double (*portable)(double);
  };
  const Function functions[] = {
      {"sin", platformSin, Corvanta_sin},         {"cos", platformCos, Corvanta_cos},
      {"sincos", platformSincos, portableSincos}, {"atan", platformAtan, Corvanta_atan},
      {"exp", platformExp, Corvanta_exp},
  };
  for (const Function &f : functions) {
    const std::string name = f.name;
    std::vector<std::pair<std::string, std::vector<double>>> sets = {{"model", modelArguments(name)},
                                                                     {"hard", hardArguments(name)}};
    if (name == "sin" || name == "cos" || name == "sincos") sets.emplace_back("huge", hugeArguments());
    for (const auto &set : sets) {
      const std::string prefix = "BM_Maths/" + name + "/" + set.first + "/";
      auto run = [](double (*g)(double)) {
        return [g](benchmark::State &state, const std::vector<double> &arguments) {
          std::size_t i = 0;
          double sink = 0.0;
          if (arguments.empty()) {
            state.SkipWithError("no arguments (hard cases file missing?)");
            return;
          }
          for (auto _ : state) {
            sink += g(arguments[i]);
            i = (i + 1 == arguments.size()) ? 0 : i + 1;
            benchmark::DoNotOptimize(sink);
          }
        };
      };
      benchmark::RegisterBenchmark((prefix + "platform").c_str(), run(f.platform), set.second);
      benchmark::RegisterBenchmark((prefix + "portable").c_str(), run(f.portable), set.second);
    }
    // Latency: the next argument waits for this result (multiplied by zero, which the
    // processor cannot skip).
    auto chained = [](double (*g)(double)) {
      return [g](benchmark::State &state, const std::vector<double> &arguments) {
        std::size_t i = 0;
        double x = arguments[0];
        double zero = 0.0;
        benchmark::DoNotOptimize(zero);
        for (auto _ : state) {
          x = arguments[i] + g(x) * zero;
          i = (i + 1 == arguments.size()) ? 0 : i + 1;
        }
        benchmark::DoNotOptimize(x);
      };
    };
    const std::string prefix = "BM_Maths/" + name + "/chained/";
    benchmark::RegisterBenchmark((prefix + "platform").c_str(), chained(f.platform), modelArguments(name));
    benchmark::RegisterBenchmark((prefix + "portable").c_str(), chained(f.portable), modelArguments(name));
  }
  int count = 0;
  const corvanta::bench::Regime *regimes = corvanta::bench::regimes(&count);
  for (int r = 0; r < count; ++r) {
    for (bool portable : {false, true}) {
      const std::string name = std::string("BM_Step/") + regimes[r].name + (portable ? "/portable" : "/platform");
      benchmark::RegisterBenchmark(name.c_str(), BM_Step, r, portable);
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
