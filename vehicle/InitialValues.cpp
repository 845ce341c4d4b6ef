// The values at the start of a run: between Initialize and the first Step the instance holds
// no evaluation yet (its outputs are zero, as the seven functions say).  The first Step's
// first evaluation starts from exactly the states Initialize left, so evaluating the blocks
// once on a copy gives the outputs and signals at the start time without touching the
// instance: the pose and speed from the initial inputs, gear 1, the standing car's loads.
#include <memory>
#include <new>

#include "vehicle/Instance.h"
#include "vehicle/InstanceState.h"
#include "vehicle/Signals.h"

namespace {

bool awaitsFirstStep(const Corvanta &model) {
  // Initialize raises the first-initialisation flags, the first major step clears them.
  return model.isInitialized() && model.DW.PositionX_FirstInit != 0U && model.M.isMajorTimeStep();
}

}  // namespace

extern "C" {

CORVANTA_VEHICLE_API size_t corvanta_instance_initial_signals(const CorvantaInstance *instance, double *out,
                                                              size_t count) {
  if (instance == nullptr || out == nullptr || !awaitsFirstStep(instance->model)) {
    return 0;
  }
  // The copy simulates the instance's own vehicle: the loads of the standing car depend on it.
  std::unique_ptr<Corvanta> scratch(
      new (std::nothrow) Corvanta(instance->parameters ? instance->parameters->model : builtinModelParameters()));
  if (!scratch) {
    return 0;
  }
  copyModel(instance->model, *scratch);
  // The head of a step and its output phase, without the update and the integration.
  scratch->limitEngineSpeed();
  scratch->outputPhase();
  return copySignals(*scratch, out, count);
}

CORVANTA_VEHICLE_API int corvanta_instance_initial_outputs(const CorvantaInstance *instance, ExtY_Corvanta_T *out) {
  if (out == nullptr) {
    return 0;
  }
  double values[CORVANTA_NUM_SIGNALS];
  if (corvanta_instance_initial_signals(instance, values, CORVANTA_NUM_SIGNALS) == 0) {
    return 0;
  }
  out->PositionX = values[CORVANTA_SIGNAL_PositionX];
  out->PositionY = values[CORVANTA_SIGNAL_PositionY];
  out->Heading = values[CORVANTA_SIGNAL_Heading];
  out->LongitudinalSpeed = values[CORVANTA_SIGNAL_LongitudinalSpeed];
  out->PitchAngle = values[CORVANTA_SIGNAL_PitchAngle];
  out->RollAngle = values[CORVANTA_SIGNAL_RollAngle];
  out->TipOverIndicator = values[CORVANTA_SIGNAL_TipOverIndicator];
  return 1;
}

}  // extern "C"
