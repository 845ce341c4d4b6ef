/*
 * minimal_host.c - the smallest complete Corvanta host.  It links the library, drives one
 * instance for 1 s of model time at full throttle in drive, from rest, and prints the
 * final speed and position.
 *
 * Against an installed package:
 *     cc minimal_host.c $(pkg-config --cflags --libs corvanta) -o minimal_host
 * or with CMake: find_package(Corvanta) and link Corvanta::corvanta (see CMakeLists.txt).
 */
#include <stdio.h>

#include <corvanta.h>

int main(void) {
  const long steps = 10000; /* 1 s in steps of CORVANTA_STEP_SIZE (0.0001 s) */
  ExtU_Corvanta_T inputs = {0};
  const ExtY_Corvanta_T *outputs;
  void *car;
  long k;

  car = CreateVehicleModel();
  if (car == NULL) {
    fprintf(stderr, "minimal_host: cannot create a model instance\n");
    return 1;
  }

  /* Start at the origin, at rest, heading along X; all other inputs stay 0. */
  inputs.AccelerationDemand = 2.0; /* m/s^2: the top of the throttle map, full throttle */
  inputs.GearSelector = CORVANTA_GEAR_DRIVE;
  Initialize(car);
  SetInputs(car, &inputs); /* the first Step() samples the initial conditions from here */

  outputs = GetOutputs(car); /* stays valid, and current, until DeleteVehicleModel() */
  for (k = 0; k < steps; ++k) {
    Step(car);
  }

  printf("Corvanta %s, %.1f s at full throttle: speed %.6f m/s, position X %.6f m, Y %.6f m\n", CORVANTA_VERSION_STRING,
         (double)steps * CORVANTA_STEP_SIZE, outputs->LongitudinalSpeed, outputs->PositionX, outputs->PositionY);

  Terminate(car);
  DeleteVehicleModel(car);
  return 0;
}
