#include "TestRun.h"

#include <cmath>

#include "InputSequencer.h"

namespace corvanta::testsuite {

std::vector<double> RunRecord::column(driving::Signal signal) const {
  std::vector<double> values;
  values.reserve(frames.size());
  for (const driving::SignalFrame &frame : frames) {
    values.push_back(frame[signal]);
  }
  return values;
}

double RunRecord::firedAt(std::size_t index) const {
  for (const driving::FiredEvent &event : fired) {
    if (event.index == index) {
      return static_cast<double>(event.steps) * sim::kStepSize;
    }
  }
  return NAN;
}

namespace {

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

RunRecord runTest(const tools::CorvantaApi &api, const TestScenario &scenario, std::uint64_t recordEvery,
                  const ProgressCallback &progress) {
  const sim::Schedule &schedule = scenario.schedule;
  driving::ClosedLoop loop(scenario.driving, schedule.initialInputs.data(), sim::kStepSize);
  RunRecord record;
  record.name = scenario.name;
  if (loop.follower() != nullptr) {
    record.path = loop.follower()->path().points();
  }
  record.frames.push_back(loop.frame());

  ModelInstance model(api);
  sim::InputSequencer sequencer(schedule);
  // Values held from condition events; they override the schedule's held values until
  // the schedule sets the input again.
  sim::InputValues held = schedule.initialInputs;
  ExtU_Corvanta_T inputRecord = sim::toInputRecord(held);
  api.SetInputs(model.handle(), &inputRecord);
  api.Initialize(model.handle());
  const ExtY_Corvanta_T *outputs = api.GetOutputs(model.handle());
  if (outputs == nullptr) {
    throw tools::LibraryError("GetOutputs returned NULL for a live instance");
  }

  std::vector<driving::InputSet> changes;
  sim::InputValues previousSchedule = schedule.initialInputs;
  for (std::uint64_t step = 0; step < schedule.stepCount; ++step) {
    const bool reinitialize = sequencer.prepareStep(step);
    // An input the schedule changes at this step takes the schedule's value; the others
    // keep what the condition events set.
    for (std::size_t input = 0; input < held.size(); ++input) {
      if (sequencer.values()[input] != previousSchedule[input] || step == 0) {
        held[input] = sequencer.values()[input];
      }
    }
    previousSchedule = sequencer.values();
    if (reinitialize) {
      api.Initialize(model.handle());
    }
    sim::InputValues applied = held;
    loop.beforeStep(step, applied.data());
    inputRecord = sim::toInputRecord(applied);
    api.SetInputs(model.handle(), &inputRecord);
    api.Step(model.handle());
    if (reinitialize) {
      loop.restart(applied.data());
    }
    const auto outputValues = sim::toOutputArray(*outputs);
    changes.clear();
    loop.afterStep(step + 1, applied.data(), outputValues.data(), changes);
    for (const driving::InputSet &change : changes) {
      held[static_cast<std::size_t>(change.input)] = change.value;
    }
    const bool last = loop.stopRequested() || step + 1 == schedule.stepCount;
    if ((step + 1) % recordEvery == 0 || last) {
      record.frames.push_back(loop.frame());
    }
    if (progress) {
      progress(step + 1, schedule.stepCount);
    }
    record.steps = step + 1;
    if (loop.stopRequested()) {
      record.stopped = true;
      break;
    }
  }
  api.Terminate(model.handle());
  record.fired = loop.firedEvents();
  return record;
}

}  // namespace corvanta::testsuite
