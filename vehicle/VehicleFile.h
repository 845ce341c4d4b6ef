// Vehicle files (JSON): {"name", "description", "tyre", "parameters"} into a set, and a set
// back into a complete vehicle file.
#ifndef CORVANTA_VEHICLE_VEHICLEFILE_H
#define CORVANTA_VEHICLE_VEHICLEFILE_H

#include <string>
#include <string_view>
#include <vector>

#include "vehicle/TextFile.h"
#include "vehicle/VehicleSet.h"

namespace corvanta::vehicle {

struct VehicleFileResult {
  bool ok = false;
  std::vector<std::string> errors;  // every problem, "SOURCE:LINE: what"
};

// Reads a vehicle document into `vehicle` (which starts as the built-in car).  Tyre files
// are found relative to `baseDirectory`; `source` names the document in messages.  The
// result is validated: a set with any problem is refused.
VehicleFileResult readVehicleText(std::string_view text, const std::string &source, const std::string &baseDirectory,
                                  CorvantaVehicle &vehicle);
VehicleFileResult readVehicleFile(const std::string &path, CorvantaVehicle &vehicle);

// The set as a complete vehicle file: every parameter, numbers in their shortest
// round-trip form.
std::string vehicleText(const CorvantaVehicle &vehicle);

}  // namespace corvanta::vehicle

#endif  // CORVANTA_VEHICLE_VEHICLEFILE_H
