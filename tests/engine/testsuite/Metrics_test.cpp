#include "engine/testsuite/Metrics.h"

#include <cmath>
#include <stdexcept>

#include <gtest/gtest.h>

#include "engine/testsuite/SvgPlot.h"

namespace corvanta::testsuite {
namespace {

std::vector<double> times(double end, double dt) {
  std::vector<double> t;
  for (int k = 0; k * dt <= end + 1e-12; ++k) {
    t.push_back(k * dt);
  }
  return t;
}

TEST(Metrics, LeastSquaresRecoversAnExactLine) {
  const LineFit fit = fitLine({0.0, 1.0, 2.0, 3.0, 10.0}, {1.0, 3.0, 5.0, 7.0, 100.0}, 0.0, 3.0);
  EXPECT_EQ(fit.points, 4u);
  EXPECT_NEAR(fit.slope, 2.0, 1e-14);
  EXPECT_NEAR(fit.intercept, 1.0, 1e-14);
  EXPECT_NEAR(fit.rSquared, 1.0, 1e-14);
  EXPECT_TRUE(std::isnan(fitLine({0.0}, {1.0}, 0.0, 1.0).slope));
  EXPECT_THROW(leastSquares({{1.0, 1.0}, {2.0, 2.0}}, {1.0, 2.0}), std::invalid_argument);
}

TEST(Metrics, CrossingsAreInterpolated) {
  const std::vector<double> t = {0.0, 1.0, 2.0, 3.0};
  const std::vector<double> v = {0.0, 2.0, 4.0, 2.0};
  EXPECT_EQ(crossingTime(t, v, 3.0, true, 0.0), 1.5);
  EXPECT_EQ(crossingTime(t, v, 3.0, false, 2.0), 2.5);
  EXPECT_TRUE(std::isnan(crossingTime(t, v, 5.0, true, 0.0)));
  EXPECT_EQ(valueAt(t, v, 2.25), 3.5);
  EXPECT_EQ(meanOver(t, v, 1.0, 2.0), 3.0);
  EXPECT_EQ(movingAverage(t, v, 2.0)[1], 2.0);
}

// A first-order yaw response to an instant steering step at t0:
// r = gain * delta * (1 - exp(-(t - t0) / tau)) reaches 90 % after tau * ln 10.
TEST(Metrics, FirstOrderStepResponse) {
  const double tau = 0.12;
  const double t0 = 2.0;
  const std::vector<double> t = times(8.0, 0.0001);
  std::vector<double> steer(t.size());
  std::vector<double> yaw(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    steer[i] = t[i] >= t0 ? 0.05 : 0.0;
    yaw[i] = t[i] >= t0 ? 3.0 * 0.05 * (1.0 - std::exp(-(t[i] - t0) / tau)) : 0.0;
  }
  const StepResponse response = stepResponse(t, steer, yaw, t0 - 0.5, 1.0, 1.0, 1.5);
  EXPECT_NEAR(response.gain, 3.0, 1e-9);
  // Sampled every 0.0001 s, the steering passes 50 % half a sample before t0.
  EXPECT_NEAR(response.referenceTime, t0 - 0.00005, 1e-12);
  EXPECT_NEAR(response.responseTime, tau * std::log(10.0) + 0.00005, 1e-6);
  EXPECT_TRUE(std::isnan(response.peakTime));  // still rising at the window's end: no peak
  EXPECT_EQ(response.overshoot, 0.0);
}

// A second-order underdamped response: overshoot exp(-zeta pi / sqrt(1 - zeta^2)), peak
// at pi / (wn sqrt(1 - zeta^2)); a step to the right reads the same.
TEST(Metrics, SecondOrderStepResponseOvershootAndPeakTime) {
  const double zeta = 0.5;
  const double wn = 12.0;
  const double wd = wn * std::sqrt(1.0 - zeta * zeta);
  const double t0 = 1.0;
  const std::vector<double> t = times(6.0, 0.0001);
  std::vector<double> steer(t.size());
  std::vector<double> yaw(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    const double s = t[i] - t0;
    steer[i] = s >= 0.0 ? -0.02 : 0.0;
    const double unit =
        s >= 0.0 ? 1.0 - std::exp(-zeta * wn * s) * (std::cos(wd * s) + zeta * wn / wd * std::sin(wd * s)) : 0.0;
    yaw[i] = -0.1 * unit;
  }
  const StepResponse response = stepResponse(t, steer, yaw, t0 - 0.2, 0.5, 1.0, 1.5);
  EXPECT_NEAR(response.gain, 5.0, 1e-9);
  EXPECT_NEAR(response.overshoot, 100.0 * std::exp(-zeta * M_PI / std::sqrt(1.0 - zeta * zeta)), 1e-3);
  EXPECT_NEAR(response.peakTime, M_PI / wd, 1e-4);
  EXPECT_LT(response.peakResponse, -0.1);
}

TEST(Metrics, SineFitGainAndPhase) {
  const double f = 1.5;
  const std::vector<double> t = times(5.0, 0.001);
  std::vector<double> in(t.size());
  std::vector<double> out(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    const double w = 2.0 * M_PI * f * t[i];
    in[i] = 0.02 * std::sin(w + 0.3);
    out[i] = 0.07 * std::sin(w + 0.3 - 50.0 / kRadToDeg) + 0.01 + 0.002 * t[i];  // offset and drift
  }
  const FrequencyPoint point = frequencyPoint(t, in, out, f, 1.0, 5.0);
  EXPECT_NEAR(point.gain, 3.5, 1e-9);
  EXPECT_NEAR(point.phaseDeg, -50.0, 1e-7);
  // A lag past -180 deg wraps into (-180, 180].
  for (std::size_t i = 0; i < t.size(); ++i) {
    out[i] = std::sin(2.0 * M_PI * f * t[i] + 0.3 - 200.0 / kRadToDeg);
  }
  EXPECT_NEAR(frequencyPoint(t, in, out, f, 1.0, 5.0).phaseDeg, 160.0, 1e-7);
}

TEST(Metrics, ConstantDecelerationBraking) {
  // From 10 m/s at 4 m/s^2 from t = 1 s: 12.5 m in 2.5 s, MFDD 4.
  const std::vector<double> t = times(5.0, 0.001);
  std::vector<double> v(t.size());
  std::vector<double> s(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    const double b = std::clamp(t[i] - 1.0, 0.0, 2.5);
    v[i] = 10.0 - 4.0 * b;
    s[i] = 10.0 * std::min(t[i], 1.0) + 10.0 * b - 2.0 * b * b;
  }
  const Braking result = braking(t, v, s, 1.0, 0.05);
  EXPECT_EQ(result.initialSpeed, 10.0);
  EXPECT_NEAR(result.time, 2.5 - 0.05 / 4.0, 1e-9);
  EXPECT_NEAR(result.distance, 12.5 - 0.05 * 0.05 / 8.0, 1e-5);
  EXPECT_NEAR(result.mfdd, 4.0, 1e-5);
  EXPECT_TRUE(std::isnan(braking(t, v, s, 1.0, -1.0).distance));  // never stops
}

TEST(Metrics, ConstantAccelerationSpeedsReached) {
  const std::vector<double> t = times(10.0, 0.001);
  std::vector<double> v(t.size());
  std::vector<double> s(t.size());
  for (std::size_t i = 0; i < t.size(); ++i) {
    v[i] = 1.5 * t[i];
    s[i] = 0.75 * t[i] * t[i];
  }
  const SpeedReached reached = speedReached(t, v, s, 12.0);
  EXPECT_NEAR(reached.time, 8.0, 1e-12);
  EXPECT_NEAR(reached.distance, 48.0, 1e-6);
  EXPECT_TRUE(std::isnan(speedReached(t, v, s, 20.0).time));
}

// A coast-down integrated from m dv/dt = -(A + B v + C v^2) gives back A, B and C.
TEST(Metrics, RoadLoadFitRecoversAKnownQuadratic) {
  const double a = 150.0, b = 6.0, c = 0.45, mass = 1500.0;
  const auto decel = [&](double v) { return (a + b * v + c * v * v) / mass; };
  std::vector<double> t, v;
  double speed = 25.0;
  const double dt = 0.001;
  for (int k = 0; speed > 2.0; ++k) {
    t.push_back(k * dt);
    v.push_back(speed);
    const double k1 = decel(speed);
    const double k2 = decel(speed - 0.5 * dt * k1);
    const double k3 = decel(speed - 0.5 * dt * k2);
    const double k4 = decel(speed - dt * k3);
    speed -= dt / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
  }
  const RoadLoad load = roadLoad(t, v, mass, 0.5, 3.0, 24.0);
  EXPECT_NEAR(load.a, a, 0.01);
  EXPECT_NEAR(load.b, b, 0.002);
  EXPECT_NEAR(load.c, c, 0.0001);
}

TEST(Metrics, ConesInsideTheFootprint) {
  // Heading along x at the origin: footprint x in [-2.64, 2.06], |y| <= 0.9.
  const Footprint footprint;
  EXPECT_EQ(conesHit({0.0}, {0.0}, {0.0}, {2.0, 2.1, -2.6, 0.0, 0.0}, {0.0, 0.0, 0.85, 0.95, -0.9}, footprint), 3u);
  // Turned by 90 degrees the footprint lies along y; a cone hit twice counts once.
  EXPECT_EQ(conesHit({0.0, 0.0}, {0.0, 0.1}, {M_PI / 2.0, M_PI / 2.0}, {0.0, 1.5}, {2.0, 0.0}, footprint), 1u);
}

TEST(SvgPlot, NiceTicks) {
  EXPECT_EQ(niceTicks(0.0, 10.0, 5), (std::vector<double>{0.0, 2.0, 4.0, 6.0, 8.0, 10.0}));
  EXPECT_EQ(niceTicks(-0.3, 0.3, 3), (std::vector<double>{-0.2, 0.0, 0.2}));
}

}  // namespace
}  // namespace corvanta::testsuite
