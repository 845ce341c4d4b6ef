// The driver's cost per update against the size of the path and the profile: the path
// follower's update (the projection of the car onto the path from the last update's
// cursor, the look-ahead point) and the speed controller's (the profile's target speed),
// and the three lookups alone.  Each should cost the same for 10^2 and 10^6 points, and for
// points 0.5 m apart (the built-in shapes) or 1 um apart (a path of 10^6 points shorter
// than the follower's search window, which is then searched whole).
//
//   ./bench/corvanta_driver_lookups
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/driving/Path.h"
#include "engine/driving/PathFollower.h"
#include "engine/driving/SpeedController.h"

namespace {

using corvanta::driving::Path;
using corvanta::driving::Point2;

// A gentle wiggle along x, `count` points `spacing` m apart.
std::shared_ptr<const Path> wiggle(int count, double spacing) {
  std::vector<Point2> points;
  points.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double x = spacing * i;
    points.push_back({x, 2.0 * std::sin(0.01 * x)});
  }
  return std::make_shared<const Path>(points, false);
}

corvanta::driving::SpeedProfile profileOver(int count, double spacing) {
  corvanta::driving::SpeedProfile profile;
  profile.overDistance = true;
  for (int i = 0; i < count; ++i) {
    profile.at.push_back(spacing * i);
    profile.speed.push_back(10.0 + std::sin(0.01 * i));
  }
  return profile;
}

// The car, 0.3 m beside the path, drives along it at 10 m/s (1 cm per update of 1 ms),
// turning back at its ends.
struct Drive {
  double length;
  double along = 0.0;
  double direction = 1.0;
  Point2 next() {
    const double advance = 0.01;
    if (along + direction * advance > length || along + direction * advance < 0.0) {
      direction = -direction;
    }
    along += direction * advance;
    return Point2{along, 2.0 * std::sin(0.01 * along) + 0.3};
  }
};

void lookups(benchmark::State &state, double spacing) {
  const int count = static_cast<int>(state.range(0));
  const std::shared_ptr<const Path> path = wiggle(count, spacing);
  const corvanta::driving::SpeedProfile profile = profileOver(count, spacing);
  corvanta::driving::PathCursor cursor;
  std::size_t profileHint = 0;
  Drive drive{path->length()};
  double s = 0.0;
  for (auto _ : state) {
    const Point2 car = drive.next();
    const corvanta::driving::PathProjection here = path->project(car, s, 10.0, cursor);
    s = here.s;
    benchmark::DoNotOptimize(path->pointAt(s + 4.0, cursor));
    benchmark::DoNotOptimize(profile.valueAt(s, profileHint));
  }
  state.SetLabel("points " + std::to_string(spacing) + " m apart");
}

void updates(benchmark::State &state, double spacing) {
  const int count = static_cast<int>(state.range(0));
  const std::shared_ptr<const Path> path = wiggle(count, spacing);
  corvanta::driving::PathFollower follower(path, corvanta::driving::PathFollowerSettings{});
  corvanta::driving::SpeedControllerSettings settings;
  settings.mode = corvanta::driving::SpeedControllerSettings::Mode::Profile;
  settings.profile = profileOver(count, spacing);
  corvanta::driving::SpeedController speed(settings);
  Drive drive{path->length()};
  double elapsed = 0.0;
  for (auto _ : state) {
    const Point2 car = drive.next();
    elapsed += 0.001;
    benchmark::DoNotOptimize(follower.update(car, 0.0, 10.0, false, 0.001));
    benchmark::DoNotOptimize(speed.update(10.0, elapsed, drive.along, 0.001));
  }
  state.SetLabel("points " + std::to_string(spacing) + " m apart");
}

void BM_DriverLookupsCoarsePath(benchmark::State &state) { lookups(state, 0.5); }
void BM_DriverLookupsDensePath(benchmark::State &state) { lookups(state, 1e-6); }
void BM_DriverUpdateCoarsePath(benchmark::State &state) { updates(state, 0.5); }
void BM_DriverUpdateDensePath(benchmark::State &state) { updates(state, 1e-6); }

BENCHMARK(BM_DriverLookupsCoarsePath)->Arg(100)->Arg(1000000);
BENCHMARK(BM_DriverLookupsDensePath)->Arg(100)->Arg(1000000);
BENCHMARK(BM_DriverUpdateCoarsePath)->Arg(100)->Arg(1000000);
BENCHMARK(BM_DriverUpdateDensePath)->Arg(100)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
