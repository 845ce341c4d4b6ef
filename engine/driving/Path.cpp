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
  std::size_t segment = 0;
  const std::size_t last = segmentCount() - 1;
  // First segment whose end lies beyond s; s before the start or past the end uses the
  // first or the last segment, extended.
  while (segment < last && cumulative_[segment + 1] < s) {
    ++segment;
  }
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

PathProjection Path::project(Point2 p, double hint, double window) const {
  PathProjection best;
  double bestDistance2 = INFINITY;
  const std::size_t count = segmentCount();
  const bool searchAll = !(window > 0.0) || 2.0 * window >= length();
  if (searchAll) {
    for (std::size_t segment = 0; segment < count; ++segment) {
      projectOnSegment(segment, p, !closed_ && segment == 0, !closed_ && segment + 1 == count, best, bestDistance2);
    }
    return best;
  }
  // The segment holding the hint, then its neighbours on both sides while they start
  // (ahead) or end (behind) within the window.
  const double centre = std::clamp(wrap(hint), 0.0, length());
  const auto upper = std::upper_bound(cumulative_.begin(), cumulative_.end(), centre);
  const std::size_t home = std::min(count - 1, static_cast<std::size_t>(std::max<std::ptrdiff_t>(
                                                   0, (upper - cumulative_.begin()) - 1)));
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
    visit(segment % count);
    reach += cumulative_[segment % count + 1] - cumulative_[segment % count];
  }
  reach = centre - cumulative_[home];
  for (std::size_t step = 1; step < count && reach <= window; ++step) {
    if (step > home && !closed_) {
      break;
    }
    const std::size_t segment = (home + count - step) % count;
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
