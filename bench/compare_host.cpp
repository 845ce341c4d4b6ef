// Side-by-side comparison of two builds of the library (for example an older revision and
// the working tree): both are loaded into one process, driven with the same inputs in
// lockstep, and every output bit after every step is compared (any NaN equals any NaN).
// Then the speed of Step is measured interleaved, A and B alternating, as CPU time of
// this one thread pinned to one core; the medians over the rounds are printed.
//
//   corvanta_compare_host LIBRARY_A LIBRARY_B [--rounds N] [--steps N] [--random-steps N]
//                                             [--seed N] [--fresh-instances] [--speed-only]
//
//   corvanta_compare_host --run LIBRARY REGIME STEPS
//
// The second form only steps one regime of one library from Initialize, for instruction
// counts under a profiler (valgrind --tool=callgrind): run it with two step counts and
// divide the difference of the totals by the difference of the counts.
//
// --fresh-instances replaces each re-initialisation of the random stream by a fresh
// instance (for builds whose Initialize deliberately treats poisoned instances anew).
// --speed-only skips the bit comparison (for builds that differ by design, such as the
// default build against the portable-maths build) and only measures the speed.  The speed
// table gives the medians of ns per step, of A's time over B's per round (ratio A/B, the
// speed-up of B) with its range, and of B's time over A's (time B/A, B's slowdown).
// Exit status: 0 identical, 1 a difference (the first one is printed), 2 bad usage.
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "bench/RandomInputs.h"
#include "bench/Regimes.h"
#include "tools/common/CorvantaLibrary.h"

namespace {

using corvanta::tools::CorvantaApi;
using corvanta::tools::CorvantaLibrary;

constexpr int kStepsPerSecond = 10000;

struct Options {
  std::string libraryA;
  std::string libraryB;
  int rounds = 7;
  int timedSteps = 20000;
  long randomSteps = 400000;
  std::uint64_t seed = 20261208;
  bool freshInstances = false;
  bool speedOnly = false;
};

std::uint64_t bitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

bool sameOutput(double a, double b) { return (std::isnan(a) && std::isnan(b)) || bitsOf(a) == bitsOf(b); }

// One model instance in each library, driven alike.
class Pair {
 public:
  Pair(const CorvantaApi &a, const CorvantaApi &b) : a_(a), b_(b) { create(); }
  ~Pair() { destroy(); }
  Pair(const Pair &) = delete;
  Pair &operator=(const Pair &) = delete;

  void initialize(const ExtU_Corvanta_T &u) {
    a_.SetInputs(carA_, &u);
    b_.SetInputs(carB_, &u);
    a_.Initialize(carA_);
    b_.Initialize(carB_);
  }
  void renew(const ExtU_Corvanta_T &u) {
    destroy();
    create();
    initialize(u);
  }
  // Steps both; returns the index of the first differing output, or -1.
  int step(const ExtU_Corvanta_T &u) {
    a_.SetInputs(carA_, &u);
    b_.SetInputs(carB_, &u);
    a_.Step(carA_);
    b_.Step(carB_);
    const ExtY_Corvanta_T *ya = a_.GetOutputs(carA_);
    const ExtY_Corvanta_T *yb = b_.GetOutputs(carB_);
    const double outA[7] = {ya->PositionX,  ya->PositionY, ya->Heading,         ya->LongitudinalSpeed,
                            ya->PitchAngle, ya->RollAngle, ya->TipOverIndicator};
    const double outB[7] = {yb->PositionX,  yb->PositionY, yb->Heading,         yb->LongitudinalSpeed,
                            yb->PitchAngle, yb->RollAngle, yb->TipOverIndicator};
    for (int k = 0; k < 7; ++k) {
      if (!sameOutput(outA[k], outB[k])) {
        std::printf("  output %d differs: A %016" PRIx64 " (%.17g)  B %016" PRIx64 " (%.17g)\n", k, bitsOf(outA[k]),
                    outA[k], bitsOf(outB[k]), outB[k]);
        return k;
      }
    }
    return -1;
  }

