// The instance functions as a table with the handle types of the seven functions.
#include "vehicle/Instance.h"

namespace {

CorvantaInstance *instanceOf(void *handle) { return static_cast<CorvantaInstance *>(handle); }
const CorvantaInstance *instanceOf(const void *handle) { return static_cast<const CorvantaInstance *>(handle); }

void *create() { return corvanta_instance_create(nullptr); }
void release(void *handle) { corvanta_instance_free(instanceOf(handle)); }
void initialize(void *handle) { corvanta_instance_initialize(instanceOf(handle)); }
void setInputs(void *handle, const ExtU_Corvanta_T *inputs) {
  corvanta_instance_set_inputs(instanceOf(handle), inputs);
}
void step(void *handle) { corvanta_instance_step(instanceOf(handle)); }
const ExtY_Corvanta_T *outputs(void *handle) { return corvanta_instance_outputs(instanceOf(handle)); }
void terminate(void *handle) { corvanta_instance_terminate(instanceOf(handle)); }
size_t signals(const void *handle, double *out, size_t count) {
  return corvanta_instance_signals(instanceOf(handle), out, count);
}
size_t initialSignals(const void *handle, double *out, size_t count) {
  return corvanta_instance_initial_signals(instanceOf(handle), out, count);
}

constexpr CorvantaInstanceFunctions kFunctions = {create,  release,   initialize, setInputs,     step,
                                                  outputs, terminate, signals,    initialSignals};

}  // namespace

extern "C" CORVANTA_VEHICLE_API const CorvantaInstanceFunctions *corvanta_instance_functions(void) {
  return &kFunctions;
}
