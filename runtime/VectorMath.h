// Small dense vector and matrix routines over plain arrays of doubles.
#ifndef CORVANTA_RUNTIME_VECTORMATH_H
#define CORVANTA_RUNTIME_VECTORMATH_H

// Euclidean length of three consecutive doubles, with a running scale so that it neither
// overflows nor underflows.  Two or more infinite components give +Inf; a NaN component
// gives NaN.
double rt_Norm3(const double w[3]);

// Inverse of a 3×3 matrix by Gaussian elimination with partial pivoting.  Both matrices
// are column-major (row i, column j at i + 3j); a is copied first, so y may alias a.
// The first pivot search compares rows 0 and 2 only, a full partial pivot for matrices
// whose element in row 1, column 0 is zero (rotations about y).  No singularity test is
// made.
void Corvanta_invert3(const double a[9], double y[9]);

#endif  // CORVANTA_RUNTIME_VECTORMATH_H
