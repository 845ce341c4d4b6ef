// Force and moment sums of the planar body and the wheel spin equations.
#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

class ForceAssembly : public ::testing::Test {
 protected:
  ForceAssembly() {
    e.GravityDirection[2] = 1.0;
    e.GravityForceZ = -17248.0;
    e.FrontWheelLoad = 5054.28;
    e.RearWheelLoad = 3569.72;
  }

  void run() { model.forceAssembly(e); }

  Corvanta model;
  Evaluation e{};
};

TEST_F(ForceAssembly, LateralForceAtTheFrontLeftTyre) {
  e.TyreFy[0] = 1000.0;
  run();
  EXPECT_SAME_BITS(1000.0 / 1760.0, model.B.LateralAcceleration);
  EXPECT_SAME_BITS(1159.0 / 2553.6, model.B.YawAcceleration);
  EXPECT_SAME_BITS(0.0, model.B.LongitudinalAcceleration);
}

TEST_F(ForceAssembly, LateralForceAtTheRearLeftTyre) {
  e.TyreFy[2] = 1000.0;
  run();
  EXPECT_SAME_BITS(-1640.9999999999998 / 2553.6, model.B.YawAcceleration);
}

TEST_F(ForceAssembly, LongitudinalForcesAtTheRearTyres) {
  e.TyreFx[2] = 1000.0;
  run();
  EXPECT_SAME_BITS(-808.0 / 2553.6, model.B.YawAcceleration);
  EXPECT_SAME_BITS(1000.0 / 1760.0, model.B.LongitudinalAcceleration);
  e.TyreFx[2] = 0.0;
  e.TyreFx[3] = 1000.0;
  run();
  EXPECT_SAME_BITS(808.0 / 2553.6, model.B.YawAcceleration);
}

TEST_F(ForceAssembly, SteeredFrontForcesTurnWithTheWheel) {
  e.FrontSteerAngle = 1.5707963267948966;
  e.TyreFx[0] = 1000.0;
  run();
  EXPECT_NEAR(model.B.LateralAcceleration, 1000.0 / 1760.0, 1e-12);
  EXPECT_NEAR(model.B.LongitudinalAcceleration, 0.0, 1e-12);
}

TEST_F(ForceAssembly, VelocityCouplingOnALevelRoad) {
  model.B.LongitudinalVelocity = 12.0;
  model.B.LateralVelocity = 0.4;
  model.B.YawRate = 0.3;
  run();
  EXPECT_SAME_BITS((0.3 * (0.4 * 1760.0)) / 1760.0, model.B.LongitudinalAcceleration);
  EXPECT_SAME_BITS((0.3 * (12.0 * -1760.0)) / 1760.0, model.B.LateralAcceleration);
  EXPECT_SAME_BITS(0.0, model.B.YawAcceleration);
}

TEST_F(ForceAssembly, OneFifthOfTheAlongSlopeGravity) {
  const double grade = 0.1;
  e.GravityDirection[0] = -std::sin(grade);
  run();
  EXPECT_NEAR(model.B.LongitudinalAcceleration, 1.96 * std::sin(grade), 1e-12);
}

TEST_F(ForceAssembly, WheelSpin) {
  e.DriveTorque = 100.0;
  run();
  EXPECT_SAME_BITS(100.0 / 0.9, model.B.WheelAccelerationRL);
  EXPECT_SAME_BITS(100.0 / 0.9, model.B.WheelAccelerationRR);
  EXPECT_SAME_BITS(0.0, model.B.WheelAccelerationFL);
  e.DriveTorque = 0.0;
  e.TyreFx[1] = 1000.0;
  e.TyreMy[1] = -140.0;
  e.BrakeTorque[1] = -50.0;
  run();
  EXPECT_SAME_BITS((-140.0 + (-50.0 - 1000.0 * 0.314)) / 0.9, model.B.WheelAccelerationFR);
}

TEST_F(ForceAssembly, AnyNaNContributionReachesAllThreeSums) {
  e.TyreMz[3] = rtNaN;
  run();
  EXPECT_TRUE(std::isnan(model.B.LongitudinalAcceleration));
  EXPECT_TRUE(std::isnan(model.B.LateralAcceleration));
  EXPECT_TRUE(std::isnan(model.B.YawAcceleration));
  EXPECT_FALSE(std::isnan(model.B.WheelAccelerationRR));
  e.TyreMz[3] = 0.0;
  e.RearWheelLoad = rtInf;  // zero weight: 0 × Inf is NaN
  run();
  EXPECT_TRUE(std::isnan(model.B.LongitudinalAcceleration));
  EXPECT_TRUE(std::isnan(model.B.YawAcceleration));
}

}  // namespace
