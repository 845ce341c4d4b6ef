#include "runtime/VectorMath.h"

#include <cmath>

#include "runtime/NonFinite.h"

double rt_Norm3(const double w[3]) {
  // Euclidean length with a running scale, so that neither tiny nor huge components
  // underflow or overflow when squared.  The initial scale is 2^-563.
  double scale = 3.3121686421112381e-170;
  double y;
  double a = std::fabs(w[0]);
  if (a > scale) {
    y = 1.0;
    scale = a;
  } else {
    const double t = a / scale;
    y = t * t;
  }
  for (int k = 1; k < 3; ++k) {
    a = std::fabs(w[k]);
    if (a > scale) {
      const double t = scale / a;
      y = 1.0 + (y * t) * t;
      scale = a;
    } else {
      const double t = a / scale;
      y = t * t + y;
    }
  }
  const double r = std::sqrt(y) * scale;
  if (rtIsNaN(r)) {
    // NaN without a NaN component means Inf/Inf from two or more infinite components.
    for (int k = 0; k < 3; ++k) {
      if (rtIsNaN(w[k])) {
        return r;
      }
    }
    return rtInf;
  }
  return r;
}

namespace {

void swap(double &p, double &q) {
  const double t = p;
  p = q;
  q = t;
}

}  // namespace

void Corvanta_invert3(const double a[9], double y[9]) {
  double x[9];
  for (int k = 0; k < 9; ++k) {
    x[k] = a[k];
  }
  // p1, p2, p3: the columns of y that receive the three solutions.
  int p1 = 0;
  int p2 = 3;
  int p3 = 6;
  if (std::fabs(x[2]) > std::fabs(x[0])) {
    p1 = 6;
    p3 = 0;
    swap(x[0], x[2]);
    swap(x[3], x[5]);
    swap(x[6], x[8]);
  }
  x[1] = x[1] / x[0];
  x[2] = x[2] / x[0];
  x[4] = x[4] - x[1] * x[3];
  x[5] = x[5] - x[2] * x[3];
  x[7] = x[7] - x[1] * x[6];
  x[8] = x[8] - x[2] * x[6];
  if (std::fabs(x[5]) > std::fabs(x[4])) {
    const int previous = p2;
    p2 = p3;
    p3 = previous;
    swap(x[1], x[2]);
    swap(x[4], x[5]);
    swap(x[7], x[8]);
  }
  x[5] = x[5] / x[4];
  x[8] = x[8] - x[5] * x[7];

  double t3 = (x[5] * x[1] - x[2]) / x[8];
  double t2 = -(x[1] + x[7] * t3) / x[4];
  y[p1] = ((1.0 - x[3] * t2) - x[6] * t3) / x[0];
  y[p1 + 1] = t2;
  y[p1 + 2] = t3;

  t3 = -x[5] / x[8];
  t2 = (1.0 - x[7] * t3) / x[4];
  y[p2] = -(x[6] * t3 + x[3] * t2) / x[0];
  y[p2 + 1] = t2;
  y[p2 + 2] = t3;

  t3 = 1.0 / x[8];
  t2 = (-x[7] * t3) / x[4];
  y[p3] = -(x[6] * t3 + x[3] * t2) / x[0];
  y[p3 + 1] = t2;
  y[p3 + 2] = t3;
}
