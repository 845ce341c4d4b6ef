#include "Runner.h"

#include "InputSequencer.h"

namespace corvanta::engine {

ModelInstance::ModelInstance(const CorvantaModelFunctions &model)
    : model_(model), handle_(model.CreateVehicleModel()) {
  if (handle_ == nullptr) {
    throw ModelError("CreateVehicleModel returned NULL (out of memory)");
  }
}

ModelInstance::~ModelInstance() { model_.DeleteVehicleModel(handle_); }

const ExtY_Corvanta_T &outputsOf(const CorvantaModelFunctions &model, void *handle) {
  const ExtY_Corvanta_T *outputs = model.GetOutputs(handle);
  if (outputs == nullptr) {
    throw ModelError("GetOutputs returned NULL for a live instance");
  }
  return *outputs;
}

RunEnd runSchedule(const CorvantaModelFunctions &model, const Schedule &schedule, const RunObserver &observer) {
  ModelInstance instance(model);
  InputSequencer sequencer(schedule);

  ExtU_Corvanta_T record = toInputRecord(schedule.initialInputs);
  model.SetInputs(instance.handle(), &record);
  model.Initialize(instance.handle());
  const ExtY_Corvanta_T &outputs = outputsOf(model, instance.handle());
  if (observer.started && !observer.started(outputs)) {
    return RunEnd::Stopped;
  }

  for (std::uint64_t step = 0; step < schedule.stepCount; ++step) {
    const bool reinitialize = sequencer.prepareStep(step);
    if (reinitialize) {
      model.Initialize(instance.handle());
    }
    record = toInputRecord(sequencer.values());
    model.SetInputs(instance.handle(), &record);
    model.Step(instance.handle());
    if (observer.stepped && !observer.stepped(StepReport{step + 1, reinitialize || step == 0, sequencer.values(), outputs})) {
      return RunEnd::Stopped;
    }
  }
  model.Terminate(instance.handle());
  return RunEnd::Completed;
}

}  // namespace corvanta::engine
