// Creating and freeing parameter sets.
#include "VehicleSet.h"

#include <new>

extern "C" {

CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_create_builtin(void) {
  return new (std::nothrow) CorvantaVehicle();
}

CORVANTA_VEHICLE_API void corvanta_vehicle_free(CorvantaVehicle *vehicle) { delete vehicle; }

}  // extern "C"
