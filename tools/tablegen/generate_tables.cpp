// Table generator: expands the shift schedule and the driver-demand maps from their knots
// and samples into the committed tables under model/data/generated/.
//
//   generate_tables OUTDIR          write the .inc files that the constant block includes
//   generate_tables --csv OUTDIR    write throttle_map.csv and brake_map.csv for inspection
//
// Method.
//
// Shift schedule.  Each gear row is piecewise linear in the throttle percentage through
// its knots; the value at an integer percentage x in the knot segment [x0, x1] is
// y0 + (x - x0) * ((y1 - y0) / (x1 - x0)), taking the first segment that contains x, so
// every knot is stored exactly.  Fifth gear never shifts up (1000000 km/h).
//
// Driver-demand maps.  The throttle map is sampled on 5 speeds × 5 demands and the brake
// map on 5 speeds × 6 demands; the samples lie on breakpoints of the table axes.  Between
// them the maps are a tensor product of monotone piecewise-cubic Hermite interpolants
// (Fritsch-Carlson): first along the speed axis, at every sampled demand, from the five
// sampled speeds to all 121 speeds; then along the demand axis, at every speed, through
// the values at the sampled demands.  Tangents start as the mean of the adjacent secants
// (zero where the secants differ in sign or one is zero; the one-sided secant at the
// ends) and are then limited so that (alpha, beta) lies in the circle of radius 3, which
// keeps every segment monotone between its end values.  Hence the maps
//   - pass exactly through the samples,
//   - have a continuous first derivative,
//   - are monotone between neighbouring samples wherever those are, at every speed, and
//   - never leave the range of the samples.
// The interpolation runs over breakpoint indices, which are uniform in speed (0.1 m/s)
// and in demand (0.01 m/s²), so knots land on breakpoints without rounding.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/tablegen/DemandSamples.h"
#include "tools/tablegen/ShiftSchedule.h"

