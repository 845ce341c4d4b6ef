#include "engine/running/Runner.h"

#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "engine/messages/ScenarioError.h"
#include "engine/output/NumberText.h"
#include "engine/running/InputSequencer.h"
#include "engine/scenario/VehicleChoice.h"

namespace corvanta::engine {

ModelInstance::ModelInstance(const CorvantaModelFunctions &model, const VehicleChoice *vehicle)
    : model_(model), handle_(createInstance(model, vehicle)) {
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

ExtY_Corvanta_T startOutputs(const CorvantaModelFunctions &model, void *handle, const ExtY_Corvanta_T &outputs) {
  // The output record holds zeros until the first step; a model that reports its start
  // values gives the car as it starts.  The first seven signals are the outputs.
  if (model.InitialSignals != nullptr) {
    std::array<double, CORVANTA_NUM_OUTPUTS> start{};
    if (model.InitialSignals(handle, start.data(), start.size()) == start.size()) {
      ExtY_Corvanta_T record;
      std::memcpy(&record, start.data(), sizeof record);
      return record;
    }
  }
  return outputs;
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
  ModelInstance instance(model, schedule.vehicle ? &*schedule.vehicle : nullptr);
  InputSequencer sequencer(schedule);
  std::optional<driving::ClosedLoop> loop;
  if (!schedule.driving.empty()) {
    loop.emplace(schedule.driving, schedule.initialInputs.data(), kStepSize);
  }

  ExtU_Corvanta_T record = toInputRecord(schedule.initialInputs);
  model.SetInputs(instance.handle(), &record);
  model.Initialize(instance.handle());
  const ExtY_Corvanta_T &outputs = outputsOf(model, instance.handle());
  if (observer.started && !observer.started(startOutputs(model, instance.handle(), outputs), instance.handle())) {
    return RunEnd::Stopped;
  }

  // An input a condition event set keeps that value until a timed event of the schedule
  // sets or ramps it again; the others take the schedule's values.
  InputValues held{};
  std::array<bool, CORVANTA_NUM_INPUTS> setByCondition{};
  std::size_t nextEvent = 0;
  InputValues applied{};
  std::vector<driving::InputSet> changes;
  for (std::uint64_t step = 0; step < schedule.stepCount; ++step) {
    const bool reinitialize = sequencer.prepareStep(step);
    if (reinitialize) {
      model.Initialize(instance.handle());
    }
    const InputValues *inputs = &sequencer.values();
    if (loop) {
      for (; nextEvent < schedule.events.size() && schedule.events[nextEvent].step <= step; ++nextEvent) {
        for (const InputChange &set : schedule.events[nextEvent].sets) {
          setByCondition[static_cast<std::size_t>(set.input)] = false;
        }
        for (const RampStart &ramp : schedule.events[nextEvent].ramps) {
          setByCondition[static_cast<std::size_t>(ramp.input)] = false;
        }
      }
      for (std::size_t input = 0; input < applied.size(); ++input) {
        applied[input] = setByCondition[input] ? held[input] : sequencer.values()[input];
      }
      loop->beforeStep(step, applied.data());
      inputs = &applied;
    }
    if (!schedule.allowNonFinite) {
      requireFiniteInputs(*inputs, step);
    }
    record = toInputRecord(*inputs);
    model.SetInputs(instance.handle(), &record);
    model.Step(instance.handle());
    bool last = step + 1 == schedule.stepCount;
    if (loop) {
      if (reinitialize) {
        loop->restart(inputs->data());
      }
      const OutputValues values = toOutputArray(outputs);
      changes.clear();
      loop->afterStep(step + 1, inputs->data(), values.data(), changes);
      for (const driving::InputSet &change : changes) {
        held[static_cast<std::size_t>(change.input)] = change.value;
        setByCondition[static_cast<std::size_t>(change.input)] = true;
      }
      last = last || loop->stopRequested();
    }
    const StepReport report{step + 1, reinitialize || step == 0, *inputs,          outputs,
                            last,     loop ? &*loop : nullptr,   instance.handle()};
    if (observer.stepped && !observer.stepped(report)) {
      return RunEnd::Stopped;
    }
    if (last) {
      break;
    }
  }
  model.Terminate(instance.handle());
  return RunEnd::Completed;
}

}  // namespace corvanta::engine
