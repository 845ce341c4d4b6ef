// Brakes: the driver-demand brake map, four actuator lags sharing one input (their
// dynamics included), the front and rear brake gains and the sign rule that makes the
// torques oppose the motion.
#include "model/Corvanta.h"
#include "runtime/Lookup.h"
#include "model/VehicleConstants.h"
#include "model/data/ConstantBlocks.h"

void Corvanta::brakeMap(Evaluation &e) {
  // The map extrapolates for demands above its last breakpoint, positive demands
  // included; the clamp turns the negative values there into no braking.
  const ConstP_Corvanta_T &tables = *P->tables;
  double fraction = look2_binlxpw(B.LongitudinalVelocity, U.AccelerationDemand, tables.DemandMapSpeed_Axis1,
                                  tables.BrakeMap_Axis2, tables.BrakeMap_Table, tables.BrakeMap_LastIndex,
                                  kDemandMapSpeeds,
                                  &lookupHints.BrakeMapSpeed, &lookupHints.BrakeMapDemand);
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
  const ModelParameters &p = *P;
  double *const torque = e.BrakeTorque;
  torque[kFL] = ((X.BrakeActuatorFL_State * p.BrakeLagRate) * p.FrontBrakeGain) * p.BrakeCommonFactor;
  torque[kFR] = ((X.BrakeActuatorFR_State * p.BrakeLagRate) * p.FrontBrakeGain) * p.BrakeCommonFactor;
  torque[kRL] = ((X.BrakeActuatorRL_State * p.BrakeLagRate) * p.RearBrakeGain) * p.BrakeCommonFactor;
  torque[kRR] = ((X.BrakeActuatorRR_State * p.BrakeLagRate) * p.RearBrakeGain) * p.BrakeCommonFactor;

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
  // ((fraction × scale) × gain) / the area of a circle of BrakeCylinderDiameter.
  B.BrakeActuatorInput = ((e.BrakeFraction * P->BrakeInputScale) * P->BrakeInputGain) / P->BrakeInputDivisor;
}

void Corvanta::brakeActuatorRates(ContStateDerivs_Corvanta_T &d) const {
  // Four first-order lags with one common input; each output is BrakeLagRate × state,
  // following the input with unit gain.
  const double rate = -P->BrakeLagRate;
  d.BrakeActuatorFL_State = (rate * X.BrakeActuatorFL_State) + B.BrakeActuatorInput;
  d.BrakeActuatorFR_State = (rate * X.BrakeActuatorFR_State) + B.BrakeActuatorInput;
  d.BrakeActuatorRL_State = (rate * X.BrakeActuatorRL_State) + B.BrakeActuatorInput;
  d.BrakeActuatorRR_State = (rate * X.BrakeActuatorRR_State) + B.BrakeActuatorInput;
}
