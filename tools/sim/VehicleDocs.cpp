#include "tools/sim/VehicleDocs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vehicle/corvanta_vehicle.h"

namespace corvanta::sim {

namespace {

// The shortest text that reads back to the same double.
std::string shortest(double value) {
  char text[64];
  if (std::fabs(value) < 1e15 && value == std::floor(value)) {
    std::snprintf(text, sizeof text, "%.0f", value);  // whole numbers without an exponent
    return text;
  }
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtod(text, nullptr) == value) {
      break;
    }
  }
  return text;
}

std::string bounds(const CorvantaParameterInfo &info) {
  return std::string(info.lower_open ? "(" : "[") + shortest(info.lower) + ", " + shortest(info.upper) +
         (info.upper_open ? ")" : "]");
}

std::string unit(const char *text) { return std::string("`") + text + "`"; }

// "|" would end a table cell.
std::string cell(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '|') {
      out += "\\|";
    } else {
      out += c;
    }
  }
  return out;
}

std::string tableRange(const CorvantaVehicle *builtin, const CorvantaParameterInfo &info) {
  std::vector<double> values(info.count);
  if (corvanta_vehicle_get(builtin, info.name, values.data(), values.size(), nullptr) != CORVANTA_VEHICLE_OK ||
      values.empty()) {
    return "?";
  }
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  if (info.count <= 8) {
    std::string all;
    for (double v : values) {
      all += (all.empty() ? "" : ", ") + shortest(v);
    }
    return all;
  }
  return shortest(*low) + " .. " + shortest(*high);
}

}  // namespace

std::string vehicleParameterDocs() {
  std::vector<CorvantaParameterInfo> infos(corvanta_vehicle_parameter_count());
  for (std::size_t k = 0; k < infos.size(); ++k) {
    corvanta_vehicle_parameter_info(k, &infos[k]);
  }
  CorvantaVehicle *builtin = corvanta_vehicle_create_builtin();
  std::string out = std::string(kVehicleDocsBegin) + "\n";
  int lastKind = -1;
  for (std::size_t index = 0; index < infos.size(); ++index) {
    const char *group = nullptr;
    const char *blocks = nullptr;
    if (corvanta_vehicle_parameter_group(index, &group, &blocks) == 1) {
      out += "\n### " + std::string(group) + "\n\nActs in " + blocks + ".\n";
      lastKind = -1;
    }
    const CorvantaParameterInfo &info = infos[index];
    if (info.kind != lastKind) {
      if (info.kind == CORVANTA_PARAMETER_TABLE) {
        out += "\n| Table | Values | Unit | Built-in values | Rule | Meaning |\n|---|---:|---|---|---|---|\n";
      } else if (info.kind == CORVANTA_PARAMETER_TYRE) {
        out += "\n| Coefficient | `.tir` section | Unit | Built-in | Allowed | Meaning |\n|---|---|---|---:|---|---|\n";
      } else {
        out += "\n| Parameter | Unit | Built-in | Allowed | Meaning and where it acts |\n|---|---|---:|---|---|\n";
      }
      lastKind = info.kind;
    }
    const std::string name = std::string("`") + info.name + "`";
    if (info.kind == CORVANTA_PARAMETER_TABLE) {
      out += "| " + name + " | " + std::to_string(info.count) + " | " + unit(info.unit) + " | " +
             tableRange(builtin, info) + " | finite" + (info.strictly_increasing ? ", strictly increasing" : "") +
             " | " + cell(info.meaning) + " |\n";
    } else if (info.kind == CORVANTA_PARAMETER_TYRE) {
      std::string meaning = cell(info.meaning);
      if (info.dormant[0] != '\0') {
        meaning += " (no effect on the outputs: " + cell(info.dormant) + ")";
      }
      out += "| " + name + " | `[" + info.tir_section + "]` | " + unit(info.unit) + " | " + shortest(info.builtin) +
             " | " + bounds(info) + " | " + meaning + " |\n";
    } else {
      out += "| " + name + " | " + unit(info.unit) + " | " + shortest(info.builtin) + " | " + bounds(info) + " | " +
             cell(info.meaning) + " |\n";
    }
  }
  corvanta_vehicle_free(builtin);
  out += "\n" + std::string(kVehicleDocsEnd) + "\n";
  return out;
}

}  // namespace corvanta::sim
