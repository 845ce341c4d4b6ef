#include "runtime/VectorMath.h"

#include <gtest/gtest.h>

#include <cmath>

#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

double norm(double a, double b, double c) {
  const double w[3] = {a, b, c};
  return rt_Norm3(w);
}

TEST(Norm, ExactValues) {
  EXPECT_SAME_BITS(1.6, norm(0.0, 1.6, 0.0));
  EXPECT_SAME_BITS(1.616, norm(0.0, 1.616, 0.0));
  EXPECT_SAME_BITS(5.0, norm(3.0, 4.0, 0.0));
  EXPECT_SAME_BITS(0.0, norm(0.0, 0.0, 0.0));
}

TEST(Norm, NeitherUnderflowsNorOverflows) {
  EXPECT_NEAR(norm(1e-200, 1e-200, 0.0) / 1e-200, std::sqrt(2.0), 1e-15);
  EXPECT_NEAR(norm(1e200, 1e200, 0.0) / 1e200, std::sqrt(2.0), 1e-15);
}

TEST(Norm, InfiniteComponents) {
  EXPECT_SAME_BITS(rtInf, norm(rtInf, 1.0, 0.0));
  EXPECT_SAME_BITS(rtInf, norm(rtInf, rtInf, 0.0));  // Inf/Inf inside, caught by the NaN check
  EXPECT_SAME_BITS(rtInf, norm(1.0, rtMinusInf, rtInf));
  EXPECT_TRUE(rtIsNaN(norm(rtNaN, rtInf, 0.0)));
  EXPECT_TRUE(rtIsNaN(norm(0.0, 0.0, rtNaN)));
}

// Rotation about y by theta, column-major.
void rotation(double theta, double a[9]) {
  const double c = std::cos(theta);
  const double s = std::sin(theta);
  const double m[9] = {c, 0.0, -s, 0.0, 1.0, 0.0, s, 0.0, c};
  for (int k = 0; k < 9; ++k) {
    a[k] = m[k];
  }
}

TEST(Invert3, RotationInverseIsItsTranspose) {
  for (double theta : {0.0, 0.05, -0.3, 0.7853981633974483, 1.0, -1.2, 2.5}) {
    double a[9];
    rotation(theta, a);
    double y[9];
    Corvanta_invert3(a, y);
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) {
        EXPECT_NEAR(y[i + 3 * j], a[j + 3 * i], 4e-16) << "theta " << theta << " at " << i << "," << j;
      }
    }
  }
}

TEST(Invert3, InPlaceGivesTheSameBits) {
  double a[9];
  rotation(1.1, a);
  double y[9];
  Corvanta_invert3(a, y);
  Corvanta_invert3(a, a);
  for (int k = 0; k < 9; ++k) {
    EXPECT_SAME_BITS(y[k], a[k]);
  }
}

TEST(Invert3, PivotBranchesLandInTheRightColumns) {
  // Beyond 45 degrees the first pivot swaps rows 0 and 2; a general matrix shows whether
  // the solution columns were routed correctly.
  const double a[9] = {0.1, 0.0, 3.0, 0.5, 2.0, -1.0, 4.0, 1.0, 0.2};
  double y[9];
  Corvanta_invert3(a, y);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double product = 0.0;
      for (int k = 0; k < 3; ++k) {
        product += a[i + 3 * k] * y[k + 3 * j];
      }
      EXPECT_NEAR(product, i == j ? 1.0 : 0.0, 1e-14);
    }
  }
  // The second pivot: |x[5]| > |x[4]| after the first elimination.
  const double b[9] = {2.0, 0.0, 0.0, 0.0, 0.1, 3.0, 1.0, 1.0, 1.0};
  Corvanta_invert3(b, y);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double product = 0.0;
      for (int k = 0; k < 3; ++k) {
        product += b[i + 3 * k] * y[k + 3 * j];
      }
      EXPECT_NEAR(product, i == j ? 1.0 : 0.0, 1e-14);
    }
  }
}

}  // namespace
