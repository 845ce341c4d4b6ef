// Brakes: the driver-demand brake map, four actuator lags sharing one input (their
// dynamics included), the front and rear brake gains and the sign rule that makes the
// torques oppose the motion.
#include "Corvanta.h"
#include "Lookup.h"
#include "VehicleConstants.h"
#include "data/ConstantBlocks.h"

namespace {

constexpr double kBrakeLagRate = 16.666666666666668;  // 1/s, time constant 0.06 s
constexpr double kFrontBrakeGain = 250.0;
constexpr double kRearBrakeGain = 150.0;
constexpr double kBrakeCommonFactor = 1.35;
// Brake fraction to actuator input: ((fraction × 700) × 0.02381) / Corvanta_ConstB, the
// last being the area of a circle of diameter 3.3.
constexpr double kBrakeInputScale = 700.0;
constexpr double kBrakeInputGain = 0.02381;

}  // namespace

void Corvanta::brakeMap(Evaluation &e) {
  // The map extrapolates for demands above its last breakpoint, positive demands
  // included; the clamp turns the negative values there into no braking.
  double fraction = look2_binlxpw(B.LongitudinalVelocity, U.AccelerationDemand, Corvanta_ConstP.DemandMapSpeed_Axis1,
                                  Corvanta_ConstP.BrakeMap_Axis2, Corvanta_ConstP.BrakeMap_Table,
                                  Corvanta_ConstP.BrakeMap_LastIndex, kDemandMapSpeeds);
  if (fraction < 0.0) {
    fraction = 0.0;
  }
  e.BrakeFraction = fraction;
}

void Corvanta::brakeTorques(Evaluation &e) {
  if (e.BrakeFraction > 1.0) {
    e.BrakeFraction = 1.0;
  } else if (e.BrakeFraction < 0.0) {
    e.BrakeFraction = 0.0;
  }
  double *const torque = e.BrakeTorque;
  torque[kFL] = ((X.BrakeActuatorFL_State * kBrakeLagRate) * kFrontBrakeGain) * kBrakeCommonFactor;
  torque[kFR] = ((X.BrakeActuatorFR_State * kBrakeLagRate) * kFrontBrakeGain) * kBrakeCommonFactor;
  torque[kRL] = ((X.BrakeActuatorRL_State * kBrakeLagRate) * kRearBrakeGain) * kBrakeCommonFactor;
  torque[kRR] = ((X.BrakeActuatorRR_State * kBrakeLagRate) * kRearBrakeGain) * kBrakeCommonFactor;

  // Sign rule while braking (a NaN fraction counts as braking).  Moving forward the
  // torques are negated; at standstill the front brakes hold with -0.0 and the rear
  // brakes exactly cancel the drive torque; rolling backwards they keep their sign.
  // With no braking the torques keep the sign of the decaying actuator states.
  if (!(e.BrakeFraction == 0.0)) {
    const double v = B.LongitudinalVelocity;
    if (v == 0.0) {
      torque[kFL] = -0.0;
      torque[kFR] = -0.0;
      torque[kRL] = -e.DriveTorque;
      torque[kRR] = -e.DriveTorque;
    } else if (v > 0.0) {
      for (double &wheelTorque : e.BrakeTorque) {
        wheelTorque = -wheelTorque;
      }
    }
  }
}

void Corvanta::brakeActuatorInput(const Evaluation &e) {
  B.BrakeActuatorInput = ((e.BrakeFraction * kBrakeInputScale) * kBrakeInputGain) / Corvanta_ConstB;
}

void Corvanta::brakeActuatorRates(ContStateDerivs_Corvanta_T &d) const {
  // Four first-order lags with one common input; each output is kBrakeLagRate × state,
  // following the input with unit gain.
  d.BrakeActuatorFL_State = (-kBrakeLagRate * X.BrakeActuatorFL_State) + B.BrakeActuatorInput;
  d.BrakeActuatorFR_State = (-kBrakeLagRate * X.BrakeActuatorFR_State) + B.BrakeActuatorInput;
  d.BrakeActuatorRL_State = (-kBrakeLagRate * X.BrakeActuatorRL_State) + B.BrakeActuatorInput;
  d.BrakeActuatorRR_State = (-kBrakeLagRate * X.BrakeActuatorRR_State) + B.BrakeActuatorInput;
}
