#include "engine/sweep/ScenarioPath.h"

#include <array>
#include <string_view>
#include <utility>

#include "capi/corvanta.h"
#include "engine/running/Schedule.h"

namespace corvanta::sweep {

namespace {

// The input names are the engine's one table of them (engine/running/Schedule.h).
bool isInputName(std::string_view name) { return engine::findInput(name).has_value(); }

std::string inputNameList() { return engine::listOfInputNames(); }

std::vector<std::string> splitAtDots(const std::string &text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find('.', start);
    parts.push_back(text.substr(start, dot - start));
    if (dot == std::string::npos) {
      return parts;
    }
    start = dot + 1;
  }
}

// An array index as written in a path: digits, no sign, no leading zero.
std::optional<std::size_t> indexOf(const std::string &part) {
  if (part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string::npos ||
      (part.size() > 1 && part[0] == '0')) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(std::stoul(part));
}

std::string joined(const std::vector<std::string> &parts, std::size_t count) {
  std::string text;
  for (std::size_t index = 0; index < count; ++index) {
    text += (index == 0 ? "" : ".") + parts[index];
  }
  return text;
}

// Objects whose keys are input names, so that an input the base leaves at 0 may be varied.
bool holdsInputs(const std::vector<std::string> &parts, std::size_t parentLength) {
  if (parentLength == 1) {
    return parts[0] == "inputs";
  }
  return parentLength == 3 && parts[0] == "events" && (parts[2] == "set" || parts[2] == "ramp");
}

}  // namespace

ScenarioPath ScenarioPath::resolve(const std::string &text, const Json &base, std::string &error) {
  ScenarioPath path;
  path.text_ = text;
  if (text.rfind("vehicle.", 0) == 0) {
    path.vehicleParameter_ = text.substr(8);
    const auto vehicle = base.find("vehicle");
    if (path.vehicleParameter_.empty() || path.vehicleParameter_.front() == '.' ||
        path.vehicleParameter_.back() == '.') {
      error =
          "unknown path: expected vehicle.NAME with a parameter name (vehicle.VehicleMass, "
          "vehicle.FrontTyre.PDY1)";
    } else if (vehicle != base.end() && !vehicle->is_string() && !vehicle->is_object()) {
      error = "unknown path: the base's vehicle is " + describeJson(*vehicle) + ", not a file or a vehicle object";
    } else if (vehicle != base.end() && vehicle->is_object() && vehicle->contains("parameters") &&
               !(*vehicle)["parameters"].is_object()) {
      error = "unknown path: the base's vehicle.parameters is not an object";
    }
    return path;
  }
  const std::vector<std::string> parts = splitAtDots(text);
  const Json *node = &base;
  for (std::size_t depth = 0; depth < parts.size(); ++depth) {
    const std::string &part = parts[depth];
    const bool last = depth + 1 == parts.size();
    const std::string where = joined(parts, depth + 1);
    if (part.empty()) {
      error = "unknown path: empty name between dots";
      return path;
    }
    if (node->is_array()) {
      const std::optional<std::size_t> index = indexOf(part);
      if (!index) {
        error = "unknown path: " + joined(parts, depth) + " is a list; expected an index 0, 1, ... for '" + part + "'";
        return path;
      }
      if (*index >= node->size()) {
        error = "unknown path: " + where + ": the base " + joined(parts, depth) + " has " +
                std::to_string(node->size()) + (node->size() == 1 ? " element" : " elements");
        return path;
      }
      path.segments_.push_back(Segment{std::string(), index});
      node = &(*node)[*index];
      continue;
    }
    if (!node->is_object()) {
      error = "unknown path: " + joined(parts, depth) + " is not an object or a list";
      return path;
    }
    path.segments_.push_back(Segment{part, std::nullopt});
    const auto member = node->find(part);
    if (member != node->end()) {
      node = &*member;
      continue;
    }
    // A missing top-level "inputs" object stands for an empty one.
    const bool missingInputs = depth == 0 && part == "inputs" && parts.size() == 2;
    if (missingInputs) {
      static const Json kEmptyObject = Json::object();
      node = &kEmptyObject;
      continue;
    }
    if (last && holdsInputs(parts, depth)) {
      if (isInputName(part)) {
        return path;  // an input at its default, created when applied
      }
      error = "unknown path: '" + part + "' is not an input; expected " + inputNameList();
      return path;
    }
    error = "unknown path: the base scenario has no " + where;
    return path;
  }
  if (!node->is_number()) {
    error = "unknown path: " + text + " is " + describeJson(*node) + " in the base, not a number";
  }
  return path;
}

void ScenarioPath::apply(Json &scenario, double value) const {
  if (!vehicleParameter_.empty()) {
    Json &vehicle = scenario["vehicle"];
    if (vehicle.is_null()) {
      vehicle = Json::object();
    } else if (vehicle.is_string()) {
      Json changes = Json::object();
      changes["base"] = vehicle;
      vehicle = std::move(changes);
    }
    vehicle["parameters"][vehicleParameter_] = value;
    return;
  }
  Json *node = &scenario;
  for (const Segment &segment : segments_) {
    node = segment.index ? &(*node)[*segment.index] : &(*node)[segment.key];
  }
  *node = value;
}

}  // namespace corvanta::sweep
