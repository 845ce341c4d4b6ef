#include "NonFinite.h"

#include <cmath>
#include <cstring>

namespace {

// Builds a value from its bit pattern at static-initialisation time of the library;
// memcpy is the portable way to type-pun.
double doubleFromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

float floatFromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

extern "C" {

const double rtInf = doubleFromBits(0x7FF0000000000000ULL);
const double rtMinusInf = doubleFromBits(0xFFF0000000000000ULL);
const double rtNaN = doubleFromBits(0xFFF8000000000000ULL);
const float rtInfF = floatFromBits(0x7F800000U);
const float rtMinusInfF = floatFromBits(0xFF800000U);
const float rtNaNF = floatFromBits(0xFFC00000U);

double rtGetInf(void) { return rtInf; }
float rtGetInfF(void) { return rtInfF; }
double rtGetMinusInf(void) { return rtMinusInf; }
float rtGetMinusInfF(void) { return rtMinusInfF; }
double rtGetNaN(void) { return rtNaN; }
float rtGetNaNF(void) { return rtNaNF; }

std::uint8_t rtIsInf(double x) { return std::fabs(x) > 1.7976931348623157e308; }
std::uint8_t rtIsInfF(float x) { return std::fabs(x) > 3.4028235e38F; }
std::uint8_t rtIsNaN(double x) { return x != x; }
std::uint8_t rtIsNaNF(float x) { return x != x; }

}  // extern "C"
