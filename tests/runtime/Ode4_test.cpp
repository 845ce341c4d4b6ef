// The generic ode4 step on problems with known solutions.
#include "runtime/Ode4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/TestSupport.h"

namespace {

// A small system of n states with the integrator's work rows, a derivative function
// chosen per test, and a log of the times at which it was evaluated.
struct System {
  using Rates = void (*)(const double *x, double t, double *dx);

  System(int n, Rates f) : x(n), y(n), rows(4, std::vector<double>(n)), rates(f) {
    work.y = y.data();
    for (int k = 0; k < 4; ++k) {
      work.f[k] = rows[k].data();
    }
  }

  static void evaluate(void *context) {
    auto *s = static_cast<System *>(context);
    s->evaluatedAt.push_back(s->time);
  }

  static void derivatives(void *context) {
    auto *s = static_cast<System *>(context);
    s->rates(s->x.data(), s->time, s->row);
  }

  void step(double h) {
    const Ode4System system{this, evaluate, derivatives, &row};
    rt_Ode4Step(x.data(), static_cast<int>(x.size()), &time, time + h, h, work, system);
  }

  std::vector<double> x;
  std::vector<double> y;
  std::vector<std::vector<double>> rows;
  ODE4_IntgData work{};
  double *row = nullptr;
  double time = 0.0;
  Rates rates;
  std::vector<double> evaluatedAt;
};

// x'' = -x: x = cos t, v = -sin t from (1, 0).
void oscillator(const double *x, double, double *dx) {
  dx[0] = x[1];
  dx[1] = -x[0];
}

double oscillatorError(int steps) {
  System s(2, oscillator);
  s.x = {1.0, 0.0};
  const double h = 1.0 / steps;
  for (int k = 0; k < steps; ++k) {
    s.step(h);
  }
  return std::hypot(s.x[0] - std::cos(1.0), s.x[1] + std::sin(1.0));
}

TEST(Ode4, ErrorFallsSixteenfoldWhenTheStepHalves) {
  // Fourth order: halving h divides the global error by 2^4.
  double previous = oscillatorError(10);
  for (int steps : {20, 40, 80}) {
    const double error = oscillatorError(steps);
    EXPECT_NEAR(previous / error, 16.0, 0.5) << steps << " steps";
    previous = error;
  }
}

// x' = -200 x + 1 (a first-order lag with its input held at 1) from 0.
void lag(const double *x, double, double *dx) { dx[0] = -200.0 * x[0] + 1.0; }

TEST(Ode4, OperationOrderOfOneStep) {
  System s(1, lag);
  s.step(0.0001);
  EXPECT_SAME_BITS(9.900663333333334e-05, s.x[0]);
}

// x' = t: the stage derivatives see the stage times.
void ramp(const double *, double t, double *dx) { dx[0] = t; }

TEST(Ode4, StagesEvaluateAtHalfAndFullStep) {
  System s(1, ramp);
  s.time = 2.0;
  s.step(0.5);
  ASSERT_EQ(s.evaluatedAt.size(), 3U);
  EXPECT_SAME_BITS(2.25, s.evaluatedAt[0]);
  EXPECT_SAME_BITS(2.25, s.evaluatedAt[1]);
  EXPECT_SAME_BITS(2.5, s.evaluatedAt[2]);
  EXPECT_SAME_BITS(2.5, s.time);
  // Exact for a quadratic: (2.5² − 2²) / 2.
  EXPECT_SAME_BITS(1.125, s.x[0]);
}

void still(const double *, double, double *dx) {
  dx[0] = 0.0;
  dx[1] = 0.0;
  dx[2] = 0.0;
}

TEST(Ode4, ZeroRatesLeaveEveryBit) {
  System s(3, still);
  s.x = {-0.0, 1e-300, fromBits(0xFFF8000000000000ULL)};
  s.step(0.0001);
  EXPECT_SAME_BITS(-0.0 + 0.0, s.x[0]);  // y + 0 turns -0.0 into +0.0
  EXPECT_SAME_BITS(1e-300, s.x[1]);
  EXPECT_SAME_BITS(fromBits(0xFFF8000000000000ULL), s.x[2]);
}

}  // namespace
