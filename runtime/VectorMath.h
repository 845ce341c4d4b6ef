// Small dense linear algebra for the wheel-load and gravity computations.
#ifndef CORVANTA_RUNTIME_VECTORMATH_H
#define CORVANTA_RUNTIME_VECTORMATH_H

// Inverse of a 3×3 matrix by Gaussian elimination with partial pivoting.  Both matrices
// are column-major (row i, column j at i + 3j); a is copied first, so y may alias a.
// The first pivot search compares rows 0 and 2 only: in its use the element in row 1,
// column 0 is structurally zero.  No singularity test is made.
void Corvanta_invert3(const double a[9], double y[9]);

#endif  // CORVANTA_RUNTIME_VECTORMATH_H
