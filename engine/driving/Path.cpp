#include "Path.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

namespace corvanta::driving {

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
                         std::to_string((segment + 1) % points_.size()) +
                         " must be finite and distinct");
    }
    cumulative_.push_back(cumulative_.back() + length);
  }
}

Point2 Path::segmentEnd(std::size_t segment) const { return points_[(segment + 1) % points_.size()]; }

double Path::wrap(double s) const {
  if (!closed_) {
    return s;
  }
  const double wrapped = std::fmod(s, length());
  return wrapped < 0.0 ? wrapped + length() : wrapped;
}

Point2 Path::pointAt(double s) const {
  s = wrap(s);
  const std::size_t last = segmentCount() - 1;
  // First segment whose end is not before s (a binary search over the segment ends); s
  // before the start or past the end uses the first or the last segment, extended.
  const auto ends = cumulative_.begin() + 1;
  const auto found = std::lower_bound(ends, ends + static_cast<std::ptrdiff_t>(last), s);
  const auto segment = static_cast<std::size_t>(found - ends);
  const Point2 a = points_[segment];
  const Point2 b = segmentEnd(segment);
  const double t = (s - cumulative_[segment]) / (cumulative_[segment + 1] - cumulative_[segment]);
  return Point2{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

void Path::projectOnSegment(std::size_t segment, Point2 p, bool extendBefore, bool extendAfter,
                            PathProjection &best, double &bestDistance2) const {
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

namespace {

// How much closer than `distance` (from a path point to p) no other point within that
// arc length can be, with a margin for rounding: the points within arc length `reach` of
// that point are at least distance - reach from p.
double passableReach(Point2 p, Point2 from, double distance, double bestDistance2) {
  const double best = std::sqrt(bestDistance2);
  const double margin = 1e-9 * (std::fabs(p.x) + std::fabs(p.y) + std::fabs(from.x) + std::fabs(from.y) + distance + 1.0);
  return distance - best - margin;
}

}  // namespace

// The number of segments from `segment` on (up to, not including, `end`) that lie too far
// from p to beat the best distance: every point of them is within the arc length from the
// start of `segment` that passableReach allows.  A binary search over the arc lengths,
// so that a dense path costs no more than a coarse one.
std::size_t Path::passableAhead(std::size_t segment, std::size_t end, Point2 p, double bestDistance2) const {
  if (!std::isfinite(bestDistance2) || segment >= end) {
    return 0;
  }
  const Point2 a = points_[segment];
  const double reach = passableReach(p, a, std::hypot(p.x - a.x, p.y - a.y), bestDistance2);
  if (!(reach > 0.0)) {
    return 0;
  }
  // First segment k whose end lies at or beyond cumulative_[segment] + reach.
  const double limit = cumulative_[segment] + reach;
  const auto first = cumulative_.begin() + static_cast<std::ptrdiff_t>(segment) + 1;
  const auto last = cumulative_.begin() + static_cast<std::ptrdiff_t>(end) + 1;
  const auto found = std::lower_bound(first, last, limit);
  return static_cast<std::size_t>(found - first);
}

// As passableAhead, backwards: segments `segment`, segment - 1, ... (down to, not below,
// `begin`) all of whose points are within the allowed arc length of the end of `segment`.
std::size_t Path::passableBehind(std::size_t segment, std::size_t begin, Point2 p, double bestDistance2) const {
  if (!std::isfinite(bestDistance2) || segment < begin) {
    return 0;
  }
  const Point2 b = segmentEnd(segment);
  const double reach = passableReach(p, b, std::hypot(p.x - b.x, p.y - b.y), bestDistance2);
  if (!(reach > 0.0)) {
    return 0;
  }
  // Segments k <= segment with cumulative_[segment + 1] - cumulative_[k] < reach, k >= begin.
  const double limit = cumulative_[segment + 1] - reach;
  const auto first = cumulative_.begin() + static_cast<std::ptrdiff_t>(begin);
  const auto last = cumulative_.begin() + static_cast<std::ptrdiff_t>(segment) + 1;
  const auto found = std::upper_bound(first, last, limit);
  return static_cast<std::size_t>(last - found);
}

PathProjection Path::project(Point2 p, double hint, double window) const {
  PathProjection best;
  double bestDistance2 = INFINITY;
  const std::size_t count = segmentCount();
  const bool searchAll = !(window > 0.0) || 2.0 * window >= length();
  // The segment holding the hint.
  const double centre = std::clamp(wrap(hint), 0.0, length());
  const auto upper = std::upper_bound(cumulative_.begin(), cumulative_.end(), centre);
  const std::size_t home = std::min(count - 1, static_cast<std::size_t>(std::max<std::ptrdiff_t>(
                                                   0, (upper - cumulative_.begin()) - 1)));
  if (searchAll) {
    // Every segment in order.  The hint's segment bounds the distance beforehand, so that
    // runs of segments farther than it are passed over: they cannot be the nearest, and
    // the hint's segment itself is visited in its turn, so the result is that of the plain
    // scan (equal distances included).
    PathProjection seed;
    double seedDistance2 = INFINITY;
    projectOnSegment(home, p, !closed_ && home == 0, !closed_ && home + 1 == count, seed, seedDistance2);
    for (std::size_t segment = 0; segment < count; ++segment) {
      if (closed_ || segment > 0) {
        const std::size_t skipped =
            passableAhead(segment, closed_ ? count : count - 1, p, std::min(bestDistance2, seedDistance2));
        if (skipped > 0) {
          segment += skipped - 1;
          continue;
        }
      }
      projectOnSegment(segment, p, !closed_ && segment == 0, !closed_ && segment + 1 == count, best, bestDistance2);
    }
    return best;
  }
  // The hint's segment, then its neighbours on both sides while they start (ahead) or end
  // (behind) within the window.
  const auto visit = [&](std::size_t segment) {
    projectOnSegment(segment, p, !closed_ && segment == 0, !closed_ && segment + 1 == count, best, bestDistance2);
  };
  visit(home);
  double reach = cumulative_[home + 1] - centre;
  for (std::size_t step = 1; step < count && reach <= window; ++step) {
    const std::size_t segment = home + step;
    if (segment >= count && !closed_) {
      break;
    }
    // Segments that cannot come as close as the best so far are passed over in one jump
    // (never the extended last segment of an open path).
    const std::size_t skipped = segment < count ? passableAhead(segment, closed_ ? count : count - 1, p, bestDistance2) : 0;
    if (skipped > 0) {
      reach += cumulative_[segment + skipped] - cumulative_[segment];
      step += skipped - 1;
      continue;
    }
    visit(segment % count);
    reach += cumulative_[segment % count + 1] - cumulative_[segment % count];
  }
  reach = centre - cumulative_[home];
  for (std::size_t step = 1; step < count && reach <= window; ++step) {
    if (step > home && !closed_) {
      break;
    }
    const std::size_t segment = (home + count - step) % count;
    // As ahead; never the extended first segment of an open path.
    const std::size_t skipped =
        segment < home ? passableBehind(segment, closed_ ? 0 : 1, p, bestDistance2) : 0;
    if (skipped > 0) {
      reach += cumulative_[segment + 1] - cumulative_[segment + 1 - skipped];
      step += skipped - 1;
      continue;
    }
    visit(segment);
    reach += cumulative_[segment + 1] - cumulative_[segment];
  }
  return best;
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
