// CRC-32 by tables, eight bytes at a time (the tables built once at compile time).
//
// Table 0 is the classic byte table: one byte in, the CRC register shifted by eight.  Table
// k gives the effect of a byte that still has k zero bytes to pass through the register, so
// one step folds eight bytes with eight look-ups, the same register as eight byte steps.
#include "vehicle/StateChecksum.h"

#include <array>
#include <cstring>

namespace {

// Table k at 256 × k, one array.
using Tables = std::array<std::uint32_t, 8 * 256>;

constexpr Tables makeTables() {
  Tables tables{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1U) != 0U ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    }
    tables[n] = c;
  }
  for (std::size_t k = 1; k < 8; ++k) {
    for (std::size_t n = 0; n < 256; ++n) {
      const std::uint32_t previous = tables[256 * (k - 1) + n];
      tables[256 * k + n] = tables[previous & 0xFFU] ^ (previous >> 8);
    }
  }
  return tables;
}

constexpr Tables kTables = makeTables();

// Eight bytes as a little-endian number, whatever the machine's order.
std::uint64_t littleEndian(const std::uint8_t *p) {
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
}

}  // namespace

// Eight bytes a step, each step one read of the bytes and eight look-ups; the rest byte by
// byte.
std::uint32_t stateChecksum(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFU;
  const std::size_t whole = size - size % 8;
  for (std::size_t k = 0; k < whole; k += 8) {
    const std::uint64_t w = littleEndian(data + k);
    const std::uint32_t low = crc ^ static_cast<std::uint32_t>(w);
    const std::uint32_t high = static_cast<std::uint32_t>(w >> 32);
    crc = kTables[7 * 256 + (low & 0xFFU)] ^ kTables[6 * 256 + ((low >> 8) & 0xFFU)] ^
          kTables[5 * 256 + ((low >> 16) & 0xFFU)] ^ kTables[4 * 256 + (low >> 24)] ^
          kTables[3 * 256 + (high & 0xFFU)] ^ kTables[2 * 256 + ((high >> 8) & 0xFFU)] ^
          kTables[1 * 256 + ((high >> 16) & 0xFFU)] ^ kTables[high >> 24];
  }
  for (std::size_t k = whole; k < size; ++k) {
    crc = kTables[(crc ^ data[k]) & 0xFFU] ^ (crc >> 8);
  }
  return ~crc;
}
