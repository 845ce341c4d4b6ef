// Instances of the vehicle library: the seven functions of the model library under names of
// their own, with the same NULL and ordering rules.
#include "vehicle/Instance.h"

#include <new>

extern "C" {

CORVANTA_VEHICLE_API CorvantaInstance *corvanta_instance_create(const CorvantaVehicle *vehicle) {
  // A set with problems is refused (its validity is checked when it changes, not here).
  if (vehicle != nullptr && !vehicle->valid) {
    return nullptr;
  }
  // No exception may cross the C boundary: an allocation failure returns NULL.
  return new (std::nothrow) CorvantaInstance(vehicle != nullptr ? vehicle->block : nullptr);
}

CORVANTA_VEHICLE_API void corvanta_instance_free(CorvantaInstance *instance) { delete instance; }

CORVANTA_VEHICLE_API void corvanta_instance_initialize(CorvantaInstance *instance) {
  if (instance != nullptr) {
    instance->model.initialize();
  }
}

CORVANTA_VEHICLE_API void corvanta_instance_set_inputs(CorvantaInstance *instance, const ExtU_Corvanta_T *inputs) {
  if (instance != nullptr && inputs != nullptr) {
    instance->model.setExternalInputs(inputs);
  }
}

CORVANTA_VEHICLE_API void corvanta_instance_step(CorvantaInstance *instance) {
  // Before Initialize the solver is not wired: the step is skipped and the outputs stay.
  if (instance != nullptr && instance->model.isInitialized()) {
    instance->model.step();
  }
}

CORVANTA_VEHICLE_API const ExtY_Corvanta_T *corvanta_instance_outputs(const CorvantaInstance *instance) {
  return (instance != nullptr) ? instance->model.getExternalOutputs() : nullptr;
}

CORVANTA_VEHICLE_API void corvanta_instance_terminate(CorvantaInstance *instance) {
  static_cast<void>(instance);
  Corvanta::terminate();
}

}  // extern "C"
