// Steering actuator: a second-order lag 10000 / (s² + 141.4 s + 10000) from the steering
// command to the front road-wheel angle (natural frequency 100 rad/s, damping 0.707).
// State 1 integrates state 0; the angle is 10000 × state 1.
#include "Corvanta.h"

namespace {

constexpr double kSteerOmegaSquared = 10000.0;  // 1/s², (100 rad/s)², also the angle gain
constexpr double kSteerTwoZetaOmega = 141.4;    // 1/s, 2 × 0.707 × 100 rad/s

}  // namespace

void Corvanta::frontSteerAngle(Evaluation &e) const {
  // State 0 enters with weight zero, so that a non-finite value there still reaches the angle.
  e.FrontSteerAngle = kSteerOmegaSquared * X.SteeringActuator_State[1] + X.SteeringActuator_State[0] * 0.0;
}

void Corvanta::steeringActuatorRates(ContStateDerivs_Corvanta_T &d) const {
  d.SteeringActuator_State[0] =
      ((-kSteerTwoZetaOmega * X.SteeringActuator_State[0]) + (-kSteerOmegaSquared * X.SteeringActuator_State[1])) +
      U.SteeringAngle;
  d.SteeringActuator_State[1] = X.SteeringActuator_State[0];
}
