// Parameters of the vehicle a test runs, read from the parameter set of the model
// functions, so that a test whose computation needs one (the mass in a road-load fit)
// uses the car that was simulated.
#ifndef CORVANTA_TESTSUITE_VEHICLEPARAMETER_H
#define CORVANTA_TESTSUITE_VEHICLEPARAMETER_H

#include <optional>
#include <string>

#include "engine/corvanta_engine.h"

namespace corvanta::testsuite {

// The value of the scalar parameter `name` in the set the runs of `model` simulate: its
// Vehicle, or without one the built-in car's set (an empty vehicle document read by its
// ParseVehicle).  Nothing when the functions give no parameter set (a model library of
// the seven functions only), the set has no such parameter or it is not one number.
std::optional<double> vehicleParameter(const CorvantaModelFunctions &model, const std::string &name);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_VEHICLEPARAMETER_H
