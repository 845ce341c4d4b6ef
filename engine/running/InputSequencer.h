// Plays a Schedule back: before each step it applies the events of that step and moves
// the active ramps, giving the input record for the step and whether the model must be
// re-initialised first.
//
// Within one step the events act in this order: all re-initialisations, then all held
// values in file order, then the ramps start (from the value held after those sets).  A
// set or a ramp on an input ends a ramp still active on it.  A ramp from v0 at step k0 to
// v1 at step k1 gives, at step index k,
//     v0 + (v1 - v0) * ((double)(k - k0) / (double)(k1 - k0))   for k0 <= k < k1,
//     v1 exactly                                               from k1 on (the ramp ends).
// The expression is evaluated as written, without fused multiply-add, so that every host
// implementing the same rule gets the same bits.  Where v1 - v0 overflows (finite values
// of opposite sign beyond 8.9e307), h = (0.5 * v1 - 0.5 * v0) * fraction and the value is
// (v0 + h) + h: finite, between v0 and v1.
#ifndef CORVANTA_ENGINE_INPUTSEQUENCER_H
#define CORVANTA_ENGINE_INPUTSEQUENCER_H

#include <array>
#include <cstdint>
#include <optional>

#include "engine/running/Schedule.h"

namespace corvanta::engine {

// The ramp's value at `fraction` (0 <= fraction < 1) of the way from start to target.
double rampValue(double start, double target, double fraction);

class InputSequencer {
 public:
  explicit InputSequencer(const Schedule &schedule);

  // Prepares the record for the step with index `step` (that many steps taken).  Calls
  // must come with step = 0, 1, 2, ... in turn.  Returns true when an event of this step
  // asks for Initialize before the step.
  bool prepareStep(std::uint64_t step);

  const InputValues &values() const { return values_; }

 private:
  struct ActiveRamp {
    double startValue;
    double target;
    std::uint64_t startStep;
    std::uint64_t endStep;
  };

  void updateRamps(std::uint64_t step);

  const Schedule &schedule_;
  std::size_t nextEvent_ = 0;
  InputValues values_;
  std::array<std::optional<ActiveRamp>, CORVANTA_NUM_INPUTS> ramps_;
};

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_INPUTSEQUENCER_H
