// sin, cos, sincos, atan and exp of our own, correctly rounded (round to nearest) for
// every double argument, so that every platform gives the same bits.
//
// Built from IEEE 754 addition, subtraction, multiplication and division, integer
// operations and constant tables only (PortableMathTables.cpp, written by
// scripts/make_portable_math_tables.py); the results do not depend on the platform's
// maths library, on fused multiply-add or on extended precision.  They assume the
// default rounding mode (to nearest) and FLT_EVAL_METHOD 0.
//
// Special values as in C99 Annex F: sin, atan and the sine of sincos keep the sign of a
// zero; cos(±0) = 1, exp(±0) = 1; sin, cos of ±inf and every function of NaN are NaN;
// atan(±inf) = ±pi/2 rounded; exp(-inf) = +0, exp(+inf) = +inf; exp overflows to +inf
// and underflows through the subnormals to +0.
//
// Each function evaluates approximations with proven error bounds and returns the
// rounding of the first whose whole error interval rounds to one double: a quick one (one
// exact product, the small terms in double, error about 2^-63; for sin and cos below 0.8
// and atan below 1 without reduction or division), then one in double-double (error
// about 2^-70 to 2^-80); in the rare other cases a fixed-point evaluation with 352
// fraction bits decides (PortableMathAccurate.cpp).
// No allocation, no global state: thread-safe.
#ifndef CORVANTA_RUNTIME_PORTABLEMATH_H
#define CORVANTA_RUNTIME_PORTABLEMATH_H

double Corvanta_sin(double x);
double Corvanta_cos(double x);
void Corvanta_sincos(double x, double *sine, double *cosine);
double Corvanta_atan(double x);
double Corvanta_exp(double x);

#endif  // CORVANTA_RUNTIME_PORTABLEMATH_H
