// The body states as signals: loads from the initial conditions while the flags are raised,
// plain copies afterwards, and the output fields that come straight from states.
#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "tests/TestSupport.h"

namespace {

Corvanta &startedWith(Corvanta &model) {
  model.initialize();
  model.U.InitialSpeed = 12.5;
  model.U.InitialHeading = -0.75;
  model.U.InitialPositionX = 100.0;
  model.U.InitialPositionY = -40.0;
  model.X.LateralVelocity_State = 0.3;
  model.X.YawRate_State = -0.02;
  return model;
}

TEST(BodyStates, FirstEvaluationLoadsTheInitialConditions) {
  Corvanta model;
  startedWith(model);
  model.vehicleSpeed();
  model.planarMotionStates();
  model.positions();
  EXPECT_SAME_BITS(12.5, model.X.LongitudinalVelocity_State);
  EXPECT_SAME_BITS(12.5, model.B.LongitudinalVelocity);
  EXPECT_SAME_BITS(-0.75, model.X.Heading_State);
  EXPECT_SAME_BITS(100.0, model.X.PositionX_State);
  EXPECT_SAME_BITS(-40.0, model.X.PositionY_State);
  // Lateral velocity and yaw rate have no initial condition: copied as they stand.
  EXPECT_SAME_BITS(0.3, model.B.LateralVelocity);
  EXPECT_SAME_BITS(-0.02, model.B.YawRate);
}

TEST(BodyStates, AfterTheFirstMajorUpdateTheStatesAreOnlyRead) {
  Corvanta model;
  startedWith(model);
  model.majorUpdate();
  model.X.LongitudinalVelocity_State = 3.0;
  model.X.Heading_State = 0.5;
  model.X.PositionX_State = 7.0;
  model.X.PositionY_State = 8.0;
  model.vehicleSpeed();
  model.planarMotionStates();
  model.positions();
  EXPECT_SAME_BITS(3.0, model.B.LongitudinalVelocity);
  EXPECT_SAME_BITS(0.5, model.X.Heading_State);
  EXPECT_SAME_BITS(7.0, model.X.PositionX_State);
  EXPECT_SAME_BITS(8.0, model.X.PositionY_State);
}

TEST(BodyOutputs, SpeedPositionAndHeadingComeFromTheStates) {
  Corvanta model;
  model.B.LongitudinalVelocity = -1.5;
  model.X.PositionX_State = -0.0;
  model.X.PositionY_State = 2.25;
  model.X.Heading_State = 7.0;  // not wrapped
  model.speedAndPositionOutputs();
  model.headingOutput();
  EXPECT_SAME_BITS(-1.5, model.Y.LongitudinalSpeed);
  EXPECT_SAME_BITS(-0.0, model.Y.PositionX);
  EXPECT_SAME_BITS(2.25, model.Y.PositionY);
  EXPECT_SAME_BITS(7.0, model.Y.Heading);
}

}  // namespace
