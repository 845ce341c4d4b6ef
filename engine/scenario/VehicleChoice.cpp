// ScenarioFile.h first, in a block of its own (so that sorting keeps it there): its
// enumerator Json would otherwise shadow the document type.
#include "engine/scenario/ScenarioFile.h"

#include "engine/scenario/VehicleChoice.h"

#include <memory>
#include <vector>

#include "engine/messages/ScenarioError.h"
#include "engine/running/Runner.h"

namespace corvanta::engine {

namespace {

namespace fs = std::filesystem;

// Vehicle files are small; a larger file is not one.
constexpr std::uint64_t kMaxVehicleBytes = std::uint64_t{16} << 20;

void resolvePath(Json &value, const fs::path &directory) {
  if (!value.is_string() || directory.empty()) {
    return;
  }
  const fs::path path = fs::u8path(value.get<std::string>());
  if (!path.empty() && path.is_relative()) {
    value = (directory / path).lexically_normal().u8string();
  }
}

// The tyre files of a vehicle document: "tyre": "file.tir" or {"front": ..., "rear": ...}.
void resolveTyrePaths(Json &document, const fs::path &directory) {
  if (!document.is_object()) {
    return;
  }
  const auto tyre = document.find("tyre");
  if (tyre == document.end()) {
    return;
  }
  if (tyre->is_object()) {
    for (const char *axle : {"front", "rear"}) {
      if (const auto file = tyre->find(axle); file != tyre->end()) {
        resolvePath(*file, directory);
      }
    }
  } else {
    resolvePath(*tyre, directory);
  }
}

std::string directoryOf(const std::string &file) {
  const fs::path folder = fs::u8path(file).parent_path();
  return folder.empty() ? std::string(".") : folder.u8string();
}

struct VehicleFree {
  const CorvantaModelFunctions *model;
  void operator()(void *vehicle) const { model->FreeVehicle(vehicle); }
};
using VehicleHandle = std::unique_ptr<void, VehicleFree>;

VehicleHandle parse(const CorvantaModelFunctions &model, const std::string &text, const std::string &directory,
                    const std::string &source) {
  std::vector<char> error(8192, '\0');
  void *vehicle =
      model.ParseVehicle(text.data(), text.size(), directory.c_str(), source.c_str(), error.data(), error.size());
  if (vehicle == nullptr) {
    std::string message(error.data());
    while (!message.empty() && message.back() == '\n') {
      message.pop_back();
    }
    throw ScenarioError::plain(message.empty() ? source + ": the vehicle cannot be read" : message);
  }
  return VehicleHandle(vehicle, VehicleFree{&model});
}

// The document the scenario's changes apply to: the file's, or the model functions' set.
Json startingDocument(const CorvantaModelFunctions &model, const VehicleChoice &vehicle) {
  if (!vehicle.file.empty()) {
    Json document = parseJsonDocument(readTextFile(vehicle.file, kMaxVehicleBytes), vehicle.file);
    resolveTyrePaths(document, fs::u8path(directoryOf(vehicle.file)));
    return document;
  }
  if (model.VehicleToJson == nullptr) {
    throw ModelError(
        "the scenario changes parameters of the host's vehicle, and the model functions have no "
        "VehicleToJson");
  }
  const std::size_t length = model.VehicleToJson(model.Vehicle, nullptr, 0);
  std::string text(length + 1, '\0');
  model.VehicleToJson(model.Vehicle, text.data(), text.size());
  text.resize(length);
  return parseJsonDocument(text, "the host's vehicle");
}

// The scenario's inline document over the starting one: its "parameters" one by one, its
// other keys (name, description, tyre) in place of the starting document's.
std::string mergedDocument(const CorvantaModelFunctions &model, const VehicleChoice &vehicle) {
  Json document = startingDocument(model, vehicle);
  const Json changes = parseJsonDocument(vehicle.document, vehicle.source);
  if (!document.is_object() || !changes.is_object()) {
    throw ScenarioError::forSource(vehicle.source, "a vehicle is a JSON object");
  }
  for (const auto &item : changes.items()) {
    if (item.key() == "parameters" && item.value().is_object()) {
      Json &parameters = document["parameters"];
      if (!parameters.is_object()) {
        parameters = Json::object();
      }
      for (const auto &parameter : item.value().items()) {
        parameters[parameter.key()] = parameter.value();
      }
    } else {
      document[item.key()] = item.value();
    }
  }
  return document.dump(2);
}

}  // namespace

void resolveVehiclePaths(Json &vehicle, const fs::path &directory) {
  if (vehicle.is_string()) {
    resolvePath(vehicle, directory);
  } else if (vehicle.is_object()) {
    if (const auto base = vehicle.find("base"); base != vehicle.end()) {
      resolvePath(*base, directory);
    }
    resolveTyrePaths(vehicle, directory);
  }
}

VehicleChoice readVehicleChoice(const Json &vehicle, const std::string &source, const std::string &path) {
  VehicleChoice choice;
  if (vehicle.is_string()) {
    choice.file = vehicle.get<std::string>();
    if (choice.file.empty()) {
      throw ScenarioError::atPath(source, path, "an empty path; expected a vehicle file or a vehicle object");
    }
    choice.source = choice.file;
    return choice;
  }
  if (!vehicle.is_object()) {
    throw ScenarioError::atPath(source, path,
                                "expected the path of a vehicle file or a vehicle object ({\"parameters\": {...}})");
  }
  Json document = vehicle;
  if (const auto base = document.find("base"); base != document.end()) {
    if (!base->is_string() || base->get<std::string>().empty()) {
      throw ScenarioError::atPath(source, childPath(path, "base"), "expected the path of a vehicle file");
    }
    choice.file = base->get<std::string>();
    document.erase("base");
  }
  choice.document = document.dump(2);
  choice.source = source + ": " + path;
  return choice;
}

void *createInstance(const CorvantaModelFunctions &model, const VehicleChoice *vehicle) {
  void *handle = nullptr;
  if (vehicle == nullptr) {
    if (model.Vehicle == nullptr) {
      return model.CreateVehicleModel();
    }
    if (model.CreateFromVehicle == nullptr) {
      throw ModelError("the model functions name a Vehicle but have no CreateFromVehicle");
    }
    handle = model.CreateFromVehicle(model.Vehicle);
  } else {
    if (model.ParseVehicle == nullptr || model.FreeVehicle == nullptr || model.CreateFromVehicle == nullptr) {
      throw ModelError(
          "the scenario names a vehicle, and this model library simulates the built-in car only (a "
          "library with the seven functions alone cannot take a parameter set)");
    }
    VehicleHandle set = vehicle->document.empty() ? parse(model, readTextFile(vehicle->file, kMaxVehicleBytes),
                                                          directoryOf(vehicle->file), vehicle->file)
                        : (vehicle->file.empty() && model.Vehicle == nullptr)
                            ? parse(model, vehicle->document, ".", vehicle->source)
                            : parse(model, mergedDocument(model, *vehicle), ".", vehicle->source);
    handle = model.CreateFromVehicle(set.get());
  }
  if (handle == nullptr) {
    throw ModelError("CreateFromVehicle returned NULL (out of memory)");
  }
  return handle;
}

}  // namespace corvanta::engine
