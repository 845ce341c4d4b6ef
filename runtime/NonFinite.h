// Non-finite values: IEEE 754 infinities and the model's NaN, with fixed bit patterns.
// The NaN constants carry the sign bit (0xFFF8000000000000 and 0xFFC00000), so a host
// that inspects output bits sees exactly that pattern wherever the model produced a NaN.
//
// The constants are compile-time values: an initialiser anywhere in the library may read
// them, whatever the order in which the translation units are initialised.
#ifndef CORVANTA_RUNTIME_NONFINITE_H
#define CORVANTA_RUNTIME_NONFINITE_H

#include <cstdint>
#include <limits>

inline constexpr double rtInf = std::numeric_limits<double>::infinity();
inline constexpr double rtMinusInf = -std::numeric_limits<double>::infinity();
inline constexpr double rtNaN = -std::numeric_limits<double>::quiet_NaN();
inline constexpr float rtInfF = std::numeric_limits<float>::infinity();
inline constexpr float rtMinusInfF = -std::numeric_limits<float>::infinity();
inline constexpr float rtNaNF = -std::numeric_limits<float>::quiet_NaN();

#if defined(__has_builtin)
#if __has_builtin(__builtin_bit_cast)
static_assert(__builtin_bit_cast(std::uint64_t, rtInf) == 0x7FF0000000000000ULL, "rtInf bits");
static_assert(__builtin_bit_cast(std::uint64_t, rtMinusInf) == 0xFFF0000000000000ULL, "rtMinusInf bits");
static_assert(__builtin_bit_cast(std::uint64_t, rtNaN) == 0xFFF8000000000000ULL, "rtNaN bits");
static_assert(__builtin_bit_cast(std::uint32_t, rtInfF) == 0x7F800000U, "rtInfF bits");
static_assert(__builtin_bit_cast(std::uint32_t, rtMinusInfF) == 0xFF800000U, "rtMinusInfF bits");
static_assert(__builtin_bit_cast(std::uint32_t, rtNaNF) == 0xFFC00000U, "rtNaNF bits");
#endif
#endif

extern "C" {

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
