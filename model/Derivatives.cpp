// Time derivatives of the 24 continuous states.  Most are copies of block signals; the
// gated engine-speed integrator, the brake actuator lags, the steering actuator and the
// engine torque lag have their dynamics here.
#include "Corvanta.h"
#include "VehicleConstants.h"

namespace {

// The engine speed integrates EngineSpeedDot inside its range; at a limit it may only
// move back into the range.  A NaN state is at neither limit, so its derivative passes;
// a NaN rate passes only when the state is strictly inside.
double gatedEngineSpeedRate(double speed, double rate) {
  const bool atLower = kEngineSpeedMin >= speed;
  const bool atUpper = speed >= kEngineSpeedMax;
  if ((!atLower && !atUpper) || (atLower && rate > 0.0) || (atUpper && rate < 0.0)) {
    return rate;
  }
  return 0.0;
}

}  // namespace

void Corvanta::Corvanta_derivatives() {
  ContStateDerivs_Corvanta_T *const d = reinterpret_cast<ContStateDerivs_Corvanta_T *>(M.derivativeBuffer);

  d->EngineSpeed_State = gatedEngineSpeedRate(X.EngineSpeed_State, B.EngineSpeedDot);
  d->LongitudinalVelocity_State = B.LongitudinalAcceleration;

  // Brake actuators: first-order lags with time constant 0.06 s and one common input.
  d->BrakeActuatorFL_State = (-16.666666666666668 * X.BrakeActuatorFL_State) + B.BrakeActuatorInput;
  d->BrakeActuatorFR_State = (-16.666666666666668 * X.BrakeActuatorFR_State) + B.BrakeActuatorInput;
  d->BrakeActuatorRL_State = (-16.666666666666668 * X.BrakeActuatorRL_State) + B.BrakeActuatorInput;
  d->BrakeActuatorRR_State = (-16.666666666666668 * X.BrakeActuatorRR_State) + B.BrakeActuatorInput;

  d->Heading_State = B.YawRate;
  d->LateralVelocity_State = B.LateralAcceleration;
  d->YawRate_State = B.YawAcceleration;

  // Steering actuator 10000 / (s² + 141.4 s + 10000): 100 rad/s, damping 0.707.
  d->SteeringActuator_State[0] =
      ((-141.4 * X.SteeringActuator_State[0]) + (-10000.0 * X.SteeringActuator_State[1])) + U.SteeringAngle;
  d->SteeringActuator_State[1] = X.SteeringActuator_State[0];

  d->WheelSpeedFL_State = B.WheelAccelerationFL;
  d->WheelSpeedFR_State = B.WheelAccelerationFR;
  d->WheelSpeedRL_State = B.WheelAccelerationRL;
  d->WheelSpeedRR_State = B.WheelAccelerationRR;
  d->PitchAngle_State = B.PitchRate;
  d->PitchRate_State = B.PitchAcceleration;
  d->GlobalVelocityX_State = B.GlobalAccelerationX;
  d->GlobalVelocityY_State = B.GlobalAccelerationY;
  d->RollAngle_State = B.RollRate;
  d->RollRate_State = B.RollAcceleration;
  d->PositionX_State = B.GlobalVelocityX;
  d->PositionY_State = B.GlobalVelocityY;

  // Engine torque lag 200 / (s + 200): time constant 0.005 s.
  d->EngineTorqueLag_State = (-200.0 * X.EngineTorqueLag_State) + B.EngineTorqueDelayed;
}
