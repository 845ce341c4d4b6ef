// corvanta-sim: runs a driving scenario through the Corvanta library and writes the
// outputs as CSV, with a one-screen summary of the run.
//
// The library is loaded at run time and driven through its seven C functions only, as any
// host does.  Exit status: 0 success, 1 internal error, 2 bad usage or scenario, 3 library
// missing or unusable, 4 an output file could not be written.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include <CLI/CLI.hpp>

#include "CorvantaLibrary.h"
#include "OutputCsv.h"
#include "ProgressBar.h"
#include "RecordedInputs.h"
#include "RunSummary.h"
#include "ScenarioFile.h"
#include "Simulation.h"
#include "TestCommand.h"

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
  std::string library;    // empty: the default places
  // Numbers are kept as typed and converted strictly here: the command-line parser would
  // wrap "-3" into a huge unsigned count and clamp counts that overflow.
  std::string every = "100";
  std::optional<std::string> duration;  // none: the scenario's

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
  if (!options.library.empty()) {
    return tools::CorvantaLibrary::open(options.library);
  }
  return tools::CorvantaLibrary::openFirstAvailable(
      tools::defaultLibraryCandidates(tools::executableDirectory(), CORVANTA_SIM_BUILD_TREE_LIBRARY),
      tools::libraryFileName());
}

bool hasReinitialisation(const Schedule &schedule) {
  for (const ScheduledEvent &event : schedule.events) {
    if (event.initialize && event.step > 0 && event.step < schedule.stepCount) {
      return true;
    }
  }
  return false;
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
         (every == 1 ? " step)" : " steps)");
}

// Everything after the command line has been read; returns the exit status.
int runScenario(const Options &options) {
  std::optional<std::uint64_t> durationSteps;
  if (options.duration) {
    double duration = 0.0;
    if (!parseWhole(*options.duration, duration)) {
      report(Failure{kBadInput, "--duration: expected a number of seconds, got '" + *options.duration + "'"});
      return kBadInput;
    }
    const StepCountResult count = checkedStepCount(duration);
    if (!count.error.empty()) {
      report(Failure{kBadInput, "--duration: " + count.error + ", got " + *options.duration});
      return kBadInput;
    }
    durationSteps = count.steps;
  }
  std::uint64_t every = 0;
  if (!parseWhole(options.every, every) || every < 1) {
    report(Failure{kBadInput, "--every: expected a whole number of steps >= 1, got '" + options.every + "'"});
    return kBadInput;
  }
  if (const std::optional<Failure> failure = checkOutputPaths(options)) {
    report(*failure);
    return failure->code;
  }

  Schedule schedule;
  try {
    schedule = loadScenario(options.scenario, durationSteps);
  } catch (const ScenarioError &error) {
    report(Failure{kBadInput, error.what()});
    return kBadInput;
  }

  std::optional<tools::CorvantaLibrary> library;
  try {
    library.emplace(openLibrary(options));
  } catch (const tools::LibraryError &error) {
    report(Failure{kLibraryProblem, error.what()});
    return kLibraryProblem;
  }

  try {
    std::optional<OutputFile> csvFile;
    std::optional<OutputCsvWriter> csv;
    if (!options.output.empty()) {
      csvFile.emplace(options.output);
      csv.emplace(csvFile->stream(), every, schedule.stepCount);
    }
    std::optional<OutputFile> inputsFile;
    std::optional<RecordedInputsWriter> inputsWriter;
    if (!options.inputsOut.empty()) {
      inputsFile.emplace(options.inputsOut);
      inputsWriter.emplace(inputsFile->stream());
      if (!options.quiet && hasReinitialisation(schedule)) {
        std::fprintf(stderr, "%s: note: --inputs-out records the inputs only; the re-initialisations of %s are "
                             "not in it\n", kProgram, options.scenario.c_str());
      }
    }

    RunStatistics statistics;
    InputValues lastInputs = schedule.initialInputs;
    ProgressBar progress(schedule.stepCount, !options.quiet && ProgressBar::standardErrorIsTerminal());
    const auto start = std::chrono::steady_clock::now();
    runSchedule(library->api(), schedule, [&](const StepReport &step) {
      if (csv) {
        csv->afterStep(step.steps, step.outputs);
      }
      if (inputsWriter) {
        inputsWriter->record(step.steps - 1, step.inputs);
      }
      lastInputs = step.inputs;
      statistics.record(step);
      progress.update(step.steps);
    });
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    progress.finish();

    if (inputsWriter) {
      inputsWriter->finish(schedule.stepCount, lastInputs);
      inputsFile->close();
    }
    const std::uint64_t rows = csv ? csv->rowsWritten() : 0;
    if (csvFile) {
      csvFile->close();
    }
    if (!options.quiet) {
      SummaryContext context{options.scenario, library->path(), describeOutput(options, every, rows), wall.count()};
      const bool csvOnStandardOutput = options.output == "-" || options.inputsOut == "-";
      std::FILE *stream = csvOnStandardOutput ? stderr : stdout;
      std::fputs(formatSummary(schedule, statistics, context).c_str(), stream);
      if (std::fflush(stream) != 0) {
        return kOutputProblem;
      }
    }
  } catch (const OutputError &error) {
    report(Failure{kOutputProblem, error.what()});
    return kOutputProblem;
  } catch (const tools::LibraryError &error) {
    report(Failure{kLibraryProblem, error.what()});
    return kLibraryProblem;
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
                 "Corvanta library to load.  Default: ../lib beside the executable, then the build tree's "
                 "library, then the system loader's search for " + tools::libraryFileName())
      ->type_name("PATH");
  app.add_option("--inputs-out", options.inputsOut,
                 "Also write the input record of every step as recorded inputs (CSV), which replay the "
                 "same run")
      ->type_name("FILE");
  app.add_flag("-q,--quiet", options.quiet, "No summary and no progress bar");
  app.set_version_flag("--version", std::string(kProgram) + " for the Corvanta library " CORVANTA_VERSION_STRING);
  app.footer(
      "The summary (scenario, model time, steps, distance, top speed, final pose, tip-over, wall time) goes to "
      "standard output, or to standard error when a CSV goes to standard output.  A progress bar appears on "
      "standard error when it is a terminal and the run takes more than a second.\n\n"
      "Exit status: 0 success, 1 internal error, 2 bad usage or scenario, 3 library missing or unusable, "
      "4 an output file could not be written.");
}

}  // namespace
}  // namespace corvanta::sim

int main(int argc, char **argv) {
  using namespace corvanta::sim;
  try {
    if (argc > 1 && std::string(argv[1]) == "test") {
      return runTestCommand(std::vector<std::string>(argv + 2, argv + argc), CORVANTA_SIM_BUILD_TREE_LIBRARY);
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
