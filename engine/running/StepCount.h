// Model time counted in steps: the step size, the largest step count a run may have and the
// check a scenario time or a run length passes.  Header only: the engine's readers and the
// runner (which reaches the engine through its C interface) share this one definition.
#ifndef CORVANTA_ENGINE_RUNNING_STEPCOUNT_H
#define CORVANTA_ENGINE_RUNNING_STEPCOUNT_H

#include <cmath>
#include <cstdint>
#include <string>

#include "capi/corvanta.h"

namespace corvanta::engine {

// Model time of one Step(), s.
inline constexpr double kStepSize = CORVANTA_STEP_SIZE;

// Largest step count a run or an event time may have (2^53): step counts up to it are
// exact both as unsigned integers and as doubles.
inline constexpr std::uint64_t kMaxStepCount = std::uint64_t{1} << 53;

// The step count of a model time: k(t) = floor(t / 0.0001 + 0.5), in double arithmetic.
inline double stepCountOf(double time) { return std::floor(time / kStepSize + 0.5); }

// The model time after `steps` steps: (double)steps * 0.0001.
inline double timeOfStep(std::uint64_t steps) { return static_cast<double>(steps) * kStepSize; }

// The step count of a time that a scenario may use (finite, >= 0, step count <= 2^53);
// otherwise an explanation of what is wrong with it, without the name of the value (the
// caller prefixes it: "duration: ...", "--duration: ...").
struct StepCountResult {
  std::uint64_t steps = 0;
  std::string error;  // empty when `steps` is valid
};

inline StepCountResult checkedStepCount(double time) {
  StepCountResult result;
  if (!std::isfinite(time)) {
    result.error = "expected a finite number of seconds";
  } else if (time < 0.0) {
    result.error = "expected a time >= 0";
  } else {
    const double steps = stepCountOf(time);
    if (steps > static_cast<double>(kMaxStepCount)) {
      result.error = "time too long to count in steps of 0.0001 s (more than 2^53 steps)";
    } else {
      result.steps = static_cast<std::uint64_t>(steps);
    }
  }
  return result;
}

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_RUNNING_STEPCOUNT_H
