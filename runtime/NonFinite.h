// Non-finite values: IEEE 754 infinities and the model's NaN, with fixed bit patterns.
// The NaN constants carry the sign bit (0xFFF8000000000000 and 0xFFC00000), so a host
// that inspects output bits sees exactly that pattern wherever the model produced a NaN.
#ifndef CORVANTA_RUNTIME_NONFINITE_H
#define CORVANTA_RUNTIME_NONFINITE_H

#include <cstdint>

extern "C" {

extern const double rtInf;
extern const double rtMinusInf;
extern const double rtNaN;
extern const float rtInfF;
extern const float rtMinusInfF;
extern const float rtNaNF;

double rtGetInf(void);
float rtGetInfF(void);
double rtGetMinusInf(void);
float rtGetMinusInfF(void);
double rtGetNaN(void);
float rtGetNaNF(void);

// True when |x| exceeds the largest finite value; false for NaN.
std::uint8_t rtIsInf(double x);
std::uint8_t rtIsInfF(float x);
// True when x is unordered with itself.
std::uint8_t rtIsNaN(double x);
std::uint8_t rtIsNaNF(float x);

}  // extern "C"

#endif  // CORVANTA_RUNTIME_NONFINITE_H
