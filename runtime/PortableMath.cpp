// The entry points of the portable maths functions (PortableMath.h).  The special values,
// fast paths and calls of the accurate path are compiled in PortableMathFastPaths.inc; on
// x86-64 processors with fused multiply-add the entry points of its fused build
// (PortableMathFused.cpp) run, which give the same bits with fewer operations.
#include "runtime/PortableMath.h"

#include <cstdint>
#include <cstring>

#include "runtime/PortableMathAccurate.h"
#include "runtime/PortableMathTables.h"

#define CORVANTA_FAST_PATHS dekker
#include "runtime/PortableMathFastPaths.inc"
#undef CORVANTA_FAST_PATHS

#if defined(CORVANTA_PORTABLE_MATH_FUSED)
namespace corvanta_math::fused {
double sinEntry(double x);
double cosEntry(double x);
void sinCosEntryPoint(double x, double *sine, double *cosine);
double atanEntry(double x);
double expEntry(double x);
}  // namespace corvanta_math::fused

namespace {
// The processor's features, as the compiler's runtime read them at start-up (read only).
inline bool fused() { return __builtin_cpu_supports("fma"); }
}  // namespace

double Corvanta_sin(double x) {
  return fused() ? corvanta_math::fused::sinEntry(x) : corvanta_math::dekker::sinEntry(x);
}
double Corvanta_cos(double x) {
  return fused() ? corvanta_math::fused::cosEntry(x) : corvanta_math::dekker::cosEntry(x);
}
void Corvanta_sincos(double x, double *sine, double *cosine) {
  if (fused()) {
    corvanta_math::fused::sinCosEntryPoint(x, sine, cosine);
  } else {
    corvanta_math::dekker::sinCosEntryPoint(x, sine, cosine);
  }
}
double Corvanta_atan(double x) {
  return fused() ? corvanta_math::fused::atanEntry(x) : corvanta_math::dekker::atanEntry(x);
}
double Corvanta_exp(double x) {
  return fused() ? corvanta_math::fused::expEntry(x) : corvanta_math::dekker::expEntry(x);
}
#else
double Corvanta_sin(double x) { return corvanta_math::dekker::sinEntry(x); }
double Corvanta_cos(double x) { return corvanta_math::dekker::cosEntry(x); }
void Corvanta_sincos(double x, double *sine, double *cosine) {
  corvanta_math::dekker::sinCosEntryPoint(x, sine, cosine);
}
double Corvanta_atan(double x) { return corvanta_math::dekker::atanEntry(x); }
double Corvanta_exp(double x) { return corvanta_math::dekker::expEntry(x); }
#endif
