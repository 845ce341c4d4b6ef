// Engine and torque converter: engine-speed limiting, the converter's pump torque and
// torque ratio, the driver-demand throttle map, the engine torque map with its 0.005 s
// transport delay, the torque lag, and the net torque on the engine inertia; the rates of
// the engine-speed and torque-lag states.
#include "model/Corvanta.h"
#include "runtime/Lookup.h"
#include "runtime/NonFinite.h"
#include "runtime/TransportDelay.h"
#include "model/VehicleConstants.h"
#include "model/data/ConstantBlocks.h"

namespace {

// Engine torque lag g / (s + g), g = 1 / EngineTorqueLagTimeConstant (200 for 0.005 s):
// the lagged torque is g × the lag state, whose rate is -g × state + delayed torque.

// The engine speed integrates EngineSpeedDot inside its range; at a limit it may only
// move back into the range.  A NaN state is at neither limit, so its derivative passes;
// a NaN rate passes only when the state is strictly inside.
double gatedEngineSpeedRate(double speed, double rate, double speedMin, double speedMax) {
  const bool atLower = speedMin >= speed;
  const bool atUpper = speed >= speedMax;
  if ((!atLower && !atUpper) || (atLower && rate > 0.0) || (atUpper && rate < 0.0)) {
    return rate;
  }
  return 0.0;
}

}  // namespace

void Corvanta::limitEngineSpeed() {
  // The state itself is overwritten, so the integrator continues from the limited value.
  // A NaN state fails both comparisons and stays NaN.
  const double speedMax = P->EngineSpeedMax;
  const double speedMin = P->EngineSpeedMin;
  if (X.EngineSpeed_State >= speedMax) {
    X.EngineSpeed_State = speedMax;
  } else if (X.EngineSpeed_State <= speedMin) {
    X.EngineSpeed_State = speedMin;
  }
}

void Corvanta::torqueConverter(Evaluation &e) {
  // The converter sees the turbine speed of the previous major step through the minor
  // evaluations.
  if (M.isMajorTimeStep()) {
    B.TurbineSpeedPrev = DW.TurbineSpeedPrevState;
  }
  const double speedRatio = B.TurbineSpeedPrev / X.EngineSpeed_State;
  e.SpeedRatio = speedRatio;
  double invCapacityFactor;
  if (rtIsNaN(speedRatio)) {
    invCapacityFactor = rtNaN;
    e.TorqueRatio = rtNaN;
  } else {
    const ConstP_Corvanta_T &tables = *P->tables;
    invCapacityFactor = Corvanta_lookup1D(speedRatio, tables.InvCapacityFactor_Axis1, tables.InvCapacityFactor_Table,
                                          kInvCapacityPoints, &lookupHints.InvCapacityFactor);
    e.TorqueRatio = Corvanta_lookup1D(speedRatio, tables.TorqueRatio_Axis1, tables.TorqueRatio_Table,
                                      kTorqueRatioPoints, &lookupHints.TorqueRatio);
  }
  // Pump torque = (pump speed in rpm / capacity factor)²: never negative, also when the
  // turbine overruns the pump and the inverse capacity factor turns negative.
  const double t = (kRadPerSecToRpm * X.EngineSpeed_State) * invCapacityFactor;
  B.ImpellerTorque = t * t;
}

void Corvanta::throttleMap(Evaluation &e) {
  const ConstP_Corvanta_T &tables = *P->tables;
  double fraction = look2_binlxpw(B.LongitudinalVelocity, U.AccelerationDemand, tables.DemandMapSpeed_Axis1,
                                  tables.ThrottleMap_Axis2, tables.ThrottleMap_Table, tables.ThrottleMap_LastIndex,
                                  kDemandMapSpeeds,
                                  &lookupHints.ThrottleMapSpeed, &lookupHints.ThrottleMapDemand);
  if (fraction > 1.0) {
    fraction = 1.0;
  } else if (fraction < 0.0) {
    fraction = 0.0;
  }
  e.ThrottlePercent = 100.0 * fraction;
}

void Corvanta::engineTorqueMap(const Evaluation &e) {
  // The map is read with the percentage scaled back (0.35 becomes 0.35000000000000003)
  // and the engine speed in rpm, limited to the map's speed range (its first and last
  // breakpoints).  No extrapolation.
  const ConstP_Corvanta_T &tables = *P->tables;
  const double minRpm = tables.EngineTorqueMap_Axis2[0];
  const double maxRpm = tables.EngineTorqueMap_Axis2[kEngineMapSpeeds - 1];
  const double throttle = 0.01 * e.ThrottlePercent;
  double rpm = kRadPerSecToRpm * X.EngineSpeed_State;
  if (rpm > maxRpm) {
    rpm = maxRpm;
  } else if (rpm < minRpm) {
    rpm = minRpm;
  }
  if (rpm >= minRpm && rpm <= maxRpm && throttle >= tables.EngineTorqueMap_Axis1[0]) {
    B.EngineTorque = Corvanta_gridLookup(throttle, rpm, tables.EngineTorqueMap_Table, tables.EngineTorqueMap_Axis1,
                                         tables.EngineTorqueMap_Axis2, kEngineMapSpeeds, kEngineMapThrottles,
                                         &lookupHints.EngineMapThrottle,
                                         &lookupHints.EngineMapSpeed);
  } else {
    B.EngineTorque = rtNaN;
  }
}

void Corvanta::engineSpeedDot() {
  // The engine sees the pump torque of the previous major step through the minor
  // evaluations.  Net torque over the engine-side inertia.
  if (M.isMajorTimeStep()) {
    B.ImpellerTorquePrev = DW.ImpellerTorquePrevState;
  }
  const double laggedTorque = P->EngineTorqueLagGain * X.EngineTorqueLag_State;
  E.LaggedEngineTorque = laggedTorque;
  B.EngineSpeedDot = P->EngineInertiaInv * (laggedTorque - B.ImpellerTorquePrev);
}

void Corvanta::transportDelayRead() {
  B.EngineTorqueDelayed =
      rt_TDelayInterpolate(*M.getTPtr() - P->EngineTorqueDelay, DW.TransportDelayStartTime, DW.TransportDelayBufferRef,
                           DW.TransportDelayBufferSize, &DW.TransportDelayLast, DW.TransportDelayTail,
                           DW.TransportDelayHead, 0.0);
}

void Corvanta::transportDelayWrite() {
  const std::int32_t last = DW.TransportDelayBufferSize - 1;
  DW.TransportDelayHead = (DW.TransportDelayHead < last) ? DW.TransportDelayHead + 1 : 0;
  if (DW.TransportDelayHead == DW.TransportDelayTail) {
    // Full: drop the oldest entry.
    DW.TransportDelayTail = (DW.TransportDelayTail < last) ? DW.TransportDelayTail + 1 : 0;
  }
  DW.TransportDelayBufferRef[DW.TransportDelayHead] = B.EngineTorque;
  DW.TransportDelayBufferRef[DW.TransportDelayBufferSize + DW.TransportDelayHead] = *M.getTPtr();
}

double Corvanta::engineSpeedRate() const {
  return gatedEngineSpeedRate(X.EngineSpeed_State, B.EngineSpeedDot, P->EngineSpeedMin, P->EngineSpeedMax);
}

double Corvanta::engineTorqueLagRate() const {
  return (-P->EngineTorqueLagGain * X.EngineTorqueLag_State) + B.EngineTorqueDelayed;
}
