#include "runtime/Lookup.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/data/ConstantBlocks.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

const ConstP_Corvanta_T &P = Corvanta_ConstP;

double torqueRatio(double speedRatio) {
  return Corvanta_lookup1D(speedRatio, P.TorqueRatio_Axis1, P.TorqueRatio_Table, kTorqueRatioPoints);
}

double invCapacity(double speedRatio) {
  return Corvanta_lookup1D(speedRatio, P.InvCapacityFactor_Axis1, P.InvCapacityFactor_Table, kInvCapacityPoints);
}

TEST(IntervalIndex, BreakpointsSelectTheIntervalStartingThere) {
  const double bp[] = {0.0, 1.0, 2.0, 3.0};
  EXPECT_EQ(Corvanta_intervalIndex(0.0, bp, 4), 0);
  EXPECT_EQ(Corvanta_intervalIndex(0.999, bp, 4), 0);
  EXPECT_EQ(Corvanta_intervalIndex(1.0, bp, 4), 1);
  EXPECT_EQ(Corvanta_intervalIndex(2.5, bp, 4), 2);
  // The last breakpoint belongs to the last interval.
  EXPECT_EQ(Corvanta_intervalIndex(3.0, bp, 4), 2);
}

TEST(Lookup1D, BreakpointsReturnStoredValuesBitForBit) {
  for (int k = 0; k < kTorqueRatioPoints; ++k) {
    EXPECT_SAME_BITS(P.TorqueRatio_Table[k], torqueRatio(P.TorqueRatio_Axis1[k]));
  }
  EXPECT_SAME_BITS(0.006425, invCapacity(0.0));
  EXPECT_SAME_BITS(1.864, torqueRatio(0.0));
}

TEST(Lookup1D, InterpolatesBetweenBreakpoints) {
  // Between 0.4 (0.006424) and 0.5 (0.006419).
  const double r = (0.45 - 0.4) / (0.5 - 0.4);
  EXPECT_SAME_BITS((1.0 - r) * 0.006424 + r * 0.006419, invCapacity(0.45));
  // Equal neighbours are returned without arithmetic.
  EXPECT_SAME_BITS(0.006425, invCapacity(0.25));
}

TEST(Lookup1D, ExtrapolatesTheEndSegments) {
  // Equal last values: every finite ratio above 1 gives exactly 1.0.
  EXPECT_SAME_BITS(1.0, torqueRatio(1.5));
  EXPECT_SAME_BITS(1.0, torqueRatio(1e6));
  // Below 0 the torque ratio grows along the first segment's slope, dividing first.
  EXPECT_SAME_BITS(1.864 + ((-0.5 - 0.0) / (0.102 - 0.0)) * (1.78 - 1.864), torqueRatio(-0.5));
  EXPECT_GT(torqueRatio(-0.5), 1.864);
  EXPECT_SAME_BITS(0.006425, invCapacity(-3.0));
  // Above 2 the inverse capacity factor stays at its flat end.
  EXPECT_SAME_BITS(-0.006425, invCapacity(2.5));
}

TEST(Lookup1D, NaNGivesNaN) { EXPECT_TRUE(rtIsNaN(torqueRatio(rtNaN))); }

double brake(double speed, double demand) {
  return look2_binlxpw(speed, demand, P.DemandMapSpeed_Axis1, P.BrakeMap_Axis2, P.BrakeMap_Table, P.BrakeMap_LastIndex,
                       kDemandMapSpeeds);
}

double throttle(double speed, double demand) {
  return look2_binlxpw(speed, demand, P.DemandMapSpeed_Axis1, P.ThrottleMap_Axis2, P.ThrottleMap_Table,
                       P.ThrottleMap_LastIndex, kDemandMapSpeeds);
}

double brakeEntry(int speed, int demand) { return P.BrakeMap_Table[speed + demand * kDemandMapSpeeds]; }

