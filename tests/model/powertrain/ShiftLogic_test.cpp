// Gear-shift chart: two-step confirmation, withdrawal, limits and NaN handling.
#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "model/data/ConstantBlocks.h"
#include "runtime/Lookup.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

class ShiftLogic : public ::testing::Test {
 protected:
  ShiftLogic() {
    model.M.timeStepKind = kMajorTimeStep;
    e.ThrottlePercent = 0.0;
  }

  // One major step of the chart with the held gear and the vehicle speed given; the gear
  // update is reflected in the held gear of the next step, as the update phase does.
  void majorStep(double speedKmh) {
    model.B.LongitudinalVelocity = speedFor(speedKmh);
    model.shiftLogic(e);
    model.DW.GearPrevState = model.B.Gear;
  }

  // A speed in m/s whose 3.6-fold is exactly the given km/h, where one exists nearby.
  static double speedFor(double kmh) {
    double v = kmh / 3.6;
    for (int k = 0; k < 8 && 3.6 * v != kmh; ++k) {
      v = std::nextafter(v, (3.6 * v < kmh) ? 1e300 : -1e300);
    }
    return v;
  }

  double upshiftSpeed(double gear) {
    return Corvanta_gridLookup(e.ThrottlePercent, gear, Corvanta_ConstP.UpshiftMap_Table,
                               Corvanta_ConstP.ShiftMap_Axis1, Corvanta_ConstP.ShiftMap_Axis2, kShiftMapGears,
                               kShiftMapThrottles);
  }

  void startInGear(double gear) {
    model.DW.GearState = gear;
    model.DW.GearPrevState = gear;
  }

  Corvanta model;
  Evaluation e{};
};

TEST_F(ShiftLogic, UpshiftTwoMajorStepsAfterTheCrossing) {
  startInGear(1.0);
  const double above = upshiftSpeed(1.0) + 0.5;
  majorStep(above);
  EXPECT_SAME_BITS(1.0, model.DW.ShiftState);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftTimer);
  EXPECT_SAME_BITS(1.0, model.B.Gear);
  majorStep(above);
  EXPECT_SAME_BITS(1.0, model.DW.ShiftTimer);
  EXPECT_SAME_BITS(1.0, model.B.Gear);
  majorStep(above);
  EXPECT_SAME_BITS(2.0, model.B.Gear);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftState);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftTimer);
}

TEST_F(ShiftLogic, EqualSpeedDoesNotStartButConfirms) {
  startInGear(1.0);
  const double threshold = upshiftSpeed(1.0);
  ASSERT_EQ(3.6 * speedFor(threshold), threshold);
  majorStep(threshold);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftState);
  majorStep(threshold + 1.0);
  majorStep(threshold);
  majorStep(threshold);
  EXPECT_SAME_BITS(2.0, model.B.Gear);
}

TEST_F(ShiftLogic, DipBelowWithdrawsTheRequest) {
  startInGear(2.0);
  const double threshold = upshiftSpeed(2.0);
  majorStep(threshold + 1.0);
  majorStep(threshold + 1.0);
  EXPECT_SAME_BITS(1.0, model.DW.ShiftTimer);
  majorStep(threshold - 0.01);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftState);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftTimer);
  EXPECT_SAME_BITS(2.0, model.B.Gear);
}

TEST_F(ShiftLogic, DownshiftAndItsLimits) {
  startInGear(3.0);
  majorStep(1.0);
  EXPECT_SAME_BITS(-1.0, model.DW.ShiftState);
  majorStep(1.0);
  majorStep(1.0);
  EXPECT_SAME_BITS(2.0, model.B.Gear);
  // In first gear the downshift speed is 0: a confirmed downshift at negative speed
  // leaves the gear at 1.
  startInGear(1.0);
  majorStep(-5.0);
  majorStep(-5.0);
  majorStep(-5.0);
  EXPECT_SAME_BITS(1.0, model.B.Gear);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftState);
}

TEST_F(ShiftLogic, FifthGearNeverShiftsUp) {
  startInGear(5.0);
  e.ThrottlePercent = 100.0;
  for (int k = 0; k < 5; ++k) {
    majorStep(400.0);
  }
  EXPECT_SAME_BITS(5.0, model.B.Gear);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftState);
}

TEST_F(ShiftLogic, NaNSpeedsKeepAPendingTimerCounting) {
  startInGear(1.0);
  majorStep(upshiftSpeed(1.0) + 1.0);
  EXPECT_SAME_BITS(1.0, model.DW.ShiftState);
  // Outside the grid (a NaN throttle): every comparison fails, the timer counts on.
  e.ThrottlePercent = rtNaN;
  majorStep(40.0);
  majorStep(40.0);
  majorStep(40.0);
  EXPECT_SAME_BITS(3.0, model.DW.ShiftTimer);
  EXPECT_SAME_BITS(1.0, model.B.Gear);
  // Valid again and still beyond the threshold: shifts at once.
  e.ThrottlePercent = 0.0;
  majorStep(40.0);
  EXPECT_SAME_BITS(2.0, model.B.Gear);
}

TEST_F(ShiftLogic, HeldGearZeroAfterCreationKeepsTheChartSteady) {
  model.DW.GearState = 1.0;
  model.DW.GearPrevState = 0.0;
  model.B.LongitudinalVelocity = 30.0;
  model.shiftLogic(e);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftState);
  EXPECT_SAME_BITS(1.0, model.B.Gear);
}

TEST_F(ShiftLogic, MinorStepsHoldEverything) {
  startInGear(1.0);
  model.B.Gear = 1.0;
  model.M.timeStepKind = kMinorTimeStep;
  model.DW.GearState = 4.0;
  model.B.LongitudinalVelocity = 100.0;
  model.shiftLogic(e);
  EXPECT_SAME_BITS(1.0, model.B.Gear);
  EXPECT_SAME_BITS(0.0, model.DW.ShiftState);
}

TEST_F(ShiftLogic, UnknownStatesTakeTheDefaultBranch) {
  model.DW.ShiftState = rtNaN;
  model.DW.GearState = 1e300;
  model.DW.GearPrevState = 1.0;
  model.B.LongitudinalVelocity = 100.0;
  model.shiftLogic(e);
  EXPECT_TRUE(std::isnan(model.DW.ShiftState));
  EXPECT_SAME_BITS(1e300, model.B.Gear);
}

}  // namespace
