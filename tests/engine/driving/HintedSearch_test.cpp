// The driver's lookups from a cursor and through the tree of bounds against the plain
// scans they replace, bit for bit, on random and hostile paths and queries: the same
// segment every time (ties included), whatever the cursor holds.
#include "engine/driving/HintedSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/driving/Path.h"
#include "engine/driving/SpeedController.h"
#include "tests/TestSupport.h"

namespace corvanta::driving {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Random {
  std::uint64_t state;
  double uniform() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) * 0x1p-53;
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(uniform() * static_cast<double>(n)) % n; }
};

// ---- The plain scans, written out as they were ----

struct Polyline {
  std::vector<Point2> points;
  bool closed;
  std::vector<double> cumulative;

  Polyline(std::vector<Point2> p, bool c) : points(std::move(p)), closed(c) {
    cumulative.push_back(0.0);
    for (std::size_t k = 0; k < segments(); ++k) {
      const Point2 a = points[k];
      const Point2 b = end(k);
      cumulative.push_back(cumulative.back() + std::hypot(b.x - a.x, b.y - a.y));
    }
  }
  std::size_t segments() const { return closed ? points.size() : points.size() - 1; }
  Point2 end(std::size_t k) const { return points[(k + 1) % points.size()]; }
  double length() const { return cumulative.back(); }
  double wrap(double s) const {
    if (!closed) {
      return s;
    }
    const double wrapped = std::fmod(s, length());
    return wrapped < 0.0 ? wrapped + length() : wrapped;
  }

