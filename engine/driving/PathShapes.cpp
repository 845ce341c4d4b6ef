#include "engine/driving/PathShapes.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/driving/Condition.h"

namespace corvanta::driving {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Samples f on [x0, x1] at most `step` apart, both ends included, skipping x0 when asked.
template <typename Curve>
void sample(std::vector<Point2> &points, double x0, double x1, double step, bool includeStart, Curve curve) {
  if (!(std::ceil((x1 - x0) / step) <= kMaxShapePoints)) {
    throw DrivingError("a path piece from x = " + shortestText(x0) + " m to " + shortestText(x1) +
                       " m would need more than " + shortestText(kMaxShapePoints) + " points");
  }
  const int count = std::max(1, static_cast<int>(std::ceil((x1 - x0) / step)));
  for (int i = includeStart ? 0 : 1; i <= count; ++i) {
    const double x = x0 + (x1 - x0) * (static_cast<double>(i) / count);
    points.push_back(Point2{x, curve(x)});
  }
}

void requirePositive(double value, const char *what) {
  if (!(value > 0.0) || !std::isfinite(value)) {
    throw DrivingError(std::string(what) + " must be a finite number > 0");
  }
}

// Refuses a length (or a sum of lengths) whose sampling every `spacing` m would need more
// than kMaxShapePoints points.
void requireSampledLength(double length, double spacing, const std::string &what) {
  const double limit = kMaxShapePoints * spacing;
  if (!(length <= limit)) {
    throw DrivingError(what + " is " + shortestText(length) + " m; at most " + shortestText(limit) +
                       " m is allowed (a path of at most " + shortestText(kMaxShapePoints) + " points)");
  }
}

}  // namespace

std::vector<Point2> straightPath(double length) {
  requirePositive(length, "the straight path's length");
  return {Point2{0.0, 0.0}, Point2{length, 0.0}};
}

std::vector<Point2> circlePath(double radius, bool turnLeft) {
  requirePositive(radius, "the circle's radius");
  // The chords are at most 0.5 m long: ceil(2 pi r / 0.5) points.
  if (!(std::ceil(4.0 * kPi * radius) <= kMaxShapePoints)) {
    throw DrivingError("the circle's radius is " + shortestText(radius) + " m; at most " +
                       shortestText(std::floor(kMaxShapePoints / (4.0 * kPi))) + " m is allowed (a path of at most " +
                       shortestText(kMaxShapePoints) + " points)");
  }
  const double maxAngle = std::min(kPi / 180.0, 0.5 / radius);
  const int count = std::max(8, static_cast<int>(std::ceil(2.0 * kPi / maxAngle)));
  const double side = turnLeft ? 1.0 : -1.0;
  std::vector<Point2> points;
  points.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double angle = 2.0 * kPi * (static_cast<double>(i) / count);
    points.push_back(Point2{radius * std::sin(angle), side * radius * (1.0 - std::cos(angle))});
  }
  return points;
}

std::vector<Point2> laneChangePath(const LaneChangeCourse &course) {
  const double step = 0.5;
  requireSampledLength(
      course.totalLength(), step,
      "the double lane change's length (lead-in " + shortestText(course.leadIn) + " m and the course)");
  const double entryEnd = course.entryStart() + course.entryLength;
  const double offsetEnd = course.offsetStart() + course.offsetLength;
  const auto halfCosine = [](double from, double to, double x0, double length) {
    return [=](double x) { return from + (to - from) * 0.5 * (1.0 - std::cos(kPi * (x - x0) / length)); };
  };
  std::vector<Point2> points;
  sample(points, 0.0, entryEnd, step, true, [](double) { return 0.0; });
  sample(points, entryEnd, course.offsetStart(), step, false,
         halfCosine(0.0, course.offset, entryEnd, course.firstTransition));
  sample(points, course.offsetStart(), offsetEnd, step, false, [&](double) { return course.offset; });
  sample(points, offsetEnd, course.exitStart(), step, false,
         halfCosine(course.offset, 0.0, offsetEnd, course.secondTransition));
  sample(points, course.exitStart(), course.totalLength(), step, false, [](double) { return 0.0; });
  return points;
}

std::vector<Point2> singleLaneChangePath(double start, double length, double offset) {
  requirePositive(start, "the lane change's start");
  requirePositive(length, "the lane change's length");
  requireSampledLength(2.0 * start + length, 0.5,
                       "the lane change's length (twice the start " + shortestText(start) + " m and the length " +
                           shortestText(length) + " m)");
  std::vector<Point2> points;
  sample(points, 0.0, start, 0.5, true, [](double) { return 0.0; });
  sample(points, start, start + length, 0.5, false,
         [=](double x) { return offset * 0.5 * (1.0 - std::cos(kPi * (x - start) / length)); });
  sample(points, start + length, 2.0 * start + length, 0.5, false, [=](double) { return offset; });
  return points;
}

std::vector<Point2> laneChangeCones(const LaneChangeCourse &course, double spacing) {
  std::vector<Point2> cones;
  const auto lane = [&](double x0, double length, double centre, double width) {
    for (const double edge : {centre - 0.5 * width, centre + 0.5 * width}) {
      sample(cones, x0, x0 + length, spacing, true, [=](double) { return edge; });
    }
  };
  lane(course.entryStart(), course.entryLength, 0.0, course.entryWidth());
  lane(course.offsetStart(), course.offsetLength, course.offset, course.offsetWidth());
  lane(course.exitStart(), course.exitLength, 0.0, course.exitWidth());
  return cones;
}

}  // namespace corvanta::driving
