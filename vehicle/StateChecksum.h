// The CRC-32 (IEEE 802.3, reflected, polynomial 0xEDB88320) that closes a saved state.
#ifndef CORVANTA_VEHICLE_STATECHECKSUM_H
#define CORVANTA_VEHICLE_STATECHECKSUM_H

#include <cstddef>
#include <cstdint>

std::uint32_t stateChecksum(const std::uint8_t *data, std::size_t size);

#endif  // CORVANTA_VEHICLE_STATECHECKSUM_H
