// The entry points of the portable maths functions: special values, the ranges each fast
// path covers (PortableMathFastPaths.inc), and the accurate path (PortableMathAccurate.cpp)
// for the arguments the fast path cannot decide.  On x86-64 processors with fused
// multiply-add the fast paths run in their fused build (PortableMathFused.cpp), which
// gives the same bits with fewer operations.
#include "PortableMath.h"

#include <cstdint>
#include <cstring>

#include "PortableMathAccurate.h"
#include "PortableMathTables.h"

#define CORVANTA_FAST_PATHS dekker
#include "PortableMathFastPaths.inc"
#undef CORVANTA_FAST_PATHS

#if defined(CORVANTA_PORTABLE_MATH_FUSED)
namespace corvanta_math::fused {
bool sinCosFast(double x, double *sine, double *cosine);
double atanFast(double ax, bool &decided);
bool expFast(double x, double &result);
}  // namespace corvanta_math::fused
#endif

namespace {

using namespace corvanta_math;
using namespace corvanta_math::dekker;

#if defined(CORVANTA_PORTABLE_MATH_FUSED)
// The processor's features, as the compiler's runtime read them at start-up (read only).
inline bool fused() { return __builtin_cpu_supports("fma"); }
bool fastSinCos(double x, double *sine, double *cosine) {
  return fused() ? fused::sinCosFast(x, sine, cosine) : dekker::sinCosFast(x, sine, cosine);
}
double fastAtan(double ax, bool &decided) {
  return fused() ? fused::atanFast(ax, decided) : dekker::atanFast(ax, decided);
}
bool fastExp(double x, double &result) { return fused() ? fused::expFast(x, result) : dekker::expFast(x, result); }
#else
bool fastSinCos(double x, double *sine, double *cosine) { return dekker::sinCosFast(x, sine, cosine); }
double fastAtan(double ax, bool &decided) { return dekker::atanFast(ax, decided); }
bool fastExp(double x, double &result) { return dekker::expFast(x, result); }
#endif

void sinCos(double x, double *sine, double *cosine) {
  const double ax = magnitude(x);
  if (!(ax < kTwoPowerMinus26)) {
    if (!(ax <= 1.7976931348623157e308)) {  // NaN, +-inf
      if (sine != nullptr) *sine = x - x;
      if (cosine != nullptr) *cosine = x - x;
      return;
    }
    if (ax < kSinCosFastLimit && fastSinCos(x, sine, cosine)) return;
    accurateSinCos(x, sine, cosine);
    return;
  }
  // |x| < 2^-26: sin x = x (1 - x^2/6 + ...) rounds to x.
  if (sine != nullptr) *sine = x;
  if (cosine != nullptr) {
    if (ax < kTwoPowerMinus27) {
      *cosine = 1.0;  // 1 - x^2/2 with x^2/2 below half an ulp of 1 below 1
    } else {
      if (!fastSinCos(x, nullptr, cosine)) accurateSinCos(x, nullptr, cosine);
    }
  }
}

}  // namespace

double Corvanta_sin(double x) {
  double s;
  sinCos(x, &s, nullptr);
  return s;
}

double Corvanta_cos(double x) {
  double c;
  sinCos(x, nullptr, &c);
  return c;
}

void Corvanta_sincos(double x, double *sine, double *cosine) { sinCos(x, sine, cosine); }

double Corvanta_atan(double x) {
  const double ax = magnitude(x);
  if (!(ax >= kTwoPowerMinus27)) return x + x * 0.0;  // atan x = x (1 - x^2/3) rounds to x; NaN stays NaN
  const bool negative = x < 0.0;
  if (ax > 0x1p60) {
    // atan x = pi/2 - 1/x + ... rounds to the double nearest pi/2 above 5.8e15; also +-inf.
    return negative ? -kPiOver2[0] : kPiOver2[0];
  }
  bool decided;
  double result = fastAtan(ax, decided);
  if (!decided) result = accurateAtan(ax);
  return negative ? -result : result;
}

double Corvanta_exp(double x) {
  if (!(x >= -708.0 && x <= 709.0)) {
    if (x != x) return x + x;
    if (x > 709.8) return 0x1p1023 * 2.0;       // overflow: +inf
    if (x < -745.2) return 0x1p-1022 * 0x1p-60;  // underflow: +0
    return accurateExp(x);
  }
  if (magnitude(x) < 0x1p-54) return 1.0 + x;  // rounds to 1
  double result;
  if (!fastExp(x, result)) return accurateExp(x);
  return result;
}
