#include "tools/sim/VehicleCommand.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tools/sim/VehicleDocs.h"
#include "tools/sim/VehicleModel.h"
#include "vehicle/corvanta_vehicle.h"

namespace corvanta::sim {

namespace {

constexpr const char *kCommand = "corvanta-sim vehicle";

enum ExitCode : int { kSuccess = 0, kBadInput = 2, kOutputProblem = 4 };

int fail(int code, const std::string &message) {
  std::fprintf(stderr, "%s: error: %s\n", kCommand, message.c_str());
  return code;
}

void printUsage() {
  std::printf(
      "Usage: corvanta-sim vehicle show [FILE] [-o OUT]\n"
      "       corvanta-sim vehicle check FILE\n"
      "       corvanta-sim vehicle export-tir [FILE] [--axle front|rear] -o OUT.tir\n"
      "       corvanta-sim vehicle docs [--update DOC.md]\n\n"
      "show        prints the set of the vehicle file FILE (the built-in car without FILE) as a complete\n"
      "            vehicle file: every parameter, numbers that read back to the same bits.  With -o it is\n"
      "            written to OUT instead.\n"
      "check       checks FILE and prints the figures to check first: mass, wheelbase, static axle and\n"
      "            wheel loads against the tyres' nominal load, the top speed in each gear.\n"
      "export-tir  writes the tyre of one axle (default front) as a tyre property file in SI units.\n"
      "docs        prints the parameter tables of docs/vehicle-parameters.md, made from the parameter list;\n"
      "            with --update they replace the generated part of DOC.md.\n\n"
      "The parameters, their units and bounds: docs/vehicle-parameters.md.  Exit status: 0 success,\n"
      "2 bad usage or a vehicle with problems (every problem is listed), 4 an output could not be written.\n");
}

struct Arguments {
  std::string action;
  std::string file;
  std::string output;
  std::string update;
  int axle = 0;
};

std::optional<std::string> parse(const std::vector<std::string> &arguments, Arguments &line) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string &argument = arguments[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) {
        return std::nullopt;
      }
      return arguments[++i];
    };
    if (argument == "-o" || argument == "--output") {
      const std::optional<std::string> path = value();
      if (!path || path->empty()) {
        return argument + " needs a file name";
      }
      line.output = *path;
    } else if (argument == "--update") {
      const std::optional<std::string> path = value();
      if (!path || path->empty()) {
        return argument + " needs a file name";
      }
      line.update = *path;
    } else if (argument == "--axle") {
      const std::optional<std::string> axle = value();
      if (!axle || (*axle != "front" && *axle != "rear")) {
        return "--axle: expected front or rear";
      }
      line.axle = (*axle == "rear") ? 1 : 0;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return "unknown option '" + argument + "'";
    } else if (line.action.empty()) {
      line.action = argument;
    } else if (line.file.empty()) {
      line.file = argument;
    } else {
      return "unexpected argument '" + argument + "' (one vehicle file only)";
    }
  }
  if (line.action != "show" && line.action != "check" && line.action != "export-tir" && line.action != "docs") {
    return line.action.empty() ? std::string("name an action: show, check, export-tir or docs")
                               : "unknown action '" + line.action + "'; expected show, check, export-tir or docs";
  }
  if (line.action == "docs" && (!line.file.empty() || !line.output.empty())) {
    return "docs takes no vehicle file and no -o (the tables are those of the parameter list)";
  }
  if (line.action != "docs" && !line.update.empty()) {
    return "--update applies to docs only";
  }
  if (line.action == "check" && line.file.empty()) {
    return "check needs a vehicle file";
  }
  if (line.action == "check" && !line.output.empty()) {
    return "check writes no file; -o does not apply";
  }
  if (line.action == "export-tir" && line.output.empty()) {
    return "export-tir needs -o OUT.tir";
  }
  return std::nullopt;
}

