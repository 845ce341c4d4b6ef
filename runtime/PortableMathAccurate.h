// The accurate path of the portable maths functions: fixed-point arithmetic with 352
// fraction bits (errors below 2^-330 relative), far below the distance of any double
// result from a rounding boundary.  Slow (microseconds); PortableMath.cpp calls it only
// for the arguments whose fast evaluation cannot decide the rounding.
#ifndef CORVANTA_RUNTIME_PORTABLEMATHACCURATE_H
#define CORVANTA_RUNTIME_PORTABLEMATHACCURATE_H

namespace corvanta_math {

// exp(x) correctly rounded, for 2^-54 <= |x| and -746 <= x <= 710 (overflow gives +inf,
// underflow a subnormal or +0).
double accurateExp(double x);

// sin(x) and cos(x) correctly rounded, for finite x with |x| >= 2^-27; either pointer
// may be null (then that one is not computed).
void accurateSinCos(double x, double *sine, double *cosine);

// atan(x) correctly rounded, for 2^-27 <= |x| <= 2^60.
double accurateAtan(double x);

}  // namespace corvanta_math

#endif  // CORVANTA_RUNTIME_PORTABLEMATHACCURATE_H
