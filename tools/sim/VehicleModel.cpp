#include "VehicleModel.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "corvanta_vehicle.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace corvanta::sim {

CorvantaModelFunctions vehicleModelFunctions() {
  const CorvantaInstanceFunctions &f = *corvanta_instance_functions();
  CorvantaModelFunctions model{};
  model.CreateVehicleModel = f.create;
  model.DeleteVehicleModel = f.free;
  model.Initialize = f.initialize;
  model.SetInputs = f.set_inputs;
  model.Step = f.step;
  model.GetOutputs = f.outputs;
  model.Terminate = f.terminate;
  model.Signals = f.signals;
  model.InitialSignals = f.initial_signals;
  return model;
}

std::string vehicleLibraryPath() {
#if defined(_WIN32)
  HMODULE module = nullptr;
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(reinterpret_cast<void *>(&corvanta_instance_functions)),
                         &module) == 0) {
    return "";
  }
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return length > 0 ? std::string(path, length) : std::string();
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void *>(&corvanta_instance_functions), &info) == 0 || info.dli_fname == nullptr) {
    return "";
  }
  // The loader reports the path as it found it (through the RPATH: bin/../lib/...); the
  // summary names its folder without the detour, and the file by the name it was loaded by.
  const std::filesystem::path loaded(info.dli_fname);
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::weakly_canonical(loaded.parent_path(), error);
  return error ? loaded.string() : (folder / loaded.filename()).string();
#endif
}

std::optional<std::string> parseSignalColumns(const std::string &text, std::vector<int> &columns) {
  columns.clear();
  if (text == "all") {
    for (int index = CORVANTA_NUM_OUTPUTS; index < CORVANTA_NUM_SIGNALS; ++index) {
      columns.push_back(index);
    }
    return std::nullopt;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string name = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (name.empty()) {
      return std::string("--signals: an empty name in '") + text + "'; expected 'all' or names separated by commas";
    }
    const int index = corvanta_signal_index(name.c_str());
    if (index < 0) {
      std::string known;
      for (std::size_t k = CORVANTA_NUM_OUTPUTS; k < corvanta_signal_count(); ++k) {
        known += (known.empty() ? "" : ", ") + std::string(corvanta_signal_name(k));
      }
      return "--signals: unknown signal '" + name + "'; the signals are " + known + " (docs/signals.md)";
    }
    if (std::find(columns.begin(), columns.end(), index) != columns.end()) {
      return "--signals: '" + name + "' is named twice";
    }
    if (index >= CORVANTA_NUM_OUTPUTS) {
      columns.push_back(index);
    }
    if (comma == std::string::npos) {
      return std::nullopt;
    }
    start = comma + 1;
  }
}

}  // namespace corvanta::sim
