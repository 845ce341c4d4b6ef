#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "model/VehicleConstants.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

class Derivatives : public ::testing::Test {
 protected:
  Derivatives() { model.M.derivativeBuffer = reinterpret_cast<double *>(&d); }

  double engineRate(double speed, double rate) {
    model.X.EngineSpeed_State = speed;
    model.B.EngineSpeedDot = rate;
    model.Corvanta_derivatives();
    return d.EngineSpeed_State;
  }

  Corvanta model;
  ContStateDerivs_Corvanta_T d{};
};

TEST_F(Derivatives, EngineSpeedMayOnlyMoveBackIntoItsRange) {
  EXPECT_SAME_BITS(0.0, engineRate(kEngineSpeedMin, -5.0));
  EXPECT_SAME_BITS(5.0, engineRate(kEngineSpeedMin, 5.0));
  EXPECT_SAME_BITS(0.0, engineRate(kEngineSpeedMax, 5.0));
  EXPECT_SAME_BITS(-5.0, engineRate(kEngineSpeedMax, -5.0));
  EXPECT_SAME_BITS(-5.0, engineRate(300.0, -5.0));
}

TEST_F(Derivatives, NaNRatePassesOnlyInsideTheRange) {
  EXPECT_TRUE(std::isnan(engineRate(300.0, rtNaN)));
  EXPECT_SAME_BITS(0.0, engineRate(kEngineSpeedMin, rtNaN));
  EXPECT_SAME_BITS(0.0, engineRate(kEngineSpeedMax, rtNaN));
  // A NaN state is at neither limit.
  EXPECT_SAME_BITS(-5.0, engineRate(rtNaN, -5.0));
}

TEST_F(Derivatives, LagsAndCopies) {
  model.X.BrakeActuatorRL_State = 0.5;
  model.B.BrakeActuatorInput = 2.0;
  model.X.EngineTorqueLag_State = 0.25;
  model.B.EngineTorqueDelayed = 30.0;
  model.X.SteeringActuator_State[0] = 0.01;
  model.X.SteeringActuator_State[1] = 0.002;
  model.U.SteeringAngle = 0.3;
  model.B.GlobalVelocityY = 7.0;
  model.B.YawRate = 0.125;
  model.B.WheelAccelerationRR = -3.0;
  model.Corvanta_derivatives();
  EXPECT_SAME_BITS((-16.666666666666668 * 0.5) + 2.0, d.BrakeActuatorRL_State);
  EXPECT_SAME_BITS(2.0, d.BrakeActuatorFL_State);
  EXPECT_SAME_BITS((-200.0 * 0.25) + 30.0, d.EngineTorqueLag_State);
  EXPECT_SAME_BITS(((-141.4 * 0.01) + (-10000.0 * 0.002)) + 0.3, d.SteeringActuator_State[0]);
  EXPECT_SAME_BITS(0.01, d.SteeringActuator_State[1]);
  EXPECT_SAME_BITS(7.0, d.PositionY_State);
  EXPECT_SAME_BITS(0.125, d.Heading_State);
  EXPECT_SAME_BITS(-3.0, d.WheelSpeedRR_State);
}

TEST_F(Derivatives, NaNOperandOrderOfTheLags) {
  // Two NaNs meeting: the lag keeps (-rate × state) + input, so the state's NaN wins.
  const double stateNaN = fromBits(0x7FF8000000000001ULL);
  const double inputNaN = fromBits(0x7FF8000000000002ULL);
  model.X.EngineTorqueLag_State = stateNaN;
  model.B.EngineTorqueDelayed = inputNaN;
  model.Corvanta_derivatives();
  ContStateDerivs_Corvanta_T reference{};
  volatile double state = stateNaN;
  volatile double input = inputNaN;
  reference.EngineTorqueLag_State = (-200.0 * state) + input;
  EXPECT_SAME_BITS(reference.EngineTorqueLag_State, d.EngineTorqueLag_State);
}

}  // namespace
