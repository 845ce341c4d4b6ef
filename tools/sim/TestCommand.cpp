#include "tools/sim/TestCommand.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "engine/testsuite/corvanta_standard_tests.h"
#include "tools/common/CorvantaLibrary.h"
#include "tools/sim/ProgressBar.h"
#include "tools/sim/VehicleModel.h"

namespace corvanta::sim {

namespace {

constexpr const char *kProgram = "corvanta-sim test";

struct TestCommandLine {
  std::string test;
  std::string output;
  std::string library;
  std::string vehicle;
  std::size_t every = 10;
  bool quiet = false;
  bool help = false;
  bool list = false;
  std::vector<std::pair<std::string, std::string>> options;
};

struct UsageError {
  std::string message;
};

void printUsage() {
  std::printf(
      "Usage: corvanta-sim test NAME [--OPTION VALUE ...] -o DIR [--every N] [--lib PATH | --vehicle FILE] [-q]\n"
      "       corvanta-sim test all -o DIR      every test with its defaults, and DIR/report.md\n"
      "       corvanta-sim test --list          the tests and their options\n\n"
      "Runs a standard vehicle-dynamics test with the closed-loop driver and writes DIR/metrics.json,\n"
      "the runs' CSV (a row every N * 0.001 s, default N = 10) and SVG plots, then prints the metrics.\n"
      "--vehicle FILE runs the vehicle of a vehicle file (docs/vehicle-parameters.md) instead of the built-in car;\n"
      "--lib PATH runs the built-in car of a model library of the seven functions (give coast-down's --mass then).\n"
      "Metric definitions: docs/standard-tests.md.  Exit status: 0 success, 2 bad usage or option,\n"
      "3 library missing or unusable, 4 an output file could not be written.\n");
}

void printList() {
  for (std::size_t test = 0; test < corvanta_test_count(); ++test) {
    std::printf("%s: %s\n", corvanta_test_name(test), corvanta_test_summary(test));
    for (std::size_t index = 0; index < corvanta_test_option_count(test); ++index) {
      CorvantaTestOptionInfo option;
      corvanta_test_option_info(test, index, &option);
      std::printf("  --%-14s %-10s %s (default %s, %s to %s)\n", option.name, option.unit, option.help,
                  option.default_text, option.min_text, option.max_text);
    }
  }
}

TestCommandLine parse(const std::vector<std::string> &arguments) {
  TestCommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    std::optional<std::string> attached;
    if (argument.rfind("--", 0) == 0 && argument.find('=') != std::string::npos) {
      attached = argument.substr(argument.find('=') + 1);
      argument = argument.substr(0, argument.find('='));
    }
    const auto value = [&]() -> std::string {
      if (attached) {
        return *attached;
      }
      if (i + 1 >= arguments.size()) {
        throw UsageError{argument + " needs a value"};
      }
      return arguments[++i];
    };
    if (argument == "-h" || argument == "--help") {
      line.help = true;
    } else if (argument == "--list") {
      line.list = true;
    } else if (argument == "-q" || argument == "--quiet") {
      line.quiet = true;
    } else if (argument == "-o" || argument == "--output") {
      line.output = value();
    } else if (argument == "--lib") {
      line.library = value();
    } else if (argument == "--vehicle") {
      line.vehicle = value();
    } else if (argument == "--every") {
      const std::string text = value();
      const char *end = text.data() + text.size();
      const auto [stop, error] = std::from_chars(text.data(), end, line.every);
      if (text.empty() || error != std::errc() || stop != end || line.every < 1) {
        throw UsageError{"--every: expected a whole number >= 1, got '" + text + "'"};
      }
    } else if (argument.rfind("--", 0) == 0 && argument.size() > 2) {
      line.options.emplace_back(argument.substr(2), value());
    } else if (argument.rfind("-", 0) == 0 && argument.size() > 1 && !(argument[1] >= '0' && argument[1] <= '9')) {
      throw UsageError{"unknown option '" + argument + "'"};
    } else if (line.test.empty()) {
      line.test = argument;
    } else {
      throw UsageError{"unexpected argument '" + argument + "' (one test name only)"};
    }
  }
  return line;
}

struct ResultDeleter {
  void operator()(CorvantaTestResult *result) const { corvanta_test_result_free(result); }
};
using ResultHandle = std::unique_ptr<CorvantaTestResult, ResultDeleter>;

// The options of the command line in the shape of CorvantaTestRunOptions (valid while
// `line` lives).
struct GivenOptions {
  std::vector<const char *> names;
  std::vector<const char *> values;
  CorvantaTestRunOptions options{};

  explicit GivenOptions(const TestCommandLine &line) {
    for (const auto &[name, value] : line.options) {
      names.push_back(name.c_str());
      values.push_back(value.c_str());
    }
    options.option_names = names.data();
    options.option_values = values.data();
    options.option_count = names.size();
  }
};

// One bar per run; a test with several runs shows them one after the other.
struct RunProgress {
  std::optional<ProgressBar> bar;
  std::size_t run = 0;

