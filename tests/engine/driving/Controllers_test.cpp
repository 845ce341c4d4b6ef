#include "engine/driving/PathFollower.h"
#include "engine/driving/SpeedController.h"

#include <cmath>

#include <gtest/gtest.h>

namespace corvanta::driving {
namespace {

SpeedControllerSettings target(double speed) {
  SpeedControllerSettings settings;
  settings.target = speed;
  return settings;
}

TEST(SpeedController, ProportionalAndIntegralAction) {
  SpeedController controller(target(10.0));
  // e = 0.5: demand = 2 * 0.5 + 0.5 * 0 (the integral counts from this update on).
  SpeedCommand command = controller.update(9.5, 0.0, 0.0, 0.001);
  EXPECT_EQ(command.demand, 1.0);
  EXPECT_EQ(command.gear, kGearDrive);
  EXPECT_EQ(controller.integral(), 0.0005);
  command = controller.update(9.5, 0.001, 0.0, 0.001);
  EXPECT_EQ(command.demand, 1.0 + 0.5 * 0.0005);
  // Outside the integral band (0.5 m/s) only the proportional part acts.
  command = controller.update(9.25, 0.002, 0.0, 0.001);
  EXPECT_EQ(command.demand, 1.5 + 0.5 * 0.001);
  EXPECT_EQ(controller.integral(), 0.001);
}

TEST(SpeedController, AntiWindupStopsTheIntegralAtTheDemandLimits) {
  SpeedControllerSettings wideBand = target(10.0);
  wideBand.integralBand = 100.0;
  SpeedController controller(wideBand);
  for (int i = 0; i < 1000; ++i) {
    EXPECT_EQ(controller.update(0.0, i * 0.001, 0.0, 0.001).demand, kMaxDemand);
  }
  EXPECT_EQ(controller.integral(), 0.0);
  // Once the error changes sign the integral moves again at once.
  const SpeedCommand command = controller.update(10.25, 1.0, 0.0, 0.001);
  EXPECT_EQ(command.demand, -0.5);
  EXPECT_EQ(controller.integral(), -0.00025);
  // Braking saturates at the brake end of the map.
  wideBand.target = 0.0;
  SpeedController braking(wideBand);
  EXPECT_EQ(braking.update(20.0, 0.0, 0.0, 0.001).demand, kMinDemand);
  EXPECT_EQ(braking.integral(), 0.0);
}

TEST(SpeedController, NegativeTargetSelectsReverseAndControlsBackwardSpeed) {
  SpeedController controller(target(-2.0));
  // Rolling backwards at 1.5 m/s (v = -1.5): 0.5 m/s short of the target.
  const SpeedCommand command = controller.update(-1.5, 0.0, 0.0, 0.001);
  EXPECT_EQ(command.gear, kGearReverse);
  EXPECT_EQ(command.demand, 1.0);
  // Backing faster than asked brakes.
  EXPECT_LT(SpeedController(target(-2.0)).update(-3.0, 0.0, 0.0, 0.001).demand, 0.0);
}

TEST(SpeedController, ProfilesOverTimeAndDistance) {
  SpeedControllerSettings settings;
  settings.mode = SpeedControllerSettings::Mode::Profile;
  settings.profile = SpeedProfile{false, {0.0, 10.0, 20.0}, {0.0, 10.0, 4.0}};
  const SpeedController overTime(settings);
  EXPECT_EQ(overTime.targetAt(-1.0, 0.0), 0.0);
  EXPECT_EQ(overTime.targetAt(2.5, 999.0), 2.5);
  EXPECT_EQ(overTime.targetAt(15.0, 0.0), 7.0);
  EXPECT_EQ(overTime.targetAt(30.0, 0.0), 4.0);
  settings.profile.overDistance = true;
  const SpeedController overDistance(settings);
  EXPECT_EQ(overDistance.targetAt(999.0, 2.5), 2.5);
}

TEST(SpeedController, FixedDemandHoldsItsGear) {
  SpeedControllerSettings settings;
  settings.mode = SpeedControllerSettings::Mode::Demand;
  settings.demand = -1.25;
  settings.gear = kGearNeutral;
  SpeedController controller(settings);
  const SpeedCommand command = controller.update(12.0, 0.0, 0.0, 0.001);
  EXPECT_EQ(command.demand, -1.25);
  EXPECT_EQ(command.gear, kGearNeutral);
  EXPECT_TRUE(std::isnan(controller.targetAt(0.0, 0.0)));
}

TEST(SpeedController, RefusesUnusableSettings) {
  SpeedControllerSettings settings = target(10.0);
  settings.kp = -1.0;
  EXPECT_THROW(SpeedController{settings}, DrivingError);
  settings = target(10.0);
  settings.integralBand = 0.0;
  EXPECT_THROW(SpeedController{settings}, DrivingError);
  settings = target(NAN);
  EXPECT_THROW(SpeedController{settings}, DrivingError);
  settings = target(1.0);
  settings.minDemand = 1.0;
  settings.maxDemand = 1.0;
  EXPECT_THROW(SpeedController{settings}, DrivingError);
  settings = target(1.0);
  settings.mode = SpeedControllerSettings::Mode::Profile;
  settings.profile = SpeedProfile{false, {0.0, 0.0}, {1.0, 2.0}};
  EXPECT_THROW(SpeedController{settings}, DrivingError);
  settings.profile = SpeedProfile{false, {0.0, 1.0}, {1.0}};
  EXPECT_THROW(SpeedController{settings}, DrivingError);
  settings.profile = SpeedProfile{false, {0.0, 1.0}, {1.0, -1.0}};
  EXPECT_THROW(SpeedController{settings}, DrivingError);
}

std::shared_ptr<const Path> straight() {
  return std::make_shared<const Path>(std::vector<Point2>{{0.0, 0.0}, {1000.0, 0.0}}, false);
}

TEST(PathFollower, PurePursuitSteersOnTheArcThroughTheTargetPoint) {
  PathFollowerSettings settings;
  settings.maxRate = 100.0;
  PathFollower follower(straight(), settings);
  // 1 m right of the path at 10 m/s: look-ahead 8 m, target (8, 0).
  const double steering = follower.update({0.0, -1.0}, 0.0, 10.0, false, 1.0);
  const double alpha = std::atan2(1.0, 8.0);
  EXPECT_DOUBLE_EQ(steering, std::atan(2.0 * 2.8 * std::sin(alpha) / std::hypot(8.0, 1.0)));
  EXPECT_GT(steering, 0.0);  // steers left, back towards the path
  EXPECT_EQ(follower.state().lateral, -1.0);
  // At a standstill the look-ahead is its minimum, 4 m.
  PathFollower slow(straight(), settings);
  EXPECT_DOUBLE_EQ(slow.update({0.0, -1.0}, 0.0, 0.0, false, 1.0),
                   std::atan(2.0 * 2.8 * std::sin(std::atan2(1.0, 4.0)) / std::hypot(4.0, 1.0)));
}

TEST(PathFollower, SteeringAngleAndRateLimits) {
  PathFollowerSettings settings;
  settings.maxAngle = 0.2;
  settings.maxRate = 1.0;
  PathFollower follower(straight(), settings);
  // Far off the path the wanted angle is large; each 0.01 s update moves 0.01 rad.
  EXPECT_DOUBLE_EQ(follower.update({0.0, -5.0}, 0.0, 10.0, false, 0.01), 0.01);
  EXPECT_DOUBLE_EQ(follower.update({0.0, -5.0}, 0.0, 10.0, false, 0.01), 0.02);
  for (int i = 0; i < 100; ++i) {
    follower.update({0.0, -5.0}, 0.0, 10.0, false, 0.01);
  }
  EXPECT_EQ(follower.state().steering, 0.2);
}

TEST(PathFollower, ReverseSteersTheRearTowardsThePath) {
  PathFollowerSettings settings;
  settings.maxRate = 100.0;
  // Backing along the path (heading pi: the car faces -x and moves +x), 1 m right of it:
  // the rear must swing left (+y), which in reverse takes a right (negative) steer angle.
  PathFollower follower(straight(), settings);
  EXPECT_LT(follower.update({0.0, -1.0}, M_PI, -3.0, true, 0.001), 0.0);
}

TEST(PathFollower, RefusesNonPositiveSettings) {
  PathFollowerSettings settings;
  settings.lookAheadTime = 0.0;
  EXPECT_THROW(PathFollower(straight(), settings), DrivingError);
  settings = PathFollowerSettings{};
  settings.maxRate = INFINITY;
  EXPECT_THROW(PathFollower(straight(), settings), DrivingError);
}

}  // namespace
}  // namespace corvanta::driving
