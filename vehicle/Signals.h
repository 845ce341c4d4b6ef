// Copying the signals of a model into an array, in the order of the signal list.
#ifndef CORVANTA_VEHICLE_SIGNALS_H
#define CORVANTA_VEHICLE_SIGNALS_H

#include <cstddef>

#include "model/Corvanta.h"
#include "vehicle/corvanta_vehicle.h"

// Writes min(count, CORVANTA_NUM_SIGNALS) values; returns that number.  No allocation.
std::size_t copySignals(const Corvanta &model, double *out, std::size_t count);

#endif  // CORVANTA_VEHICLE_SIGNALS_H