  static int update(void *user, std::size_t run, std::uint64_t steps, std::uint64_t total) {
    RunProgress &progress = *static_cast<RunProgress *>(user);
    if (!progress.bar || run != progress.run) {
      if (progress.bar) {
        progress.bar->finish();
      }
      progress.bar.emplace(total, true);
      progress.run = run;
    }
    progress.bar->update(steps);
    return 0;
  }
};

// Exit status for a failed test: 2 bad option or settings, 3 library, 4 output.
int exitStatusOf(int status) {
  switch (status) {
    case CORVANTA_ENGINE_OUTPUT_FAILED:
      return 4;
    case CORVANTA_ENGINE_MODEL_FAILED:
    case CORVANTA_ENGINE_OUT_OF_MEMORY:
      return 3;
    default:
      return 2;
  }
}

}  // namespace

int runTestCommand(const std::vector<std::string> &arguments) {
  TestCommandLine line;
  try {
    line = parse(arguments);
    if (line.help) {
      printUsage();
      return 0;
    }
    if (line.list) {
      printList();
      return 0;
    }
    if (line.test.empty()) {
      throw UsageError{"name a test (corvanta-sim test --list shows them)"};
    }
    if (line.output.empty()) {
      throw UsageError{"-o DIR is required: the folder for metrics.json, the CSV and the plots"};
    }
  } catch (const UsageError &error) {
    std::fprintf(stderr, "%s: error: %s\n", kProgram, error.message.c_str());
    return 2;
  }

  // Check every option before running anything: a typo fails at once.
  const GivenOptions given(line);
  std::vector<std::string> plan;
  CorvantaEngineError error;
  if (line.test == "all") {
    if (!line.options.empty()) {
      std::fprintf(stderr, "%s: error: 'all' runs every test with its defaults and takes no test options\n", kProgram);
      return 2;
    }
    for (std::size_t test = 0; test < corvanta_test_count(); ++test) {
      plan.emplace_back(corvanta_test_name(test));
    }
  } else {
    if (corvanta_test_check(line.test.c_str(), &given.options, &error) != CORVANTA_ENGINE_OK) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, error.message);
      return 2;
    }
    plan.push_back(line.test);
  }

  // The built-in car (or the --vehicle file's) of the vehicle library, or the seven
  // functions of the --lib library.
  std::optional<tools::CorvantaLibrary> library;
  VehicleHandle vehicle;
  CorvantaModelFunctions model{};
  if (!line.vehicle.empty()) {
    if (!line.library.empty()) {
      std::fprintf(stderr,
                   "%s: error: --vehicle needs the vehicle library's model; --lib names a library with the "
                   "seven functions only\n",
                   kProgram);
      return 2;
    }
    std::string problem;
    vehicle = loadVehicle(line.vehicle, problem);
    if (!vehicle) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, problem.c_str());
      return 2;
    }
  }
  if (line.library.empty()) {
    model = vehicleModelFunctions(vehicle.get());
  } else {
    try {
      library.emplace(tools::CorvantaLibrary::open(line.library));
    } catch (const tools::LibraryError &failure) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, failure.what());
      return 3;
    }
    model = libraryModelFunctions(library->api());
  }

  std::vector<ResultHandle> results;
  for (const std::string &test : plan) {
    RunProgress progress;
    CorvantaTestRunOptions options = plan.size() == 1 ? given.options : CorvantaTestRunOptions{};
    if (!line.quiet && ProgressBar::standardErrorIsTerminal()) {
      options.on_progress = RunProgress::update;
      options.progress_user = &progress;
    }
    ResultHandle result(corvanta_test_run(test.c_str(), &options, &model, &error));
    if (progress.bar) {
      progress.bar->finish();
    }
    if (!result) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, error.message);
      return exitStatusOf(error.status);
    }
    const std::string folder =
        plan.size() == 1 ? line.output : (std::filesystem::u8path(line.output) / test).u8string();
    if (corvanta_test_result_write(result.get(), folder.c_str(), line.every, &error) != CORVANTA_ENGINE_OK) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, error.message);
      return exitStatusOf(error.status);
    }
    if (!line.quiet) {
      std::printf("%s  -> %s\n", corvanta_test_result_summary(result.get()), folder.c_str());
      std::fflush(stdout);
    }
    results.push_back(std::move(result));
  }
  if (plan.size() > 1) {
    std::vector<const CorvantaTestResult *> all;
    for (const ResultHandle &result : results) {
      all.push_back(result.get());
    }
    const std::string report = (std::filesystem::u8path(line.output) / "report.md").u8string();
    if (corvanta_test_write_report(all.data(), all.size(), report.c_str(), &error) != CORVANTA_ENGINE_OK) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, error.message);
      return exitStatusOf(error.status);
    }
    if (!line.quiet) {
      std::printf("report: %s\n", report.c_str());
    }
  }
  return 0;
}

}  // namespace corvanta::sim