  Point2 pointAt(double s) const {
    s = wrap(s);
    std::size_t segment = 0;
    while (segment < segments() - 1 && cumulative[segment + 1] < s) {
      ++segment;
    }
    const Point2 a = points[segment];
    const Point2 b = end(segment);
    const double t = (s - cumulative[segment]) / (cumulative[segment + 1] - cumulative[segment]);
    return Point2{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
  }

  void onSegment(std::size_t k, Point2 p, PathProjection &best, double &best2) const {
    const Point2 a = points[k];
    const Point2 b = end(k);
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length = cumulative[k + 1] - cumulative[k];
    double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (length * length);
    if (t < 0.0 && !(!closed && k == 0)) {
      t = 0.0;
    }
    if (t > 1.0 && !(!closed && k + 1 == segments())) {
      t = 1.0;
    }
    const Point2 q{a.x + dx * t, a.y + dy * t};
    const double distance2 = (p.x - q.x) * (p.x - q.x) + (p.y - q.y) * (p.y - q.y);
    if (distance2 < best2) {
      best2 = distance2;
      best.s = wrap(cumulative[k] + t * length);
      best.point = q;
      const double cross = dx * (p.y - a.y) - dy * (p.x - a.x);
      best.lateral = cross < 0.0 ? -std::sqrt(distance2) : std::sqrt(distance2);
    }
  }

  // Every segment of the search visited, in the documented order.
  PathProjection project(Point2 p, double hint, double window) const {
    PathProjection best;
    double best2 = kInf;
    const std::size_t count = segments();
    if (!(window > 0.0) || 2.0 * window >= length()) {
      for (std::size_t k = 0; k < count; ++k) {
        onSegment(k, p, best, best2);
      }
      return best;
    }
    const double centre = std::clamp(wrap(hint), 0.0, length());
    std::size_t home = 0;
    while (home + 1 < count && !(centre < cumulative[home + 1])) {
      ++home;
    }
    onSegment(home, p, best, best2);
    for (std::size_t j = 1; j < count && (closed || home + j < count); ++j) {
      const std::size_t u = home + j;
      const double start = u <= count ? cumulative[u] : cumulative[u - count] + length();
      if (!(start - centre <= window)) {
        break;
      }
      onSegment(u % count, p, best, best2);
    }
    for (std::size_t j = 1; j < count && (closed || j <= home); ++j) {
      const double end = j <= home ? cumulative[home - j + 1] : cumulative[home + count + 1 - j] - length();
      if (!(centre - end <= window)) {
        break;
      }
      onSegment((home + count - j) % count, p, best, best2);
    }
    return best;
  }
};

double profileLinear(const SpeedProfile &profile, double where) {
  if (where <= profile.at.front()) {
    return profile.speed.front();
  }
  for (std::size_t i = 1; i < profile.at.size(); ++i) {
    if (where < profile.at[i]) {
      const double fraction = (where - profile.at[i - 1]) / (profile.at[i] - profile.at[i - 1]);
      return profile.speed[i - 1] + (profile.speed[i] - profile.speed[i - 1]) * fraction;
    }
  }
  return profile.speed.back();
}

// ---- Paths ----

struct Case {
  std::string name;
  std::vector<Point2> points;
  bool closed;
};

std::vector<Case> cases() {
  std::vector<Case> made;
  Random random{7};
  {
    // Uneven spacing, 1 um to 2 m, along a wiggle.
    std::vector<Point2> points;
    double x = 0.0;
    for (int i = 0; i < 3000; ++i) {
      x += random.uniform() < 0.5 ? 1e-6 * (1.0 + random.uniform()) : 2.0 * random.uniform() + 1e-6;
      points.push_back({x, 3.0 * std::sin(0.05 * x) + 0.01 * random.uniform()});
    }
    made.push_back({"uneven", points, false});
    made.push_back({"uneven closed", points, true});
  }
  {
    // Back and forth over the same points: every distance is tied several times over.
    std::vector<Point2> points;
    for (int pass = 0; pass < 6; ++pass) {
      for (int i = 0; i < 200; ++i) {
        const int k = pass % 2 == 0 ? i : 199 - i;
        points.push_back({0.25 * k, (k % 7 == 0) ? 0.5 : 0.0});
      }
      points.pop_back();
    }
    made.push_back({"repeated", points, false});
    made.push_back({"repeated closed", points, true});
  }
  {
    // Segments too short to move the arc length: segments of zero arc length.
    std::vector<Point2> points;
    for (int i = 0; i < 400; ++i) {
      points.push_back({1e6 + 0.5 * (i / 4), 1e-20 * (i % 4)});
    }
    made.push_back({"zero-length segments", points, false});
    made.push_back({"zero-length segments closed", points, true});
  }
  {
    // A 10^5-point circle of radius 1 (tree of several levels) and a short open path.
    std::vector<Point2> points;
    for (int i = 0; i < 100000; ++i) {
      const double angle = 2.0 * M_PI * i / 100000.0;
      points.push_back({std::sin(angle), 1.0 - std::cos(angle)});
    }
    made.push_back({"dense circle", points, true});
    made.push_back({"two points", {{0.0, 0.0}, {1.0, 1.0}}, false});
    made.push_back({"three points", {{0.0, 0.0}, {1.0, 0.0}, {1.0, 1.0}}, false});
  }
  {
    // Coordinates too large to bound and an arc length that overflows to infinity.
    made.push_back({"huge", {{-8e307, 0.0}, {8e307, 0.0}, {-8e307, 1e300}, {0.0, 1.0}}, false});
  }
  return made;
}

void expectSame(const PathProjection &expected, const PathProjection &actual, const std::string &what) {
  ASSERT_EQ(bitsOf(expected.s), bitsOf(actual.s)) << what << ": s " << expected.s << " " << actual.s;
  ASSERT_EQ(bitsOf(expected.lateral), bitsOf(actual.lateral)) << what << ": lateral";
  ASSERT_EQ(bitsOf(expected.point.x), bitsOf(actual.point.x)) << what << ": x";
  ASSERT_EQ(bitsOf(expected.point.y), bitsOf(actual.point.y)) << what << ": y";
}

TEST(HintedSearch, PartitionPointFromEveryHintIsThePlainOne) {
  // Runs of equal values, so that the predicate changes within them and at their edges.
  const std::vector<double> sorted{0.0, 0.0, 1.0, 1.0, 1.0, 2.0, 3.0, 3.0, 5.0, 8.0, 8.0, 8.0, 8.0, 13.0};
  for (const double value : {-1.0, 0.0, 0.5, 1.0, 1.5, 3.0, 8.0, 13.0, 20.0, kNaN, kInf, -kInf}) {
    for (std::size_t n = 0; n <= sorted.size(); ++n) {
      const auto holds = [&](std::size_t k) { return sorted[k] < value; };
      const auto plain =
          static_cast<std::size_t>(std::partition_point(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(n),
                                                        [&](double x) { return x < value; }) -
                                   sorted.begin());
      for (std::size_t hint = 0; hint <= n + 3; ++hint) {
        std::size_t cursor = hint;
        ASSERT_EQ(plain, hintedPartitionPoint(n, cursor, holds)) << value << " n " << n << " hint " << hint;
        ASSERT_EQ(plain, cursor);
      }
      std::size_t huge = std::numeric_limits<std::size_t>::max();
      ASSERT_EQ(plain, hintedPartitionPoint(n, huge, holds));
      for (std::size_t limit = 0; limit <= n; ++limit) {
        // gallopingCount over j = 1 .. limit of holds(j - 1).
        const std::size_t expected = std::min(plain, limit);
        ASSERT_EQ(expected, gallopingCount(limit, [&](std::size_t j) { return holds(j - 1); }));
      }
    }
  }
}

TEST(HintedSearch, ProjectionsAndPointsAreThoseOfThePlainScan) {
  for (const Case &c : cases()) {
    SCOPED_TRACE(c.name);
    const Polyline plain(c.points, c.closed);
    const Path path(c.points, c.closed);
    ASSERT_EQ(bitsOf(plain.length()), bitsOf(path.length()));
    Random random{static_cast<std::uint64_t>(c.points.size()) * 31 + (c.closed ? 1 : 0)};
    PathCursor cursor;  // carried from query to query, as a driver carries it
    double minX = kInf, maxX = -kInf, minY = kInf, maxY = -kInf;
    for (const Point2 &q : c.points) {
      minX = std::min(minX, q.x);
      maxX = std::max(maxX, q.x);
      minY = std::min(minY, q.y);
      maxY = std::max(maxY, q.y);
    }
    const double spanX = std::isfinite(maxX - minX) ? maxX - minX : 1e308;
    const double spanY = std::isfinite(maxY - minY) ? maxY - minY : 1e308;
    const double length = std::isfinite(path.length()) ? path.length() : 1e308;
    const int trials = c.points.size() > 10000 ? 600 : 3000;
    double s = 0.0;
    for (int trial = 0; trial < trials; ++trial) {
      Point2 p;
      const std::size_t k = random.below(c.points.size());
      switch (trial % 6) {
        case 0:  // exactly on a point
          p = c.points[k];
          break;
        case 1:  // near the path
          p = {c.points[k].x + 0.3 * (random.uniform() - 0.5), c.points[k].y + 0.3 * (random.uniform() - 0.5)};
          break;
        case 2:  // anywhere around it
          p = {minX + spanX * (1.4 * random.uniform() - 0.2), minY + spanY * (1.4 * random.uniform() - 0.2)};
          break;
        case 3:  // on the midpoint of a segment (ties between passes)
          p = {0.5 * (c.points[k].x + c.points[(k + 1) % c.points.size()].x),
               0.5 * (c.points[k].y + c.points[(k + 1) % c.points.size()].y)};
          break;
        case 4:  // far away
          p = {1e9 * (random.uniform() - 0.5), 1e9 * (random.uniform() - 0.5)};
          break;
        default: {  // not finite
          const double odd[] = {kNaN, kInf, -kInf, 0.0};
          p = {odd[random.below(4)], odd[random.below(3)]};
        }
      }
      // Hints near the last result, anywhere, and hostile; windows of every kind.
      const double hints[] = {s,    s + 0.01, s - 5.0, length * random.uniform(), -length, 2.0 * length + 3.0,
                              kNaN, kInf,     -kInf};
      const double hint = hints[random.below(9)];
      const double windows[] = {10.0, 0.5, 1e-9, 0.0, -1.0, length * 0.49, length, kNaN, kInf, 3.0};
      const double window = windows[random.below(10)];
      const std::string what = "trial " + std::to_string(trial) + " p (" + std::to_string(p.x) + ", " +
                               std::to_string(p.y) + ") hint " + std::to_string(hint) + " window " +
                               std::to_string(window);
      const PathProjection expected = plain.project(p, hint, window);
      expectSame(expected, path.project(p, hint, window, cursor), what);
      expectSame(expected, path.project(p, hint, window), what + " (fresh cursor)");
      if (std::isfinite(expected.s)) {
        s = expected.s;
      }
      // Look-ahead points: forward steps, backward jumps, knots exactly, hostile arcs.
      const double arcs[] = {s + 4.0,
                             s - 100.0 * random.uniform(),
                             plain.cumulative[random.below(plain.cumulative.size())],
                             length * 3.0 * (random.uniform() - 0.3),
                             kNaN,
                             kInf,
                             -kInf,
                             -0.0};
      const double arc = arcs[random.below(8)];
      const Point2 at = plain.pointAt(arc);
      const Point2 got = path.pointAt(arc, cursor);
      ASSERT_EQ(bitsOf(at.x), bitsOf(got.x)) << what << " arc " << arc;
      ASSERT_EQ(bitsOf(at.y), bitsOf(got.y)) << what << " arc " << arc;
    }
  }
}

TEST(HintedSearch, ProfileValuesAreThoseOfThePlainScan) {
  SpeedProfile profile;
  Random random{99};
  double at = -3.0;
  for (int i = 0; i < 2000; ++i) {
    at += random.uniform() < 0.3 ? 1e-12 : random.uniform();
    profile.at.push_back(at);
    profile.speed.push_back(20.0 * random.uniform() - 5.0);
  }
  std::size_t hint = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    const std::size_t k = random.below(profile.at.size());
    const double queries[] = {profile.at[k], profile.at[k] + 1e-13, at * random.uniform(), -1e300, 1e300, kNaN, kInf,
                              -kInf,         profile.at.front(),    profile.at.back()};
    const double where = queries[trial % 10 == 0 ? random.below(10) : random.below(4)];
    ASSERT_EQ(bitsOf(profileLinear(profile, where)), bitsOf(profile.valueAt(where, hint))) << trial << " " << where;
    ASSERT_EQ(bitsOf(profileLinear(profile, where)), bitsOf(profile.valueAt(where))) << trial;
  }
  // One knot.
  SpeedProfile single;
  single.at = {2.0};
  single.speed = {7.0};
  for (const double where : {1.0, 2.0, 3.0, kNaN}) {
    std::size_t from = 5;
    EXPECT_EQ(bitsOf(profileLinear(single, where)), bitsOf(single.valueAt(where, from)));
  }
}

}  // namespace
}  // namespace corvanta::driving
