// Replays a command stream (format: tests/data/conformance/README.md) through the model
// linked into this program and prints every recorded output record in the format of the
// conformance pack's expected files: the WebAssembly counterpart of corvanta_replay, run
// under Node with the host's file system (-sNODERAWFS).
//
//   node corvanta_wasm_replay.js STREAM
//
// Exit status 0 on success, 2 on unreadable input.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "tests/conformance/CommandStream.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: corvanta_wasm_replay STREAM\n");
    return 2;
  }
  std::ifstream stream(argv[1]);
  if (!stream) {
    std::fprintf(stderr, "corvanta_wasm_replay: cannot open %s\n", argv[1]);
    return 2;
  }
  corvanta::tools::CorvantaApi api;
  api.CreateVehicleModel = CreateVehicleModel;
  api.DeleteVehicleModel = DeleteVehicleModel;
  api.Initialize = Initialize;
  api.SetInputs = SetInputs;
  api.Step = Step;
  api.GetOutputs = GetOutputs;
  api.Terminate = Terminate;
  std::vector<corvanta::conformance::OutputRecord> records;
  const std::string problem = corvanta::conformance::replay(stream, argv[1], api, records);
  if (!problem.empty()) {
    std::fprintf(stderr, "corvanta_wasm_replay: %s\n", problem.c_str());
    return 2;
  }
  corvanta::conformance::writeRecords(stdout, records);
  return std::fflush(stdout) == 0 ? 0 : 2;
}
