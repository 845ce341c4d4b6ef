// Driver files that are tiny but describe huge paths, dense paths and long profiles, and
// conditions that could never fire: refused with the field, the value and the limit, or
// handled at a cost that does not grow with the path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/driving/DrivingJson.h"
#include "engine/driving/Path.h"
#include "engine/driving/PathShapes.h"
#include "engine/driving/SpeedController.h"
#include "engine/messages/ScenarioError.h"
#include "engine/scenario/JsonScenario.h"

namespace corvanta::engine {
namespace {

std::string errorOf(const std::string &text) {
  try {
    parseJsonScenario(text, "s.json");
  } catch (const ScenarioError &error) {
    return error.what();
  }
  return "(no error)";
}

std::string withPath(const std::string &path) {
  return R"({"duration": 1, "driver": {"speed": {"target": 10}, "path": )" + path + "}}";
}

TEST(DriverLimits, HugeShapesAreRefusedBeforeAnythingIsAllocated) {
  // A circle of radius 1e6 took 725 MB, 1e8 all the memory; 1e300 overflowed an int and
  // became an 8-point polygon; lane changes of 1e9 m took all the memory.
  EXPECT_EQ(
      "s.json: driver.path.circle: the circle's radius is 1e+300 m; at most 79577 m is allowed (a path of at "
      "most 1000000 points)",
      errorOf(withPath(R"({"circle": {"radius": 1e300}})")));
  EXPECT_EQ(
      "s.json: driver.path.circle: the circle's radius is 1000000 m; at most 79577 m is allowed (a path of at "
      "most 1000000 points)",
      errorOf(withPath(R"({"circle": {"radius": 1e6}})")));
  EXPECT_EQ(
      "s.json: driver.path.lane_change: the lane change's length (twice the start 1000000000 m and the length "
      "30 m) is 2000000030 m; at most 500000 m is allowed (a path of at most 1000000 points)",
      errorOf(withPath(R"({"lane_change": {"start": 1e9}})")));
  EXPECT_NE(std::string::npos, errorOf(withPath(R"({"lane_change": {"start": 1e300}})")).find("at most 500000 m"));
  EXPECT_EQ(
      "s.json: driver.path.double_lane_change: the double lane change's length (lead-in 1000000000 m and the "
      "course) is 1000000140 m; at most 500000 m is allowed (a path of at most 1000000 points)",
      errorOf(withPath(R"({"double_lane_change": {"lead_in": 1e9}})")));
  // The largest circle allowed is still sampled as documented.
  EXPECT_EQ(999995u, driving::circlePath(79577.0, true).size());
  EXPECT_EQ(999999u, driving::singleLaneChangePath(249990.0, 19.0, 1.0).size());
}

TEST(DriverLimits, PathLookupsMatchALinearScan) {
  // pointAt searches by bisection now; the segment it picks is the one the scan picked,
  // at the knots too (s exactly at a segment's end uses that segment).
  const driving::Path path({{0.0, 0.0}, {1.0, 0.0}, {1.0, 2.0}, {4.0, 6.0}}, false);
  EXPECT_EQ(1.0, path.pointAt(1.0).x);
  EXPECT_EQ(0.0, path.pointAt(1.0).y);
  EXPECT_EQ(1.0, path.pointAt(3.0).x);
  EXPECT_EQ(2.0, path.pointAt(3.0).y);
  EXPECT_EQ(2.5, path.pointAt(5.5).x);
  EXPECT_EQ(4.0, path.pointAt(5.5).y);
  EXPECT_EQ(7.0, path.pointAt(13.0).x);   // beyond the end, along the last segment
  EXPECT_EQ(-2.0, path.pointAt(-2.0).x);  // before the start, along the first
  const driving::Path closed({{0.0, 0.0}, {2.0, 0.0}, {2.0, 2.0}, {0.0, 2.0}}, true);
  EXPECT_EQ(1.0, closed.pointAt(9.0).x);  // 9 wraps to 1
  EXPECT_EQ(0.0, closed.pointAt(8.0).y);

  driving::SpeedProfile profile;
  profile.at = {0.0, 10.0, 20.0};
  profile.speed = {0.0, 5.0, 6.0};
  EXPECT_EQ(0.0, profile.valueAt(-1.0));
  EXPECT_EQ(5.0, profile.valueAt(10.0));
  EXPECT_EQ(2.5, profile.valueAt(5.0));
  EXPECT_EQ(5.5, profile.valueAt(15.0));
  EXPECT_EQ(6.0, profile.valueAt(20.0));
  EXPECT_EQ(6.0, profile.valueAt(1e300));
}

TEST(DriverLimits, LongAndDensePathsCostNoMoreThanShortOnes) {
  // 10^6 points, all within 1 m: a 100 s run did not finish in 300 s, every update
  // scanned the whole path.  2000 updates along it (a 2 s run's worth at the driver's
  // 1 ms) took minutes that way (some 10^9 segment visits each for the projection and the
  // look-ahead point); the test's time-out catches a return of the scans.
  std::vector<driving::Point2> points;
  for (int i = 0; i < 1000000; ++i) {
    points.push_back({1e-6 * i, 0.0});
  }
  const driving::Path path(points, false);
  driving::SpeedProfile profile;
  for (int i = 0; i < 1000000; ++i) {
    profile.at.push_back(i);
    profile.speed.push_back(10.0);
  }
  double s = 0.0;
  double sum = 0.0;
  for (int update = 0; update < 2000; ++update) {
    const driving::PathProjection here = path.project({5e-4 * update, 0.1}, s, 10.0);
    s = here.s;
    sum += path.pointAt(s + 4.0).x + profile.valueAt(500000.0 + update);
  }
  // Still the nearest point, not merely one near the hint.
  EXPECT_NEAR(0.1, path.project({0.5, 0.1}, 0.2, 10.0).lateral, 1e-12);
  EXPECT_NEAR(0.5, path.project({0.5, 0.1}, 0.2, 10.0).s, 1e-9);
  EXPECT_NEAR(0.9995, s, 1e-9);
  EXPECT_GT(sum, 0.0);
}

TEST(DriverLimits, TheWindowedSearchFindsTheNearestPointOfAnUnevenPath) {
  // Points 1 mm to 2 m apart along a wiggle that never comes back: the search around a
  // hint, which passes over runs of far segments, must find what the search of every
  // segment finds, bit for bit.
  std::vector<driving::Point2> points;
  std::uint64_t state = 12345;
  const auto uniform = [&] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state >> 11) * 0x1p-53;
  };
  double x = 0.0;
  for (int i = 0; i < 5000; ++i) {
    x += uniform() < 0.5 ? 1e-3 * (1.0 + uniform()) : 2.0 * uniform() + 1e-3;
    points.push_back({x, 3.0 * std::sin(0.05 * x) + 0.01 * uniform()});
  }
  {
    const bool closed = false;
    const driving::Path path(points, closed);
    for (int trial = 0; trial < 2000; ++trial) {
      const double along = x * uniform();
      const driving::Point2 p{along + 2.0 * (uniform() - 0.5), 3.0 * std::sin(0.05 * along) + 4.0 * (uniform() - 0.5)};
      const driving::PathProjection everywhere = path.project(p, 0.0, 0.0);
      const driving::PathProjection windowed = path.project(p, everywhere.s + 3.0 * (uniform() - 0.5), 10.0);
      ASSERT_EQ(everywhere.s, windowed.s) << "trial " << trial << (closed ? " closed" : " open");
      ASSERT_EQ(everywhere.lateral, windowed.lateral) << "trial " << trial;
    }
  }
}

