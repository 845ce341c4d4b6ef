// corvanta-sim: runs a driving scenario through the Corvanta library and writes the
// outputs as CSV, with a one-screen summary of the run.
//
// A thin command line over the scenario engine (engine/corvanta_engine.h), which reads,
// checks and runs the scenario and writes the CSV.  The model library is loaded at run
// time and driven through its seven C functions, as any host does; by default the runner
// drives the built-in car of the vehicle library, which also gives the signal columns and
// the car as it starts in the row at time 0.  Exit status: 0 success, 1 internal error, 2 bad usage or scenario, 3
// library missing or unusable, 4 an output file could not be written.
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <CLI/CLI.hpp>

#include "engine/corvanta_engine.h"
#include "engine/running/StepCount.h"
#include "tools/common/CorvantaLibrary.h"
#include "tools/sim/InterruptCleanup.h"
#include "tools/sim/ProgressBar.h"
#include "tools/sim/RecordedInputsRecorder.h"
#include "tools/sim/RunSummary.h"
#include "tools/sim/SweepCommand.h"
#include "tools/sim/TestCommand.h"
#include "tools/sim/VehicleCommand.h"
#include "tools/sim/VehicleModel.h"
#include "vehicle/corvanta_vehicle.h"

#ifndef CORVANTA_SIM_BUILD_TREE_LIBRARY
#define CORVANTA_SIM_BUILD_TREE_LIBRARY ""
#endif

namespace corvanta::sim {
namespace {

enum ExitCode : int {
  kSuccess = 0,
  kInternalError = 1,
  kBadInput = 2,
  kLibraryProblem = 3,
  kOutputProblem = 4,
};

constexpr const char *kProgram = "corvanta-sim";

struct Options {
  std::string scenario;
  std::string output;     // empty: no CSV; "-": standard output
  std::string inputsOut;  // empty: none
  std::string library;    // empty: the built-in car of the linked vehicle library
  std::string vehicle;    // empty: the built-in car (or the scenario's vehicle)
  std::string signals;    // empty: none; "all" or names separated by commas
  // Numbers are kept as typed and converted strictly here: the command-line parser would
  // wrap "-3" into a huge unsigned count and clamp counts that overflow.
  std::string every = "100";
  std::optional<std::string> duration;  // none: the scenario's

  std::string interpolate;     // empty: as the scenario says
  std::string maxSize = "64";  // MiB
  bool allowNonFinite = false;
  bool noInitialRow = false;
  bool quiet = false;
};

// A failure with the exit status it stands for.
struct Failure {
  int code;
  std::string message;
};

void report(const Failure &failure) { std::fprintf(stderr, "%s: error: %s\n", kProgram, failure.message.c_str()); }

bool sameFile(const std::string &first, const std::string &second) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (fs::equivalent(fs::u8path(first), fs::u8path(second), error)) {
    return true;
  }
  const fs::path a = fs::weakly_canonical(fs::u8path(first), error);
  if (error) {
    return false;
  }
  const fs::path b = fs::weakly_canonical(fs::u8path(second), error);
  return !error && a == b;
}

// Refuses output paths that would overwrite the scenario or each other.
std::optional<Failure> checkOutputPaths(const Options &options) {
  for (const std::string *path : {&options.output, &options.inputsOut}) {
    if (!path->empty() && *path != "-" && sameFile(*path, options.scenario)) {
      return Failure{kBadInput, "the output '" + *path + "' is the scenario file; refusing to overwrite it"};
    }
  }
  if (!options.output.empty() && options.output == options.inputsOut) {
    return Failure{kBadInput, "-o and --inputs-out name the same output '" + options.output + "'"};
  }
  if (!options.output.empty() && options.output != "-" && !options.inputsOut.empty() && options.inputsOut != "-" &&
      sameFile(options.output, options.inputsOut)) {
    return Failure{kBadInput, "-o and --inputs-out name the same file '" + options.output + "'"};
  }
  return std::nullopt;
}

tools::CorvantaLibrary openLibrary(const Options &options) {
  return tools::findCorvantaLibrary(options.library, CORVANTA_SIM_BUILD_TREE_LIBRARY);
}

// Reads all of `text` as one number (decimal, independent of the locale); false when the
// text is anything else or out of the type's range.
template <typename Number>
bool parseWhole(const std::string &text, Number &value) {
  const char *end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && stop == end;
}

std::string describeOutput(const Options &options, std::uint64_t every, std::uint64_t rows) {
  if (options.output.empty()) {
    return "no CSV written (use -o FILE, or -o - for standard output)";
  }
  const std::string where = (options.output == "-") ? std::string("standard output") : options.output;
  return where + ", " + std::to_string(rows) + " rows (every " + std::to_string(every) +
         (every == 1 ? " step" : " steps") + (options.noInitialRow ? ")" : ", and time 0)");
}

struct ScenarioDeleter {
  void operator()(CorvantaScenario *scenario) const { corvanta_scenario_free(scenario); }
};
using ScenarioHandle = std::unique_ptr<CorvantaScenario, ScenarioDeleter>;

// A CSV file being written; closed (and reported) by close(), else discarded silently.
class CsvOutput {
 public:
  CsvOutput() = default;
  CsvOutput(const CsvOutput &) = delete;
  CsvOutput &operator=(const CsvOutput &) = delete;
  // A file not closed is discarded: a run that failed leaves no output under its name.
  ~CsvOutput() { corvanta_csv_discard(writer_); }

