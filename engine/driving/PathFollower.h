// Lateral driver: pure pursuit on SteeringAngle.
//
// Every driver update the follower projects the vehicle's position (its centre of mass,
// the model's PositionX/PositionY) on the path, takes the target point one look-ahead
// distance further along the path,
//     ld = max(minLookAhead, lookAheadTime * |v|),
// and steers on the arc through that point tangent to the vehicle's heading:
//     alpha = angle from the direction of travel to the target point,
//     delta = atan(2 * wheelbase * sin(alpha) / D),   D = distance to the target point.
// In reverse the direction of travel is the heading plus pi and the steering sign flips.
// The command is then limited to |delta| <= maxAngle and its change per update to
// maxRate * dt.  Pure pursuit needs no tuning of a path curvature feed-forward, is stable
// for any look-ahead longer than the car's own tracking lag, and its speed-dependent
// look-ahead gives it a fixed preview time; it cuts corners by a little, which the
// deviation signal shows.
#ifndef CORVANTA_DRIVING_PATHFOLLOWER_H
#define CORVANTA_DRIVING_PATHFOLLOWER_H

#include <memory>

#include "engine/driving/Path.h"

namespace corvanta::driving {

struct PathFollowerSettings {
  double lookAheadTime = 0.8;  // s
  double minLookAhead = 4.0;   // m
  double wheelbase = 2.8;      // m: 1.159 m + 1.641 m between the axles
  double maxAngle = 0.6;       // rad, front road-wheel angle
  double maxRate = 1.0;        // rad/s
};

// Throws DrivingError when a setting is not finite and > 0.
void validate(const PathFollowerSettings &settings);

struct PathFollowerState {
  double steering = 0.0;  // last command, rad
  double s = 0.0;         // arc length of the vehicle's projection on the path, m
  double lateral = 0.0;   // signed deviation from the path, m, > 0 left of it
};

class PathFollower {
 public:
  PathFollower(std::shared_ptr<const Path> path, const PathFollowerSettings &settings);

  // One driver update: vehicle position (m), heading (rad), longitudinal speed (m/s),
  // whether reverse is engaged, and the time since the last update (s).  Returns the
  // steering command, rad.
  double update(Point2 position, double heading, double speed, bool reverse, double dt);

  // Deviation of a position from the path, searching near the follower's last projection.
  PathProjection locate(Point2 position) const;

  const PathFollowerState &state() const { return state_; }
  const Path &path() const { return *path_; }
  const PathFollowerSettings &settings() const { return settings_; }

 private:
  std::shared_ptr<const Path> path_;
  PathFollowerSettings settings_;
  PathFollowerState state_;
  PathCursor cursor_;  // where the last update's lookups ended
  bool started_ = false;
};

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_PATHFOLLOWER_H
