// Automatic gear-shift logic: the shift schedule gives an upshift and a downshift speed for
// the current throttle and the gear of the previous major step; a crossing must persist
// for two further major steps before the gear changes by one.
#include "model/Corvanta.h"
#include "runtime/Lookup.h"
#include "runtime/Truncation.h"
#include "model/data/ConstantBlocks.h"

namespace {

constexpr double kMpsToKmh = 3.6;
// Fallback of the truncation: no case label, so the default branch is taken.
constexpr std::int32_t kNoBranch = 0x7FFFFFFF;

}  // namespace

void Corvanta::Corvanta_ScrivoFunction(double a, double b, const double *table, const double *columnAxis,
                                       const double *rowAxis, double *out, LookupHint *columnHint,
                                       LookupHint *rowHint) {
  *out = Corvanta_gridLookup(a, b, table, columnAxis, rowAxis, kShiftMapGears, kShiftMapThrottles, columnHint,
                             rowHint);
}

void Corvanta::shiftLogic(const Evaluation &e) {
  // The shift speeds feed the chart only, which runs in major steps; the held gear
  // does not change in the minor evaluations, so nothing here is needed there.
  if (!M.isMajorTimeStep()) {
    return;
  }
  const double speedKmh = kMpsToKmh * B.LongitudinalVelocity;
  B.GearPrev = DW.GearPrevState;
  double upshiftSpeed;
  double downshiftSpeed;
  const ConstP_Corvanta_T &tables = *P->tables;
  Corvanta_ScrivoFunction(e.ThrottlePercent, B.GearPrev, tables.UpshiftMap_Table, tables.ShiftMap_Axis1,
                          tables.ShiftMap_Axis2, &upshiftSpeed, &lookupHints.UpshiftMapThrottle,
                          &lookupHints.UpshiftMapGear);
  Corvanta_ScrivoFunction(e.ThrottlePercent, B.GearPrev, tables.DownshiftMap_Table, tables.ShiftMap_Axis1,
                          tables.ShiftMap_Axis2, &downshiftSpeed, &lookupHints.DownshiftMapThrottle,
                          &lookupHints.DownshiftMapGear);

  // Shift chart.  NaN speeds fail every comparison: a steady chart stays steady, a
  // pending one keeps counting.
  int shiftCommand = 0;
  switch (truncateToInt32(DW.ShiftState, kNoBranch)) {
    case 0:
      if (downshiftSpeed > speedKmh) {
        DW.ShiftState = -1.0;
      } else if (speedKmh > upshiftSpeed) {
        DW.ShiftState = 1.0;
      }
      break;
    case 1:
      DW.ShiftTimer += 1.0;
      if (upshiftSpeed > speedKmh) {
        DW.ShiftState = 0.0;
        DW.ShiftTimer = 0.0;
      } else if (speedKmh >= upshiftSpeed && DW.ShiftTimer >= 2.0) {
        DW.ShiftState = 0.0;
        shiftCommand = 1;
        DW.ShiftTimer = 0.0;
      }
      break;
    case -1:
      DW.ShiftTimer += 1.0;
      if (speedKmh > downshiftSpeed) {
        DW.ShiftState = 0.0;
        DW.ShiftTimer = 0.0;
      } else if (downshiftSpeed >= speedKmh && DW.ShiftTimer >= 2.0) {
        DW.ShiftState = 0.0;
        shiftCommand = -1;
        DW.ShiftTimer = 0.0;
      }
      break;
    default:
      break;
  }

  // Gear update: one gear at a time within 1 .. 5.
  const std::int32_t gear = truncateToInt32(DW.GearState, kNoBranch);
  if (gear >= 1 && gear <= 5) {
    if (shiftCommand == 1 && gear < 5) {
      DW.GearState = static_cast<double>(gear + 1);
    } else if (shiftCommand == -1 && gear > 1) {
      DW.GearState = static_cast<double>(gear - 1);
    }
  }
  B.Gear = DW.GearState;
}
