#include "engine/driving/Path.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

#include "engine/driving/HintedSearch.h"

namespace corvanta::driving {

namespace {

// Segments per leaf of the tree of bounds.
constexpr std::size_t kLeafSegments = 8;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Beyond this size of coordinate (m) squared distances could overflow: no bounds.
constexpr double kLargestBounded = 1e150;

// The distance from q to the segment from a to b (a point when a = b), as computed: within
// some ten units in the last place of the largest coordinate of the exact distance (a
// wrong t only moves the foot along the segment).
double segmentDistance(Point2 q, Point2 a, Point2 b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length2 = dx * dx + dy * dy;
  double t = 0.0;
  if (length2 > 0.0) {
    t = ((q.x - a.x) * dx + (q.y - a.y) * dy) / length2;
    t = t > 0.0 ? (t < 1.0 ? t : 1.0) : 0.0;
  }
  const double ex = q.x - (a.x + dx * t);
  const double ey = q.y - (a.y + dy * t);
  return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

Path::Path(std::vector<Point2> points, bool closed) : points_(std::move(points)), closed_(closed) {
  if (points_.size() < 2) {
    throw DrivingError("a path needs at least two points");
  }
  cumulative_.push_back(0.0);
  for (std::size_t segment = 0; segment < segmentCount(); ++segment) {
    const Point2 a = points_[segment];
    const Point2 b = segmentEnd(segment);
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    if (!(length > 0.0) || !std::isfinite(length)) {
      throw DrivingError("path points " + std::to_string(segment) + " and " +
                         std::to_string((segment + 1) % points_.size()) + " must be finite and distinct");
    }
    cumulative_.push_back(cumulative_.back() + length);
  }
  const std::size_t leaves = (segmentCount() + kLeafSegments - 1) / kLeafSegments;
  while (leafBase_ < leaves) {
    leafBase_ *= 2;
  }
  bounds_.assign(2 * leafBase_, Bound{{0.0, 0.0}, {0.0, 0.0}, -1.0});
  for (const Point2 &q : points_) {
    largestCoordinate_ = std::max({largestCoordinate_, std::fabs(q.x), std::fabs(q.y)});
  }
  buildBounds(1, 0, leafBase_);
}

Point2 Path::segmentEnd(std::size_t segment) const { return points_[(segment + 1) % points_.size()]; }

double Path::wrap(double s) const {
  if (!closed_) {
    return s;
  }
  const double wrapped = std::fmod(s, length());
  return wrapped < 0.0 ? wrapped + length() : wrapped;
}

bool Path::extended(std::size_t segment) const { return !closed_ && (segment == 0 || segment + 1 == segmentCount()); }

// The radius of `node` (leaves firstLeaf .. endLeaf - 1) and of the nodes below it.  A
// leaf's from the distances of its points to its chord, a parent's from its children's:
// each child's run lies within the child's radius of the child's chord, and the child's
// chord within the larger distance of its ends from the parent's chord (the distance to a
// segment is convex).  Each radius adds a margin for its rounding.
void Path::buildBounds(std::size_t node, std::size_t firstLeaf, std::size_t endLeaf) {
  const std::size_t count = segmentCount();
  const std::size_t first = firstLeaf * kLeafSegments;
  const std::size_t end = std::min(endLeaf * kLeafSegments, count);
  if (first >= end) {
    return;  // no segment: -1
  }
  const auto point = [&](std::size_t k) { return points_[k % points_.size()]; };
  const Point2 a = point(first);
  const Point2 b = point(end);
  const double margin = 1e-12 * largestCoordinate_ + 1e-100;
  double radius = -1.0;  // no segment bounded yet
  if (endLeaf - firstLeaf == 1) {
    // The points of the segments the tree bounds (not the extended ends: they are searched
    // on their own).
    for (std::size_t segment = first; segment < end; ++segment) {
      if (!extended(segment)) {
        radius = std::max({radius, segmentDistance(point(segment), a, b), segmentDistance(point(segment + 1), a, b)});
      }
    }
  } else {
    const std::size_t middle = firstLeaf + (endLeaf - firstLeaf) / 2;
    buildBounds(2 * node, firstLeaf, middle);
    buildBounds(2 * node + 1, middle, endLeaf);
    for (const std::size_t child : {2 * node, 2 * node + 1}) {
      const Bound &c = bounds_[child];
      if (c.radius >= 0.0) {
        radius = std::max(radius, c.radius + std::max(segmentDistance(c.a, a, b), segmentDistance(c.b, a, b)));
      }
    }
  }
  if (radius < 0.0) {
    return;  // nothing bounded: -1
  }
  bounds_[node] = Bound{a, b, largestCoordinate_ > kLargestBounded ? kInfinity : radius + margin};
}

Point2 Path::pointAt(double s) const {
  PathCursor cursor;
  return pointAt(s, cursor);
}

Point2 Path::pointAt(double s, PathCursor &cursor) const {
  s = wrap(s);
  const std::size_t last = segmentCount() - 1;
  // First segment whose end is not before s; s before the start or past the end uses the
  // first or the last segment, extended.
  const std::size_t segment =
      hintedPartitionPoint(last, cursor.point, [&](std::size_t k) { return cumulative_[k + 1] < s; });
  const Point2 a = points_[segment];
  const Point2 b = segmentEnd(segment);
  const double t = (s - cumulative_[segment]) / (cumulative_[segment + 1] - cumulative_[segment]);
  return Point2{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

void Path::projectOnSegment(std::size_t segment, Point2 p, bool extendBefore, bool extendAfter, PathProjection &best,
                            double &bestDistance2) const {
  const Point2 a = points_[segment];
  const Point2 b = segmentEnd(segment);
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length = cumulative_[segment + 1] - cumulative_[segment];
  double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (length * length);
  if (t < 0.0 && !extendBefore) {
    t = 0.0;
  }
  if (t > 1.0 && !extendAfter) {
    t = 1.0;
  }
  const Point2 q{a.x + dx * t, a.y + dy * t};
  const double distance2 = (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y);
  if (distance2 < bestDistance2) {
    bestDistance2 = distance2;
    best.s = wrap(cumulative_[segment] + t * length);
    best.point = q;
    // Left of the direction of travel is positive: the sign of (b - a) x (p - a).
    const double cross = dx * (p.y - a.y) - dy * (p.x - a.x);
    const double distance = std::sqrt(distance2);
    best.lateral = cross < 0.0 ? -distance : distance;
  }
}

// One projection: the segments to search, in the order of the search, and the best point.
//
// The search runs twice.  The first pass finds the least squared distance among the
// segments, walking the tree of bounds nearest run first; the second visits them in their
// order, passing over every run whose bound exceeds that least distance, and so finds the
// first segment that reaches it, as the plain scan does.
//
// The bound of a run: its chord's distance from p less its radius and `slack_`.  The point
// projectOnSegment computes on a segment (not extended: t within [0, 1]) is within a few
// units in the last place of the largest coordinate of the segment, and the chord's
// distance as computed within some ten of the exact one; `slack_` is a million times that.
// So the bound is at most the distance from p to any point the run's segments compute, and
// its square, less a relative 1e-12 for the rounding of the squares, at most the squared
// distance they compute.  A run is passed over only when its bound exceeds a squared
// distance found among the segments searched: none of its segments could have been the
// nearest, nor tied with it.
class Path::Search {
 public:
  Search(const Path &path, Point2 p)
      : path_(path),
        p_(p),
        slack_(1e-12 * path.largestCoordinate_ + 1e-12 * std::fabs(p.x) + 1e-12 * std::fabs(p.y) + 1e-100),
        bounded_(std::fabs(p.x) <= kLargestBounded && std::fabs(p.y) <= kLargestBounded) {}

  // Appends segments first, first + 1, ..., last (ascending) or first, first - 1, ...,
  // last (descending) to the search.
  void add(std::size_t first, std::size_t last) {
    ranges_[rangeCount_++] = Range{std::min(first, last), std::max(first, last), last < first};
  }

  // A segment among those added, to be tried first by the first pass.
  void start(std::size_t segment) { visit(segment); }

  PathProjection run() {
    for (std::size_t k = 0; k < rangeCount_; ++k) {
      walk(ranges_[k], Order::Nearest);
    }
    least2_ = best2_;
    best_ = PathProjection{};
    best2_ = kInfinity;
    for (std::size_t k = 0; k < rangeCount_; ++k) {
      walk(ranges_[k], ranges_[k].descending ? Order::Descending : Order::Ascending);
    }
    return best_;
  }

 private:
  enum class Order { Ascending, Descending, Nearest };
  struct Range {
    std::size_t low, high;  // inclusive
    bool descending;
  };
  struct Node {
    std::size_t index, firstLeaf, endLeaf;
  };

  // A lower bound of the squared distance projectOnSegment computes for any segment of the
  // node's run (infinite for a node without segments).
  double bound2(const Node &node) const {
    const Bound &bound = path_.bounds_[node.index];
    if (bound.radius < 0.0) {
      return kInfinity;
    }
    if (!bounded_ || !(bound.radius < kInfinity)) {
      return 0.0;
    }
    const double gap = segmentDistance(p_, bound.a, bound.b) - bound.radius - slack_;
    if (!(gap > 0.0)) {
      return 0.0;
    }
    const double square = gap * gap * (1.0 - 1e-12);
    return square < 1e-290 ? 0.0 : square;  // no subnormal squares
  }

  bool farther(double bound) const { return bound > std::min(best2_, least2_); }

  void visit(std::size_t segment) {
    const std::size_t count = path_.segmentCount();
    path_.projectOnSegment(segment, p_, !path_.closed_ && segment == 0, !path_.closed_ && segment + 1 == count, best_,
                           best2_);
  }

  // The node `index` with the leaves it spans.
  Node node(std::size_t index) const {
    std::size_t first = index;
    std::size_t end = index + 1;
    while (first < path_.leafBase_) {
      first *= 2;
      end *= 2;
    }
    return Node{index, first - path_.leafBase_, end - path_.leafBase_};
  }

  // The segments of `range`: the fewest nodes that together span its leaves, in order,
  // and a depth-first walk of each (walkTree), passing over runs that are farther, the children in
  // the order asked for (Nearest: the nearer bound first).
  void walk(const Range &range, Order order) {
    // The extended ends of an open path, which no run bounds, in their places.
    const std::size_t firstVisited = order == Order::Descending ? range.high : range.low;
    const std::size_t lastVisited = order == Order::Descending ? range.low : range.high;
    if (path_.extended(firstVisited)) {
      visit(firstVisited);
    }
    walkTree(range, order);
    if (lastVisited != firstVisited && path_.extended(lastVisited)) {
      visit(lastVisited);
    }
  }

  void walkTree(const Range &range, Order order) {
    std::size_t before[64];  // nodes from the low end, ascending
    std::size_t after[64];   // nodes from the high end, descending
    std::size_t beforeCount = 0;
    std::size_t afterCount = 0;
    for (std::size_t low = range.low / kLeafSegments + path_.leafBase_,
                     high = range.high / kLeafSegments + path_.leafBase_ + 1;
         low < high; low /= 2, high /= 2) {
      if (low % 2 == 1) {
        before[beforeCount++] = low++;
      }
      if (high % 2 == 1) {
        after[afterCount++] = --high;
      }
    }
    const std::size_t total = beforeCount + afterCount;
    for (std::size_t k = 0; k < total; ++k) {
      // Ascending: before[0 ..], then after[.. 0]; descending the reverse.
      const std::size_t position = order == Order::Descending ? total - 1 - k : k;
      const std::size_t index =
          position < beforeCount ? before[position] : after[afterCount - 1 - (position - beforeCount)];
      walkNode(node(index), range, order);
    }
  }

  void walkNode(Node top, const Range &range, Order order) {
    Node stack[2 * 64];
    std::size_t depth = 0;
    stack[depth++] = top;
    while (depth > 0) {
      const Node node = stack[--depth];
      if (farther(bound2(node))) {
        continue;
      }
      if (node.endLeaf - node.firstLeaf == 1) {
        const std::size_t begin = std::max(range.low, node.firstLeaf * kLeafSegments);
        const std::size_t end = std::min(range.high, node.firstLeaf * kLeafSegments + kLeafSegments - 1);
        if (order == Order::Descending) {
          for (std::size_t segment = end + 1; segment-- > begin;) {
            if (!path_.extended(segment)) {
              visit(segment);
            }
          }
        } else {
          for (std::size_t segment = begin; segment <= end; ++segment) {
            if (!path_.extended(segment)) {
              visit(segment);
            }
          }
        }
        continue;
      }
      const std::size_t middle = node.firstLeaf + (node.endLeaf - node.firstLeaf) / 2;
      const Node left{2 * node.index, node.firstLeaf, middle};
      const Node right{2 * node.index + 1, middle, node.endLeaf};
      bool leftFirst = order != Order::Descending;
      if (order == Order::Nearest) {
        leftFirst = !(bound2(right) < bound2(left));
      }
      // The one taken first goes on last.
      stack[depth++] = leftFirst ? right : left;
      stack[depth++] = leftFirst ? left : right;
    }
  }

  const Path &path_;
  Point2 p_;
  double slack_;
  bool bounded_;
  Range ranges_[5];
  std::size_t rangeCount_ = 0;
  PathProjection best_;
  double best2_ = kInfinity;
  double least2_ = kInfinity;  // the least squared distance, once the first pass found it
};

PathProjection Path::project(Point2 p, double hint, double window) const {
  PathCursor cursor;
  return project(p, hint, window, cursor);
}

PathProjection Path::project(Point2 p, double hint, double window, PathCursor &cursor) const {
  if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
    // Every squared distance would be infinite or NaN, none below the initial infinity.
    return PathProjection{};
  }
  const std::size_t count = segmentCount();
  const bool searchAll = !(window > 0.0) || 2.0 * window >= length();
  // The segment holding the hint: the last one whose start is not beyond it.
  const double centre = std::clamp(wrap(hint), 0.0, length());
  const std::size_t after =
      hintedPartitionPoint(count + 1, cursor.home, [&](std::size_t k) { return !(centre < cumulative_[k]); });
  const std::size_t home = std::min(count - 1, after > 0 ? after - 1 : 0);
  Search search(*this, p);
  if (searchAll) {
    // Every segment in order; the first pass starts from the hint's segment (the second
    // visits it in its turn: only the order decides ties).
    search.start(home);
    search.add(0, count - 1);
    return search.run();
  }
  // Arc lengths as if the path went on past its end (closed: round again), and before its
  // start (closed: the lap before).
  const double total = length();
  const auto startOf = [&](std::size_t u) { return u <= count ? cumulative_[u] : cumulative_[u - count] + total; };
  const auto aheadWithin = [&](std::size_t j) { return startOf(home + j) - centre <= window; };
  const auto behindWithin = [&](std::size_t j) {
    const double end = j <= home ? cumulative_[home - j + 1] : cumulative_[home + count + 1 - j] - total;
    return centre - end <= window;
  };
  const std::size_t ahead = gallopingCount(closed_ ? count - 1 : count - 1 - home, aheadWithin);
  const std::size_t behind = gallopingCount(closed_ ? count - 1 : home, behindWithin);
  search.add(home, home);
  if (home + ahead < count) {
    if (ahead > 0) {
      search.add(home + 1, home + ahead);
    }
  } else {
    if (home + 1 < count) {
      search.add(home + 1, count - 1);
    }
    search.add(0, home + ahead - count);
  }
  if (behind <= home) {
    if (behind > 0) {
      search.add(home - 1, home - behind);
    }
  } else {
    if (home > 0) {
      search.add(home - 1, 0);
    }
    search.add(count - 1, home + count - behind);
  }
  return search.run();
}

std::vector<Point2> place(const std::vector<Point2> &local, const Placement &placement) {
  const double c = std::cos(placement.heading);
  const double s = std::sin(placement.heading);
  std::vector<Point2> placed;
  placed.reserve(local.size());
  for (const Point2 &p : local) {
    placed.push_back(Point2{placement.x + (c * p.x - s * p.y), placement.y + (s * p.x + c * p.y)});
  }
  return placed;
}

}  // namespace corvanta::driving