 private:
  void create() {
    carA_ = a_.CreateVehicleModel();
    carB_ = b_.CreateVehicleModel();
  }
  void destroy() {
    a_.DeleteVehicleModel(carA_);
    b_.DeleteVehicleModel(carB_);
  }
  const CorvantaApi &a_;
  const CorvantaApi &b_;
  void *carA_ = nullptr;
  void *carB_ = nullptr;
};

struct Scenario {
  const char *name;
  ExtU_Corvanta_T inputs;
  int steps;
  std::function<void(int, ExtU_Corvanta_T &)> driver;
};

// The regression scenarios of the test suite and the speed regimes.
std::vector<Scenario> scenarios() {
  using corvanta::bench::regimeInputs;
  std::vector<Scenario> all = {
      {"full-throttle-start", regimeInputs(2.0, 1.0, 0.0, 0.0), 10 * kStepsPerSecond, nullptr},
      {"full-throttle-downhill", regimeInputs(2.0, 1.0, 0.0, 0.0), 30 * kStepsPerSecond,
       [](int, ExtU_Corvanta_T &u) { u.RoadGrade = 0.5; }},
      {"brake-to-standstill", regimeInputs(-4.0, 1.0, 15.0, 0.0), 8 * kStepsPerSecond, nullptr},
      {"corner-left", regimeInputs(0.3, 1.0, 10.0, 0.05), 6 * kStepsPerSecond, nullptr},
      {"corner-right", regimeInputs(0.3, 1.0, 10.0, -0.05), 6 * kStepsPerSecond, nullptr},
      {"reverse", regimeInputs(1.0, 3.0, 0.0, 0.0), 5 * kStepsPerSecond, nullptr},
      {"neutral-downhill", regimeInputs(0.0, 0.0, 0.0, 0.0), 6 * kStepsPerSecond,
       [](int, ExtU_Corvanta_T &u) { u.RoadGrade = 0.05; }},
      {"step-steer", regimeInputs(0.5, 1.0, 20.0, 0.0), 4 * kStepsPerSecond,
       [](int k, ExtU_Corvanta_T &u) { u.SteeringAngle = (k >= kStepsPerSecond) ? 0.02 : 0.0; }},
  };
  int count = 0;
  const corvanta::bench::Regime *regimes = corvanta::bench::regimes(&count);
  for (int r = 0; r < count; ++r) {
    all.push_back({regimes[r].name, regimes[r].inputs, 5 * kStepsPerSecond, nullptr});
  }
  return all;
}

bool compareScenarios(const CorvantaApi &a, const CorvantaApi &b) {
  bool identical = true;
  for (const Scenario &scenario : scenarios()) {
    Pair pair(a, b);
    ExtU_Corvanta_T u = scenario.inputs;
    pair.initialize(u);
    int firstDifference = -1;
    int k = 0;
    for (; k < scenario.steps && firstDifference < 0; ++k) {
      if (scenario.driver) {
        scenario.driver(k, u);
      }
      firstDifference = pair.step(u);
    }
    std::printf("  %-24s %7d steps  %s\n", scenario.name, k, firstDifference < 0 ? "identical" : "DIFFERENT");
    identical = identical && firstDifference < 0;
  }
  return identical;
}

bool compareRandom(const CorvantaApi &a, const CorvantaApi &b, const Options &options) {
  corvanta::bench::RandomInputs stream(options.seed);
  Pair pair(a, b);
  pair.initialize(stream.inputs());
  long reinitialisations = 0;
  long nanSteps = 0;
  for (long k = 0; k < options.randomSteps; ++k) {
    if (stream.next() == corvanta::bench::RandomInputs::Event::Reinitialize) {
      ++reinitialisations;
      if (options.freshInstances) {
        pair.renew(stream.inputs());
      } else {
        pair.initialize(stream.inputs());
      }
    }
    if (pair.step(stream.inputs()) >= 0) {
      std::printf("  random stream (seed %" PRIu64 ") differs at step %ld\n", options.seed, k);
      return false;
    }
    const ExtU_Corvanta_T &u = stream.inputs();
    nanSteps += std::isnan(u.SteeringAngle) || std::isnan(u.RoadGrade) || std::isnan(u.AccelerationDemand);
  }
  std::printf("  random stream, seed %" PRIu64
              ": %ld steps, %ld re-initialisations%s, %ld steps with a NaN input: "
              "identical\n",
              options.seed, options.randomSteps, reinitialisations, options.freshInstances ? " (fresh instances)" : "",
              nanSteps);
  return true;
}

double threadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// CPU nanoseconds per Step over one run of the regime from Initialize.
double nsPerStep(const CorvantaApi &api, const ExtU_Corvanta_T &u, int steps) {
  void *car = api.CreateVehicleModel();
  api.SetInputs(car, &u);
  api.Initialize(car);
  const double start = threadSeconds();
  for (int k = 0; k < steps; ++k) {
    api.SetInputs(car, &u);
    api.Step(car);
  }
  const double elapsed = threadSeconds() - start;
  api.DeleteVehicleModel(car);
  return 1e9 * elapsed / steps;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return (n % 2 == 1) ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Pins this thread to the last core it may run on, so that its CPU time is one core's.
int pinToOneCore() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
    return -1;
  }
  for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu) {
    if (CPU_ISSET(cpu, &allowed)) {
      cpu_set_t one;
      CPU_ZERO(&one);
      CPU_SET(cpu, &one);
      return sched_setaffinity(0, sizeof one, &one) == 0 ? cpu : -1;
    }
  }
  return -1;
}