TEST(DriverLimits, ATimeConditionThatHoldsFromTheStartIsRefused) {
  // "time > 0" held from the first step, was never crossed, and silently never fired.
  const std::string stopAt = R"({"duration": 1, "events": [{"when": WHEN, "stop": true}]})";
  const auto with = [&](const std::string &when) {
    std::string text = stopAt;
    return text.replace(text.find("WHEN"), 4, when);
  };
  EXPECT_EQ(
      "s.json: events[0].when: holds from the first step (time 0.0001 s) on, so it never fires: a condition "
      "fires when it becomes true; for a fixed time use an event with \"time\"",
      errorOf(with(R"({"time": {">": 0}})")));
  EXPECT_NE("(no error)", errorOf(with(R"({"time": {"<": 5}})")));
  EXPECT_NE("(no error)", errorOf(with(R"({"time": {">=": 0.0001, "<=": 1}})")));
  // Conditions that can become true are accepted: later times, other signals with time.
  EXPECT_EQ("(no error)", errorOf(with(R"({"time": {">": 0.5}})")));
  EXPECT_EQ("(no error)", errorOf(with(R"({"time": {">": 0}, "LongitudinalSpeed": {">": 3}})")));
  EXPECT_EQ("(no error)", errorOf(with(R"({"time_in_state": {">": 0}})")));
}

}  // namespace
}  // namespace corvanta::engine
