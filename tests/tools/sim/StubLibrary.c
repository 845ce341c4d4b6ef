/*
 * Stand-ins for the Corvanta library with one defect each, for the runner's error paths:
 * built with STUB_WITHOUT_TERMINATE it lacks one of the seven functions; otherwise it has
 * all seven but CreateVehicleModel fails as it would when memory is exhausted.
 */
#include <stddef.h>

#include "capi/corvanta.h"

static ExtY_Corvanta_T stubOutputs;

void *CreateVehicleModel(void) { return NULL; }
void DeleteVehicleModel(void *handle) { (void)handle; }
void Initialize(void *handle) { (void)handle; }
void SetInputs(void *handle, const ExtU_Corvanta_T *inputs) {
  (void)handle;
  (void)inputs;
}
void Step(void *handle) { (void)handle; }
const ExtY_Corvanta_T *GetOutputs(void *handle) { return (handle != NULL) ? &stubOutputs : NULL; }
#ifndef STUB_WITHOUT_TERMINATE
void Terminate(void *handle) { (void)handle; }
#endif