double scalar(const CorvantaVehicle *vehicle, const char *name) {
  double value = NAN;
  corvanta_vehicle_get(vehicle, name, &value, 1, nullptr);
  return value;
}

std::string number(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

int printChecked(const CorvantaVehicle *vehicle, const std::string &file) {
  const VehicleFigures f = vehicleFigures(vehicle);
  std::string text;
  const std::string name = corvanta_vehicle_name(vehicle);
  text += file + (name.empty() ? std::string() : " (" + name + ")") + ": no problems\n";
  text += "  mass               " + number(f.mass, 1) + " kg, weight " + number(f.weight, 1) + " N\n";
  text += "  wheelbase          " + number(f.wheelbase, 4) + " m: front axle " + number(f.frontAxleDistance, 4) +
          " m ahead of, rear axle " + number(f.rearAxleDistance, 4) + " m behind the centre of mass\n";
  text += "  static axle loads  front " + number(f.frontAxleLoad, 1) + " N, rear " + number(f.rearAxleLoad, 1) +
          " N (split " + number(100.0 * f.frontShare, 1) + " / " + number(100.0 * (1.0 - f.frontShare), 1) + ")\n";
  text += "  static wheel load  front " + number(f.frontWheelLoad, 1) +
          " N = " + number(100.0 * f.frontWheelLoad / f.frontNominalLoad, 1) + " % of FNOMIN " +
          number(f.frontNominalLoad, 1) + " N; rear " + number(f.rearWheelLoad, 1) +
          " N = " + number(100.0 * f.rearWheelLoad / f.rearNominalLoad, 1) + " % of FNOMIN " +
          number(f.rearNominalLoad, 1) + " N\n";
  text +=
      "  top speed at EngineSpeedMax (" + number(scalar(vehicle, "EngineSpeedMax") * 9.549296585513721, 0) + " rpm)\n";
  for (int gear = 0; gear < 6; ++gear) {
    text += "    " + (gear == 0 ? std::string("reverse") : "gear " + std::to_string(gear)) +
            std::string(gear == 0 ? 3 : 4, ' ') + number(f.topSpeed[gear], 2) +
            " m/s = " + number(f.topSpeed[gear] * 3.6, 1) + " km/h\n";
  }
  const std::string warnings = corvanta_vehicle_warnings(vehicle);
  if (!warnings.empty()) {
    text += "  note: " + warnings + (warnings.back() == '\n' ? "" : "\n");
  }
  errno = 0;
  if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
    return fail(kOutputProblem, std::string("writing to standard output failed: ") + std::strerror(errno));
  }
  return kSuccess;
}

// Replaces the generated part of the document at `path` with the tables of today's list.
int updateDocs(const std::string &path) {
  std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
  if (!in) {
    return fail(kBadInput, "cannot read '" + path + "'");
  }
  std::stringstream read;
  read << in.rdbuf();
  const std::string text = read.str();
  const std::size_t begin = text.find(kVehicleDocsBegin);
  const std::string endLine = std::string(kVehicleDocsEnd) + "\n";
  const std::size_t end = begin == std::string::npos ? begin : text.find(endLine, begin);
  if (end == std::string::npos) {
    return fail(kBadInput,
                path + ": no generated part (the lines '" + kVehicleDocsBegin + "' and '" + kVehicleDocsEnd + "')");
  }
  const std::string updated = text.substr(0, begin) + vehicleParameterDocs() + text.substr(end + endLine.size());
  const std::filesystem::path target = std::filesystem::u8path(path);
  std::filesystem::path temporary = target;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << updated;
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return fail(kOutputProblem, "cannot write '" + temporary.u8string() + "'");
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return fail(kOutputProblem, "cannot replace '" + path + "'");
  }
  return kSuccess;
}

}  // namespace

