#include "runtime/PortableMathComposite.h"

#include <cmath>

#include "runtime/PortableMath.h"

namespace {

constexpr double kPi = 0x1.921fb54442d18p+1;              // pi rounded
constexpr double kHalfPi = 0x1.921fb54442d18p+0;          // pi/2 rounded
constexpr double kQuarterPi = 0x1.921fb54442d18p-1;       // pi/4 rounded
constexpr double kThreeQuarterPi = 0x1.2d97c7f3321d2p+1;  // 3 pi/4 rounded

}  // namespace

extern "C" double Corvanta_atan2(double y, double x) {
  if (std::isnan(x) || std::isnan(y)) {
    return x + y;
  }
  if (y == 0.0) {
    // atan2(+-0, +0 or x > 0) = +-0; atan2(+-0, -0 or x < 0) = +-pi.
    return (x > 0.0 || (x == 0.0 && !std::signbit(x))) ? y : std::copysign(kPi, y);
  }
  if (std::isinf(y)) {
    if (std::isinf(x)) {
      return std::copysign(x > 0.0 ? kQuarterPi : kThreeQuarterPi, y);
    }
    return std::copysign(kHalfPi, y);
  }
  if (std::isinf(x)) {
    return x > 0.0 ? std::copysign(0.0, y) : std::copysign(kPi, y);
  }
  if (x == 0.0) {
    return std::copysign(kHalfPi, y);
  }
  if (std::fabs(y) <= std::fabs(x)) {
    // Within 45 degrees of the x axis: the arctangent of the slope, moved by pi behind.
    const double angle = Corvanta_atan(y / x);
    if (x > 0.0) {
      return angle;
    }
    return y > 0.0 ? angle + kPi : angle - kPi;
  }
  // Within 45 degrees of the y axis.
  const double angle = Corvanta_atan(x / y);
  return y > 0.0 ? kHalfPi - angle : -kHalfPi - angle;
}

extern "C" double Corvanta_hypot(double x, double y) {
  if (std::isinf(x) || std::isinf(y)) {
    return HUGE_VAL;  // also when the other is NaN
  }
  if (std::isnan(x) || std::isnan(y)) {
    return x + y;
  }
  double large = std::fmax(std::fabs(x), std::fabs(y));
  double small = std::fmin(std::fabs(x), std::fabs(y));
  if (large == 0.0) {
    return 0.0;
  }
  // Powers of two scale exactly: the squares neither overflow nor lose the small operand.
  double scale = 1.0;
  if (large > 0x1p500) {
    scale = 0x1p600;
    large *= 0x1p-600;
    small *= 0x1p-600;
  } else if (large < 0x1p-500) {
    scale = 0x1p-600;
    large *= 0x1p600;
    small *= 0x1p600;
  }
  const double squares = large * large + small * small;
  return scale * std::sqrt(squares);
}
