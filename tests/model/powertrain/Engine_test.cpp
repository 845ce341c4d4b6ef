// Engine, torque converter and the engine-torque transport delay.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "model/Corvanta.h"
#include "model/VehicleConstants.h"
#include "model/data/ConstantBlocks.h"
#include "runtime/Lookup.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

TEST(TorqueConverter, FirstStepAfterCreation) {
  Corvanta model;
  model.initialize();
  model.M.timeStepKind = kMajorTimeStep;
  Evaluation e{};
  model.torqueConverter(e);
  EXPECT_SAME_BITS(0.0, model.B.TurbineSpeedPrev);
  EXPECT_SAME_BITS(1.864, e.TorqueRatio);
  // (750.0000000000001 rpm × 0.006425)²
  EXPECT_SAME_BITS(23.220351562500007, model.B.ImpellerTorque);
}

TEST(TorqueConverter, OverrunningTurbine) {
  Corvanta model;
  model.X.EngineSpeed_State = 200.0;
  model.M.timeStepKind = kMajorTimeStep;
  model.DW.TurbineSpeedPrevState = 300.0;  // speed ratio 1.5
  Evaluation e{};
  model.torqueConverter(e);
  EXPECT_SAME_BITS(1.0, e.TorqueRatio);
  const double t = (9.549296585513721 * 200.0) * -0.006419;
  EXPECT_SAME_BITS(t * t, model.B.ImpellerTorque);
  EXPECT_GT(model.B.ImpellerTorque, 0.0);
}

TEST(TorqueConverter, HeldTurbineSpeedInMinorSteps) {
  Corvanta model;
  model.X.EngineSpeed_State = 200.0;
  model.B.TurbineSpeedPrev = 50.0;
  model.DW.TurbineSpeedPrevState = 300.0;
  model.M.timeStepKind = kMinorTimeStep;
  Evaluation e{};
  model.torqueConverter(e);
  EXPECT_SAME_BITS(50.0, model.B.TurbineSpeedPrev);
}

TEST(TorqueConverter, NaNSpeedRatio) {
  Corvanta model;
  model.X.EngineSpeed_State = 200.0;
  model.M.timeStepKind = kMajorTimeStep;
  model.DW.TurbineSpeedPrevState = rtNaN;
  Evaluation e{};
  model.torqueConverter(e);
  EXPECT_EQ(bitsOf(e.TorqueRatio), bitsOf(rtNaN));
  EXPECT_TRUE(std::isnan(model.B.ImpellerTorque));
}

double throttlePercent(double speed, double demand) {
  Corvanta model;
  model.B.LongitudinalVelocity = speed;
  model.U.AccelerationDemand = demand;
  Evaluation e{};
  model.throttleMap(e);
  return e.ThrottlePercent;
}

TEST(ThrottleMap, ClampsToZeroToOne) {
  EXPECT_SAME_BITS(100.0, throttlePercent(12.0, 1.9924867053765989));  // map value 14.311
  EXPECT_SAME_BITS(0.0, throttlePercent(0.0, 0.012486705376598906));   // map value -0.3585
  EXPECT_SAME_BITS(0.0, throttlePercent(10.0, -3.0));
  const double inside = throttlePercent(5.0, 0.5124867053765989);
  EXPECT_NEAR(inside, 29.56, 1e-9);
  EXPECT_TRUE(std::isnan(throttlePercent(5.0, rtNaN)));
}

double engineTorque(double engineSpeed, double throttlePercentage) {
  Corvanta model;
  model.X.EngineSpeed_State = engineSpeed;
  Evaluation e{};
  e.ThrottlePercent = throttlePercentage;
  model.engineTorqueMap(e);
  return model.B.EngineTorque;
}

TEST(EngineTorqueMap, UpperLimitGivesTheDragTorque) {
  for (double throttle : {0.0, 35.0, 100.0}) {
    EXPECT_SAME_BITS(-61.6, engineTorque(kEngineSpeedMax, throttle));
  }
}

TEST(EngineTorqueMap, IdleSpeedReadsJustAboveTheIdleRow) {
  // 78.53981633974483 rad/s is 750.0000000000001 rpm.
  EXPECT_SAME_BITS(24.99999999999999, engineTorque(kEngineSpeedMin, 0.0));
}

