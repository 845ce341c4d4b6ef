// Copying the whole state of one model into another, and the evaluation of the values at
// the start of a run on a copy.
#ifndef CORVANTA_VEHICLE_INSTANCESTATE_H
#define CORVANTA_VEHICLE_INSTANCESTATE_H

#include "model/Corvanta.h"

// Makes `to` the same model as `from`: every record and cache, with the references of the
// solver and the delay pointing into `to`.  Allocates nothing.
void copyModel(const Corvanta &from, Corvanta &to);

#endif  // CORVANTA_VEHICLE_INSTANCESTATE_H
