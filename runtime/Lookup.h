// Table lookups over constant breakpoint vectors and tables.  All are pure functions:
// they read their arguments only, allocate nothing and never fail.
#ifndef CORVANTA_RUNTIME_LOOKUP_H
#define CORVANTA_RUNTIME_LOOKUP_H

#include <cstdint>

// The interval found by the previous lookup at one call site along one table dimension.
// A lookup given a hint tries that interval first and accepts it only when the
// coordinate satisfies exactly the condition the bisection's result satisfies (the last
// breakpoint at or below the coordinate, the next one above it), so the interval and
// the result are the same as without the hint; otherwise it bisects and remembers the
// result.  Successive evaluations move along a table slowly, so the hint almost always
// holds.  A hint is owned by one instance and one call site; zero is a valid start.
struct LookupHint {
  std::int32_t index = 0;
};

// One-dimensional linear interpolation with linear extrapolation beyond both ends.
// n >= 2 strictly increasing breakpoints.  A NaN coordinate gives NaN.
double Corvanta_lookup1D(double x, const double *bp, const double *table, int n, LookupHint *hint = nullptr);

// Two-dimensional bilinear interpolation with linear extrapolation (binary search,
// linear interpolation, linear extrapolation).  The value of breakpoint pair (i0, i1) is
// table[i0 + i1 * stride]: the first dimension varies fastest.  lastIndex holds the last
// breakpoint index of each dimension.  A NaN coordinate gives NaN.
double look2_binlxpw(double u0, double u1, const double *bp0, const double *bp1, const double *table,
                     const std::uint32_t *lastIndex, std::uint32_t stride, LookupHint *hint0 = nullptr,
                     LookupHint *hint1 = nullptr);

// Bilinear interpolation inside a grid of nr rows × nc columns stored row after row
// (value of row r, column c at nc * r + c), NaN outside the grid or for a NaN
// coordinate; a is the column coordinate, b the row coordinate.
double Corvanta_gridLookup(double a, double b, const double *table, const double *columnAxis, const double *rowAxis,
                           int nr, int nc, LookupHint *columnHint = nullptr, LookupHint *rowHint = nullptr);

// Value of the breakpoint nearest to x (half-way takes the upper one), NaN when x is NaN
// or outside the breakpoint range.
double Corvanta_nearestLookup(double x, const double *bp, const double *table, int n, LookupHint *hint = nullptr);

// Largest k in 0 .. n-2 with bp[k] <= x, for x within [bp[0], bp[n-1]], by bisection.
// A coordinate on an interior breakpoint selects the interval starting there; one on the
// last breakpoint selects the last interval.
int Corvanta_intervalIndex(double x, const double *bp, int n);

// Corvanta_intervalIndex, first trying the interval of the hint (nullptr: no hint).
int Corvanta_intervalIndexHinted(double x, const double *bp, int n, LookupHint *hint);

#endif  // CORVANTA_RUNTIME_LOOKUP_H
