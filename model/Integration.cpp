// The model's side of the integrator: one major step hands the 24 continuous states to the
// generic ode4 step, which re-enters step() three times as minor steps (at t + h/2,
// t + h/2 and t + h) so that the stage derivatives see fresh block signals.
#include "model/Corvanta.h"
#include "runtime/Ode4.h"

namespace {

void evaluateMinorStep(void *model) { static_cast<Corvanta *>(model)->step(); }

void derivatives(void *model) { static_cast<Corvanta *>(model)->Corvanta_derivatives(); }

}  // namespace

void Corvanta::rt_ertODEUpdateContinuousStates(SolverInfo *si) {
  *si->timeStepKindRef = kMinorTimeStep;
  const Ode4System system{this, evaluateMinorStep, derivatives, si->derivativesRef};
  rt_Ode4Step(reinterpret_cast<double *>(*si->statesRef), kNumContStates, *si->timeRef, si->stopTime,
              *si->stepSizeRef, *si->integrationData, system);
  *si->timeStepKindRef = kMajorTimeStep;
}
