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

// Where the last lookups on a path ended: a driver keeps one per path, so that the next
// update starts its searches there.  Any value is valid (a fresh cursor, one from another
// path): it changes how long a lookup takes, never its result.
struct PathCursor {
  std::size_t home = 0;   // segment of the last projection's hint
  std::size_t point = 0;  // segment of the last pointAt
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
  // of an open one): on the first segment whose end is not before s.
  Point2 pointAt(double s) const;
  Point2 pointAt(double s, PathCursor &cursor) const;

  // The nearest path point to `p`: of the segments searched, the first in the order of
  // the search that comes nearest (the squared distance as computed, compared strictly).
  // With `window` > 0 (and less than half the length) the search is the segment holding
  // the hint, then those ahead of it in order while their start is within `window` of
  // arc length of the hint (start - hint <= window), then those behind it in reverse
  // order while their end is within it (hint - end <= window); a driver moving along the
  // path passes its last s as the hint.  Otherwise every segment is searched, in order.
  // A point that is not finite has no nearest point: the result is all zeros.
  //
  // The result is that of visiting every one of those segments; the search passes over
  // groups of segments whose bounding boxes lie farther than the best point so far, so
  // that neither the density nor the length of the path makes a lookup dearer.
  PathProjection project(Point2 p, double hint, double window) const;
  PathProjection project(Point2 p, double hint, double window, PathCursor &cursor) const;

 private:
  class Search;
  struct Bound {
    Point2 a, b;    // the chord: the first and the last point of the run
    double radius;  // every point of the run lies within it of the chord
  };

  std::size_t segmentCount() const { return closed_ ? points_.size() : points_.size() - 1; }
  Point2 segmentEnd(std::size_t segment) const;
  double wrap(double s) const;
  bool extended(std::size_t segment) const;
  void buildBounds(std::size_t node, std::size_t firstLeaf, std::size_t endLeaf);
  void projectOnSegment(std::size_t segment, Point2 p, bool extendBefore, bool extendAfter, PathProjection &best,
                        double &bestDistance2) const;

  std::vector<Point2> points_;
  std::vector<double> cumulative_;  // arc length at each point, then the total length
  bool closed_;
  // A tree of bounds of runs of segments: leaves of kLeafSegments segments (the last one
  // shorter), node 1 all of them, node i the runs of nodes 2i and 2i + 1, the leaves from
  // leafBase_ on.  The extended end segments of an open path are left out (they are searched
  // on their own); the radius is infinite where the coordinates are too large to bound, and
  // -1 for a node with no segment bounded.
  std::vector<Bound> bounds_;
  std::size_t leafBase_ = 1;
  double largestCoordinate_ = 0.0;  // of any point, for the rounding margins of the bounds
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
