// A path for the driver to follow: a polyline in the road plane (global X, Y in m),
// open or closed, parametrised by arc length s from its first point.
//
// An open path continues beyond both ends along its first and last segments, so that a
// look-ahead point past the end and a vehicle that overshoots it still have a well-defined
// target and deviation.  A closed path wraps s modulo its length.
#ifndef CORVANTA_DRIVING_PATH_H
#define CORVANTA_DRIVING_PATH_H

#include <cstddef>
#include <stdexcept>
#include <vector>

namespace corvanta::driving {

struct Point2 {
  double x = 0.0;
  double y = 0.0;
};

// A description of a driving set-up that cannot be used (bad path, bad gains, ...).
class DrivingError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// Where a point lies relative to the path.
struct PathProjection {
  double s = 0.0;        // arc length of the nearest path point, m
  double lateral = 0.0;  // signed distance from the path, m; > 0 left of the direction of travel
  Point2 point;          // the nearest path point
};

class Path {
 public:
  // At least two points; consecutive points must differ.  A closed path joins the last
  // point back to the first (the first point is not repeated).  Throws DrivingError.
  Path(std::vector<Point2> points, bool closed);

  double length() const { return cumulative_.back(); }
  bool closed() const { return closed_; }
  const std::vector<Point2> &points() const { return points_; }

  // The point at arc length s (wrapped on a closed path, extended along the end segments
  // of an open one).
  Point2 pointAt(double s) const;

  // The nearest path point to `p`.  With `window` > 0 only the segments within
  // [hint - window, hint + window] of arc length are searched (a driver moving along the
  // path passes its last s as the hint); with window <= 0 the whole path is searched.
  // Within the window, runs of segments too far away to be nearest are passed over by a
  // binary search, so that the cost does not grow with the density of the points.
  PathProjection project(Point2 p, double hint, double window) const;

 private:
  std::size_t segmentCount() const { return closed_ ? points_.size() : points_.size() - 1; }
  Point2 segmentEnd(std::size_t segment) const;
  double wrap(double s) const;
  std::size_t passableAhead(std::size_t segment, std::size_t end, Point2 p, double bestDistance2) const;
  std::size_t passableBehind(std::size_t segment, std::size_t begin, Point2 p, double bestDistance2) const;
  void projectOnSegment(std::size_t segment, Point2 p, bool extendBefore, bool extendAfter,
                        PathProjection &best, double &bestDistance2) const;

  std::vector<Point2> points_;
  std::vector<double> cumulative_;  // arc length at each point, then the total length
  bool closed_;
};

// The placement of path coordinates in the road plane: path x along the vehicle's
// initial heading, path y to its left, origin at its initial position.
struct Placement {
  double x = 0.0;
  double y = 0.0;
  double heading = 0.0;
};

// Points given in path coordinates, placed in the road plane.
std::vector<Point2> place(const std::vector<Point2> &local, const Placement &placement);

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_PATH_H
