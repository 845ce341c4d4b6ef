// The model the runner drives by default: the built-in car of the vehicle library, which
// also reports the signals and the values at the start of a run.
#ifndef CORVANTA_SIM_VEHICLEMODEL_H
#define CORVANTA_SIM_VEHICLEMODEL_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/corvanta_engine.h"
#include "tools/common/CorvantaLibrary.h"
#include "vehicle/corvanta_vehicle.h"

namespace corvanta::sim {

// The vehicle library's instance functions as the engine's model functions: instances of
// `vehicle` (nullptr: the built-in car) for scenarios that name no vehicle, and of the
// vehicles scenarios name.  The set must outlive the runs.
CorvantaModelFunctions vehicleModelFunctions(const CorvantaVehicle *vehicle = nullptr);

// The seven functions of a loaded model library (--lib): the built-in car of that build.
CorvantaModelFunctions libraryModelFunctions(const tools::CorvantaApi &api);

// A vehicle file read and checked for --vehicle.
struct VehicleDeleter {
  void operator()(CorvantaVehicle *vehicle) const { corvanta_vehicle_free(vehicle); }
};
using VehicleHandle = std::unique_ptr<CorvantaVehicle, VehicleDeleter>;

// Reads the vehicle file at `path`; on failure returns nullptr with every problem in `error`.
VehicleHandle loadVehicle(const std::string &path, std::string &error);

// The file the vehicle library was loaded from ("" when the platform cannot tell).
std::string vehicleLibraryPath();

// The signal columns of --signals: "all" (every signal beyond the seven outputs, which are
// columns anyway) or names separated by commas, in the order given; an output named again
// adds no column.  Returns the problem for an unknown, empty or repeated name.
std::optional<std::string> parseSignalColumns(const std::string &text, std::vector<int> &columns);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_VEHICLEMODEL_H
