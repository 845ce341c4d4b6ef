#include "tools/sim/TestCommand.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#include "tools/common/CorvantaLibrary.h"
#include "engine/driving/Path.h"
#include "tools/sim/ProgressBar.h"
#include "engine/running/Runner.h"
#include "engine/testsuite/StandardTests.h"
#include "engine/testsuite/TestOutput.h"
#include "tools/sim/VehicleModel.h"

namespace corvanta::sim {

namespace {

namespace ts = corvanta::testsuite;

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
      "--vehicle FILE runs the vehicle of a vehicle file (docs/vehicle-parameters.md) instead of the built-in car.\n"
      "Metric definitions: docs/standard-tests.md.  Exit status: 0 success, 2 bad usage or option,\n"
      "3 library missing or unusable, 4 an output file could not be written.\n");
}

void printList() {
  for (const ts::TestDefinition &test : ts::standardTests()) {
    std::printf("%s: %s\n", test.name.c_str(), test.summary.c_str());
    for (const ts::TestOption &option : test.options) {
      std::printf("  --%-14s %-10s %s (default %s, %s to %s)\n", option.name.c_str(), option.unit.c_str(),
                  option.help.c_str(), driving::shortestText(option.value).c_str(),
                  driving::shortestText(option.min).c_str(), driving::shortestText(option.max).c_str());
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
    } else if (argument.rfind("-", 0) == 0 && argument.size() > 1 &&
               !(argument[1] >= '0' && argument[1] <= '9')) {
      throw UsageError{"unknown option '" + argument + "'"};
    } else if (line.test.empty()) {
      line.test = argument;
    } else {
      throw UsageError{"unexpected argument '" + argument + "' (one test name only)"};
    }
  }
  return line;
}

tools::CorvantaLibrary openLibrary(const TestCommandLine &line, const std::string &buildTreeLibrary) {
  if (!line.library.empty()) {
    return tools::CorvantaLibrary::open(line.library);
  }
  return tools::CorvantaLibrary::openFirstAvailable(
      tools::defaultLibraryCandidates(tools::executableDirectory(), buildTreeLibrary), tools::libraryFileName());
}

ts::TestResult runOne(const ts::TestDefinition &test, const ts::OptionValues &options,
                      const CorvantaModelFunctions &model, bool quiet) {
  std::optional<ProgressBar> progress;
  std::uint64_t last = 0;
  ts::TestContext context{model, nullptr};
  if (!quiet && ProgressBar::standardErrorIsTerminal()) {
    // One bar per run; a test with several runs shows them one after the other.
    context.progress = [&](std::uint64_t steps, std::uint64_t total) {
      if (steps < last || !progress) {
        if (progress) {
          progress->finish();
        }
        progress.emplace(total, true);
      }
      last = steps;
      progress->update(steps);
    };
  }
  ts::TestResult result = ts::runStandardTest(test, options, context);
  if (progress) {
    progress->finish();
  }
  return result;
}

}  // namespace

int runTestCommand(const std::vector<std::string> &arguments, const std::string &buildTreeLibrary) {
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

  // Resolve every option before running anything: a typo fails at once.
  std::vector<std::pair<const ts::TestDefinition *, ts::OptionValues>> plan;
  try {
    if (line.test == "all") {
      if (!line.options.empty()) {
        throw ts::TestOptionError("'all' runs every test with its defaults and takes no test options");
      }
      for (const ts::TestDefinition &test : ts::standardTests()) {
        plan.emplace_back(&test, ts::resolveOptions(test, {}));
      }
    } else {
      const ts::TestDefinition &test = ts::findTest(line.test);
      plan.emplace_back(&test, ts::resolveOptions(test, line.options));
    }
  } catch (const ts::TestOptionError &error) {
    std::fprintf(stderr, "%s: error: %s\n", kProgram, error.what());
    return 2;
  }

  std::optional<tools::CorvantaLibrary> library;
  VehicleHandle vehicle;
  CorvantaModelFunctions model{};
  if (!line.vehicle.empty()) {
    if (!line.library.empty()) {
      std::fprintf(stderr, "%s: error: --vehicle needs the vehicle library's model; --lib names a library with the "
                           "seven functions only\n", kProgram);
      return 2;
    }
    std::string problem;
    vehicle = loadVehicle(line.vehicle, problem);
    if (!vehicle) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, problem.c_str());
      return 2;
    }
    model = vehicleModelFunctions(vehicle.get());
  } else {
    try {
      library.emplace(openLibrary(line, buildTreeLibrary));
    } catch (const tools::LibraryError &error) {
      std::fprintf(stderr, "%s: error: %s\n", kProgram, error.what());
      return 3;
    }
    model = libraryModelFunctions(library->api());
  }

  std::vector<ts::TestResult> results;
  try {
    for (const auto &[test, options] : plan) {
      ts::TestResult result = runOne(*test, options, model, line.quiet);
      const std::string folder =
          plan.size() == 1 ? line.output : (std::filesystem::u8path(line.output) / test->name).u8string();
      ts::writeTestOutput(result, folder, line.every);
      if (!line.quiet) {
        std::printf("%s  -> %s\n", ts::metricsTable(result).c_str(), folder.c_str());
        std::fflush(stdout);
      }
      results.push_back(std::move(result));
    }
    if (plan.size() > 1) {
      const std::string report = (std::filesystem::u8path(line.output) / "report.md").u8string();
      ts::writeFileAtomically(report, ts::markdownReport(results));
      if (!line.quiet) {
        std::printf("report: %s\n", report.c_str());
      }
    }
  } catch (const ts::TestOptionError &error) {
    std::fprintf(stderr, "%s: error: %s\n", kProgram, error.what());
    return 2;
  } catch (const driving::DrivingError &error) {
    std::fprintf(stderr, "%s: error: %s\n", kProgram, error.what());
    return 2;
  } catch (const ts::OutputError &error) {
    std::fprintf(stderr, "%s: error: %s\n", kProgram, error.what());
    return 4;
  } catch (const engine::ModelError &error) {
    std::fprintf(stderr, "%s: error: %s\n", kProgram, error.what());
    return 3;
  }
  return 0;
}

}  // namespace corvanta::sim
