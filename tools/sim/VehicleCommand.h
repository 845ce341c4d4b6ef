// corvanta-sim vehicle show | check | export-tir: vehicle files from the command line.
#ifndef CORVANTA_SIM_VEHICLECOMMAND_H
#define CORVANTA_SIM_VEHICLECOMMAND_H

#include <string>
#include <vector>

#include "vehicle/corvanta_vehicle.h"

namespace corvanta::sim {

// The figures `vehicle check` prints for a set, from its parameters alone.
struct VehicleFigures {
  double mass, weight, wheelbase, frontAxleDistance, rearAxleDistance;
  double frontAxleLoad, rearAxleLoad, frontShare;  // N, N, fraction of the weight on the front axle
  double frontWheelLoad, rearWheelLoad;            // static load of one wheel, N
  double frontNominalLoad, rearNominalLoad;        // FNOMIN of each axle's tyre, N
  double topSpeed[6];                              // reverse, then gears 1 .. 5, m/s (reverse negative)
};

VehicleFigures vehicleFigures(const CorvantaVehicle *vehicle);

// `arguments` follow "vehicle"; returns the exit status.
int runVehicleCommand(const std::vector<std::string> &arguments);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_VEHICLECOMMAND_H