VehicleFigures vehicleFigures(const CorvantaVehicle *vehicle) {
  VehicleFigures f{};
  f.mass = scalar(vehicle, "VehicleMass");
  f.weight = f.mass * scalar(vehicle, "Gravity");
  f.wheelbase = scalar(vehicle, "Wheelbase");
  f.frontAxleDistance = scalar(vehicle, "FrontAxleDistance");
  f.rearAxleDistance = f.wheelbase - f.frontAxleDistance;
  // Moments about each axle of the standing car.
  f.frontAxleLoad = f.weight * f.rearAxleDistance / f.wheelbase;
  f.rearAxleLoad = f.weight * f.frontAxleDistance / f.wheelbase;
  f.frontShare = f.rearAxleDistance / f.wheelbase;
  f.frontWheelLoad = f.frontAxleLoad / 2.0;
  f.rearWheelLoad = f.rearAxleLoad / 2.0;
  f.frontNominalLoad = scalar(vehicle, "FrontTyre.FNOMIN");
  f.rearNominalLoad = scalar(vehicle, "RearTyre.FNOMIN");
  // The turbine turns at FinalDriveRatio x (sum of the two rear wheel speeds) x the gear's
  // ratio; with the converter locked it cannot outrun the engine's upper speed limit.
  double ratios[7] = {};
  corvanta_vehicle_get(vehicle, "GearRatio_Table", ratios, 7, nullptr);
  const double wheelSpeedLimit = scalar(vehicle, "EngineSpeedMax") / (2.0 * scalar(vehicle, "FinalDriveRatio"));
  const double radius = scalar(vehicle, "WheelRadius");
  f.topSpeed[0] = wheelSpeedLimit / ratios[0] * radius;
  for (int gear = 1; gear <= 5; ++gear) {
    f.topSpeed[gear] = wheelSpeedLimit / ratios[gear + 1] * radius;
  }
  return f;
}

int runVehicleCommand(const std::vector<std::string> &arguments) {
  for (const std::string &argument : arguments) {
    if (argument == "-h" || argument == "--help") {
      printUsage();
      return kSuccess;
    }
  }
  Arguments line;
  if (const std::optional<std::string> problem = parse(arguments, line)) {
    return fail(kBadInput, *problem + " (corvanta-sim vehicle --help)");
  }
  if (line.action == "docs") {
    if (!line.update.empty()) {
      return updateDocs(line.update);
    }
    const std::string text = vehicleParameterDocs();
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
      return fail(kOutputProblem, std::string("writing to standard output failed: ") + std::strerror(errno));
    }
    return kSuccess;
  }
  VehicleHandle vehicle;
  if (line.file.empty()) {
    vehicle.reset(corvanta_vehicle_create_builtin());
    if (!vehicle) {
      return fail(1, "out of memory");
    }
  } else {
    std::string error;
    vehicle = loadVehicle(line.file, error);
    if (!vehicle) {
      return fail(kBadInput, error);
    }
  }
  char error[4096] = "";
  if (line.action == "check") {
    return printChecked(vehicle.get(), line.file);
  }
  if (line.action == "export-tir") {
    if (corvanta_vehicle_export_tir(vehicle.get(), line.axle, line.output.c_str(), error, sizeof error) !=
        CORVANTA_VEHICLE_OK) {
      return fail(kOutputProblem, error);
    }
    return kSuccess;
  }
  if (!line.output.empty()) {
    if (corvanta_vehicle_save(vehicle.get(), line.output.c_str(), error, sizeof error) != CORVANTA_VEHICLE_OK) {
      return fail(kOutputProblem, error);
    }
    return kSuccess;
  }
  const std::size_t length = corvanta_vehicle_to_json(vehicle.get(), nullptr, 0);
  std::string text(length + 1, '\0');
  corvanta_vehicle_to_json(vehicle.get(), text.data(), text.size());
  text.resize(length);
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    return fail(kOutputProblem, std::string("writing to standard output failed: ") + std::strerror(errno));
  }
  return kSuccess;
}

}  // namespace corvanta::sim