namespace {

using Row = std::vector<double>;

// Monotone cubic Hermite interpolation of (knotIndex[k], knotValue[k]) at 0 .. count-1.
Row monotoneCubic(const std::vector<int> &knotIndex, const Row &knotValue, int count) {
  const std::size_t n = knotIndex.size();
  std::vector<double> h(n - 1);
  std::vector<double> secant(n - 1);
  for (std::size_t k = 0; k + 1 < n; ++k) {
    h[k] = static_cast<double>(knotIndex[k + 1] - knotIndex[k]);
    secant[k] = (knotValue[k + 1] - knotValue[k]) / h[k];
  }
  std::vector<double> tangent(n);
  tangent[0] = secant[0];
  tangent[n - 1] = secant[n - 2];
  for (std::size_t k = 1; k + 1 < n; ++k) {
    const double left = secant[k - 1];
    const double right = secant[k];
    tangent[k] = (left * right > 0.0) ? 0.5 * (left + right) : 0.0;
  }
  for (std::size_t k = 0; k + 1 < n; ++k) {
    if (secant[k] == 0.0) {
      tangent[k] = 0.0;
      tangent[k + 1] = 0.0;
      continue;
    }
    const double alpha = tangent[k] / secant[k];
    const double beta = tangent[k + 1] / secant[k];
    const double radius2 = alpha * alpha + beta * beta;
    if (radius2 > 9.0) {
      const double tau = 3.0 / std::sqrt(radius2);
      tangent[k] = tau * alpha * secant[k];
      tangent[k + 1] = tau * beta * secant[k];
    }
  }

  Row out(static_cast<std::size_t>(count));
  std::size_t segment = 0;
  for (int i = 0; i < count; ++i) {
    while (segment + 2 < n && i > knotIndex[segment + 1]) {
      ++segment;
    }
    const double t = static_cast<double>(i - knotIndex[segment]) / h[segment];
    const double u = 1.0 - t;
    const double h00 = (1.0 + 2.0 * t) * u * u;
    const double h10 = t * u * u;
    const double h01 = t * t * (3.0 - 2.0 * t);
    const double h11 = t * t * (t - 1.0);
    out[static_cast<std::size_t>(i)] = h00 * knotValue[segment] + h10 * h[segment] * tangent[segment] +
                                       h01 * knotValue[segment + 1] + h11 * h[segment] * tangent[segment + 1];
  }
  return out;
}

// Full map, speed index fastest: value of (speed s, demand d) at s + d * speeds.
Row demandMap(const DemandMapSamples &samples) {
  const std::size_t sampledSpeeds = samples.speedIndex.size();
  const std::size_t sampledDemands = samples.demandIndex.size();
  // Along speed at every sampled demand.
  std::vector<Row> bySpeed(sampledDemands);
  for (std::size_t d = 0; d < sampledDemands; ++d) {
    Row column(sampledSpeeds);
    for (std::size_t s = 0; s < sampledSpeeds; ++s) {
      column[s] = samples.value[s][d];
    }
    bySpeed[d] = monotoneCubic(samples.speedIndex, column, samples.speeds);
  }
  // Along demand at every speed.
  Row map(static_cast<std::size_t>(samples.speeds * samples.demands));
  for (int s = 0; s < samples.speeds; ++s) {
    Row knots(sampledDemands);
    for (std::size_t d = 0; d < sampledDemands; ++d) {
      knots[d] = bySpeed[d][static_cast<std::size_t>(s)];
    }
    const Row row = monotoneCubic(samples.demandIndex, knots, samples.demands);
    for (int d = 0; d < samples.demands; ++d) {
      map[static_cast<std::size_t>(s + d * samples.speeds)] = row[static_cast<std::size_t>(d)];
    }
  }
  return map;
}

Row shiftMap(const std::vector<ShiftKnots> &gears) {
  Row map;
  for (const ShiftKnots &gear : gears) {
    for (int x = 0; x <= 100; ++x) {
      std::size_t k = 0;
      while (!(gear[k].throttle <= x && x <= gear[k + 1].throttle)) {
        ++k;
      }
      const double x0 = gear[k].throttle;
      const double x1 = gear[k + 1].throttle;
      const double y0 = gear[k].speed;
      const double y1 = gear[k + 1].speed;
      map.push_back(y0 + (x - x0) * ((y1 - y0) / (x1 - x0)));
    }
  }
  return map;
}

Row axis(double start, double step, int count) {
  Row values(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) {
    values[static_cast<std::size_t>(k)] = start + k * step;
  }
  return values;
}

Row speedAxis() {
  // The doubles nearest to 0, 0.1, ..., 12: a correctly rounded quotient.
  Row values(kSpeedBreakpoints);
  for (int k = 0; k < kSpeedBreakpoints; ++k) {
    values[static_cast<std::size_t>(k)] = k / 10.0;
  }
  return values;
}

bool writeInc(const std::string &dir, const char *name, const char *what, const Row &values) {
  const std::string path = dir + "/" + name;
  std::FILE *file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    std::fprintf(stderr, "generate_tables: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  std::fprintf(file, "// %s.\n// Generated by tools/tablegen/generate_tables; do not edit.\n", what);
  for (std::size_t k = 0; k < values.size(); ++k) {
    std::fprintf(file, "%.17g,%s", values[k], (k % 6 == 5 || k + 1 == values.size()) ? "\n" : " ");
  }
  const bool ok = std::fclose(file) == 0;
  if (!ok) {
    std::fprintf(stderr, "generate_tables: error writing %s\n", path.c_str());
  }
  return ok;
}

bool writeCsv(const std::string &dir, const char *name, const Row &map, const Row &speeds, const Row &demands) {
  const std::string path = dir + "/" + name;
  std::FILE *file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    std::fprintf(stderr, "generate_tables: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  std::fprintf(file, "speed_mps");
  for (double d : demands) {
    std::fprintf(file, ",%.17g", d);
  }
  std::fprintf(file, "\n");
  for (std::size_t s = 0; s < speeds.size(); ++s) {
    std::fprintf(file, "%.17g", speeds[s]);
    for (std::size_t d = 0; d < demands.size(); ++d) {
      std::fprintf(file, ",%.17g", map[s + d * speeds.size()]);
    }
    std::fprintf(file, "\n");
  }
  return std::fclose(file) == 0;
}

int usage() {
  std::fprintf(stderr,
               "usage: generate_tables OUTDIR          write the generated table includes\n"
               "       generate_tables --csv OUTDIR    write the demand maps as CSV (rows: speed,\n"
               "                                       columns: AccelerationDemand)\n");
  return 2;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 2 && std::strcmp(argv[1], "--help") != 0 && argv[1][0] != '-') {
    const std::string dir = argv[1];
    const bool ok =
        writeInc(dir, "DownshiftMap.inc", "Downshift speed [km/h], gear rows 1..5, throttle 0..100 %",
                 shiftMap(kDownshiftKnots)) &&
        writeInc(dir, "UpshiftMap.inc", "Upshift speed [km/h], gear rows 1..5, throttle 0..100 %",
                 shiftMap(kUpshiftKnots)) &&
        writeInc(dir, "ShiftMapThrottleAxis.inc", "Throttle percentage", axis(0.0, 1.0, 101)) &&
        writeInc(dir, "DemandMapSpeedAxis.inc", "Vehicle speed [m/s]", speedAxis()) &&
        writeInc(dir, "ThrottleMapDemandAxis.inc", "AccelerationDemand [m/s^2], throttle map",
                 axis(kThrottleSamples.demandStart, 0.01, kThrottleSamples.demands)) &&
        writeInc(dir, "BrakeMapDemandAxis.inc", "AccelerationDemand [m/s^2], brake map",
                 axis(kBrakeSamples.demandStart, 0.01, kBrakeSamples.demands)) &&
        writeInc(dir, "ThrottleMap.inc", "Throttle fraction, speed varying fastest", demandMap(kThrottleSamples)) &&
        writeInc(dir, "BrakeMap.inc", "Brake fraction, speed varying fastest", demandMap(kBrakeSamples));
    return ok ? 0 : 1;
  }
  if (argc == 3 && std::strcmp(argv[1], "--csv") == 0) {
    const std::string dir = argv[2];
    const bool ok = writeCsv(dir, "throttle_map.csv", demandMap(kThrottleSamples), speedAxis(),
                             axis(kThrottleSamples.demandStart, 0.01, kThrottleSamples.demands)) &&
                    writeCsv(dir, "brake_map.csv", demandMap(kBrakeSamples), speedAxis(),
                             axis(kBrakeSamples.demandStart, 0.01, kBrakeSamples.demands));
    return ok ? 0 : 1;
  }
  return usage();
}
