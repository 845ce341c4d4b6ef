// Constant blocks shared read-only by all instances: the powertrain lookup tables and one
// derived brake constant.  In every two-dimensional table the first breakpoint vector
// (_Axis1) varies fastest in the table data.
#ifndef CORVANTA_MODEL_DATA_CONSTANTBLOCKS_H
#define CORVANTA_MODEL_DATA_CONSTANTBLOCKS_H

#include <cstdint>

constexpr int kEngineMapThrottles = 10;
constexpr int kEngineMapSpeeds = 19;
constexpr int kGearRatioPoints = 7;
constexpr int kInvCapacityPoints = 24;
constexpr int kTorqueRatioPoints = 29;
constexpr int kShiftMapThrottles = 101;
constexpr int kShiftMapGears = 5;
constexpr int kDemandMapSpeeds = 121;
constexpr int kThrottleMapDemands = 199;
constexpr int kBrakeMapDemands = 413;

struct ConstP_Corvanta_T {
  // Engine torque [N·m]; rows engine speed [rpm] (Axis2), columns throttle fraction (Axis1).
  double EngineTorqueMap_Table[kEngineMapSpeeds * kEngineMapThrottles];
  double EngineTorqueMap_Axis1[kEngineMapThrottles];
  double EngineTorqueMap_Axis2[kEngineMapSpeeds];
  // Gearbox ratio over the gear number -1 (reverse) .. 5.
  double GearRatio_Axis1[kGearRatioPoints];
  double GearRatio_Table[kGearRatioPoints];
  // Torque converter: inverse capacity factor and torque ratio over the speed ratio.
  double InvCapacityFactor_Table[kInvCapacityPoints];
  double InvCapacityFactor_Axis1[kInvCapacityPoints];
  double TorqueRatio_Table[kTorqueRatioPoints];
  double TorqueRatio_Axis1[kTorqueRatioPoints];
  // Shift schedule [km/h]; rows gear (Axis2), columns throttle percentage (Axis1).
  double DownshiftMap_Table[kShiftMapGears * kShiftMapThrottles];
  double ShiftMap_Axis1[kShiftMapThrottles];
  double ShiftMap_Axis2[kShiftMapGears];
  double UpshiftMap_Table[kShiftMapGears * kShiftMapThrottles];
  // Driver-demand maps over vehicle speed [m/s] (Axis1) and AccelerationDemand [m/s²].
  double ThrottleMap_Table[kDemandMapSpeeds * kThrottleMapDemands];
  double DemandMapSpeed_Axis1[kDemandMapSpeeds];
  double ThrottleMap_Axis2[kThrottleMapDemands];
  double BrakeMap_Table[kDemandMapSpeeds * kBrakeMapDemands];
  double BrakeMap_Axis2[kBrakeMapDemands];
  std::uint32_t ThrottleMap_LastIndex[2];
  std::uint32_t BrakeMap_LastIndex[2];
};

static_assert(sizeof(ConstP_Corvanta_T) == 76240 * sizeof(double) + 4 * sizeof(std::uint32_t),
              "the table block holds 76240 doubles and four 32-bit indices");

extern const ConstP_Corvanta_T Corvanta_ConstP;

// Brake actuator input divisor: pi/4 × (3.3 × 3.3), the area of a circle of diameter 3.3.
extern const double Corvanta_ConstB;

#endif  // CORVANTA_MODEL_DATA_CONSTANTBLOCKS_H