void measureSpeed(const CorvantaApi &a, const CorvantaApi &b, const Options &options) {
  const int cpu = pinToOneCore();
  std::printf(
      "\nSpeed: CPU time of one thread%s, %d steps per run from Initialize, %d rounds, A and B "
      "alternating\n",
      cpu >= 0 ? (" pinned to core " + std::to_string(cpu)).c_str() : " (not pinned)", options.timedSteps,
      options.rounds);
  std::printf("  %-8s %12s %12s %10s %10s %10s %10s\n", "regime", "A ns/step", "B ns/step", "ratio A/B", "min ratio",
              "max ratio", "time B/A");
  int count = 0;
  const corvanta::bench::Regime *regimes = corvanta::bench::regimes(&count);
  for (int r = 0; r < count; ++r) {
    std::vector<double> timesA;
    std::vector<double> timesB;
    std::vector<double> ratios;
    std::vector<double> slowdowns;  // tb / ta
    for (int round = 0; round < options.rounds; ++round) {
      // Alternate which build goes first, so that drifts of the machine cancel.
      double ta;
      double tb;
      if (round % 2 == 0) {
        ta = nsPerStep(a, regimes[r].inputs, options.timedSteps);
        tb = nsPerStep(b, regimes[r].inputs, options.timedSteps);
      } else {
        tb = nsPerStep(b, regimes[r].inputs, options.timedSteps);
        ta = nsPerStep(a, regimes[r].inputs, options.timedSteps);
      }
      timesA.push_back(ta);
      timesB.push_back(tb);
      ratios.push_back(ta / tb);
      slowdowns.push_back(tb / ta);
    }
    std::printf("  %-8s %12.0f %12.0f %9.2fx %9.2fx %9.2fx %9.3fx\n", regimes[r].name, median(timesA), median(timesB),
                median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()), median(slowdowns));
  }
}

bool parse(int argc, char **argv, Options *options) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--rounds" && hasValue) {
      options->rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--steps" && hasValue) {
      options->timedSteps = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--random-steps" && hasValue) {
      options->randomSteps = std::max(0L, std::atol(argv[++i]));
    } else if (arg == "--seed" && hasValue) {
      options->seed = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--speed-only") {
      options->speedOnly = true;
    } else if (arg == "--fresh-instances") {
      options->freshInstances = true;
    } else if (!arg.empty() && arg[0] != '-') {
      positional.push_back(arg);
    } else {
      return false;
    }
  }
  if (positional.size() != 2) {
    return false;
  }
  options->libraryA = positional[0];
  options->libraryB = positional[1];
  return true;
}

}  // namespace

// The --run form: steps one regime of one library.
int runOnly(const std::string &path, const std::string &regimeName, long steps) {
  int count = 0;
  const corvanta::bench::Regime *regimes = corvanta::bench::regimes(&count);
  for (int r = 0; r < count; ++r) {
    if (regimeName == regimes[r].name) {
      const CorvantaLibrary library = CorvantaLibrary::open(path);
      const CorvantaApi &api = library.api();
      void *car = api.CreateVehicleModel();
      api.SetInputs(car, &regimes[r].inputs);
      api.Initialize(car);
      for (long k = 0; k < steps; ++k) {
        api.SetInputs(car, &regimes[r].inputs);
        api.Step(car);
      }
      std::printf("%s %s %ld steps: PositionX %.17g\n", path.c_str(), regimeName.c_str(), steps,
                  api.GetOutputs(car)->PositionX);
      api.DeleteVehicleModel(car);
      return 0;
    }
  }
  std::fprintf(stderr, "unknown regime %s\n", regimeName.c_str());
  return 2;
}

int main(int argc, char **argv) {
  if (argc == 5 && std::string(argv[1]) == "--run") {
    try {
      return runOnly(argv[2], argv[3], std::atol(argv[4]));
    } catch (const std::exception &error) {
      std::fprintf(stderr, "error: %s\n", error.what());
      return 2;
    }
  }
  Options options;
  if (!parse(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: %s LIBRARY_A LIBRARY_B [--rounds N] [--steps N] [--random-steps N] [--seed N] "
                 "[--fresh-instances] [--speed-only]\n",
                 argv[0]);
    return 2;
  }
  try {
    const CorvantaLibrary a = CorvantaLibrary::open(options.libraryA);
    const CorvantaLibrary b = CorvantaLibrary::open(options.libraryB);
    std::printf("A: %s\nB: %s\n", a.path().c_str(), b.path().c_str());
    if (options.speedOnly) {
      measureSpeed(a.api(), b.api(), options);
      std::printf(
          "\nOutput bits not compared (--speed-only); ratio A/B above is the speed-up of B over A, "
          "time B/A the median of B's time over A's per round.\n");
      return 0;
    }
    std::printf("\nBit identity, every output after every step:\n");
    std::fflush(stdout);
    const bool identicalScenarios = compareScenarios(a.api(), b.api());
    const bool identicalRandom = compareRandom(a.api(), b.api(), options);
    std::fflush(stdout);
    if (!identicalScenarios || !identicalRandom) {
      std::printf("\nFAILED: the builds differ\n");
      return 1;
    }
    measureSpeed(a.api(), b.api(), options);
    std::printf("\nIdentical output bits; ratio A/B above is the speed-up of B over A.\n");
    return 0;
  } catch (const std::exception &error) {
    std::fprintf(stderr, "error: %s\n", error.what());
    return 2;
  }
}
