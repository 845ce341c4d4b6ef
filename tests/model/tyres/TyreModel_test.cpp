// Magic Formula tyre: characteristic values, signs and non-finite propagation.
#include <gtest/gtest.h>

#include <cmath>

#include "model/Corvanta.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

struct Tyre {
  double Fx, Fy, Mz, My;
};

Tyre tyre(double Fz, double kappa, double alpha, double Vx) {
  Tyre t{};
  Corvanta::Corvanta_FL(Fz, kappa, alpha, Vx, &t.Fx, &t.Fy, &t.Mz, &t.My);
  return t;
}

TEST(TyreModel, PureLongitudinalSlip) {
  const Tyre t = tyre(4850.0, 0.05, 0.0, 20.0);
  EXPECT_NEAR(t.Fx, 2530.55, 0.01);
  EXPECT_EQ(t.Fy, 0.0);
  EXPECT_EQ(t.Mz, 0.0);
  EXPECT_NEAR(t.My, -142.27, 0.01);
  // Slightly asymmetric through the sign term of the curvature.
  const Tyre braking = tyre(4850.0, -0.05, 0.0, 20.0);
  EXPECT_NEAR(braking.Fx, -2530.56, 0.01);
  EXPECT_NE(-braking.Fx, t.Fx);
}

TEST(TyreModel, PureLateralSlip) {
  const Tyre t = tyre(4850.0, 0.0, 0.05, 20.0);
  EXPECT_EQ(t.Fx, 0.0);
  EXPECT_NEAR(t.Fy, 2192.1, 0.05);
  EXPECT_NEAR(t.Mz, -57.95, 0.005);
  EXPECT_NEAR(t.My, -146.49, 0.005);
}

TEST(TyreModel, AligningMomentChangesSignAtLargeSlip) {
  EXPECT_NEAR(tyre(4850.0, 0.0, 0.2, 20.0).Mz, -0.98, 0.005);
  const Tyre large = tyre(4850.0, 0.0, 0.25, 20.0);
  EXPECT_NEAR(large.Mz, 4.64, 0.005);
  EXPECT_GT(large.Fy, 0.0);
}

TEST(TyreModel, StandstillAndZeroLoad) {
  const Tyre still = tyre(4850.0, 0.1, 0.3, 0.0);
  EXPECT_NEAR(still.Fx, 5492.0, 1.0);
  EXPECT_EQ(still.Fy, 0.0);
  EXPECT_EQ(still.Mz, 0.0);
  EXPECT_EQ(still.My, 0.0);
  const Tyre unloaded = tyre(0.0, 0.1, 0.1, 10.0);
  EXPECT_EQ(unloaded.Fx, 0.0);
  EXPECT_EQ(unloaded.Fy, 0.0);
  EXPECT_EQ(unloaded.Mz, 0.0);
  EXPECT_EQ(unloaded.My, 0.0);
}

TEST(TyreModel, FrictionHalvesAtTheReferenceSpeed) {
  // The peak of the force-slip curve falls as 1 / (1 + Vx/16.6).
  auto peak = [](double Vx) {
    double best = 0.0;
    for (int k = 1; k <= 20000; ++k) {
      best = std::fmax(best, tyre(4850.0, k * 5e-5, 0.0, Vx).Fx);
    }
    return best;
  };
  EXPECT_NEAR(peak(16.6) / peak(0.0), 0.5, 1e-6);
}

TEST(TyreModel, RollingResistanceReversesBeyondFullSlip) {
  EXPECT_EQ(tyre(4850.0, 1.0, 0.0, 20.0).My, 0.0);
  EXPECT_GT(tyre(4850.0, 1.5, 0.0, 20.0).My, 0.0);
}

TEST(TyreModel, NaNSlipRatioReachesFxAndMyOnly) {
  const Tyre t = tyre(4850.0, rtNaN, 0.05, 20.0);
  EXPECT_TRUE(std::isnan(t.Fx));
  EXPECT_TRUE(std::isnan(t.My));
  EXPECT_FALSE(std::isnan(t.Fy));
  EXPECT_FALSE(std::isnan(t.Mz));
}

TEST(TyreModel, NaNSlipAngleReachesMyThroughTheZeroWeightedTerm) {
  const Tyre t = tyre(4850.0, 0.05, rtNaN, 20.0);
  EXPECT_FALSE(std::isnan(t.Fx));
  EXPECT_TRUE(std::isnan(t.Fy));
  EXPECT_TRUE(std::isnan(t.Mz));
  EXPECT_TRUE(std::isnan(t.My));
}

TEST(TyreModel, NaNSpeedOrLoadMakesEverythingNaN) {
  for (const Tyre &t : {tyre(4850.0, 0.05, 0.05, rtNaN), tyre(rtNaN, 0.05, 0.05, 20.0)}) {
    EXPECT_TRUE(std::isnan(t.Fx));
    EXPECT_TRUE(std::isnan(t.Fy));
    EXPECT_TRUE(std::isnan(t.Mz));
    EXPECT_TRUE(std::isnan(t.My));
  }
}

TEST(TyreModel, InfiniteSlipReachesTheZeroWeightedTerms) {
  // An infinite slip angle meets a zero weight inside the Fx weighting: 0 × Inf = NaN.
  EXPECT_TRUE(std::isnan(tyre(4850.0, 0.05, rtInf, 20.0).My));
}

TEST(TyreModel, SpeedMinusReferenceGivesNonFiniteOutputs) {
  const Tyre t = tyre(4850.0, 0.05, 0.05, -16.6);
  EXPECT_FALSE(std::isfinite(t.Fx));
  EXPECT_FALSE(std::isfinite(t.Fy));
}

}  // namespace
