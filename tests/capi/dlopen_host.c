/*
 * A plain C host that loads the library at run time, binds the seven functions by name
 * and runs one second of full throttle.  Exits non-zero on any failure.
 *
 *   dlopen_host PATH/TO/libcorvanta.so
 */
#include <dlfcn.h>
#include <math.h>
#include <stdio.h>

#include "capi/corvanta.h"

#define BIND(type, name)                                                       \
  type name##_ = (type)dlsym(library, #name);                                  \
  if (name##_ == NULL) {                                                       \
    fprintf(stderr, "dlopen_host: missing symbol %s: %s\n", #name, dlerror()); \
    return 1;                                                                  \
  }

int main(int argc, char **argv) {
  void *library;
  void *car;
  const ExtY_Corvanta_T *y;
  ExtU_Corvanta_T u = {0};
  int k;
  if (argc != 2) {
    fprintf(stderr, "usage: dlopen_host LIBRARY\n");
    return 2;
  }
  library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == NULL) {
    fprintf(stderr, "dlopen_host: %s\n", dlerror());
    return 1;
  }
  {
    BIND(CreateVehicleModelTYPE, CreateVehicleModel)
    BIND(DeleteVehicleModelTYPE, DeleteVehicleModel)
    BIND(InitializeTYPE, Initialize)
    BIND(SetInputsTYPE, SetInputs)
    BIND(StepTYPE, Step)
    BIND(GetOutputsTYPE, GetOutputs)
    BIND(TerminateTYPE, Terminate)

    car = CreateVehicleModel_();
    if (car == NULL) {
      fprintf(stderr, "dlopen_host: CreateVehicleModel returned NULL\n");
      return 1;
    }
    Initialize_(car);
    u.AccelerationDemand = 2.0;
    u.GearSelector = CORVANTA_GEAR_DRIVE;
    u.InitialPositionX = 5.0;
    SetInputs_(car, &u);
    y = GetOutputs_(car);
    for (k = 0; k < 10000; ++k) {
      Step_(car);
    }
    printf("after 1 s: X %.6f m, speed %.6f m/s, tip-over %g\n", y->PositionX, y->LongitudinalSpeed,
           y->TipOverIndicator);
    if (!(y->PositionX > 5.0 && y->LongitudinalSpeed > 0.1 && y->TipOverIndicator == -1.0 &&
          fabs(y->PositionY) < 1e-12)) {
      fprintf(stderr, "dlopen_host: implausible outputs\n");
      return 1;
    }
    Terminate_(car);
    DeleteVehicleModel_(car);
  }
  dlclose(library);
  return 0;
}
