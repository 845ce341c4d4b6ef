#include "engine/driving/Path.h"

#include <cmath>

#include <gtest/gtest.h>

#include "engine/driving/PathShapes.h"

namespace corvanta::driving {
namespace {

TEST(Path, ArcLengthAndPointsAlongAnOpenPolyline) {
  const Path path({{0.0, 0.0}, {3.0, 4.0}, {3.0, 10.0}}, false);
  EXPECT_EQ(path.length(), 11.0);
  const Point2 middle = path.pointAt(2.5);
  EXPECT_EQ(middle.x, 1.5);
  EXPECT_EQ(middle.y, 2.0);
  const Point2 second = path.pointAt(8.0);
  EXPECT_EQ(second.x, 3.0);
  EXPECT_EQ(second.y, 7.0);
  // Beyond either end the path continues along its end segments.
  const Point2 beyond = path.pointAt(13.0);
  EXPECT_EQ(beyond.x, 3.0);
  EXPECT_EQ(beyond.y, 12.0);
  const Point2 before = path.pointAt(-5.0);
  EXPECT_EQ(before.x, -3.0);
  EXPECT_EQ(before.y, -4.0);
}

TEST(Path, ProjectionGivesSignedDeviationLeftPositive) {
  const Path path({{0.0, 0.0}, {10.0, 0.0}}, false);
  const PathProjection left = path.project({4.0, 1.5}, 0.0, 0.0);
  EXPECT_EQ(left.s, 4.0);
  EXPECT_EQ(left.lateral, 1.5);
  const PathProjection right = path.project({4.0, -2.0}, 0.0, 0.0);
  EXPECT_EQ(right.lateral, -2.0);
  // Past the end the deviation is from the extended last segment, not from the end point.
  const PathProjection past = path.project({15.0, 1.0}, 0.0, 0.0);
  EXPECT_EQ(past.s, 15.0);
  EXPECT_EQ(past.lateral, 1.0);
}

TEST(Path, ClosedPathWrapsArcLength) {
  const Path square({{0.0, 0.0}, {10.0, 0.0}, {10.0, 10.0}, {0.0, 10.0}}, true);
  EXPECT_EQ(square.length(), 40.0);
  const Point2 wrapped = square.pointAt(45.0);
  EXPECT_EQ(wrapped.x, 5.0);
  EXPECT_EQ(wrapped.y, 0.0);
  const Point2 backwards = square.pointAt(-5.0);
  EXPECT_EQ(backwards.x, 0.0);
  EXPECT_EQ(backwards.y, 5.0);
  // Inside a counter-clockwise loop is left of the direction of travel.
  EXPECT_GT(square.project({5.0, 1.0}, 0.0, 0.0).lateral, 0.0);
}

TEST(Path, WindowedSearchFindsTheNearPassOfASelfCrossingPath) {
  // Out along y = 0 and back along y = 1: a point at y = 0.6 is nearer the return leg,
  // but a driver on the outward leg (hint s = 5) stays on it.
  const Path path({{0.0, 0.0}, {100.0, 0.0}, {100.0, 1.0}, {0.0, 1.0}}, false);
  EXPECT_NEAR(path.project({5.0, 0.6}, 0.0, 0.0).s, 196.0, 1e-12);
  const PathProjection near = path.project({5.0, 0.6}, 5.0, 10.0);
  EXPECT_EQ(near.s, 5.0);
  EXPECT_DOUBLE_EQ(near.lateral, 0.6);
}

TEST(Path, RefusesTooFewOrRepeatedPoints) {
  EXPECT_THROW(Path({{0.0, 0.0}}, false), DrivingError);
  EXPECT_THROW(Path({{0.0, 0.0}, {1.0, 0.0}, {1.0, 0.0}}, false), DrivingError);
  EXPECT_THROW(Path({{0.0, 0.0}, {NAN, 0.0}}, false), DrivingError);
  // Closed: the last point may not repeat the first.
  EXPECT_THROW(Path({{0.0, 0.0}, {1.0, 0.0}, {0.0, 0.0}}, true), DrivingError);
}

TEST(Path, PlacementRotatesAboutTheInitialPose) {
  const std::vector<Point2> placed = place({{0.0, 0.0}, {10.0, 0.0}, {0.0, 2.0}}, Placement{5.0, -3.0, M_PI / 2.0});
  EXPECT_EQ(placed[0].x, 5.0);
  EXPECT_EQ(placed[0].y, -3.0);
  EXPECT_NEAR(placed[1].x, 5.0, 1e-14);
  EXPECT_NEAR(placed[1].y, 7.0, 1e-14);
  EXPECT_NEAR(placed[2].x, 3.0, 1e-14);  // path y (left) points to global -X when heading is +Y
  EXPECT_NEAR(placed[2].y, -3.0, 1e-14);
}

TEST(PathShapes, CircleThroughTheOriginTangentToX) {
  for (const bool left : {true, false}) {
    const std::vector<Point2> points = circlePath(30.0, left);
    const double centreY = left ? 30.0 : -30.0;
    for (const Point2 &p : points) {
      EXPECT_NEAR(std::hypot(p.x, p.y - centreY), 30.0, 1e-12);
    }
    EXPECT_EQ(points[0].x, 0.0);
    EXPECT_EQ(points[0].y, 0.0);
    EXPECT_GT(points[1].x, 0.0);  // starts along +x
    const Path path(points, true);
    EXPECT_NEAR(path.length(), 2.0 * M_PI * 30.0, 0.01);
    EXPECT_LE(path.length() / static_cast<double>(points.size()), 0.5 + 1e-12);
  }
}

TEST(PathShapes, DoubleLaneChangeCentreLineAndCones) {
  const LaneChangeCourse course;
  const Path path(laneChangePath(course), false);
  const auto yAt = [&](double x) { return path.project({x, 0.0}, 0.0, 0.0).point.y; };
  EXPECT_EQ(yAt(course.entryStart() + 5.0), 0.0);
  EXPECT_NEAR(yAt(course.offsetStart() + 10.0), 3.5, 1e-12);
  EXPECT_EQ(yAt(course.exitStart() + 5.0), 0.0);
  EXPECT_EQ(course.totalLength(), 30.0 + 15.0 + 30.0 + 25.0 + 25.0 + 15.0 + 30.0);
  EXPECT_DOUBLE_EQ(course.entryWidth(), 2.23);
  // 7 cones per edge of the 15 m lanes, 11 per edge of the 25 m lane.
  const std::vector<Point2> cones = laneChangeCones(course);
  EXPECT_EQ(cones.size(), 2u * (7u + 11u + 7u));
  EXPECT_DOUBLE_EQ(cones.front().y, -1.115);
}

}  // namespace
}  // namespace corvanta::driving
