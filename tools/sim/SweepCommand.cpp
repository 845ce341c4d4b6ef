#include "tools/sim/SweepCommand.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <system_error>

#include <CLI/CLI.hpp>

#include "engine/sweep/corvanta_sweep.h"
#include "tools/common/CorvantaLibrary.h"
#include "tools/sim/SweepProgressBar.h"
#include "tools/sim/VehicleModel.h"

namespace corvanta::sim {

namespace {

enum ExitCode : int { kSuccess = 0, kInternalError = 1, kBadInput = 2, kLibraryProblem = 3, kOutputProblem = 4 };

constexpr const char *kCommand = "corvanta-sim sweep";

struct SweepOptions {
  std::string definition;
  std::string output;
  std::string threads = "0";
  std::string library;
  std::string vehicle;
  bool quiet = false;
};

int fail(int code, const std::string &message) {
  std::fprintf(stderr, "%s: error: %s\n", kCommand, message.c_str());
  return code;
}

struct SweepFree {
  void operator()(CorvantaSweep *sweep) const { corvanta_sweep_free(sweep); }
};

int onProgress(void *user, std::uint64_t runsDone, std::uint64_t runsTotal, std::uint64_t stepsDone,
               double wallSeconds) {
  static_cast<SweepProgressBar *>(user)->update(SweepStatus{runsDone, runsTotal, stepsDone, wallSeconds});
  return 0;
}

int exitCodeOf(int status) {
  switch (status) {
    case CORVANTA_ENGINE_BAD_SCENARIO:
      return kBadInput;
    case CORVANTA_ENGINE_MODEL_FAILED:
      return kLibraryProblem;
    case CORVANTA_ENGINE_OUTPUT_FAILED:
      return kOutputProblem;
    default:
      return kInternalError;
  }
}

void defineOptions(CLI::App &app, SweepOptions &options) {
  app.add_option("FILE", options.definition,
                 "Sweep definition (JSON): {\"base\": scenario, \"grid\": {...}} or {\"base\": scenario, "
                 "\"monte_carlo\": {...}}, or a list of scenarios; see docs/sweeps.md")
      ->required();
  app.add_option("-o,--output", options.output, "Write one row per run as CSV to FILE ('-': standard output)")
      ->type_name("FILE")
      ->required();
  app.add_option("--threads", options.threads, "Runs at a time, each on its own thread; 0 (default): one per core")
      ->type_name("N");
  app.add_option("--lib", options.library,
                 "Corvanta library to load and drive through its seven functions (its built-in car; the "
                 "signal metrics are then empty, and scenarios with a vehicle need the default).  Default: "
                 "the vehicle library the runner is linked with")
      ->type_name("PATH");
  app.add_option("--vehicle", options.vehicle,
                 "Vehicle file (JSON) of the runs whose scenario names no vehicle; vehicle.NAME fields vary its "
                 "parameters")
      ->type_name("FILE");
  app.add_flag("-q,--quiet", options.quiet, "No progress bar and no closing figures");
  app.footer(
      "Columns: run, the varied fields, the seven outputs after the last step, distance, top_speed, stop_time, "
      "stop_distance, max_heading_rate, tip_over_time, non_finite, max_lateral_acceleration, max_slip_angle, "
      "time_in_gear_1 ... time_in_gear_5, wall_time.  Every column but wall_time is the "
      "same for any --threads.  A progress bar with the time left appears on standard error when it is a "
      "terminal; the runs per second and steps per second follow at the end.\n\n"
      "Exit status: 0 success, 1 internal error, 2 bad usage or sweep, 3 library missing or unusable, "
      "4 the output could not be written.");
}

int runSweep(const SweepOptions &options) {
  unsigned threads = 0;
  const char *end = options.threads.data() + options.threads.size();
  const auto [stop, parseError] = std::from_chars(options.threads.data(), end, threads);
  if (options.threads.empty() || parseError != std::errc() || stop != end || threads > 4096) {
    return fail(kBadInput, "--threads: expected a whole number from 0 to 4096, got '" + options.threads + "'");
  }

  std::error_code sameFileError;
  if (options.output != "-" &&
      std::filesystem::equivalent(std::filesystem::u8path(options.output), std::filesystem::u8path(options.definition),
                                  sameFileError)) {
    return fail(kBadInput, "the output '" + options.output + "' is the sweep definition; refusing to overwrite it");
  }

  CorvantaEngineError error{};
  const std::unique_ptr<CorvantaSweep, SweepFree> sweep(corvanta_sweep_load_file(options.definition.c_str(), &error));
  if (!sweep) {
    return fail(exitCodeOf(error.status), error.message);
  }

  if (!options.vehicle.empty() && !options.library.empty()) {
    return fail(kBadInput,
                "--vehicle needs the vehicle library's model; --lib names a library with the seven "
                "functions only");
  }
  VehicleHandle vehicle;
  if (!options.vehicle.empty()) {
    std::string problem;
    vehicle = loadVehicle(options.vehicle, problem);
    if (!vehicle) {
      return fail(kBadInput, problem);
    }
  }
  std::optional<tools::CorvantaLibrary> library;
  CorvantaModelFunctions model = vehicleModelFunctions(vehicle.get());
  if (!options.library.empty()) {
    try {
      library.emplace(tools::CorvantaLibrary::open(options.library));
    } catch (const tools::LibraryError &failure) {
      return fail(kLibraryProblem, failure.what());
    }
    model = libraryModelFunctions(library->api());
  }

  SweepProgressBar bar(!options.quiet && SweepProgressBar::standardErrorIsTerminal());
  CorvantaSweepOptions run{};
  run.threads = threads;
  run.csv_path = options.output.c_str();
  run.on_progress = onProgress;
  run.progress_user = &bar;
  CorvantaSweepTotals totals{};
  const int status = corvanta_sweep_run(sweep.get(), &model, &run, &totals, &error);
  bar.finish();
  if (status != CORVANTA_ENGINE_OK) {
    return fail(exitCodeOf(status), error.message);
  }
  if (!options.quiet) {
    // The figures go to standard error when the table goes to standard output.
    std::FILE *stream = options.output == "-" ? stderr : stdout;
    const std::string where = options.output == "-" ? std::string("standard output") : options.output;
    std::fprintf(
        stream, "%s: %llu runs -> %s\n%s\n", options.definition.c_str(),
        static_cast<unsigned long long>(corvanta_sweep_run_count(sweep.get())), where.c_str(),
        formatThroughput(SweepStatus{totals.runs, totals.runs, totals.steps, totals.wall_seconds}, totals.threads)
            .c_str());
    if (std::fflush(stream) != 0) {
      return kOutputProblem;
    }
  }
  return kSuccess;
}

}  // namespace

int runSweepCommand(int argc, char **argv) {
  CLI::App app{
      "Runs a sweep: many runs of a scenario with some fields varied (a grid or a Monte-Carlo sample), "
      "on all cores, one CSV row of figures per run.",
      kCommand};
  SweepOptions options;
  defineOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &error) {
    const int status = app.exit(error);
    return (status == 0) ? kSuccess : kBadInput;
  }
  return runSweep(options);
}

}  // namespace corvanta::sim
