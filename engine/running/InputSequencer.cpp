#include "engine/running/InputSequencer.h"

#include <cmath>

namespace corvanta::engine {

double rampValue(double start, double target, double fraction) {
  const double difference = target - start;
  if (std::isfinite(difference)) {
    return start + difference * fraction;
  }
  // Between finite values of opposite sign near the largest double the difference
  // overflows; its half does not, and the value stays between start and target.
  const double halfStep = (0.5 * target - 0.5 * start) * fraction;
  return (start + halfStep) + halfStep;
}

InputSequencer::InputSequencer(const Schedule &schedule) : schedule_(schedule), values_(schedule.initialInputs) {}

bool InputSequencer::prepareStep(std::uint64_t step) {
  // The events of this step; events are sorted by step, so they form one block.
  const std::size_t first = nextEvent_;
  while (nextEvent_ < schedule_.events.size() && schedule_.events[nextEvent_].step <= step) {
    ++nextEvent_;
  }
  bool initialize = false;
  for (std::size_t index = first; index < nextEvent_; ++index) {
    initialize = initialize || schedule_.events[index].initialize;
  }
  for (std::size_t index = first; index < nextEvent_; ++index) {
    for (const InputChange &change : schedule_.events[index].sets) {
      const auto input = static_cast<std::size_t>(change.input);
      values_[input] = change.value;
      ramps_[input].reset();
    }
  }
  for (std::size_t index = first; index < nextEvent_; ++index) {
    for (const RampStart &ramp : schedule_.events[index].ramps) {
      const auto input = static_cast<std::size_t>(ramp.input);
      ramps_[input] = ActiveRamp{values_[input], ramp.target, step, ramp.endStep};
    }
  }
  updateRamps(step);
  return initialize;
}

void InputSequencer::updateRamps(std::uint64_t step) {
  for (std::size_t input = 0; input < ramps_.size(); ++input) {
    if (!ramps_[input]) {
      continue;
    }
    const ActiveRamp &ramp = *ramps_[input];
    if (step >= ramp.endStep) {
      values_[input] = ramp.target;
      ramps_[input].reset();
    } else {
      const double fraction =
          static_cast<double>(step - ramp.startStep) / static_cast<double>(ramp.endStep - ramp.startStep);
      values_[input] = rampValue(ramp.startValue, ramp.target, fraction);
    }
  }
}

}  // namespace corvanta::engine
