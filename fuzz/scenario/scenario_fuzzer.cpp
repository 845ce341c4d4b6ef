// libFuzzer target: the scenario parsers (JSON scenarios and recorded inputs) on arbitrary
// bytes.
//
// Input format: one selector byte, then the source text.
//   bit 0: 0 JSON scenario, 1 recorded inputs
//   bit 1: non-finite inputs allowed
//   bit 2: linear interpolation of recorded inputs forced
//   bit 3: the duration replaced by (selector >> 4) * 0.01 s
//
// Checked on every input: the parser either returns a schedule that is finite (unless
// allowed) and ordered, or throws ScenarioError with a bounded message free of control
// characters; nothing else escapes.  The schedule is then played for up to 5000 steps and
// every input record must be finite unless non-finite values were allowed.  A schedule with
// a driver or condition events is also run on the model for up to 300 steps (30 driver
// updates at the default period): path following, speed control and conditions must end
// in a run or a ScenarioError, never in a crash, an undefined operation or a refusal of a
// driver setup the parser accepted.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "capi/corvanta.h"
#include "engine/corvanta_engine.h"
#include "engine/messages/ScenarioError.h"
#include "engine/running/InputSequencer.h"
#include "engine/running/Runner.h"
#include "engine/scenario/ScenarioFile.h"

namespace {

using namespace corvanta::engine;

constexpr std::uint64_t kPlayedSteps = 5000;
constexpr std::uint64_t kDrivenSteps = 300;

[[noreturn]] void fail(const char *what) {
  std::fprintf(stderr, "scenario_fuzzer: %s\n", what);
  std::abort();
}

bool finite(double value, bool allowed) { return allowed || std::isfinite(value); }

void checkMessage(const ScenarioError &error) {
  const std::string message = error.what();
  if (message.empty() || message.size() > 4 * kMessagePartBytes) {
    fail("error message empty or unbounded");
  }
  for (unsigned char c : message) {
    if (c < 0x20 || c == 0x7F) {
      fail("control character in an error message");
    }
  }
}

void checkSchedule(const Schedule &schedule, bool allowNonFinite) {
  if (schedule.stepCount > kMaxStepCount) {
    fail("step count beyond 2^53");
  }
  // Initial inputs come from a scenario's "inputs" or a recorded file's rows at time 0,
  // which may hold non-finite values only when they are allowed.
  for (double value : schedule.initialInputs) {
    if (!finite(value, allowNonFinite)) {
      fail("non-finite initial input");
    }
  }
  std::uint64_t previous = 0;
  for (const ScheduledEvent &event : schedule.events) {
    if (event.step < previous || event.step > kMaxStepCount) {
      fail("event steps out of order");
    }
    previous = event.step;
    for (const InputChange &set : event.sets) {
      if (set.input < 0 || set.input >= CORVANTA_NUM_INPUTS || !finite(set.value, allowNonFinite)) {
        fail("bad set");
      }
    }
    for (const RampStart &ramp : event.ramps) {
      if (ramp.input < 0 || ramp.input >= CORVANTA_NUM_INPUTS || ramp.endStep < event.step ||
          !finite(ramp.target, allowNonFinite)) {
        fail("bad ramp");
      }
    }
  }
  InputSequencer sequencer(schedule);
  const std::uint64_t steps = schedule.stepCount < kPlayedSteps ? schedule.stepCount : kPlayedSteps;
  for (std::uint64_t step = 0; step < steps; ++step) {
    sequencer.prepareStep(step);
    for (double value : sequencer.values()) {
      if (!finite(value, allowNonFinite)) {
        fail("a played input record is not finite");
      }
    }
  }
}

void runDriven(Schedule schedule) {
  if (schedule.driving.empty()) {
    return;
  }
  schedule.stepCount = schedule.stepCount < kDrivenSteps ? schedule.stepCount : kDrivenSteps;
  const CorvantaModelFunctions model = CORVANTA_LINKED_MODEL_FUNCTIONS;
  RunObserver observer;
  observer.stepped = [&](const StepReport &report) {
    for (double value : report.inputs) {
      if (!finite(value, schedule.allowNonFinite)) {
        fail("a driven input record is not finite");
      }
    }
    return true;
  };
  try {
    runSchedule(model, schedule, observer);
  } catch (const ScenarioError &error) {
    checkMessage(error);  // a run whose inputs became non-finite
  } catch (const corvanta::driving::DrivingError &) {
    fail("the closed loop refused a driver setup the parser accepted");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::uint8_t selector = data[0];
  const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  LoadOptions options;
  options.format = (selector & 1) != 0 ? ScenarioFormat::RecordedInputs : ScenarioFormat::Json;
  options.allowNonFinite = (selector & 2) != 0;
  if ((selector & 4) != 0) {
    options.interpolation = Interpolation::Linear;
  }
  if ((selector & 8) != 0) {
    options.durationSteps = static_cast<std::uint64_t>(selector >> 4) * 100;
  }
  try {
    const Schedule schedule = loadScenarioText(text, "fuzz", options);
    checkSchedule(schedule, options.allowNonFinite);
    runDriven(schedule);
  } catch (const ScenarioError &error) {
    checkMessage(error);
  }
  return 0;
}
