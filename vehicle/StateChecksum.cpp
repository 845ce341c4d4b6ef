// CRC-32 by tables, eight bytes at a time (the tables built once at compile time).
//
// Table 0 is the classic byte table: one byte in, the CRC register shifted by eight.  Table
// k gives the effect of a byte that still has k zero bytes to pass through the register, so
// one step folds eight bytes with eight look-ups, the same register as eight byte steps.
#include "StateChecksum.h"

#include <array>

namespace {

using Tables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Tables makeTables() {
  Tables tables{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1U) != 0U ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    }
    tables[0][n] = c;
  }
  for (std::size_t k = 1; k < 8; ++k) {
    for (std::uint32_t n = 0; n < 256; ++n) {
      const std::uint32_t previous = tables[k - 1][n];
      tables[k][n] = tables[0][previous & 0xFFU] ^ (previous >> 8);
    }
  }
  return tables;
}

constexpr Tables kTables = makeTables();

// Four bytes as a little-endian word, whatever the machine's order.
std::uint32_t word(const std::uint8_t *p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

std::uint32_t stateChecksum(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFU;
  std::size_t k = 0;
  for (; size - k >= 8; k += 8) {
    const std::uint32_t low = crc ^ word(data + k);
    const std::uint32_t high = word(data + k + 4);
    crc = kTables[7][low & 0xFFU] ^ kTables[6][(low >> 8) & 0xFFU] ^ kTables[5][(low >> 16) & 0xFFU] ^
          kTables[4][low >> 24] ^ kTables[3][high & 0xFFU] ^ kTables[2][(high >> 8) & 0xFFU] ^
          kTables[1][(high >> 16) & 0xFFU] ^ kTables[0][high >> 24];
  }
  for (; k < size; ++k) {
    crc = kTables[0][(crc ^ data[k]) & 0xFFU] ^ (crc >> 8);
  }
  return ~crc;
}
