// Gear selector, gear ratio, drive torque and turbine speed.
#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

Evaluation drive(double selector, double gear) {
  Corvanta model;
  model.U.GearSelector = selector;
  model.B.Gear = gear;
  model.B.ImpellerTorque = 50.0;
  Evaluation e{};
  e.TorqueRatio = 1.5;
  model.driveline(e);
  return e;
}

TEST(GearSelector, TruncatesTowardZero) {
  EXPECT_SAME_BITS(-4.0, drive(3.9, 2.0).GearRatio);  // reverse
  EXPECT_SAME_BITS(-4.0, drive(3.0, 2.0).GearRatio);
  EXPECT_SAME_BITS(2.06, drive(1.7, 2.0).GearRatio);  // drive
  EXPECT_SAME_BITS(2.06, drive(1.0, 2.0).GearRatio);
  for (double neutral : {2.0, 0.5, -0.5, 0.0, 4.0, -3.0, rtNaN, 1e300, -1e300, rtInf}) {
    EXPECT_SAME_BITS(0.0, drive(neutral, 2.0).GearRatio) << neutral;
    EXPECT_SAME_BITS(0.0, drive(neutral, 2.0).DriveTorque) << neutral;
  }
}

TEST(DriveTorque, MultipliedInOrder) {
  const Evaluation e = drive(1.0, 5.0);
  EXPECT_SAME_BITS(0.713, e.GearRatio);
  EXPECT_SAME_BITS((((50.0 * 1.5) * 0.713) * 2.05) * 0.2, e.DriveTorque);
  EXPECT_LT(drive(3.0, 1.0).DriveTorque, 0.0);  // reverse drives backwards
}

TEST(DriveTorque, NaNGearGivesNaN) {
  const Evaluation e = drive(1.0, rtNaN);
  EXPECT_EQ(bitsOf(e.GearRatio), bitsOf(rtNaN));
  EXPECT_TRUE(std::isnan(e.DriveTorque));
}

TEST(TurbineSpeed, FromTheRearWheels) {
  Corvanta model;
  model.B.WheelSpeedRL = 10.0;
  model.B.WheelSpeedRR = 12.5;
  Evaluation e{};
  e.GearRatio = 3.538;
  model.turbineSpeed(e);
  EXPECT_SAME_BITS((2.05 * (10.0 + 12.5)) * 3.538, model.B.TurbineSpeed);
  // Rolling backwards in reverse turns the turbine forwards.
  model.B.WheelSpeedRL = -4.0;
  model.B.WheelSpeedRR = -4.0;
  e.GearRatio = -4.0;
  model.turbineSpeed(e);
  EXPECT_GT(model.B.TurbineSpeed, 0.0);
}

}  // namespace
