// Replays a conformance command stream through the seven C functions and compares every
// recorded output with the expected bit patterns (any NaN matches any NaN).
//
//   conformance_runner RUNS.txt EXPECTED.txt [--dump]
//
// Exit status 0 when every line matches, 1 on the first mismatch (reported with its line,
// step count, output name and both bit patterns), 2 on unreadable input.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "corvanta.h"

namespace {

const char *const kOutputNames[CORVANTA_NUM_OUTPUTS] = {
#define CORVANTA_NAME(name, unit, text) #name,
    CORVANTA_OUTPUT_FIELDS(CORVANTA_NAME)
#undef CORVANTA_NAME
};

std::uint64_t bitsOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

struct Record {
  unsigned long long steps;
  double outputs[CORVANTA_NUM_OUTPUTS];
};

int usageError(const std::string &message) {
  std::cerr << "conformance_runner: " << message << "\n";
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3 || argc > 4) {
    return usageError("usage: conformance_runner RUNS.txt EXPECTED.txt [--dump]");
  }
  const bool dump = argc == 4 && std::strcmp(argv[3], "--dump") == 0;
  std::ifstream runs(argv[1]);
  if (!runs) {
    return usageError(std::string("cannot open ") + argv[1]);
  }

  // Replay.
  std::vector<Record> actual;
  void *model = nullptr;
  ExtU_Corvanta_T inputs{};
  unsigned long long steps = 0;
  std::string line;
  int lineNumber = 0;
  while (std::getline(runs, line)) {
    ++lineNumber;
    std::istringstream words(line);
    std::string command;
    if (!(words >> command)) {
      continue;
    }
    const std::string where = std::string(argv[1]) + ":" + std::to_string(lineNumber) + ": ";
    if (command == "create") {
      DeleteVehicleModel(model);
      model = CreateVehicleModel();
      inputs = ExtU_Corvanta_T{};
      steps = 0;
    } else if (command == "set") {
      int index = -1;
      std::string hex;
      if (!(words >> index >> hex) || index < 0 || index >= CORVANTA_NUM_INPUTS) {
        return usageError(where + "expected 'set INDEX 0xBITS' with INDEX 0..7");
      }
      reinterpret_cast<double *>(&inputs)[index] = fromBits(std::stoull(hex, nullptr, 16));
      SetInputs(model, &inputs);
    } else if (command == "init") {
      Initialize(model);
    } else if (command == "step") {
      unsigned long long count = 0;
      unsigned long long every = 0;
      if (!(words >> count >> every) || every == 0) {
        return usageError(where + "expected 'step N EVERY' with EVERY > 0");
      }
      for (unsigned long long k = 1; k <= count; ++k) {
        Step(model);
        ++steps;
        if (k % every == 0) {
          Record record{};
          record.steps = steps;
          std::memcpy(record.outputs, GetOutputs(model), sizeof record.outputs);
          actual.push_back(record);
        }
      }
    } else {
      return usageError(where + "unknown command '" + command + "'");
    }
  }
  DeleteVehicleModel(model);

  if (dump) {
    for (const Record &record : actual) {
      std::printf("%llu", record.steps);
      for (double value : record.outputs) {
        std::printf(" %016" PRIx64, bitsOf(value));
      }
      std::printf("\n");
    }
  }

  // Compare.
  std::ifstream expected(argv[2]);
  if (!expected) {
    return usageError(std::string("cannot open ") + argv[2]);
  }
  std::size_t row = 0;
  lineNumber = 0;
  while (std::getline(expected, line)) {
    ++lineNumber;
    std::istringstream words(line);
    unsigned long long steps_ = 0;
    if (!(words >> steps_)) {
      continue;
    }
    if (row >= actual.size()) {
      std::cerr << argv[2] << ":" << lineNumber << ": expected a record after step " << steps_
                << ", the run recorded only " << actual.size() << "\n";
      return 1;
    }
    const Record &record = actual[row++];
    if (record.steps != steps_) {
      std::cerr << argv[2] << ":" << lineNumber << ": expected step " << steps_ << ", the run recorded step "
                << record.steps << "\n";
      return 1;
    }
    for (int k = 0; k < CORVANTA_NUM_OUTPUTS; ++k) {
      std::string hex;
      if (!(words >> hex)) {
        return usageError(std::string(argv[2]) + ":" + std::to_string(lineNumber) + ": expected 7 outputs");
      }
      const double want = fromBits(std::stoull(hex, nullptr, 16));
      const double got = record.outputs[k];
      const bool same = (std::isnan(want) && std::isnan(got)) || bitsOf(want) == bitsOf(got);
      if (!same) {
        std::fprintf(stderr, "%s:%d: step %llu, %s: expected %016" PRIx64 " (%.17g), got %016" PRIx64 " (%.17g)\n",
                     argv[2], lineNumber, steps_, kOutputNames[k], bitsOf(want), want, bitsOf(got), got);
        return 1;
      }
    }
  }
  if (row != actual.size()) {
    std::cerr << argv[2] << ": the run recorded " << actual.size() << " outputs, " << row << " expected\n";
    return 1;
  }
  std::printf("%s: %zu records match\n", argv[1], row);
  return 0;
}