TEST(Look2, FirstBreakpointsTakeTheFirstBranch) {
  // u0 = 0 and u1 = the first demand: i = 0, f = 0; the value is still formed by the
  // interpolation expressions.
  const double t00 = brakeEntry(0, 0);
  const double t10 = brakeEntry(1, 0);
  const double y0 = (t10 - t00) * 0.0 + t00;
  const double t01 = brakeEntry(0, 1);
  const double t11 = brakeEntry(1, 1);
  const double y1 = (t11 - t01) * 0.0 + t01;
  EXPECT_SAME_BITS((y1 - y0) * 0.0 + y0, brake(0.0, P.BrakeMap_Axis2[0]));
}

TEST(Look2, LastSpeedUsesTheLastIntervalWithFractionOne) {
  const double demand = P.BrakeMap_Axis2[100] + 0.004;
  const double f1 = (demand - P.BrakeMap_Axis2[100]) / (P.BrakeMap_Axis2[101] - P.BrakeMap_Axis2[100]);
  const double y0 = (brakeEntry(120, 100) - brakeEntry(119, 100)) * 1.0 + brakeEntry(119, 100);
  const double y1 = (brakeEntry(120, 101) - brakeEntry(119, 101)) * 1.0 + brakeEntry(119, 101);
  EXPECT_SAME_BITS((y1 - y0) * f1 + y0, brake(12.0, demand));
}

TEST(Look2, ExtrapolatesBeyondTheLastDemandInsteadOfClamping) {
  const double d411 = P.BrakeMap_Axis2[411];
  const double d412 = P.BrakeMap_Axis2[412];
  const double f1 = (1.0 - d411) / (d412 - d411);
  const double y0 = (brakeEntry(51, 411) - brakeEntry(50, 411)) * 0.0 + brakeEntry(50, 411);
  const double y1 = (brakeEntry(51, 412) - brakeEntry(50, 412)) * 0.0 + brakeEntry(50, 412);
  EXPECT_SAME_BITS((y1 - y0) * f1 + y0, brake(5.0, 1.0));
  EXPECT_LT(brake(5.0, 1.0), brake(5.0, d412));
  // Far outside in both coordinates the continuation is still linear and finite.
  EXPECT_TRUE(std::isfinite(throttle(-100.0, 50.0)));
}

TEST(Look2, NaNInEitherCoordinateGivesNaN) {
  EXPECT_TRUE(rtIsNaN(brake(rtNaN, -1.0)));
  EXPECT_TRUE(rtIsNaN(brake(3.0, rtNaN)));
  EXPECT_TRUE(rtIsNaN(throttle(rtNaN, rtNaN)));
}

double upshift(double throttlePercent, double gear) {
  return Corvanta_gridLookup(throttlePercent, gear, P.UpshiftMap_Table, P.ShiftMap_Axis1, P.ShiftMap_Axis2,
                             kShiftMapGears, kShiftMapThrottles);
}

double downshift(double throttlePercent, double gear) {
  return Corvanta_gridLookup(throttlePercent, gear, P.DownshiftMap_Table, P.ShiftMap_Axis1, P.ShiftMap_Axis2,
                             kShiftMapGears, kShiftMapThrottles);
}

TEST(GridLookup, RefusesPointsOutsideTheGrid) {
  EXPECT_TRUE(rtIsNaN(upshift(50.0, 0.0)));  // gear 0: the held gear right after creation
  EXPECT_TRUE(rtIsNaN(downshift(50.0, 0.0)));
  EXPECT_TRUE(rtIsNaN(upshift(100.1, 3.0)));
  EXPECT_TRUE(rtIsNaN(upshift(-0.1, 3.0)));
  EXPECT_TRUE(rtIsNaN(upshift(50.0, 5.5)));
  EXPECT_TRUE(rtIsNaN(upshift(rtNaN, 2.0)));
  EXPECT_TRUE(rtIsNaN(upshift(20.0, rtNaN)));
  EXPECT_EQ(bitsOf(upshift(50.0, 0.0)), bitsOf(rtNaN));
}

