// Gear selector, gearbox ratio and driveline: the converter torque scaled to each rear
// wheel, and the rear wheel speeds scaled back to the turbine.
#include "Corvanta.h"
#include "Lookup.h"
#include "Truncation.h"
#include "data/ConstantBlocks.h"

namespace {

constexpr double kFinalDrive = 2.05;
constexpr double kDriveTorqueFactor = 0.2;
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
  e.GearRatio = Corvanta_nearestLookup(gearCommand, Corvanta_ConstP.GearRatio_Axis1, Corvanta_ConstP.GearRatio_Table,
                                       kGearRatioPoints, &lookupHints.GearRatio);
  e.DriveTorque = (((B.ImpellerTorque * e.TorqueRatio) * e.GearRatio) * kFinalDrive) * kDriveTorqueFactor;
}

void Corvanta::turbineSpeed(const Evaluation &e) {
  B.TurbineSpeed = (kFinalDrive * (B.WheelSpeedRL + B.WheelSpeedRR)) * e.GearRatio;
}
