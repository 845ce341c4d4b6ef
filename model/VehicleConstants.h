// Physical constants of the vehicle shared by the wheel, force and body blocks, and the
// fixed time step.  Values are the exact doubles the computations use.
#ifndef CORVANTA_MODEL_VEHICLECONSTANTS_H
#define CORVANTA_MODEL_VEHICLECONSTANTS_H

// Fixed step of one major time step, s.
constexpr double kStepSize = 0.0001;

// Engine speed range, rad/s: 750 to 6500 rpm.
constexpr double kEngineSpeedMin = 78.53981633974483;
constexpr double kEngineSpeedMax = 680.6784082777885;
// rad/s to rpm, 30/pi.
constexpr double kRadPerSecToRpm = 9.549296585513721;

constexpr double kVehicleMass = 1760.0;       // kg
constexpr double kVehicleWeight = 17248.0;    // N, 1760 kg × 9.8 m/s², one stored value
constexpr double kYawInertia = 2553.6;        // kg·m²
constexpr double kWheelRadius = 0.314;        // m, slip ratio and wheel spin
constexpr double kInvWheelRadius = 3.1847133757961785;  // 1/m, initial wheel speeds
constexpr double kWheelInertia = 0.9;         // kg·m², each wheel
constexpr double kFrontAxleX = 1.159;         // m ahead of the centre of mass
// m behind the centre of mass: 2.8 - 1.159 in double precision, one unit in the last
// place below the double nearest to 1.641.
constexpr double kRearAxleX = 1.6409999999999998;
constexpr double kFrontHalfTrack = 0.8;       // m
constexpr double kRearHalfTrack = 0.808;      // m

// Wheel order of every per-wheel array.
constexpr int kFL = 0;
constexpr int kFR = 1;
constexpr int kRL = 2;
constexpr int kRR = 3;

#endif  // CORVANTA_MODEL_VEHICLECONSTANTS_H
