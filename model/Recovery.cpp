// Recovery of an instance that a non-finite input has poisoned.
//
// A NaN or an infinity that reaches a state stays there: the held turbine speed feeds
// itself back through the converter, the drive torque and the rear wheels, and a NaN
// engine torque sits in the transport delay.  initialize() deliberately keeps the held
// values, the time and the delay's history, so such an instance would never recover.
// When anything that persists between steps is non-finite, initialize() therefore
// first returns the instance to the state of a freshly created one; the block signals
// do not count (they are recomputed at every evaluation, and some are NaN by design).
#include <cmath>

#include "model/Corvanta.h"

namespace {

bool allFinite(const double *values, int count) {
  for (int k = 0; k < count; ++k) {
    if (!std::isfinite(values[k])) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool Corvanta::holdsNonFiniteState() const {
  const double held[] = {DW.GearPrevState,  DW.TurbineSpeedPrevState, DW.ImpellerTorquePrevState,
                         DW.ShiftState,     DW.ShiftTimer,            DW.GearState,
                         DW.TransportDelayStartTime};
  const int heldCount = static_cast<int>(sizeof held / sizeof held[0]);
  return !allFinite(held, heldCount) || !allFinite(DW.TransportDelayBuffer, 2 * kTransportDelayEntries) ||
         !allFinite(reinterpret_cast<const double *>(&X), kNumContStates);
}

void Corvanta::resetToFreshInstance() {
  // Everything but the inputs the host has written: a host may call SetInputs before
  // Initialize, and a fresh instance keeps those inputs too.
  Y = ExtY_Corvanta_T();
  B = Signals_Corvanta_T();
  DW = DiscStates_Corvanta_T();
  X = ContStates_Corvanta_T();
  M = RT_MODEL_Corvanta_T();
  E = Evaluation();
}
