// The driver's lookups per update against the size of the path and the profile: the
// projection of the car onto the path (from the last position's hint), the look-ahead
// point and the target speed.  Each should cost the same for 10^3 and 10^6 points, and for
// points 0.5 m apart (the built-in shapes) or 1 um apart.
//
//   ./bench/corvanta_driver_lookups
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "Path.h"
#include "SpeedController.h"

namespace {

using corvanta::driving::Path;
using corvanta::driving::Point2;

// A gentle wiggle along x, `count` points `spacing` m apart.
Path wiggle(int count, double spacing) {
  std::vector<Point2> points;
  points.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const double x = spacing * i;
    points.push_back({x, 2.0 * std::sin(0.01 * x)});
  }
  return Path(points, false);
}

void updates(benchmark::State &state, double spacing) {
  const int count = static_cast<int>(state.range(0));
  const Path path = wiggle(count, spacing);
  corvanta::driving::SpeedProfile profile;
  for (int i = 0; i < count; ++i) {
    profile.at.push_back(spacing * i);
    profile.speed.push_back(10.0 + std::sin(0.01 * i));
  }
  const double length = path.length();
  double s = 0.0;
  double along = 0.0;
  const double advance = length / 4096.0;  // the car passes the path in 4096 updates
  for (auto _ : state) {
    along = along + advance > length ? 0.0 : along + advance;
    const Point2 car{along, 2.0 * std::sin(0.01 * along) + 0.3};
    const corvanta::driving::PathProjection here = path.project(car, s, along == 0.0 ? 0.0 : 10.0);
    s = here.s;
    benchmark::DoNotOptimize(path.pointAt(s + 4.0));
    benchmark::DoNotOptimize(profile.valueAt(s));
  }
  state.SetLabel("points " + std::to_string(spacing) + " m apart");
}

void BM_DriverUpdateCoarsePath(benchmark::State &state) { updates(state, 0.5); }
void BM_DriverUpdateDensePath(benchmark::State &state) { updates(state, 1e-6); }

BENCHMARK(BM_DriverUpdateCoarsePath)->Arg(1000)->Arg(1000000);
BENCHMARK(BM_DriverUpdateDensePath)->Arg(1000)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
