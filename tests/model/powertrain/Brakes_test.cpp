// Brake map, actuator torques and the sign rule.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "model/Corvanta.h"
#include "model/data/ConstantBlocks.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

class BrakeTorques : public ::testing::Test {
 protected:
  BrakeTorques() {
    model.X.BrakeActuatorFL_State = 0.02;
    model.X.BrakeActuatorFR_State = 0.03;
    model.X.BrakeActuatorRL_State = 0.04;
    model.X.BrakeActuatorRR_State = 0.05;
    e.DriveTorque = 120.0;
  }

  void run(double fraction, double speed) {
    e.BrakeFraction = fraction;
    model.B.LongitudinalVelocity = speed;
    model.brakeTorques(e);
  }

  static double front(double state) { return ((state * 16.666666666666668) * 250.0) * 1.35; }
  static double rear(double state) { return ((state * 16.666666666666668) * 150.0) * 1.35; }

  Corvanta model;
  Evaluation e{};
};

TEST_F(BrakeTorques, ForwardMotionNegatesAll) {
  run(0.4, 3.0);
  EXPECT_SAME_BITS(-front(0.02), e.BrakeTorque[0]);
  EXPECT_SAME_BITS(-front(0.03), e.BrakeTorque[1]);
  EXPECT_SAME_BITS(-rear(0.04), e.BrakeTorque[2]);
  EXPECT_SAME_BITS(-rear(0.05), e.BrakeTorque[3]);
}

TEST_F(BrakeTorques, BackwardMotionKeepsTheSign) {
  run(0.4, -3.0);
  EXPECT_SAME_BITS(front(0.02), e.BrakeTorque[0]);
  EXPECT_SAME_BITS(rear(0.05), e.BrakeTorque[3]);
}

TEST_F(BrakeTorques, StandstillHoldsAgainstTheDriveTorque) {
  run(0.4, 0.0);
  EXPECT_SAME_BITS(-0.0, e.BrakeTorque[0]);
  EXPECT_SAME_BITS(-0.0, e.BrakeTorque[1]);
  EXPECT_SAME_BITS(-120.0, e.BrakeTorque[2]);
  EXPECT_SAME_BITS(-120.0, e.BrakeTorque[3]);
}

TEST_F(BrakeTorques, NoBrakingKeepsTheDecayingPositiveTorques) {
  run(0.0, 10.0);
  EXPECT_SAME_BITS(front(0.02), e.BrakeTorque[0]);
  EXPECT_SAME_BITS(rear(0.04), e.BrakeTorque[2]);
  run(-0.5, 0.0);  // limited to 0: still no braking
  EXPECT_SAME_BITS(0.0, e.BrakeFraction);
  EXPECT_SAME_BITS(rear(0.04), e.BrakeTorque[2]);
}

TEST_F(BrakeTorques, NaNFractionCountsAsBraking) {
  run(rtNaN, 0.0);
  EXPECT_SAME_BITS(-120.0, e.BrakeTorque[2]);
  model.brakeActuatorInput(e);
  EXPECT_TRUE(std::isnan(model.B.BrakeActuatorInput));
  run(rtNaN, rtNaN);  // NaN speed: neither standstill nor forward
  EXPECT_SAME_BITS(front(0.02), e.BrakeTorque[0]);
}

TEST_F(BrakeTorques, FractionLimitedToOne) {
  run(1.3, 5.0);
  EXPECT_SAME_BITS(1.0, e.BrakeFraction);
  model.brakeActuatorInput(e);
  EXPECT_SAME_BITS(((1.0 * 700.0) * 0.02381) / 8.55298599939821, model.B.BrakeActuatorInput);
}

double brakeFraction(double speed, double demand) {
  Corvanta model;
  model.B.LongitudinalVelocity = speed;
  model.U.AccelerationDemand = demand;
  Evaluation e{};
  model.brakeMap(e);
  return e.BrakeFraction;
}

TEST(BrakeMap, PositiveDemandNeverBrakes) {
  for (double speed : {0.0, 0.05, 5.0, 10.0, 12.0, 20.0}) {
    for (double demand : {0.0, 0.3, 2.0}) {
      EXPECT_SAME_BITS(0.0, brakeFraction(speed, demand)) << speed << " " << demand;
    }
  }
  EXPECT_GT(brakeFraction(10.0, -3.0), 0.5);
  EXPECT_TRUE(std::isnan(brakeFraction(rtNaN, -3.0)));
}

TEST(BrakeSettle, FixedPointOfTheLagAndTheGains) {
  // Full braking: the input at fraction 1 is also the lag output at the fixed point.
  const double input = ((1.0 * 700.0) * 0.02381) / 8.55298599939821;
  const double state = input / 16.666666666666668;
  EXPECT_SAME_BITS(0.0, (-16.666666666666668 * state) + input);
  EXPECT_SAME_BITS(1.9486761700735504, state * 16.666666666666668);
  EXPECT_SAME_BITS(657.6782073998232, ((state * 16.666666666666668) * 250.0) * 1.35);
  EXPECT_SAME_BITS(394.606924439894, ((state * 16.666666666666668) * 150.0) * 1.35);
}

TEST(BrakeSettle, SimulatedApplicationApproachesTheFixedPoint) {
  auto model = std::make_unique<Corvanta>();
  model->initialize();
  model->U.AccelerationDemand = -4.2;
  model->U.GearSelector = 1.0;
  for (int k = 0; k < 20000; ++k) {
    model->step();
  }
  EXPECT_NEAR(model->X.BrakeActuatorFL_State * 16.666666666666668, 1.9486761700735504, 1e-12);
  EXPECT_NEAR(model->X.BrakeActuatorRR_State * 16.666666666666668, 1.9486761700735504, 1e-12);
}

}  // namespace
