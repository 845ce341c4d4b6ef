// Replays a command stream (format: tests/data/conformance/README.md) through a Corvanta
// library that it loads at run time and binds by name, the way a host program does, and
// prints every recorded output record as a line
//
//   STEPS HEX0 ... HEX6
//
// (the step count since `create`, then the seven outputs as 16-hex-digit bit patterns),
// the format of the conformance pack's expected files.
//
//   corvanta_replay LIBRARY STREAM
//
// LIBRARY is a path or file name given to dlopen() / LoadLibraryA().  Exit status 0 on
// success, 2 on unreadable input or a library that lacks one of the seven functions.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "corvanta.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

struct Library {
  CreateVehicleModelTYPE create = nullptr;
  DeleteVehicleModelTYPE destroy = nullptr;
  InitializeTYPE initialize = nullptr;
  SetInputsTYPE setInputs = nullptr;
  StepTYPE step = nullptr;
  GetOutputsTYPE getOutputs = nullptr;
  TerminateTYPE terminate = nullptr;
};

#if defined(_WIN32)
using Handle = HMODULE;
Handle openLibrary(const char *path) { return LoadLibraryA(path); }
void *symbol(Handle library, const char *name) {
  // GetProcAddress returns a generic function pointer; go through void* like dlsym.
  FARPROC address = GetProcAddress(library, name);
  void *pointer = nullptr;
  static_assert(sizeof pointer == sizeof address, "function and data pointers differ in size");
  std::memcpy(&pointer, &address, sizeof pointer);
  return pointer;
}
void closeLibrary(Handle library) { FreeLibrary(library); }
#else
using Handle = void *;
Handle openLibrary(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
void *symbol(Handle library, const char *name) { return dlsym(library, name); }
void closeLibrary(Handle library) { dlclose(library); }
#endif

template <typename Function>
bool bind(Handle library, const char *name, Function &function) {
  void *address = symbol(library, name);
  if (address == nullptr) {
    std::fprintf(stderr, "corvanta_replay: the library does not export %s\n", name);
    return false;
  }
  std::memcpy(&function, &address, sizeof function);
  return true;
}

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

int fail(const std::string &message) {
  std::fprintf(stderr, "corvanta_replay: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    return fail("usage: corvanta_replay LIBRARY STREAM");
  }
  Handle handle = openLibrary(argv[1]);
  if (handle == nullptr) {
    return fail(std::string("cannot load ") + argv[1]);
  }
  Library lib;
  if (!(bind(handle, "CreateVehicleModel", lib.create) && bind(handle, "DeleteVehicleModel", lib.destroy) &&
        bind(handle, "Initialize", lib.initialize) && bind(handle, "SetInputs", lib.setInputs) &&
        bind(handle, "Step", lib.step) && bind(handle, "GetOutputs", lib.getOutputs) &&
        bind(handle, "Terminate", lib.terminate))) {
    return 2;
  }
  std::ifstream stream(argv[2]);
  if (!stream) {
    return fail(std::string("cannot open ") + argv[2]);
  }

  void *model = nullptr;
  CorvantaInputs inputs{};
  unsigned long long steps = 0;
  std::string line;
  int lineNumber = 0;
  while (std::getline(stream, line)) {
    ++lineNumber;
    std::istringstream words(line);
    std::string command;
    if (!(words >> command)) {
      continue;
    }
    const std::string where = std::string(argv[2]) + ":" + std::to_string(lineNumber) + ": ";
    if (command == "create") {
      lib.destroy(model);
      model = lib.create();
      if (model == nullptr) {
        return fail(where + "CreateVehicleModel returned NULL");
      }
      inputs = CorvantaInputs{};
      steps = 0;
    } else if (command == "set") {
      if (model == nullptr) {
        return fail(where + "'set' before 'create'");
      }
      int index = -1;
      std::string hex;
      if (!(words >> index >> hex) || index < 0 || index >= CORVANTA_NUM_INPUTS || hex.rfind("0x", 0) != 0) {
        return fail(where + "expected 'set INDEX 0xBITS' with INDEX 0..7");
      }
      double *fields = &inputs.AccelerationDemand;
      fields[index] = fromBits(std::stoull(hex, nullptr, 16));
      lib.setInputs(model, &inputs);
    } else if (command == "init") {
      if (model == nullptr) {
        return fail(where + "'init' before 'create'");
      }
      lib.initialize(model);
    } else if (command == "step") {
      unsigned long long count = 0;
      unsigned long long every = 0;
      if (!(words >> count >> every) || every == 0) {
        return fail(where + "expected 'step N EVERY' with EVERY > 0");
      }
      if (model == nullptr) {
        return fail(where + "'step' before 'create'");
      }
      const CorvantaOutputs *y = lib.getOutputs(model);
      for (unsigned long long k = 1; k <= count; ++k) {
        lib.step(model);
        ++steps;
        if (k % every == 0) {
          const double values[CORVANTA_NUM_OUTPUTS] = {y->PositionX,  y->PositionY, y->Heading,
                                                       y->LongitudinalSpeed, y->PitchAngle, y->RollAngle,
                                                       y->TipOverIndicator};
          std::printf("%llu", steps);
          for (double value : values) {
            std::printf(" %016" PRIx64, bitsOf(value));
          }
          std::printf("\n");
        }
      }
    } else {
      return fail(where + "unknown command '" + command + "'");
    }
  }
  lib.terminate(model);
  lib.destroy(model);
  closeLibrary(handle);
  return std::fflush(stdout) == 0 ? 0 : 2;
}
