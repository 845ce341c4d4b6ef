// A model instance of the vehicle library: the model and the parameter set it simulates.
#ifndef CORVANTA_VEHICLE_INSTANCE_H
#define CORVANTA_VEHICLE_INSTANCE_H

#include "Corvanta.h"
#include "corvanta_vehicle.h"

struct CorvantaInstance {
  Corvanta model;
};

#endif  // CORVANTA_VEHICLE_INSTANCE_H
