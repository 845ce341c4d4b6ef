// A model instance of the vehicle library: the model and the parameter set it simulates.
#ifndef CORVANTA_VEHICLE_INSTANCE_H
#define CORVANTA_VEHICLE_INSTANCE_H

#include <memory>
#include <utility>

#include "model/Corvanta.h"
#include "vehicle/VehicleSet.h"
#include "vehicle/corvanta_vehicle.h"

struct CorvantaInstance {
  // The set's values, kept alive as long as the model reads them (null: the built-in car).
  std::shared_ptr<const corvanta::vehicle::ParameterBlock> parameters;
  Corvanta model;

  explicit CorvantaInstance(std::shared_ptr<const corvanta::vehicle::ParameterBlock> block)
      : parameters(std::move(block)), model(parameters ? parameters->model : builtinModelParameters()) {}
};

#endif  // CORVANTA_VEHICLE_INSTANCE_H
