#include "engine/testsuite/TestRun.h"

#include <cmath>

#include "engine/running/Runner.h"

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
      return engine::timeOfStep(event.steps);
    }
  }
  return NAN;
}

RunRecord runTest(const CorvantaModelFunctions &model, const TestScenario &scenario, std::uint64_t recordEvery,
                  const ProgressCallback &progress) {
  const engine::Schedule &schedule = scenario.schedule;
  if (schedule.driving.empty()) {
    throw driving::DrivingError(scenario.name + ": a test run needs a driver or condition events");
  }
  RunRecord record;
  record.name = scenario.name;
  record.scenarioJson = scenario.json;
  {
    // The frame before the first step, and the path as the run places it.
    const driving::ClosedLoop start(schedule.driving, schedule.initialInputs.data(), engine::kStepSize);
    record.frames.push_back(start.frame());
    if (start.follower() != nullptr) {
      record.path = start.follower()->path().points();
    }
  }
  engine::RunObserver observer;
  observer.stepped = [&](const engine::StepReport &step) {
    if (step.steps % recordEvery == 0 || step.last) {
      record.frames.push_back(step.closedLoop->frame());
    }
    if (step.last) {
      record.fired = step.closedLoop->firedEvents();
      record.stopped = step.closedLoop->stopRequested();
    }
    record.steps = step.steps;
    return !progress || progress(step.steps, schedule.stepCount);
  };
  if (engine::runSchedule(model, schedule, observer) == engine::RunEnd::Stopped) {
    throw TestStopped();
  }
  return record;
}

RunRecord runTest(const TestContext &context, const TestScenario &scenario) {
  return runTest(context.model, scenario, 10, context.progress);
}

}  // namespace corvanta::testsuite
