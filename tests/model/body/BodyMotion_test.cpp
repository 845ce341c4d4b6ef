// Global-frame motion, pitch and roll, tip-over indicator and outputs.
#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

TEST(TipOver, AtRestOnALevelRoadTheCarIsStable) {
  Corvanta model;
  model.bodyMotion();
  EXPECT_SAME_BITS(-1.0, model.Y.TipOverIndicator);
}

TEST(TipOver, PitchBeyondTheRestoringLeverTipsOver) {
  Corvanta model;
  model.X.PitchAngle_State = 1.382;
  model.bodyMotion();
  EXPECT_SAME_BITS(1.0, model.Y.TipOverIndicator);
  model.X.PitchAngle_State = -1.382;
  model.bodyMotion();
  EXPECT_SAME_BITS(1.0, model.Y.TipOverIndicator);
  model.X.PitchAngle_State = 1.38;
  model.bodyMotion();
  EXPECT_SAME_BITS(-1.0, model.Y.TipOverIndicator);
}

TEST(TipOver, NaNMarginGivesZero) {
  Corvanta model;
  model.B.LongitudinalAcceleration = rtNaN;
  model.bodyMotion();
  EXPECT_SAME_BITS(0.0, model.Y.TipOverIndicator);
}

TEST(PitchAndRoll, SettlePoints) {
  Corvanta model;
  model.B.LongitudinalAcceleration = 1.0;
  model.B.LateralAcceleration = 1.0;
  model.X.PitchAngle_State = -906.3 / 180624.26;
  model.X.RollAngle_State = (1590.0 * 0.57) / 180624.26;
  model.bodyMotion();
  EXPECT_NEAR(model.B.PitchAcceleration, 0.0, 1e-12);
  EXPECT_NEAR(model.B.RollAcceleration, 0.0, 1e-12);
  // Away from the settle points the suspension pulls back.
  model.X.PitchAngle_State = 0.0;
  model.bodyMotion();
  EXPECT_SAME_BITS(-(180624.26 * 0.0 + ((0.0 * 0.0 + 1.0) * 906.3 + 6364.0 * 0.0)) / 894.4, model.B.PitchAcceleration);
  EXPECT_LT(model.B.PitchAcceleration, 0.0);
}

TEST(GlobalMotion, BodyVelocityRotatedIntoTheRoadPlane) {
  Corvanta model;
  model.X.Heading_State = 0.7;
  model.B.LongitudinalVelocity = 10.0;
  model.B.LateralVelocity = 1.0;
  model.B.YawRate = 0.2;
  model.B.LongitudinalAcceleration = 0.5;
  model.B.LateralAcceleration = -0.3;
  model.bodyMotion();
  const double s = std::sin(0.7);
  const double c = std::cos(0.7);
  EXPECT_SAME_BITS(((c * 0.5 - 0.2 * (10.0 * s)) - -0.3 * s) - 0.2 * (1.0 * c), model.B.GlobalAccelerationX);
  EXPECT_SAME_BITS((c * -0.3 + ((10.0 * c) * 0.2 + 0.5 * s)) - 0.2 * (1.0 * s), model.B.GlobalAccelerationY);
}

TEST(GlobalMotion, VelocityFirstInitialisationFollowsTheHeading) {
  Corvanta model;
  model.initialize();
  model.U.InitialSpeed = 10.0;
  model.U.InitialHeading = 2.0;
  model.globalVelocities();
  EXPECT_SAME_BITS(std::cos(2.0) * 10.0, model.B.GlobalVelocityX);
  EXPECT_SAME_BITS(std::sin(2.0) * 10.0, model.B.GlobalVelocityY);
  model.DW.GlobalVelocityX_FirstInit = 0U;
  model.X.GlobalVelocityX_State = 3.0;
  model.globalVelocities();
  EXPECT_SAME_BITS(3.0, model.B.GlobalVelocityX);
}

}  // namespace
