#include "engine/testsuite/VehicleParameter.h"

#include <memory>
#include <vector>

#include <nlohmann/json.hpp>

namespace corvanta::testsuite {

namespace {

std::optional<std::string> setText(const CorvantaModelFunctions &model, const void *vehicle) {
  const std::size_t length = model.VehicleToJson(vehicle, nullptr, 0);
  if (length == 0) {
    return std::nullopt;
  }
  std::vector<char> text(length + 1);
  if (model.VehicleToJson(vehicle, text.data(), text.size()) != length) {
    return std::nullopt;
  }
  return std::string(text.data(), length);
}

}  // namespace

std::optional<double> vehicleParameter(const CorvantaModelFunctions &model, const std::string &name) {
  if (model.VehicleToJson == nullptr) {
    return std::nullopt;
  }
  std::optional<std::string> text;
  if (model.Vehicle != nullptr) {
    text = setText(model, model.Vehicle);
  } else if (model.ParseVehicle != nullptr && model.FreeVehicle != nullptr) {
    char error[256] = "";
    const auto release = [&model](void *vehicle) { model.FreeVehicle(vehicle); };
    const std::unique_ptr<void, decltype(release)> builtin(
        model.ParseVehicle("{}", 2, ".", "built-in car", error, sizeof error), release);
    if (builtin) {
      text = setText(model, builtin.get());
    }
  }
  if (!text) {
    return std::nullopt;
  }
  const nlohmann::json document = nlohmann::json::parse(*text, nullptr, false);
  if (!document.is_object() || !document.contains("parameters") || !document["parameters"].is_object()) {
    return std::nullopt;
  }
  const nlohmann::json &parameters = document["parameters"];
  const auto found = parameters.find(name);
  if (found == parameters.end() || !found->is_number()) {
    return std::nullopt;
  }
  return found->get<double>();
}

}  // namespace corvanta::testsuite
