#include "runtime/NonFinite.h"

#include <cmath>

extern "C" {

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
