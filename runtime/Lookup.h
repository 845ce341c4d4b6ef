// Table lookups over constant breakpoint vectors and tables.  All are pure functions:
// they read their arguments only, allocate nothing and never fail.
#ifndef CORVANTA_RUNTIME_LOOKUP_H
#define CORVANTA_RUNTIME_LOOKUP_H

#include <cstdint>

// One-dimensional linear interpolation with linear extrapolation beyond both ends.
// n >= 2 strictly increasing breakpoints.  A NaN coordinate gives NaN.
double Corvanta_lookup1D(double x, const double *bp, const double *table, int n);

// Two-dimensional bilinear interpolation with linear extrapolation (binary search,
// linear interpolation, linear extrapolation).  The value of breakpoint pair (i0, i1) is
// table[i0 + i1 * stride]: the first dimension varies fastest.  lastIndex holds the last
// breakpoint index of each dimension.  A NaN coordinate gives NaN.
double look2_binlxpw(double u0, double u1, const double *bp0, const double *bp1,
                     const double *table, const std::uint32_t *lastIndex, std::uint32_t stride);

// Bilinear interpolation inside a grid of nr rows × nc columns stored row after row
// (value of row r, column c at nc * r + c), NaN outside the grid or for a NaN
// coordinate; a is the column coordinate, b the row coordinate.
double Corvanta_gridLookup(double a, double b, const double *table, const double *columnAxis,
                           const double *rowAxis, int nr, int nc);

// Value of the breakpoint nearest to x (half-way takes the upper one), NaN when x is NaN
// or outside the breakpoint range.
double Corvanta_nearestLookup(double x, const double *bp, const double *table, int n);

// Largest k in 0 .. n-2 with bp[k] <= x, for x within [bp[0], bp[n-1]], by bisection.
// A coordinate on an interior breakpoint selects the interval starting there; one on the
// last breakpoint selects the last interval.
int Corvanta_intervalIndex(double x, const double *bp, int n);

#endif  // CORVANTA_RUNTIME_LOOKUP_H