TEST(GridLookup, ShiftScheduleEdges) {
  for (double throttlePercent : {0.0, 37.5, 100.0}) {
    EXPECT_SAME_BITS(1000000.0, upshift(throttlePercent, 5.0));
    EXPECT_SAME_BITS(0.0, downshift(throttlePercent, 1.0));
  }
  // Throttle 100 lies in the last column interval and returns the stored value.
  EXPECT_SAME_BITS(91.0, upshift(100.0, 3.0));
  EXPECT_SAME_BITS(56.0, downshift(100.0, 3.0));
  // Half-way between 89 % and 90 % of the second gear's downshift row.
  const double y0 = P.DownshiftMap_Table[kShiftMapThrottles + 89];
  const double y1 = P.DownshiftMap_Table[kShiftMapThrottles + 90];
  EXPECT_SAME_BITS(0.5 * y0 + 0.5 * y1, downshift(89.5, 2.0));
  EXPECT_NEAR(downshift(89.5, 2.0), (32.666666666666667 + 35.5) / 2.0, 1e-12);
  // Between gears the rows are interpolated first.
  EXPECT_SAME_BITS(
      0.5 * P.UpshiftMap_Table[2 * kShiftMapThrottles + 40] + 0.5 * P.UpshiftMap_Table[3 * kShiftMapThrottles + 40],
      upshift(40.0, 3.5));
}

double engineMap(double throttleFraction, double rpm) {
  return Corvanta_gridLookup(throttleFraction, rpm, P.EngineTorqueMap_Table, P.EngineTorqueMap_Axis1,
                             P.EngineTorqueMap_Axis2, kEngineMapSpeeds, kEngineMapThrottles);
}

TEST(GridLookup, EngineMapRowsAndColumns) {
  EXPECT_SAME_BITS(25.0, engineMap(0.0, 750.0));
  for (double throttleFraction : {0.0, 0.42, 1.0}) {
    EXPECT_SAME_BITS(-61.6, engineMap(throttleFraction, 6500.0));
  }
  // The idle speed in rad/s converts to one unit in the last place above 750 rpm, where
  // the map is already falling towards the next row.
  EXPECT_SAME_BITS(24.99999999999999, engineMap(0.0, 9.549296585513721 * 78.53981633974483));
  // A throttle with a rounding residue interpolates with a tiny fraction.
  const double residue = 0.01 * (100.0 * 0.35);
  EXPECT_SAME_BITS(0.35000000000000003, residue);
  const double s = (residue - 0.35) / (0.5 - 0.35);
  EXPECT_SAME_BITS((1.0 - s) * 207.0 + s * 222.12, engineMap(residue, 1300.0));
  EXPECT_SAME_BITS(207.0, engineMap(0.35, 1300.0));
}

double gearRatio(double gear) {
  return Corvanta_nearestLookup(gear, P.GearRatio_Axis1, P.GearRatio_Table, kGearRatioPoints);
}

TEST(NearestLookup, PicksTheNearestBreakpoint) {
  EXPECT_SAME_BITS(-4.0, gearRatio(-1.0));
  EXPECT_SAME_BITS(0.0, gearRatio(0.0));
  EXPECT_SAME_BITS(3.538, gearRatio(1.0));
  EXPECT_SAME_BITS(0.713, gearRatio(5.0));
  EXPECT_SAME_BITS(2.06, gearRatio(1.5));  // half-way takes the upper
  EXPECT_SAME_BITS(3.538, gearRatio(1.49));
  EXPECT_TRUE(rtIsNaN(gearRatio(-1.5)));
  EXPECT_TRUE(rtIsNaN(gearRatio(5.01)));
  EXPECT_TRUE(rtIsNaN(gearRatio(rtNaN)));
}

}  // namespace

// Lookups started from a remembered interval give the bits of the plain bisection, for
// coordinates that walk along a table, jump, sit on breakpoints, leave the table or are
// not numbers, and for a hint left in any state.
namespace {

class Walk {
 public:
  // The next coordinate: small steps mostly, then jumps, breakpoints and corner cases.
  double next(const double *bp, int n) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    const double u = static_cast<double>(state_ >> 11) * 0x1.0p-53;
    const double span = bp[n - 1] - bp[0];
    if (u < 0.6) {
      x_ += (u - 0.3) * span * 0.01;
    } else if (u < 0.75) {
      x_ = bp[static_cast<int>((u - 0.6) / 0.15 * n) % n];
    } else if (u < 0.9) {
      x_ = bp[0] - 0.2 * span + 1.4 * span * ((u - 0.75) / 0.15);
    } else {
      const double corner[] = {rtNaN, rtInf, rtMinusInf, -0.0, 0.0, 1e300, -1e300};
      return corner[static_cast<int>((u - 0.9) / 0.1 * 7) % 7];
    }
    return x_;
  }

