#include "tools/sim/VehicleModel.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "vehicle/corvanta_vehicle.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace corvanta::sim {

namespace {

void *createFromVehicle(const void *vehicle) {
  return corvanta_instance_create(static_cast<const CorvantaVehicle *>(vehicle));
}
void *parseVehicle(const char *json, size_t length, const char *directory, const char *source, char *error,
                   size_t size) {
  return corvanta_vehicle_parse(json, length, directory, source, error, size);
}
size_t vehicleToJson(const void *vehicle, char *buffer, size_t size) {
  return corvanta_vehicle_to_json(static_cast<const CorvantaVehicle *>(vehicle), buffer, size);
}
void freeVehicle(void *vehicle) { corvanta_vehicle_free(static_cast<CorvantaVehicle *>(vehicle)); }

}  // namespace

CorvantaModelFunctions vehicleModelFunctions(const CorvantaVehicle *vehicle) {
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
  model.Vehicle = vehicle;
  model.CreateFromVehicle = createFromVehicle;
  model.ParseVehicle = parseVehicle;
  model.VehicleToJson = vehicleToJson;
  model.FreeVehicle = freeVehicle;
  return model;
}

CorvantaModelFunctions libraryModelFunctions(const tools::CorvantaApi &api) {
  CorvantaModelFunctions model{};
  model.CreateVehicleModel = api.CreateVehicleModel;
  model.DeleteVehicleModel = api.DeleteVehicleModel;
  model.Initialize = api.Initialize;
  model.SetInputs = api.SetInputs;
  model.Step = api.Step;
  model.GetOutputs = api.GetOutputs;
  model.Terminate = api.Terminate;
  return model;
}

VehicleHandle loadVehicle(const std::string &path, std::string &error) {
  std::vector<char> text(16384, '\0');
  VehicleHandle vehicle(corvanta_vehicle_load(path.c_str(), text.data(), text.size()));
  error = vehicle ? std::string() : std::string(text.data());
  while (!error.empty() && error.back() == '\n') {
    error.pop_back();
  }
  if (!vehicle && error.empty()) {
    error = path + ": the vehicle file cannot be read";
  }
  return vehicle;
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
