#include "engine/driving/Signals.h"

#include <cmath>

#include <gtest/gtest.h>

#include "engine/driving/Condition.h"

namespace corvanta::driving {
namespace {

constexpr double kStep = 0.0001;

TEST(Signals, NamesAndLookup) {
  EXPECT_EQ(findSignal("LongitudinalSpeed"), kLongitudinalSpeed);
  EXPECT_EQ(findSignal("time_in_state"), kTimeInState);
  EXPECT_EQ(findSignal("Speed"), std::nullopt);
  EXPECT_EQ(kSignalNames[kFirstInputSignal + 2], "SteeringAngle");
  EXPECT_EQ(listOfSignalNames().substr(0, 16), "time, PositionX,");
}

// A car on a circle of radius R at speed v, counter-clockwise, starting at the origin
// heading along x: the derived signals are the circle's kinematics.
TEST(DerivedSignals, SteadyCircleGivesYawRateAccelerationAndRadius) {
  const double radius = 25.0;
  const double speed = 10.0;
  const double rate = speed / radius;
  SignalFrame frame{};
  frame[kInitialSpeed] = speed;
  DerivedSignals derived;
  derived.restart(frame);
  for (int k = 1; k <= 20000; ++k) {
    const double heading = rate * k * kStep;
    frame[kTime] = k * kStep;
    frame[kHeading] = heading;
    frame[kPositionX] = radius * std::sin(heading);
    frame[kPositionY] = radius * (1.0 - std::cos(heading));
    derived.update(frame, kStep);
  }
  EXPECT_NEAR(frame[kYawRate], rate, 1e-9);
  EXPECT_NEAR(frame[kDistance], speed * 2.0, 1e-6);
  EXPECT_NEAR(frame[kLateralAcceleration], speed * speed / radius, 1e-4);
  EXPECT_NEAR(frame[kLongitudinalAcceleration], 0.0, 1e-3);
  EXPECT_NEAR(frame[kPathRadius], radius, 1e-3);
}

TEST(DerivedSignals, StraightAccelerationFromTheInitialSpeed) {
  // x = v0 t + a t^2 / 2 along a heading of 30 degrees.
  const double heading = M_PI / 6.0;
  SignalFrame frame{};
  frame[kInitialSpeed] = 5.0;
  frame[kInitialHeading] = heading;
  frame[kInitialPositionX] = 100.0;
  DerivedSignals derived;
  derived.restart(frame);
  for (int k = 1; k <= 100; ++k) {
    const double t = k * kStep;
    const double s = 5.0 * t + 0.5 * 2.0 * t * t;
    frame[kHeading] = heading;
    frame[kPositionX] = 100.0 + s * std::cos(heading);
    frame[kPositionY] = s * std::sin(heading);
    derived.update(frame, kStep);
    // Defined from the very first step on.
    EXPECT_NEAR(frame[kLongitudinalAcceleration], 2.0, 1e-5) << k;
    EXPECT_NEAR(frame[kLateralAcceleration], 0.0, 1e-5) << k;
    EXPECT_EQ(frame[kYawRate], 0.0);
  }
  EXPECT_NEAR(frame[kDistance], 5.0 * 0.01 + 0.0001, 1e-12);
  EXPECT_TRUE(std::isinf(frame[kPathRadius]) || std::fabs(frame[kPathRadius]) > 1e6);
}

SignalFrame withSpeed(double speed, double time = 0.0) {
  SignalFrame frame{};
  frame[kLongitudinalSpeed] = speed;
  frame[kTime] = time;
  return frame;
}

TEST(Condition, FiresOnceWhenTheSignalCrossesIntoIt) {
  Condition stopped({Comparison{kLongitudinalSpeed, Comparison::Operator::Less, 0.05}});
  // A standstill start does not count: the condition has not been crossed.
  EXPECT_FALSE(stopped.crossed(withSpeed(0.0)));
  EXPECT_FALSE(stopped.crossed(withSpeed(0.01)));
  EXPECT_FALSE(stopped.crossed(withSpeed(3.0)));
  EXPECT_FALSE(stopped.crossed(withSpeed(0.05)));  // not < 0.05
  EXPECT_TRUE(stopped.crossed(withSpeed(0.049)));
  EXPECT_TRUE(stopped.fired());
  EXPECT_FALSE(stopped.crossed(withSpeed(3.0)));
  EXPECT_FALSE(stopped.crossed(withSpeed(0.0)));
}

TEST(Condition, AllComparisonsMustHoldAndNaNHoldsNone) {
  Condition both({Comparison{kLongitudinalSpeed, Comparison::Operator::GreaterEqual, 5.0},
                  Comparison{kTime, Comparison::Operator::Greater, 2.0}});
  EXPECT_FALSE(both.crossed(withSpeed(6.0, 1.0)));
  EXPECT_FALSE(both.crossed(withSpeed(NAN, 3.0)));
  EXPECT_TRUE(both.crossed(withSpeed(5.0, 3.0)));
  EXPECT_EQ(both.describe(), "LongitudinalSpeed >= 5 and time > 2");
  EXPECT_FALSE(Condition({}).crossed(withSpeed(1.0)));
}

TEST(Condition, OperatorsAndShortestNumbers) {
  Comparison::Operator op{};
  EXPECT_TRUE(parseOperator("<=", op));
  EXPECT_EQ(op, Comparison::Operator::LessEqual);
  EXPECT_FALSE(parseOperator("==", op));
  EXPECT_EQ(shortestText(0.05), "0.05");
  EXPECT_EQ(shortestText(10.0), "10");
  EXPECT_EQ(shortestText(-4.204974631199062), "-4.204974631199062");
  EXPECT_EQ(shortestText(1e-7), "1e-07");
}

}  // namespace
}  // namespace corvanta::driving
