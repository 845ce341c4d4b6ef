// Replays a conformance command stream through the seven C functions of the library it is
// linked with, and compares every recorded output with the expected bit patterns (any NaN
// matches any NaN).
//
//   conformance_runner RUNS.txt EXPECTED.txt [--dump]
//
// Exit status 0 when every record matches, 1 on the first mismatch (reported with its
// line, step count, output name and both bit patterns), 2 on unreadable input.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/conformance/CommandStream.h"

namespace {

using corvanta::conformance::OutputRecord;

const char *const kOutputNames[CORVANTA_NUM_OUTPUTS] = {
#define CORVANTA_NAME(name, unit, text) #name,
    CORVANTA_OUTPUT_FIELDS(CORVANTA_NAME)
#undef CORVANTA_NAME
};

int usageError(const std::string &message) {
  std::fprintf(stderr, "conformance_runner: %s\n", message.c_str());
  return 2;
}

// Reports the first record that differs; returns whether all match.
bool compare(const std::vector<OutputRecord> &expected, const std::vector<OutputRecord> &actual,
             const char *expectedName) {
  for (std::size_t row = 0; row < expected.size(); ++row) {
    if (row >= actual.size()) {
      std::fprintf(stderr, "%s: record %zu (step %llu) expected, the run recorded only %zu\n", expectedName, row + 1,
                   expected[row].steps, actual.size());
      return false;
    }
    if (expected[row].steps != actual[row].steps) {
      std::fprintf(stderr, "%s: record %zu: expected step %llu, the run recorded step %llu\n", expectedName, row + 1,
                   expected[row].steps, actual[row].steps);
      return false;
    }
    for (int k = 0; k < CORVANTA_NUM_OUTPUTS; ++k) {
      const double want = expected[row].outputs[k];
      const double got = actual[row].outputs[k];
      if (!((std::isnan(want) && std::isnan(got)) || bitsOf(want) == bitsOf(got))) {
        std::fprintf(stderr,
                     "%s: record %zu, step %llu, %s: expected %016" PRIx64 " (%.17g), got %016" PRIx64 " (%.17g)\n",
                     expectedName, row + 1, expected[row].steps, kOutputNames[k], bitsOf(want), want, bitsOf(got), got);
        return false;
      }
    }
  }
  if (actual.size() != expected.size()) {
    std::fprintf(stderr, "%s: the run recorded %zu records, %zu expected\n", expectedName, actual.size(),
                 expected.size());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4 || (argc == 4 && std::strcmp(argv[3], "--dump") != 0)) {
    return usageError("usage: conformance_runner RUNS.txt EXPECTED.txt [--dump]");
  }
  std::ifstream runs(argv[1]);
  if (!runs) {
    return usageError(std::string("cannot open ") + argv[1]);
  }
  const corvanta::tools::CorvantaApi api{CreateVehicleModel, DeleteVehicleModel, Initialize, SetInputs, Step,
                                         GetOutputs,         Terminate};
  std::vector<OutputRecord> actual;
  const std::string problem = corvanta::conformance::replay(runs, argv[1], api, actual);
  if (!problem.empty()) {
    return usageError(problem);
  }
  if (argc == 4) {
    corvanta::conformance::writeRecords(stdout, actual);
  }

  std::ifstream expectedFile(argv[2]);
  if (!expectedFile) {
    return usageError(std::string("cannot open ") + argv[2]);
  }
  std::vector<OutputRecord> expected;
  const std::string unreadable = corvanta::conformance::readRecords(expectedFile, argv[2], expected);
  if (!unreadable.empty()) {
    return usageError(unreadable);
  }
  if (!compare(expected, actual, argv[2])) {
    return 1;
  }
  std::printf("%s: %zu records match\n", argv[1], expected.size());
  return 0;
}
