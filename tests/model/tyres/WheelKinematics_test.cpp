// Wheel loads, steer angle, slip ratio and slip angle.
#include "model/tyres/WheelKinematics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

Evaluation loadsAtGrade(double grade) {
  Corvanta model;
  model.U.RoadGrade = grade;
  Evaluation e{};
  model.wheelLoads(e);
  return e;
}

TEST(WheelLoads, LevelRoad) {
  const Evaluation e = loadsAtGrade(0.0);
  EXPECT_SAME_BITS(0.0, e.GravityDirection[0]);
  EXPECT_SAME_BITS(0.0, e.GravityDirection[1]);
  EXPECT_SAME_BITS(1.0, e.GravityDirection[2]);
  EXPECT_NEAR(e.FrontWheelLoad, 5054.28, 1e-9);
  EXPECT_NEAR(e.RearWheelLoad, 3569.72, 1e-9);
  EXPECT_NEAR(2.0 * (e.FrontWheelLoad + e.RearWheelLoad), 17248.0, 1e-9);
}

TEST(WheelLoads, GradeTiltsGravityAndScalesTheLoads) {
  const Evaluation e = loadsAtGrade(0.05);
  EXPECT_NEAR(e.GravityDirection[0], -0.049979, 1e-6);
  EXPECT_NEAR(e.GravityDirection[2], 0.998750, 1e-6);
  EXPECT_SAME_BITS(0.0, std::fabs(e.GravityForceY));
  EXPECT_NEAR(e.FrontWheelLoad, 5047.96, 0.01);
  EXPECT_NEAR(e.RearWheelLoad, 3565.26, 0.01);
  // Beyond 45 degrees the inverse pivots on the other row; the loads still follow cos.
  for (double grade : {1.0, -1.2}) {
    const Evaluation steep = loadsAtGrade(grade);
    EXPECT_NEAR(steep.FrontWheelLoad, 5054.28 * std::cos(grade), 1e-9);
    EXPECT_NEAR(steep.RearWheelLoad, 3569.72 * std::cos(grade), 1e-9);
    EXPECT_NEAR(steep.GravityDirection[0], -std::sin(grade), 1e-15);
  }
}

TEST(WheelLoads, NaNGradePropagatesThroughTheFullProduct) {
  const Evaluation e = loadsAtGrade(rtNaN);
  EXPECT_TRUE(std::isnan(e.GravityDirection[0]));
  EXPECT_TRUE(std::isnan(e.GravityDirection[1]));
  EXPECT_TRUE(std::isnan(e.FrontWheelLoad));
}

TEST(SlipRatio, Cases) {
  EXPECT_SAME_BITS(0.0, slipRatio(0.0, 0.0));
  EXPECT_SAME_BITS(1.0, slipRatio(5.0, 0.0));
  EXPECT_SAME_BITS(-1.0, slipRatio(-5.0, 0.0));
  EXPECT_SAME_BITS(-1.0, slipRatio(0.0, 10.0));  // locked wheel moving forward
  EXPECT_SAME_BITS(1.0, slipRatio(0.0, -10.0));  // locked wheel reversing
  EXPECT_NEAR(slipRatio(64.0, 20.0), 0.0047771, 1e-7);
  // fmax ignores a NaN rim speed: the NaN numerator then propagates, except at
  // standstill, where the denominator is 0 and the guard gives 0.
  EXPECT_TRUE(std::isnan(slipRatio(rtNaN, 10.0)));
  EXPECT_SAME_BITS(0.0, slipRatio(rtNaN, 0.0));
  EXPECT_TRUE(std::isnan(slipRatio(5.0, rtNaN)));
}

TEST(SlipRatio, EqualsTheFmaxFormulaOnEveryCorner) {
  // The denominator is fmax(|0.314·omega|, |vx|), formed without a maths-library call.
  const double values[] = {0.0,     -0.0,  1.0,    -1.0,  20.0,       -20.0, 63.69426751592357, 1e-310,
                           -1e-310, 1e308, -1e308, rtInf, rtMinusInf, rtNaN, 4.9e-324};
  for (double omega : values) {
    for (double vx : values) {
      const double rimSpeed = 0.314 * omega;
      const double denominator = std::fmax(std::fabs(rimSpeed), std::fabs(vx));
      const double expected = (denominator == 0.0) ? 0.0 : (rimSpeed - vx) / denominator;
      const double actual = slipRatio(omega, vx);
      if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << omega << " " << vx;
      } else {
        EXPECT_SAME_BITS(expected, actual) << omega << " " << vx;
      }
    }
  }
}

TEST(SlipRatio, InitialWheelSpeedReproducesTheSpeedAlmostExactly) {
  EXPECT_SAME_BITS(0.0, slipRatio(3.1847133757961785 * 20.0, 20.0));
  // 0.314 × (13.9 × 3.1847133757961785) is one unit in the last place above 13.9.
  const double kappa = slipRatio(3.1847133757961785 * 13.9, 13.9);
  EXPECT_NE(kappa, 0.0);
  EXPECT_LT(std::fabs(kappa), 1e-15);
}

TEST(SlipAngle, KinematicAngles) {
  const double vx = 20.0;
  const double vy = 0.5;
  const double r = 0.1;
  const double front = kinematicSlipAngle(vx, vy + r * 1.159);
  EXPECT_NEAR(front, 0.030785, 1e-6);
  EXPECT_NEAR(0.05 - front, 0.019215, 1e-6);
  const double rear = kinematicSlipAngle(vx, vy - 1.6409999999999998 * r);
  EXPECT_NEAR(0.0 - rear, -0.016793, 1e-6);
  EXPECT_SAME_BITS(0.0, kinematicSlipAngle(0.0, 3.0));
  EXPECT_TRUE(std::isnan(kinematicSlipAngle(rtNaN, 0.0)));
}

TEST(WheelSlip, FirstEvaluationLoadsTheWheelSpeeds) {
  Corvanta model;
  model.initialize();
  model.U.InitialSpeed = 20.0;
  model.B.LongitudinalVelocity = 20.0;
  Evaluation e{};
  model.wheelLoads(e);
  model.wheelSlipAndTyres(e);
  EXPECT_SAME_BITS(63.69426751592357, model.X.WheelSpeedFL_State);
  EXPECT_SAME_BITS(63.69426751592357, model.B.WheelSpeedRR);
  // Zero slip everywhere: no longitudinal force.
  for (int w = 0; w < 4; ++w) {
    EXPECT_EQ(e.TyreFx[w], 0.0) << w;
  }
}

}  // namespace
