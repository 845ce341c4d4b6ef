// Classical fourth-order Runge-Kutta step ("ode4") over the 24 continuous states.  The
// model is re-evaluated in three minor steps, at t + h/2, t + h/2 and t + h, so that the
// stage derivatives see fresh block signals.  The operation order of each update is
// fixed: results are reproduced bit for bit.
#include "Corvanta.h"

void Corvanta::rt_ertODEUpdateContinuousStates(SolverInfo *si) {
  double *const time = *si->timeRef;
  const double t = *time;
  const double tNew = si->stopTime;
  const double h = *si->stepSizeRef;
  double *const x = reinterpret_cast<double *>(*si->statesRef);
  ODE4_IntgData *const id = si->integrationData;
  double *const y = id->y;
  double *const f0 = id->f[0];
  double *const f1 = id->f[1];
  double *const f2 = id->f[2];
  double *const f3 = id->f[3];
  double **const derivatives = si->derivativesRef;

  *si->timeStepKindRef = kMinorTimeStep;
  for (int i = 0; i < kNumContStates; ++i) {
    y[i] = x[i];
  }

  // f0 from the signals of the major evaluation that has just run.
  *derivatives = f0;
  Corvanta_derivatives();

  for (int i = 0; i < kNumContStates; ++i) {
    x[i] = (f0[i] * (0.5 * h)) + y[i];
  }
  *time = t + (0.5 * h);
  *derivatives = f1;
  step();
  Corvanta_derivatives();

  for (int i = 0; i < kNumContStates; ++i) {
    x[i] = (f1[i] * (0.5 * h)) + y[i];
  }
  *derivatives = f2;
  step();
  Corvanta_derivatives();

  for (int i = 0; i < kNumContStates; ++i) {
    x[i] = (f2[i] * h) + y[i];
  }
  *time = tNew;
  *derivatives = f3;
  step();
  Corvanta_derivatives();

  const double h6 = h / 6.0;
  for (int i = 0; i < kNumContStates; ++i) {
    x[i] = ((((f0[i] + 2.0 * f1[i]) + 2.0 * f2[i]) + f3[i]) * h6) + y[i];
  }
  *si->timeStepKindRef = kMajorTimeStep;
}
