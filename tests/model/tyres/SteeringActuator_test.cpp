// Steering actuator: road-wheel angle from the states, and the states' rates.
#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

TEST(SteeringActuator, AngleFromTheSecondState) {
  Corvanta model;
  model.X.SteeringActuator_State[1] = 5e-6;
  model.X.SteeringActuator_State[0] = 123.0;  // zero gain, but evaluated
  Evaluation e{};
  model.frontSteerAngle(e);
  EXPECT_SAME_BITS(0.05, e.FrontSteerAngle);
  model.X.SteeringActuator_State[0] = rtInf;
  model.frontSteerAngle(e);
  EXPECT_TRUE(std::isnan(e.FrontSteerAngle));
}

TEST(SteeringActuator, HeldCommandIsReachedWithUnitGain) {
  // At the rest point of 10000 / (s² + 141.4 s + 10000) both rates vanish and the angle
  // equals the command.
  Corvanta model;
  model.U.SteeringAngle = 0.25;
  model.X.SteeringActuator_State[0] = 0.0;
  model.X.SteeringActuator_State[1] = 0.25 / 10000.0;
  ContStateDerivs_Corvanta_T d{};
  model.steeringActuatorRates(d);
  EXPECT_SAME_BITS(0.0, d.SteeringActuator_State[0]);
  EXPECT_SAME_BITS(0.0, d.SteeringActuator_State[1]);
  Evaluation e{};
  model.frontSteerAngle(e);
  EXPECT_SAME_BITS(0.25, e.FrontSteerAngle);
}

}  // namespace
