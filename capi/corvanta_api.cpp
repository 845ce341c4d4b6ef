// The seven exported functions.  Each ignores a NULL handle, so a host that lost track of
// an instance, or whose CreateVehicleModel failed, cannot crash the library through it.
#include "capi/corvanta.h"

#include <new>

#include "model/Corvanta.h"

namespace {

Corvanta *model(void *handle) { return static_cast<Corvanta *>(handle); }

}  // namespace

extern "C" {

CORVANTA_API void *CreateVehicleModel(void) {
  // No exception may cross the C boundary: an allocation failure returns NULL.
  return new (std::nothrow) Corvanta();
}

CORVANTA_API void DeleteVehicleModel(void *handle) { delete model(handle); }

CORVANTA_API void Initialize(void *handle) {
  if (handle != nullptr) {
    model(handle)->initialize();
  }
}

CORVANTA_API void SetInputs(void *handle, const ExtU_Corvanta_T *inputs) {
  if (handle != nullptr && inputs != nullptr) {
    model(handle)->setExternalInputs(inputs);
  }
}

CORVANTA_API void Step(void *handle) {
  // Before Initialize the solver is not wired: the step is skipped and the outputs stay.
  if (handle != nullptr && model(handle)->isInitialized()) {
    model(handle)->step();
  }
}

CORVANTA_API const ExtY_Corvanta_T *GetOutputs(void *handle) {
  return (handle != nullptr) ? model(handle)->getExternalOutputs() : nullptr;
}

CORVANTA_API void Terminate(void *handle) {
  static_cast<void>(handle);
  Corvanta::terminate();
}

}  // extern "C"
