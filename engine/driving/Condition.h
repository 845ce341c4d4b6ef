// A condition on the signals of a closed-loop run: one or more comparisons of a signal
// with a value, all of which must hold.  An event with a condition fires once, at the
// first step after which the condition holds having not held after some earlier step:
// it fires when the signals cross into the condition, never merely because the run
// starts inside it (a "speed < 0.05" stop does not fire at a standstill start; it fires
// when the car stops after it has moved).
#ifndef CORVANTA_DRIVING_CONDITION_H
#define CORVANTA_DRIVING_CONDITION_H

#include <string>
#include <vector>

#include "engine/driving/Signals.h"

namespace corvanta::driving {

struct Comparison {
  enum class Operator { Less, LessEqual, Greater, GreaterEqual };
  Signal signal = kTime;
  Operator op = Operator::Less;
  double value = 0.0;

  // NaN never satisfies a comparison.
  bool holds(const SignalFrame &frame) const;
};

// "<", "<=", ">" or ">=" as an Operator; false for any other text.
bool parseOperator(const std::string &text, Comparison::Operator &op);
const char *operatorText(Comparison::Operator op);

// The shortest "%g" text that reads back as the same double.
std::string shortestText(double value);

class Condition {
 public:
  explicit Condition(std::vector<Comparison> comparisons);

  // Called after every step; true exactly once, at the crossing (see above).
  bool crossed(const SignalFrame &frame);

  bool fired() const { return fired_; }
  const std::vector<Comparison> &comparisons() const { return comparisons_; }

  // "LongitudinalSpeed < 0.05 and time > 2", for summaries.
  std::string describe() const;

 private:
  std::vector<Comparison> comparisons_;
  bool armed_ = false;
  bool fired_ = false;
};

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_CONDITION_H