  std::optional<Failure> open(const std::string &path, const char *const *columns, std::size_t count) {
    CorvantaEngineError error;
    writer_ = corvanta_csv_open(path.c_str(), columns, count, &error);
    if (writer_ == nullptr) {
      return Failure{kOutputProblem, error.message};
    }
    return std::nullopt;
  }
  std::optional<Failure> close() {
    CorvantaEngineError error;
    CorvantaCsvWriter *writer = writer_;
    writer_ = nullptr;
    if (corvanta_csv_close(writer, &error) != CORVANTA_ENGINE_OK) {
      return Failure{kOutputProblem, error.message};
    }
    return std::nullopt;
  }
  CorvantaCsvWriter *writer() const { return writer_; }
  // Whether a row could not be written.
  bool failed() const { return writer_ != nullptr && corvanta_csv_failed(writer_) != 0; }

 private:
  CorvantaCsvWriter *writer_ = nullptr;
};

// What the step callback updates.
struct StepContext {
  RunStatistics statistics;
  std::optional<RecordedInputsRecorder> recorder;
  ProgressBar progress;
};

int afterStep(void *user, std::uint64_t steps, int initialized, const double *inputs, const double *outputs) {
  StepContext &context = *static_cast<StepContext *>(user);
  ExtY_Corvanta_T record;
  std::memcpy(&record, outputs, sizeof record);
  context.statistics.record(StepReport{steps, initialized != 0, inputs, record});
  if (context.recorder) {
    context.recorder->record(steps - 1, inputs);
    if (context.recorder->failed()) {
      return 1;  // stop the run: the recorded inputs could not be written
    }
  }
  context.progress.update(steps);
  return 0;
}

std::optional<Failure> checkedOptions(const Options &options, CorvantaLoadOptions &load, CorvantaSourceLimits &limits,
                                      std::uint64_t &every) {
  std::uint64_t mebibytes = 0;
  if (!parseWhole(options.maxSize, mebibytes) || mebibytes < 1 || mebibytes > (std::uint64_t{1} << 40)) {
    return Failure{kBadInput,
                   "--max-size: expected a whole number of MiB from 1 to 2^40, got '" + options.maxSize + "'"};
  }
  limits.max_bytes = mebibytes << 20;
  limits.allow_nonfinite = options.allowNonFinite ? 1 : 0;
  if (options.duration) {
    double duration = 0.0;
    if (!parseWhole(*options.duration, duration)) {
      return Failure{kBadInput, "--duration: expected a number of seconds, got '" + *options.duration + "'"};
    }
    const engine::StepCountResult count = engine::checkedStepCount(duration);
    if (!count.error.empty()) {
      return Failure{kBadInput, "--duration: " + count.error + ", got " + *options.duration};
    }
    load.has_duration = 1;
    load.duration = duration;
  }
  if (!options.interpolate.empty()) {
    if (options.interpolate == "hold") {
      load.interpolation = CORVANTA_INTERPOLATION_HOLD;
    } else if (options.interpolate == "linear") {
      load.interpolation = CORVANTA_INTERPOLATION_LINEAR;
    } else {
      return Failure{kBadInput, "--interpolate: expected hold or linear, got '" + options.interpolate + "'"};
    }
  }
  if (!parseWhole(options.every, every) || every < 1) {
    return Failure{kBadInput, "--every: expected a whole number of steps >= 1, got '" + options.every + "'"};
  }
  return checkOutputPaths(options);
}

// Everything after the command line has been read; returns the exit status.
int runScenario(const Options &options) {
  CorvantaLoadOptions load{};
  CorvantaSourceLimits limits{};
  std::uint64_t every = 0;
  if (const std::optional<Failure> failure = checkedOptions(options, load, limits, every)) {
    report(*failure);
    return failure->code;
  }

  CorvantaEngineError error;
  const ScenarioHandle scenario(corvanta_scenario_load_file_ex(options.scenario.c_str(), &load, &limits, &error));
  if (!scenario) {
    const bool tooLarge = std::strncmp(error.problem, "larger than the limit", 21) == 0;
    report(Failure{kBadInput, std::string(error.message) + (tooLarge ? " (--max-size MIB raises it)" : "")});
    return kBadInput;
  }

  std::vector<int> signalColumns;
  if (!options.signals.empty()) {
    if (!options.library.empty()) {
      report(Failure{kBadInput,
                     "--signals needs the vehicle library's model; --lib names a library with the seven "
                     "functions only"});
      return kBadInput;
    }
    if (const std::optional<std::string> problem = parseSignalColumns(options.signals, signalColumns)) {
      report(Failure{kBadInput, *problem});
      return kBadInput;
    }
  }
  VehicleHandle vehicle;
  if (!options.vehicle.empty()) {
    if (!options.library.empty()) {
      report(Failure{kBadInput,
                     "--vehicle needs the vehicle library's model; --lib names a library with the seven "
                     "functions only, which simulates its built-in car"});
      return kBadInput;
    }
    if (corvanta_scenario_names_vehicle(scenario.get()) != 0) {
      report(Failure{kBadInput, options.scenario + " names its own vehicle (its \"vehicle\" key); give either that "
                                                   "or --vehicle, not both"});
      return kBadInput;
    }
    std::string problem;
    vehicle = loadVehicle(options.vehicle, problem);
    if (!vehicle) {
      report(Failure{kBadInput, problem});
      return kBadInput;
    }
    const std::string warnings = corvanta_vehicle_warnings(vehicle.get());
    if (!options.quiet && !warnings.empty()) {
      std::fprintf(stderr, "%s: note: %s%s", kProgram, warnings.c_str(), warnings.back() == '\n' ? "" : "\n");
    }
  }
  std::optional<tools::CorvantaLibrary> library;
  CorvantaModelFunctions model{};
  std::string libraryPath;
  if (options.library.empty()) {
    model = vehicleModelFunctions(vehicle.get());
    libraryPath = vehicleLibraryPath();
  } else {
    try {
      library.emplace(openLibrary(options));
    } catch (const tools::LibraryError &failure) {
      report(Failure{kLibraryProblem, failure.what()});
      return kLibraryProblem;
    }
    model = libraryModelFunctions(library->api());
    libraryPath = library->path();
  }

  const std::uint64_t stepCount = corvanta_scenario_step_count(scenario.get());
  StepContext context{RunStatistics(), std::nullopt,
                      ProgressBar(stepCount, !options.quiet && ProgressBar::standardErrorIsTerminal())};
  CsvOutput csv;
  CsvOutput inputs;
  if (!options.output.empty()) {
    std::vector<const char *> columns{"time"};
    for (int index = 0; index < CORVANTA_NUM_OUTPUTS; ++index) {
      columns.push_back(corvanta_engine_output_name(index));
    }
    for (const int index : signalColumns) {
      columns.push_back(corvanta_signal_name(static_cast<size_t>(index)));
    }
    if (const std::optional<Failure> failure = csv.open(options.output, columns.data(), columns.size())) {
      report(*failure);
      return failure->code;
    }
  }
  if (!options.inputsOut.empty()) {
    const auto columns = recordedInputColumns();
    if (const std::optional<Failure> failure = inputs.open(options.inputsOut, columns.data(), columns.size())) {
      report(*failure);
      return failure->code;
    }
    std::array<double, CORVANTA_NUM_INPUTS> initialInputs{};
    corvanta_scenario_initial_inputs(scenario.get(), initialInputs.data());
    context.recorder.emplace(inputs.writer(), initialInputs.data());
    if (!options.quiet && corvanta_scenario_reinitializes(scenario.get()) != 0) {
      std::fprintf(stderr,
                   "%s: note: --inputs-out records the inputs only; the re-initialisations of %s are "
                   "not in it\n",
                   kProgram, options.scenario.c_str());
    }
  }

  CorvantaRunOptions run{};
  run.every = every;
  run.skip_initial_row = options.noInitialRow ? 1 : 0;
  if (csv.writer() != nullptr) {
    run.on_row = corvanta_csv_row_callback;
    run.row_user = csv.writer();
  }
  run.on_step = afterStep;
  run.step_user = &context;
  run.signals = signalColumns.data();
  run.signal_count = signalColumns.size();
  std::uint64_t rows = 0;
  const auto start = std::chrono::steady_clock::now();
  const int status = corvanta_scenario_run(scenario.get(), &model, &run, &rows, &error);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  context.progress.finish();
  if (status == CORVANTA_ENGINE_STOPPED) {
    // Only a failed write stops a run: say which output and why.  Closing reports it;
    // the other output is discarded with the run.
    for (CsvOutput *output : {&csv, &inputs}) {
      if (output->failed()) {
        const std::optional<Failure> failure = output->close();
        report(failure.value_or(Failure{kOutputProblem, "an output could not be written"}));
        return kOutputProblem;
      }
    }
  }
  if (status != CORVANTA_ENGINE_OK) {
    const int code = (status == CORVANTA_ENGINE_MODEL_FAILED)   ? kLibraryProblem
                     : (status == CORVANTA_ENGINE_BAD_SCENARIO) ? kBadInput
                                                                : kInternalError;
    report(Failure{code, error.message});
    return code;
  }

  if (context.recorder) {
    context.recorder->finish(stepCount);
    if (const std::optional<Failure> failure = inputs.close()) {
      report(*failure);
      return failure->code;
    }
  }
  if (const std::optional<Failure> failure = csv.close()) {
    report(*failure);
    return failure->code;
  }
  if (!options.quiet) {
    SummaryContext summary{options.scenario, libraryPath, describeOutput(options, every, rows), wall.count()};
    const bool csvOnStandardOutput = options.output == "-" || options.inputsOut == "-";
    std::FILE *stream = csvOnStandardOutput ? stderr : stdout;
    errno = 0;
    const bool written =
        std::fputs(
            formatSummary(ScenarioFacts{corvanta_scenario_name(scenario.get())}, context.statistics, summary).c_str(),
            stream) >= 0 &&
        std::fflush(stream) == 0;
    if (!written) {
      const int code = errno;
      report(Failure{kOutputProblem, std::string("writing the summary to ") +
                                         (stream == stdout ? "standard output" : "standard error") +
                                         " failed: " + (code != 0 ? std::strerror(code) : "write error")});
      return kOutputProblem;
    }
  }
  return kSuccess;
}

void defineOptions(CLI::App &app, Options &options) {
  app.add_option("SCENARIO", options.scenario,
                 "Scenario to run: a JSON scenario (.json) or recorded inputs (.csv: a 'time' column and "
                 "input columns)")
      ->required();
  app.add_option("-o,--output", options.output,
                 "Write the outputs as CSV to FILE; '-' writes them to standard output and moves the summary "
                 "to standard error.  Without -o no CSV is written")
      ->type_name("FILE");
  app.add_option("--every", options.every, "Write a row after every N-th step (and after the last step)")
      ->type_name("N")
      ->default_str("100");
  app.add_option("--duration", options.duration, "Model time to run, s, replacing the scenario's duration")
      ->type_name("S");
  app.add_option("--lib", options.library,
                 "Corvanta library to load and drive through its seven functions (another build; no signal "
                 "columns, and the row at time 0 holds what its output record holds before the first step).  "
                 "Default: the built-in car of the vehicle library the runner is linked with")
      ->type_name("PATH");
  app.add_option("--vehicle", options.vehicle,
                 "Simulate the vehicle of this vehicle file (JSON, docs/vehicle-parameters.md) instead of the "
                 "built-in car; a vehicle with problems is refused before anything is written")
      ->type_name("FILE");
  app.add_option("--signals", options.signals,
                 "Add signal columns after the seven outputs: 'all', or names separated by commas (Gear, "
                 "EngineSpeed, TyreForceYFL, ...; the list with units is docs/signals.md)")
      ->type_name("NAME,...|all");
  app.add_option("--inputs-out", options.inputsOut,
                 "Also write the input record of every step as recorded inputs (CSV), which replay the "
                 "same run")
      ->type_name("FILE");
  app.add_option("--interpolate", options.interpolate,
                 "Recorded inputs: 'hold' keeps each row's values until the next row, 'linear' moves them "
                 "linearly to the next row's values.  Default: the file's '# interpolate:' line, else hold")
      ->type_name("hold|linear");
  app.add_option("--max-size", options.maxSize,
                 "Largest scenario or recorded-input file to read, MiB; bigger files are refused")
      ->type_name("MIB")
      ->default_str("64");
  app.add_flag("--allow-nonfinite", options.allowNonFinite,
               "Accept nan, inf and -inf in recorded inputs and pass them to the model; otherwise a run whose "
               "inputs become non-finite fails, naming the step and the input");
  app.add_flag("--no-initial-row", options.noInitialRow,
               "No row at time 0 (the car as it starts: the initial pose and speed, gear 1)");
  app.add_flag("-q,--quiet", options.quiet, "No summary and no progress bar");
  app.set_version_flag("--version", std::string(kProgram) + " for the Corvanta library " CORVANTA_VERSION_STRING
                                                            " (maths: " CORVANTA_MATHS ")");
  app.footer(
      "corvanta-sim sweep FILE -o results.csv [--threads N] runs a sweep of many runs instead (see "
      "corvanta-sim sweep --help).\n\n"
      "The summary (scenario, model time, steps, distance, top speed, final pose, tip-over, wall time) goes to "
      "standard output, or to standard error when a CSV goes to standard output.  A progress bar appears on "
      "standard error when it is a terminal and the run takes more than a second.\n\n"
      "Standard vehicle-dynamics tests (step steer, braking, ...): corvanta-sim test --help.  Vehicle files "
      "(show, check, export-tir, docs): corvanta-sim vehicle --help.\n\n"
      "Exit status: 0 success, 1 internal error, 2 bad usage or scenario, 3 library missing or unusable, "
      "4 an output file could not be written.");
}

}  // namespace
}  // namespace corvanta::sim

int main(int argc, char **argv) {
  using namespace corvanta::sim;
  removeTemporaryFilesOnInterrupt();
  try {
    if (argc > 1 && std::string(argv[1]) == "test") {
      return runTestCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
    if (argc > 1 && std::string(argv[1]) == "vehicle") {
      return runVehicleCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
    // corvanta-sim sweep FILE ...: a command of its own (SweepCommand.cpp).
    if (argc > 1 && std::strcmp(argv[1], "sweep") == 0) {
      return runSweepCommand(argc - 1, argv + 1);
    }
    CLI::App app{"Runs a Corvanta driving scenario and writes the vehicle's outputs as CSV.", kProgram};
    Options options;
    defineOptions(app, options);
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError &error) {
      const int status = app.exit(error);
      return (status == 0) ? kSuccess : kBadInput;
    }
    return runScenario(options);
  } catch (const std::bad_alloc &) {
    std::fprintf(stderr, "%s: error: out of memory\n", kProgram);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "%s: internal error: %s\n", kProgram, error.what());
  }
  return kInternalError;
}
