#include "Simulation.h"

#include "InputSequencer.h"

namespace corvanta::sim {

namespace {

// Owns one instance and deletes it through the library that created it.
class ModelInstance {
 public:
  explicit ModelInstance(const tools::CorvantaApi &api) : api_(api), handle_(api.CreateVehicleModel()) {
    if (handle_ == nullptr) {
      throw tools::LibraryError("CreateVehicleModel returned NULL (out of memory)");
    }
  }
  ModelInstance(const ModelInstance &) = delete;
  ModelInstance &operator=(const ModelInstance &) = delete;
  ~ModelInstance() { api_.DeleteVehicleModel(handle_); }

  void *handle() const { return handle_; }

 private:
  const tools::CorvantaApi &api_;
  void *handle_;
};

}  // namespace

void runSchedule(const tools::CorvantaApi &api, const Schedule &schedule, const StepObserver &observer) {
  ModelInstance model(api);
  InputSequencer sequencer(schedule);

  ExtU_Corvanta_T record = toInputRecord(schedule.initialInputs);
  api.SetInputs(model.handle(), &record);
  api.Initialize(model.handle());
  const ExtY_Corvanta_T *outputs = api.GetOutputs(model.handle());
  if (outputs == nullptr) {
    throw tools::LibraryError("GetOutputs returned NULL for a live instance");
  }

  for (std::uint64_t step = 0; step < schedule.stepCount; ++step) {
    const bool reinitialize = sequencer.prepareStep(step);
    if (reinitialize) {
      api.Initialize(model.handle());
    }
    record = toInputRecord(sequencer.values());
    api.SetInputs(model.handle(), &record);
    api.Step(model.handle());
    observer(StepReport{step + 1, reinitialize || step == 0, sequencer.values(), *outputs});
  }
  api.Terminate(model.handle());
}

}  // namespace corvanta::sim
