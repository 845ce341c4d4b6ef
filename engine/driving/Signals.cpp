#include "engine/driving/Signals.h"

#include <cmath>

namespace corvanta::driving {

std::optional<Signal> findSignal(std::string_view name) {
  for (int index = 0; index < kSignalCount; ++index) {
    if (kSignalNames[index] == name) {
      return static_cast<Signal>(index);
    }
  }
  return std::nullopt;
}

std::string listOfSignalNames() {
  std::string list;
  for (int index = 0; index < kSignalCount; ++index) {
    if (index > 0) {
      list += (index + 1 == kSignalCount) ? " or " : ", ";
    }
    list += kSignalNames[index];
  }
  return list;
}

void DerivedSignals::restart(const SignalFrame &frame) {
  x_ = frame[kInitialPositionX];
  y_ = frame[kInitialPositionY];
  heading_ = frame[kInitialHeading];
  vx_ = std::cos(heading_) * frame[kInitialSpeed];
  vy_ = std::sin(heading_) * frame[kInitialSpeed];
  firstStep_ = true;
}

void DerivedSignals::update(SignalFrame &frame, double stepSize) {
  const double x = frame[kPositionX];
  const double y = frame[kPositionY];
  const double heading = frame[kHeading];
  const double dx = x - x_;
  const double dy = y - y_;
  distance_ += std::hypot(dx, dy);
  const double vx = dx / stepSize;
  const double vy = dy / stepSize;
  // The initial velocity holds at time 0, the first difference half a step later.
  const double interval = firstStep_ ? 0.5 * stepSize : stepSize;
  firstStep_ = false;
  const double ax = (vx - vx_) / interval;
  const double ay = (vy - vy_) / interval;
  const double c = std::cos(heading_);
  const double s = std::sin(heading_);

  frame[kDistance] = distance_;
  frame[kYawRate] = (heading - heading_) / stepSize;
  frame[kLongitudinalAcceleration] = c * ax + s * ay;
  frame[kLateralAcceleration] = -s * ax + c * ay;
  const double speed = std::hypot(vx, vy);
  frame[kPathRadius] = speed * speed * speed / (vx * ay - vy * ax);

  x_ = x;
  y_ = y;
  heading_ = heading;
  vx_ = vx;
  vy_ = vy;
}

}  // namespace corvanta::driving
