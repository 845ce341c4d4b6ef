// The stepping loop: drives one model instance through a Schedule with the seven C
// functions of a loaded library and reports every step to an observer.
#ifndef CORVANTA_SIM_SIMULATION_H
#define CORVANTA_SIM_SIMULATION_H

#include <cstdint>
#include <functional>

#include "CorvantaLibrary.h"
#include "Schedule.h"

namespace corvanta::sim {

// What one step did, as seen by the host.
struct StepReport {
  std::uint64_t steps;             // steps taken, including this one; model time = steps * 0.0001 s
  bool initialized;                // Initialize was called right before this step
  const InputValues &inputs;       // the record passed to SetInputs for this step
  const ExtY_Corvanta_T &outputs;  // the output record after the step
};

using StepObserver = std::function<void(const StepReport &)>;

// Runs the schedule from CreateVehicleModel to DeleteVehicleModel:
//   create; SetInputs(initial inputs); Initialize;
//   for k = 0 .. N-1: events of step k (Initialize if asked), SetInputs, Step, observer;
//   Terminate; delete.
// The instance is deleted also when the observer throws.  Throws tools::LibraryError when
// the library fails to create an instance or to give its output record.
void runSchedule(const tools::CorvantaApi &api, const Schedule &schedule, const StepObserver &observer);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_SIMULATION_H
