// CRC-32 by table, the table built once at compile time.
#include "vehicle/StateChecksum.h"

#include <array>

namespace {

constexpr std::array<std::uint32_t, 256> makeTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1U) != 0U ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    }
    table[n] = c;
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> kTable = makeTable();

}  // namespace

std::uint32_t stateChecksum(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (std::size_t k = 0; k < size; ++k) {
    crc = kTable[(crc ^ data[k]) & 0xFFU] ^ (crc >> 8);
  }
  return ~crc;
}
