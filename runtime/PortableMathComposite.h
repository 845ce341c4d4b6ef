// atan2 and hypot of the same bits on every platform, for the parts of a portable-maths
// build beyond the model (the driver's path following, the side-slip signal).  Not
// correctly rounded: each is a fixed composition of IEEE 754 basic operations (exact
// everywhere) and the correctly rounded Corvanta_atan, within about 2 ulp of the exact
// value.  Special values as in C99 Annex F.
#ifndef CORVANTA_RUNTIME_PORTABLEMATHCOMPOSITE_H
#define CORVANTA_RUNTIME_PORTABLEMATHCOMPOSITE_H

#ifdef __cplusplus
extern "C" {
#endif

// The angle of (x, y) from the positive x axis, rad, in [-pi, pi].
double Corvanta_atan2(double y, double x);
// sqrt(x^2 + y^2) without overflow or underflow of the squares.
double Corvanta_hypot(double x, double y);

#ifdef __cplusplus
}
#endif

#endif  // CORVANTA_RUNTIME_PORTABLEMATHCOMPOSITE_H
