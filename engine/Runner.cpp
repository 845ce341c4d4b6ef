#include "Runner.h"

#include <cmath>
#include <string>

#include "InputSequencer.h"
#include "NumberText.h"
#include "ScenarioError.h"

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

void requireFiniteInputs(const InputValues &values, std::uint64_t step) {
  for (std::size_t input = 0; input < values.size(); ++input) {
    if (!std::isfinite(values[input])) {
      throw ScenarioError::plain("step " + std::to_string(step + 1) + " (t = " + shortestText(timeOfStep(step)) +
                                 " s): the input " + std::string(kInputNames[input]) + " is " +
                                 shortestText(values[input]) + "; non-finite inputs are refused unless allowed");
    }
  }
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
    if (!schedule.allowNonFinite) {
      requireFiniteInputs(sequencer.values(), step);
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
