// A vehicle parameter set behind the opaque CorvantaVehicle of the C interface.
#ifndef CORVANTA_VEHICLE_VEHICLESET_H
#define CORVANTA_VEHICLE_VEHICLESET_H

#include "corvanta_vehicle.h"

struct CorvantaVehicle {
  // The built-in car is the only set so far; its values live in the model.
};

#endif  // CORVANTA_VEHICLE_VEHICLESET_H