TEST(EngineTorqueMap, ThrottleIsThePercentageScaledBack) {
  const double speed = 1300.0 / 9.549296585513721;
  const double rpm = 9.549296585513721 * speed;
  const double throttle = 0.01 * 35.0;  // 0.35000000000000003
  const double expected =
      Corvanta_gridLookup(throttle, rpm, Corvanta_ConstP.EngineTorqueMap_Table, Corvanta_ConstP.EngineTorqueMap_Axis1,
                          Corvanta_ConstP.EngineTorqueMap_Axis2, kEngineMapSpeeds, kEngineMapThrottles);
  EXPECT_SAME_BITS(expected, engineTorque(speed, 35.0));
  // Limited to the map's range: 6500.000000000001 rpm reads the last row.
  EXPECT_SAME_BITS(-61.6, engineTorque(6500.000000000001 / 9.549296585513721, 35.0));
}

TEST(EngineTorqueMap, NaNThrottleOrSpeedGivesNaN) {
  EXPECT_EQ(bitsOf(engineTorque(300.0, rtNaN)), bitsOf(rtNaN));
  EXPECT_EQ(bitsOf(engineTorque(rtNaN, 50.0)), bitsOf(rtNaN));
}

TEST(EngineSpeedDot, NetTorqueOverTheEngineInertia) {
  Corvanta model;
  model.M.timeStepKind = kMajorTimeStep;
  model.X.EngineTorqueLag_State = 0.5;
  model.DW.ImpellerTorquePrevState = 40.0;
  model.engineSpeedDot();
  EXPECT_SAME_BITS(6.25 * (200.0 * 0.5 - 40.0), model.B.EngineSpeedDot);
  // Minor steps keep the pump torque of the major step.
  model.M.timeStepKind = kMinorTimeStep;
  model.DW.ImpellerTorquePrevState = 0.0;
  model.engineSpeedDot();
  EXPECT_SAME_BITS(40.0, model.B.ImpellerTorquePrev);
}

TEST(EngineTorqueDelay, ZeroForTheFirstFiftyOneMajorSteps) {
  auto model = std::make_unique<Corvanta>();
  model->initialize();
  model->U.AccelerationDemand = 1.5;
  model->U.GearSelector = 1.0;
  // The last evaluation of step n runs at t = n × 0.0001; while t - 0.005 <= 0 the delay
  // yields exactly 0.0 (50 × 0.0001 is exactly 0.005).
  for (int n = 1; n <= 50; ++n) {
    model->step();
    ASSERT_EQ(bitsOf(model->B.EngineTorqueDelayed), 0U) << "step " << n;
  }
  ASSERT_NE(model->DW.TransportDelayBuffer[1], 0.0);
  model->step();
  EXPECT_NE(model->B.EngineTorqueDelayed, 0.0);
}

TEST(EngineTorqueDelay, ReturnsTheTorqueOfFiveMillisecondsAgo) {
  auto model = std::make_unique<Corvanta>();
  model->initialize();
  model->U.AccelerationDemand = 1.5;
  model->U.GearSelector = 1.0;
  for (int n = 0; n < 2000; ++n) {
    model->step();
    if (n > 1100) {
      // After more than 1023 writes the oldest entry moves with the newest.
      ASSERT_EQ(model->DW.TransportDelayTail, (model->DW.TransportDelayHead + 1) % kTransportDelayEntries);
    }
  }
  const int head = model->DW.TransportDelayHead;
  const double *values = model->DW.TransportDelayBuffer;
  const double *stamps = values + kTransportDelayEntries;
  EXPECT_SAME_BITS(1999.0 * 0.0001, stamps[head]);
  const int back = (head - 49 + kTransportDelayEntries) % kTransportDelayEntries;
  EXPECT_SAME_BITS(1950.0 * 0.0001, stamps[back]);
  // The last evaluation ran at t = 0.2, reading 0.195 = the sample written at step 1950.
  EXPECT_NEAR(model->B.EngineTorqueDelayed, values[back], 1e-9 * std::fabs(values[back]) + 1e-12);
}

}  // namespace
