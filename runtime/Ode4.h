// One fixed step of the classical fourth-order Runge-Kutta scheme ("ode4") over a vector
// of states.  The routine knows nothing of the system it integrates: the system refreshes
// its signals and fills a derivative row through the two callbacks.
#ifndef CORVANTA_RUNTIME_ODE4_H
#define CORVANTA_RUNTIME_ODE4_H

// Work rows of one step, owned by the caller: the saved states y and the four stage
// derivatives f0..f3, each as long as the state vector.
struct ODE4_IntgData {
  double *y;
  double *f[4];
};

// The system being integrated.  Before each call of derivatives() the integrator points
// *derivativeRow at the stage row to fill; evaluate() refreshes whatever the derivatives
// read, at the time and states the integrator has just set.
struct Ode4System {
  void *context;
  void (*evaluate)(void *context);
  void (*derivatives)(void *context);
  double **derivativeRow;
};

// Advances the count states x from the time *time to stopTime = *time + h.  The first
// stage uses derivatives of the signals as they stand (no evaluation); the three later
// stages evaluate at t + h/2, t + h/2 and stopTime.  On return *time is stopTime and x
// holds y + (h/6)(f0 + 2 f1 + 2 f2 + f3), summed in exactly that order.
void rt_Ode4Step(double *x, int count, double *time, double stopTime, double h, const ODE4_IntgData &work,
                 const Ode4System &system);

#endif  // CORVANTA_RUNTIME_ODE4_H
