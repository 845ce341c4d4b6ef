#include "tests/conformance/CommandStream.h"
#include "tests/TestSupport.h"

#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <sstream>

namespace corvanta::conformance {

namespace {

// A 64-bit pattern in hex, with or without 0x.
bool parseBits(const std::string &hex, double &value) {
  if (hex.empty()) {
    return false;
  }
  char *end = nullptr;
  const unsigned long long bits = std::strtoull(hex.c_str(), &end, 16);
  if (end == nullptr || *end != '\0') {
    return false;
  }
  value = fromBits(bits);
  return true;
}

}  // namespace

std::string replay(std::istream &in, const std::string &name, const tools::CorvantaApi &api,
                   std::vector<OutputRecord> &records) {
  void *model = nullptr;
  ExtU_Corvanta_T inputs{};
  unsigned long long steps = 0;
  std::string line;
  int lineNumber = 0;
  std::string problem;
  while (problem.empty() && std::getline(in, line)) {
    ++lineNumber;
    std::istringstream words(line);
    std::string command;
    if (!(words >> command)) {
      continue;
    }
    const std::string where = name + ":" + std::to_string(lineNumber) + ": ";
    if (command == "create") {
      api.DeleteVehicleModel(model);
      model = api.CreateVehicleModel();
      inputs = ExtU_Corvanta_T{};
      steps = 0;
      if (model == nullptr) {
        problem = where + "CreateVehicleModel returned NULL";
      }
    } else if (model == nullptr) {
      problem = where + "'" + command + "' before 'create'";
    } else if (command == "set") {
      int index = -1;
      std::string hex;
      double value = 0.0;
      if (!(words >> index >> hex) || index < 0 || index >= CORVANTA_NUM_INPUTS || !parseBits(hex, value)) {
        problem = where + "expected 'set INDEX 0xBITS' with INDEX 0..7";
      } else {
        reinterpret_cast<double *>(&inputs)[index] = value;
        api.SetInputs(model, &inputs);
      }
    } else if (command == "init") {
      api.Initialize(model);
    } else if (command == "step") {
      unsigned long long count = 0;
      unsigned long long every = 0;
      if (!(words >> count >> every) || every == 0) {
        problem = where + "expected 'step N EVERY' with EVERY > 0";
        break;
      }
      const ExtY_Corvanta_T *y = api.GetOutputs(model);
      for (unsigned long long k = 1; k <= count; ++k) {
        api.Step(model);
        ++steps;
        if (k % every == 0) {
          OutputRecord record;
          record.steps = steps;
          std::memcpy(record.outputs, y, sizeof record.outputs);
          records.push_back(record);
        }
      }
    } else {
      problem = where + "unknown command '" + command + "'";
    }
  }
  if (model != nullptr) {
    api.Terminate(model);
    api.DeleteVehicleModel(model);
  }
  return problem;
}

void writeRecords(std::FILE *out, const std::vector<OutputRecord> &records) {
  for (const OutputRecord &record : records) {
    std::fprintf(out, "%llu", record.steps);
    for (double value : record.outputs) {
      std::fprintf(out, " %016" PRIx64, bitsOf(value));
    }
    std::fprintf(out, "\n");
  }
}

std::string readRecords(std::istream &in, const std::string &name, std::vector<OutputRecord> &records) {
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    std::istringstream words(line);
    OutputRecord record;
    if (!(words >> record.steps)) {
      continue;
    }
    for (double &value : record.outputs) {
      std::string hex;
      if (!(words >> hex) || !parseBits(hex, value)) {
        return name + ":" + std::to_string(lineNumber) + ": expected a step count and 7 bit patterns";
      }
    }
    records.push_back(record);
  }
  return "";
}

}  // namespace corvanta::conformance
