#include "engine/driving/Condition.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace corvanta::driving {

std::string shortestText(double value) {
  char text[32];
  // Plain decimals where they are short enough to read (10, not 1e+01).
  const double magnitude = std::fabs(value);
  const bool plain = magnitude == 0.0 || (magnitude >= 1e-4 && magnitude < 1e15);
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    const bool exponent = std::strchr(text, 'e') != nullptr;
    if (!std::isfinite(value) || (std::strtod(text, nullptr) == value && !(plain && exponent))) {
      break;
    }
  }
  return text;
}

bool Comparison::holds(const SignalFrame &frame) const {
  const double actual = frame[signal];
  switch (op) {
    case Operator::Less:
      return actual < value;
    case Operator::LessEqual:
      return actual <= value;
    case Operator::Greater:
      return actual > value;
    case Operator::GreaterEqual:
      return actual >= value;
  }
  return false;
}

bool parseOperator(const std::string &text, Comparison::Operator &op) {
  if (text == "<") {
    op = Comparison::Operator::Less;
  } else if (text == "<=") {
    op = Comparison::Operator::LessEqual;
  } else if (text == ">") {
    op = Comparison::Operator::Greater;
  } else if (text == ">=") {
    op = Comparison::Operator::GreaterEqual;
  } else {
    return false;
  }
  return true;
}

const char *operatorText(Comparison::Operator op) {
  switch (op) {
    case Comparison::Operator::Less:
      return "<";
    case Comparison::Operator::LessEqual:
      return "<=";
    case Comparison::Operator::Greater:
      return ">";
    case Comparison::Operator::GreaterEqual:
      return ">=";
  }
  return "?";
}

Condition::Condition(std::vector<Comparison> comparisons) : comparisons_(std::move(comparisons)) {}

bool Condition::crossed(const SignalFrame &frame) {
  if (fired_) {
    return false;
  }
  bool all = !comparisons_.empty();
  for (const Comparison &comparison : comparisons_) {
    all = all && comparison.holds(frame);
  }
  if (!all) {
    armed_ = true;
    return false;
  }
  if (!armed_) {
    return false;
  }
  fired_ = true;
  return true;
}

std::string Condition::describe() const {
  std::string text;
  for (const Comparison &comparison : comparisons_) {
    if (!text.empty()) {
      text += " and ";
    }
    text += std::string(kSignalNames[comparison.signal]) + " " + operatorText(comparison.op) + " " +
            shortestText(comparison.value);
  }
  return text;
}

}  // namespace corvanta::driving
