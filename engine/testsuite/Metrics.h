// Metric computations of the standard tests, on sampled signals (equal-length vectors of
// time and values).  Pure functions: no model, no files.  Where a metric cannot be
// computed from the signal (the response never reaches 90 %, the car never stops) the
// result holds NaN and the caller reports it as missing.
#ifndef CORVANTA_TESTSUITE_METRICS_H
#define CORVANTA_TESTSUITE_METRICS_H

#include <cstddef>
#include <vector>

namespace corvanta::testsuite {

inline constexpr double kStandardGravity = 9.80665;  // m/s^2, for "per g" units
inline constexpr double kRadToDeg = 57.295779513082320876;

// Least-squares solution of the overdetermined system rows * x = rhs (each row has
// `columns` coefficients).  Throws std::invalid_argument when the normal equations are
// singular.
std::vector<double> leastSquares(const std::vector<std::vector<double>> &rows, const std::vector<double> &rhs);

// Centred moving average over `window` seconds (fewer samples near the ends).
std::vector<double> movingAverage(const std::vector<double> &time, const std::vector<double> &values, double window);

// Mean of `values` over samples with from <= time <= to; NaN when there are none.
double meanOver(const std::vector<double> &time, const std::vector<double> &values, double from, double to);

// The first time after `from` at which `values` reaches `level` (>= for rising, <= for
// falling), linearly interpolated between samples; NaN when it never does.
double crossingTime(const std::vector<double> &time, const std::vector<double> &values, double level, bool rising,
                    double from);

// Linear interpolation of `values` at time t (clamped to the ends).
double valueAt(const std::vector<double> &time, const std::vector<double> &values, double t);

// Straight-line fit y = slope * x + intercept over the points with low <= x <= high.
struct LineFit {
  double slope = 0.0;
  double intercept = 0.0;
  double rSquared = 0.0;
  std::size_t points = 0;
};
LineFit fitLine(const std::vector<double> &x, const std::vector<double> &y, double low, double high);

// Step response of `response` to the step in `input` that starts at stepStart.  Values
// are taken relative to their means over the `baseline` seconds before stepStart; the
// steady state is the mean over the last `steadyWindow` seconds of the signal.
//   referenceTime   time the input reaches 50 % of its steady change, s
//   gain            steady response change / steady input change
//   responseTime    time from referenceTime to the first 90 % of the steady response, s
//   overshoot       (peak - steady) / steady, %, where the peak is the response's largest
//                   value within `peakWindow` s after referenceTime; 0 when it does not
//                   exceed the steady value
//   peakTime        time from referenceTime to that peak, s; NaN when there is no distinct
//                   peak: the overshoot is below kDistinctPeak, or the largest value is the
//                   window's last (the response is still rising)
inline constexpr double kDistinctPeak = 0.5;  // %, smallest overshoot that has a peak time

struct StepResponse {
  double referenceTime = 0.0;
  double steadyInput = 0.0;
  double steadyResponse = 0.0;
  double gain = 0.0;
  double responseTime = 0.0;
  double peakTime = 0.0;
  double peakResponse = 0.0;
  double overshoot = 0.0;
};
StepResponse stepResponse(const std::vector<double> &time, const std::vector<double> &input,
                          const std::vector<double> &response, double stepStart, double baseline, double steadyWindow,
                          double peakWindow);

// Sine of a known frequency fitted by least squares over samples with from <= t <= to:
// x(t) = a sin(w t) + b cos(w t) + c + d t.  amplitude = sqrt(a^2 + b^2); phase in rad,
// x ~ amplitude * sin(w t + phase).
struct SineFit {
  double amplitude = 0.0;
  double phase = 0.0;
};
SineFit fitSine(const std::vector<double> &time, const std::vector<double> &values, double frequency, double from,
                double to);

// Gain (output amplitude / input amplitude) and phase (output phase - input phase,
// wrapped to (-180, 180] deg) of one sine-excited run.
struct FrequencyPoint {
  double frequency = 0.0;
  double gain = 0.0;
  double phaseDeg = 0.0;
};
FrequencyPoint frequencyPoint(const std::vector<double> &time, const std::vector<double> &input,
                              const std::vector<double> &output, double frequency, double from, double to);

// Braking from the brake onset to standstill.
//   initialSpeed     speed at the onset, m/s
//   distance, time   from the onset to the first sample with speed < stopSpeed, m, s
//   mfdd             mean fully developed deceleration, (v_b^2 - v_e^2) / (2 (s_e - s_b))
//                    with v_b = 0.8 v0, v_e = 0.1 v0 and s_b, s_e the distances at which
//                    the speed passes them, m/s^2
struct Braking {
  double initialSpeed = 0.0;
  double distance = 0.0;
  double time = 0.0;
  double mfdd = 0.0;
};
Braking braking(const std::vector<double> &time, const std::vector<double> &speed, const std::vector<double> &distance,
                double onset, double stopSpeed);

// Time and distance from the start until the speed first reaches `target`.
struct SpeedReached {
  double target = 0.0;
  double time = 0.0;
  double distance = 0.0;
};
SpeedReached speedReached(const std::vector<double> &time, const std::vector<double> &speed,
                          const std::vector<double> &distance, double target);

// Road load F = A + B v + C v^2 from a coast-down: the deceleration is the central
// difference of the speed over +-halfWindow seconds, F = mass * deceleration, fitted by
// least squares over samples with minSpeed <= v <= maxSpeed.
struct RoadLoad {
  double a = 0.0;  // N
  double b = 0.0;  // N/(m/s)
  double c = 0.0;  // N/(m/s)^2
  std::size_t points = 0;
};
RoadLoad roadLoad(const std::vector<double> &time, const std::vector<double> &speed, double mass, double halfWindow,
                  double minSpeed, double maxSpeed);

// The vehicle's footprint, a rectangle about the centre of mass: `front` m ahead,
// `rear` m behind, `halfWidth` m to each side.
struct Footprint {
  double front = 2.06;
  double rear = 2.64;
  double halfWidth = 0.9;
};

// How many of the cones (x, y pairs) lie inside the footprint at any sample of the
// position and heading; each cone counts once.
std::size_t conesHit(const std::vector<double> &x, const std::vector<double> &y, const std::vector<double> &heading,
                     const std::vector<double> &coneX, const std::vector<double> &coneY, const Footprint &footprint);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_METRICS_H
