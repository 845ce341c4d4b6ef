// Built-in path shapes, in path coordinates: x forward along the vehicle's initial
// heading, y to its left, the vehicle's initial position at the origin.
#ifndef CORVANTA_DRIVING_PATHSHAPES_H
#define CORVANTA_DRIVING_PATHSHAPES_H

#include <vector>

#include "engine/driving/Path.h"

namespace corvanta::driving {

// The most points a built-in shape may be sampled into; a radius or a length that would
// need more is refused (DrivingError naming the field, its value and the limit) before
// anything is allocated.  With chords of 0.5 m this allows 500 km of lane change and a
// circle of up to 79.5 km radius.
inline constexpr double kMaxShapePoints = 1e6;

// A straight line from the origin along x, `length` m long (the driver follows its
// extension beyond the end).
std::vector<Point2> straightPath(double length);

// A full circle of `radius` m through the origin, tangent to x there, turning left
// (centre at (0, radius)) or right (centre at (0, -radius)).  Closed; its chords are at
// most 1 degree of arc and 0.5 m long.
std::vector<Point2> circlePath(double radius, bool turnLeft);

// Geometry of the obstacle-avoidance double lane change: a lead-in straight, the entry
// lane, a transition to a lane offset sideways, that lane, a transition back, the exit
// lane and a run-out straight, all lengths along x in m.
struct LaneChangeCourse {
  double leadIn = 30.0;
  double entryLength = 15.0;
  double firstTransition = 30.0;
  double offsetLength = 25.0;
  double secondTransition = 25.0;
  double exitLength = 15.0;
  double runOut = 30.0;
  double offset = 3.5;        // lateral offset of the middle lane's centre line, m (> 0 left)
  double vehicleWidth = 1.8;  // b, m: sets the lane widths below
  double entryWidth() const { return 1.1 * vehicleWidth + 0.25; }
  double offsetWidth() const { return 1.2 * vehicleWidth + 0.25; }
  double exitWidth() const { return 1.3 * vehicleWidth + 0.25; }
  // x at which each lane starts.
  double entryStart() const { return leadIn; }
  double offsetStart() const { return leadIn + entryLength + firstTransition; }
  double exitStart() const { return offsetStart() + offsetLength + secondTransition; }
  double totalLength() const { return exitStart() + exitLength + runOut; }
};

// The centre line of the course: straight in the lanes, a half-cosine between them
// (y = offset * (1 - cos(pi * u)) / 2 over each transition, u from 0 to 1), sampled
// every 0.5 m.
std::vector<Point2> laneChangePath(const LaneChangeCourse &course);

// A single lane change: straight for `start` m, a half-cosine move of `offset` m
// sideways over `length` m, then straight for another `start` m.
std::vector<Point2> singleLaneChangePath(double start, double length, double offset);

// The cones marking the lanes of the course: both edges of each of the three lanes,
// one cone every `spacing` m or closer, including both lane ends.
std::vector<Point2> laneChangeCones(const LaneChangeCourse &course, double spacing = 2.5);

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_PATHSHAPES_H
