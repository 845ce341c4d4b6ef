// Definitions of the C maths functions sin, cos, sincos, atan and exp that forward to the
// portable ones (PortableMath.h), and of atan2 and hypot, which forward to the fixed
// compositions of PortableMathComposite.h (the driver and the signals call them, the model
// does not).  Linked into a library built with CORVANTA_PORTABLE_MATH, they bind that
// library's own calls (including the sincos calls the compiler forms from a sin and a cos
// of one argument) at link time, so that the library takes none of the seven from the
// platform.  They are hidden: the library does not export them, and other code in the
// process keeps the platform's functions.
//
// Compiled with -fno-builtin and without <cmath>, so that these are plain definitions.
#include "runtime/PortableMath.h"
#include "runtime/PortableMathComposite.h"

#if defined(__GNUC__) && !defined(_WIN32)
#define CORVANTA_MATH_BINDING extern "C" __attribute__((visibility("hidden")))
#else
#define CORVANTA_MATH_BINDING extern "C"
#endif

CORVANTA_MATH_BINDING double sin(double x);
CORVANTA_MATH_BINDING double cos(double x);
CORVANTA_MATH_BINDING void sincos(double x, double *sine, double *cosine);
CORVANTA_MATH_BINDING double atan(double x);
CORVANTA_MATH_BINDING double exp(double x);
CORVANTA_MATH_BINDING double atan2(double y, double x);
CORVANTA_MATH_BINDING double hypot(double x, double y);

double sin(double x) { return Corvanta_sin(x); }
double cos(double x) { return Corvanta_cos(x); }
void sincos(double x, double *sine, double *cosine) { Corvanta_sincos(x, sine, cosine); }
double atan(double x) { return Corvanta_atan(x); }
double exp(double x) { return Corvanta_exp(x); }
double atan2(double y, double x) { return Corvanta_atan2(y, x); }
double hypot(double x, double y) { return Corvanta_hypot(x, y); }
