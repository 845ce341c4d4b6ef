// Gear selector, gearbox ratio and driveline: the converter torque scaled to each rear
// wheel, and the rear wheel speeds scaled back to the turbine.
#include "model/Corvanta.h"
#include "runtime/Lookup.h"
#include "runtime/Truncation.h"
#include "model/data/ConstantBlocks.h"

namespace {

constexpr std::int32_t kSelectorDrive = 1;
constexpr std::int32_t kSelectorReverse = 3;
constexpr double kReverseGear = -1.0;
constexpr double kNeutralGear = 0.0;

}  // namespace

void Corvanta::driveline(Evaluation &e) {
  // The lever is read by truncation toward zero; NaN and out-of-range values are neutral.
  double gearCommand;
  switch (truncateToInt32(U.GearSelector, 0)) {
    case kSelectorDrive:
      gearCommand = B.Gear;
      break;
    case kSelectorReverse:
      gearCommand = kReverseGear;
      break;
    default:
      gearCommand = kNeutralGear;
      break;
  }
  e.GearRatio = Corvanta_nearestLookup(gearCommand, P->tables->GearRatio_Axis1, P->tables->GearRatio_Table,
                                       kGearRatioPoints, &lookupHints.GearRatio);
  e.DriveTorque = (((B.ImpellerTorque * e.TorqueRatio) * e.GearRatio) * P->FinalDriveRatio) * P->DriveTorqueFactor;
}

void Corvanta::turbineSpeed(const Evaluation &e) {
  B.TurbineSpeed = (P->FinalDriveRatio * (B.WheelSpeedRL + B.WheelSpeedRR)) * e.GearRatio;
}
