// Steering actuator: a second-order lag w² / (s² + 2 z w s + w²) from the steering command
// to the front road-wheel angle (built in: w = 100 rad/s, z = 0.707, so 10000 / (s² +
// 141.4 s + 10000)).  State 1 integrates state 0; the angle is w² × state 1.
#include "model/Corvanta.h"

void Corvanta::frontSteerAngle(Evaluation &e) const {
  // State 0 enters with weight zero, so that a non-finite value there still reaches the angle.
  e.FrontSteerAngle = P->SteerOmegaSquared * X.SteeringActuator_State[1] + X.SteeringActuator_State[0] * 0.0;
}

void Corvanta::steeringActuatorRates(ContStateDerivs_Corvanta_T &d) const {
  d.SteeringActuator_State[0] =
      ((-P->SteerTwoZetaOmega * X.SteeringActuator_State[0]) + (-P->SteerOmegaSquared * X.SteeringActuator_State[1])) +
      U.SteeringAngle;
  d.SteeringActuator_State[1] = X.SteeringActuator_State[0];
}
