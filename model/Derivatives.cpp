// Time derivatives of the 24 continuous states, written in state order.  Most are copies
// of block signals; the actuators and the engine have their dynamics with their blocks
// (Engine.cpp, Brakes.cpp, SteeringActuator.cpp).
#include "model/Corvanta.h"

void Corvanta::Corvanta_derivatives() {
  ContStateDerivs_Corvanta_T *const d = reinterpret_cast<ContStateDerivs_Corvanta_T *>(M.derivativeBuffer);

  d->EngineSpeed_State = engineSpeedRate();
  d->LongitudinalVelocity_State = B.LongitudinalAcceleration;
  brakeActuatorRates(*d);
  d->Heading_State = B.YawRate;
  d->LateralVelocity_State = B.LateralAcceleration;
  d->YawRate_State = B.YawAcceleration;
  steeringActuatorRates(*d);
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
  d->EngineTorqueLag_State = engineTorqueLagRate();
}