 private:
  std::uint64_t state_ = 99U;
  double x_ = 0.0;
};

TEST(LookupHint, OneDimensionalLookupsMatchTheBisection) {
  LookupHint ratioHint;
  LookupHint capacityHint;
  LookupHint gearHint;
  Walk walk;
  for (int k = 0; k < 20000; ++k) {
    const double x = walk.next(P.TorqueRatio_Axis1, kTorqueRatioPoints);
    EXPECT_SAME_BITS(torqueRatio(x),
                     Corvanta_lookup1D(x, P.TorqueRatio_Axis1, P.TorqueRatio_Table, kTorqueRatioPoints, &ratioHint));
    EXPECT_SAME_BITS(invCapacity(x), Corvanta_lookup1D(x, P.InvCapacityFactor_Axis1, P.InvCapacityFactor_Table,
                                                       kInvCapacityPoints, &capacityHint));
    const double gear = 7.0 * x - 2.0;
    EXPECT_SAME_BITS(Corvanta_nearestLookup(gear, P.GearRatio_Axis1, P.GearRatio_Table, kGearRatioPoints),
                     Corvanta_nearestLookup(gear, P.GearRatio_Axis1, P.GearRatio_Table, kGearRatioPoints, &gearHint));
  }
}

TEST(LookupHint, TwoDimensionalLookupsMatchTheBisection) {
  LookupHint speedHint;
  LookupHint demandHint;
  LookupHint throttleHint;
  LookupHint rpmHint;
  Walk speeds;
  Walk demands;
  for (int k = 0; k < 20000; ++k) {
    const double speed = speeds.next(P.DemandMapSpeed_Axis1, kDemandMapSpeeds);
    const double demand = demands.next(P.BrakeMap_Axis2, kBrakeMapDemands);
    EXPECT_SAME_BITS(look2_binlxpw(speed, demand, P.DemandMapSpeed_Axis1, P.BrakeMap_Axis2, P.BrakeMap_Table,
                                   P.BrakeMap_LastIndex, kDemandMapSpeeds),
                     look2_binlxpw(speed, demand, P.DemandMapSpeed_Axis1, P.BrakeMap_Axis2, P.BrakeMap_Table,
                                   P.BrakeMap_LastIndex, kDemandMapSpeeds, &speedHint, &demandHint));
    const double throttle = 0.5 + 0.05 * speed;
    const double rpm = 700.0 * speed;
    EXPECT_SAME_BITS(
        Corvanta_gridLookup(throttle, rpm, P.EngineTorqueMap_Table, P.EngineTorqueMap_Axis1, P.EngineTorqueMap_Axis2,
                            kEngineMapSpeeds, kEngineMapThrottles),
        Corvanta_gridLookup(throttle, rpm, P.EngineTorqueMap_Table, P.EngineTorqueMap_Axis1, P.EngineTorqueMap_Axis2,
                            kEngineMapSpeeds, kEngineMapThrottles, &throttleHint, &rpmHint));
  }
}

TEST(LookupHint, StaleOrOutOfRangeHintsAreCorrected) {
  const double bp[] = {0.0, 1.0, 1.0, 2.0, 3.0};  // a repeated breakpoint too
  for (int start : {-5, 0, 1, 2, 3, 4, 99}) {
    for (double x : {-1.0, 0.0, 0.5, 1.0, 1.5, 2.0, 2.999, 3.0, 4.0, rtNaN}) {
      LookupHint hint;
      hint.index = start;
      EXPECT_EQ(Corvanta_intervalIndex(x, bp, 5), Corvanta_intervalIndexHinted(x, bp, 5, &hint))
          << "x " << x << " hint " << start;
    }
  }
}

}  // namespace
