// The identity of the parameter set an instance simulates, carried by its saved states so
// that a state is never restored into an instance of another vehicle.
#ifndef CORVANTA_VEHICLE_PARAMETERIDENTITY_H
#define CORVANTA_VEHICLE_PARAMETERIDENTITY_H

#include <cstdint>

struct CorvantaInstance;

// 64-bit digest of every value of the instance's parameter set; equal sets, equal digests.
std::uint64_t parameterIdentityOf(const CorvantaInstance &instance);

#endif  // CORVANTA_VEHICLE_PARAMETERIDENTITY_H
