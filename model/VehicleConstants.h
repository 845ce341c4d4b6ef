// Fixed constants of the model that are not vehicle parameters: the time step, the unit
// conversion of the tabulated engine speeds and the wheel order.  The vehicle's values
// are parameters (ParameterList.def, Parameters.h).
#ifndef CORVANTA_MODEL_VEHICLECONSTANTS_H
#define CORVANTA_MODEL_VEHICLECONSTANTS_H

#include "capi/corvanta.h"
#include "model/Parameters.h"

// Fixed step of one major time step, s: the step of the C interface.
constexpr double kStepSize = CORVANTA_STEP_SIZE;

// rad/s to rpm, 30/pi.
constexpr double kRadPerSecToRpm = 9.549296585513721;

// The built-in car's engine speed range, rad/s: 750 to 6500 rpm.
constexpr double kEngineSpeedMin = builtin::EngineSpeedMin;
constexpr double kEngineSpeedMax = builtin::EngineSpeedMax;

// Wheel order of every per-wheel array.
constexpr int kFL = 0;
constexpr int kFR = 1;
constexpr int kRL = 2;
constexpr int kRR = 3;

#endif  // CORVANTA_MODEL_VEHICLECONSTANTS_H
