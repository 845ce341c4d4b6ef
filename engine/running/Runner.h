// The stepping loop: drives one model instance through a Schedule with the seven C
// functions of a model library and reports the start and every step to an observer.
#ifndef CORVANTA_ENGINE_RUNNER_H
#define CORVANTA_ENGINE_RUNNER_H

#include <cstdint>
#include <functional>
#include <stdexcept>

#include "engine/corvanta_engine.h"
#include "engine/running/Schedule.h"

namespace corvanta::engine {

// The model library failed: CreateVehicleModel or GetOutputs gave NULL.
class ModelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What one step did, as seen by the host.
struct StepReport {
  std::uint64_t steps;                    // steps taken, including this one; model time = steps * 0.0001 s
  bool initialized;                       // Initialize was called right before this step
  const InputValues &inputs;              // the record passed to SetInputs for this step
  const ExtY_Corvanta_T &outputs;         // the output record after the step
  bool last;                              // the run ends after this step (its end or a stop condition)
  const driving::ClosedLoop *closedLoop;  // its signals and fired events after the step; NULL without a driver
  const void *handle;                     // the instance, for the model's Signals
};

// Either hook may be empty.  Returning false stops the run.
struct RunObserver {
  // After the first Initialize, before the first step: the outputs at time 0 (the start
  // values of the model's InitialSignals when it has them) and the instance.
  std::function<bool(const ExtY_Corvanta_T &outputs, const void *handle)> started;
  std::function<bool(const StepReport &report)> stepped;
};

enum class RunEnd { Completed, Stopped };

// Owns one instance and deletes it through the library that created it.
class ModelInstance {
 public:
  // An instance of `vehicle` (nullptr: the model functions' own vehicle, VehicleChoice.h).
  // Throws ModelError when the library gives no instance, ScenarioError when the vehicle
  // cannot be read.
  ModelInstance(const CorvantaModelFunctions &model, const VehicleChoice *vehicle);
  ModelInstance(const ModelInstance &) = delete;
  ModelInstance &operator=(const ModelInstance &) = delete;
  ~ModelInstance();

  void *handle() const { return handle_; }

 private:
  const CorvantaModelFunctions &model_;
  void *handle_;
};

// The output record of a live instance; throws ModelError when GetOutputs gives NULL.
const ExtY_Corvanta_T &outputsOf(const CorvantaModelFunctions &model, void *handle);

// Runs the schedule from CreateVehicleModel to DeleteVehicleModel:
//   create; SetInputs(initial inputs); Initialize; started;
//   for k = 0 .. N-1: events of step k (Initialize if asked), the driver's inputs,
//                     SetInputs, Step, derived signals and condition events, stepped;
//   Terminate; delete.
// A condition event's "set" holds its values from the next step on, until a timed event
// of the schedule sets or ramps the same input again; a condition event with "stop" makes its step
// the last (RunEnd::Completed).
// The instance is deleted also when the run stops early or an observer throws.  Unless
// the schedule allows them, a NaN or infinite input fails the run before its step with a
// ScenarioError naming the step and the input.
RunEnd runSchedule(const CorvantaModelFunctions &model, const Schedule &schedule, const RunObserver &observer);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_RUNNER_H
