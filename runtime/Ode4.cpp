// The operation order of each update is fixed: results are reproduced bit for bit.
#include "runtime/Ode4.h"

void rt_Ode4Step(double *x, int count, double *time, double stopTime, double h, const ODE4_IntgData &work,
                 const Ode4System &system) {
  const double t = *time;
  double *const y = work.y;
  double *const f0 = work.f[0];
  double *const f1 = work.f[1];
  double *const f2 = work.f[2];
  double *const f3 = work.f[3];

  for (int i = 0; i < count; ++i) {
    y[i] = x[i];
  }

  // f0 from the signals of the evaluation that has just run.
  *system.derivativeRow = f0;
  system.derivatives(system.context);

  for (int i = 0; i < count; ++i) {
    x[i] = (f0[i] * (0.5 * h)) + y[i];
  }
  *time = t + (0.5 * h);
  *system.derivativeRow = f1;
  system.evaluate(system.context);
  system.derivatives(system.context);

  for (int i = 0; i < count; ++i) {
    x[i] = (f1[i] * (0.5 * h)) + y[i];
  }
  *system.derivativeRow = f2;
  system.evaluate(system.context);
  system.derivatives(system.context);

  for (int i = 0; i < count; ++i) {
    x[i] = (f2[i] * h) + y[i];
  }
  *time = stopTime;
  *system.derivativeRow = f3;
  system.evaluate(system.context);
  system.derivatives(system.context);

  const double h6 = h / 6.0;
  for (int i = 0; i < count; ++i) {
    x[i] = ((((f0[i] + 2.0 * f1[i]) + 2.0 * f2[i]) + f3[i]) * h6) + y[i];
  }
}
