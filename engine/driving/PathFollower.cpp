#include "engine/driving/PathFollower.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace corvanta::driving {

namespace {

void requirePositive(double value, const char *name) {
  if (!(value > 0.0) || !std::isfinite(value)) {
    throw DrivingError(std::string("path follower: ") + name + " must be a finite number > 0");
  }
}

// Search window around the last projection: far more than a car moves between updates,
// far less than the distance between the passes of a path that crosses itself.
constexpr double kSearchWindow = 10.0;

}  // namespace

void validate(const PathFollowerSettings &settings) {
  requirePositive(settings.lookAheadTime, "look_ahead_time");
  requirePositive(settings.minLookAhead, "min_look_ahead");
  requirePositive(settings.wheelbase, "wheelbase");
  requirePositive(settings.maxAngle, "max_angle");
  requirePositive(settings.maxRate, "max_rate");
}

PathFollower::PathFollower(std::shared_ptr<const Path> path, const PathFollowerSettings &settings)
    : path_(std::move(path)), settings_(settings) {
  validate(settings_);
}

PathProjection PathFollower::locate(Point2 position) const {
  PathCursor cursor = cursor_;
  return path_->project(position, state_.s, started_ ? kSearchWindow : 0.0, cursor);
}

double PathFollower::update(Point2 position, double heading, double speed, bool reverse, double dt) {
  const PathProjection here = path_->project(position, state_.s, started_ ? kSearchWindow : 0.0, cursor_);
  started_ = true;
  state_.s = here.s;
  state_.lateral = here.lateral;

  const double lookAhead = std::max(settings_.minLookAhead, settings_.lookAheadTime * std::fabs(speed));
  // A path is driven in its own direction; in reverse the car moves backwards along it.
  const Point2 target = path_->pointAt(here.s + lookAhead, cursor_);
  const double travel = reverse ? heading + 3.14159265358979323846 : heading;
  const double bearing = std::atan2(target.y - position.y, target.x - position.x);
  const double alpha = bearing - travel;
  const double distance = std::max(std::hypot(target.x - position.x, target.y - position.y), 1e-9);
  double wanted = std::atan(2.0 * settings_.wheelbase * std::sin(alpha) / distance);
  if (reverse) {
    wanted = -wanted;
  }
  wanted = std::clamp(wanted, -settings_.maxAngle, settings_.maxAngle);
  const double maxChange = settings_.maxRate * dt;
  state_.steering = std::clamp(wanted, state_.steering - maxChange, state_.steering + maxChange);
  return state_.steering;
}

}  // namespace corvanta::driving
