// The tyre fast path and the grade cache against the full formulas they stand for: equal
// bits for every output (any NaN equals any NaN) over ordinary, extreme and non-finite
// operating points.
#include "model/tyres/TyreFastPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "model/Corvanta.h"
#include "model/tyres/GradeCache.h"
#include "tests/TestSupport.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool sameOrBothNaN(double a, double b) { return (std::isnan(a) && std::isnan(b)) || bitsOf(a) == bitsOf(b); }

// A reproducible mix of ordinary values of the given scale and the corner cases.
class Values {
 public:
  explicit Values(std::uint64_t seed) : state_(seed) {}
  double next(double scale) {
    static const double kSpecial[] = {0.0,   -0.0,   kInf,     -kInf,   kNaN,
                                      1e300, -1e300, 4.9e-324, -1e-310, 1.0,
                                      -1.0,  2.0,    -2.0,     1e-17,   std::numeric_limits<double>::max()};
    const double u = uniform();
    if (u < 0.15) {
      return kSpecial[static_cast<int>(uniform() * (sizeof kSpecial / sizeof kSpecial[0]))];
    }
    return scale * (2.0 * uniform() - 1.0);
  }
  double uniform() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) * 0x1.0p-53;
  }

 private:
  std::uint64_t state_;
};

struct Outputs {
  double Fx, Fy, Mz, My;
};

Outputs full(double Fz, double kappa, double alpha, double Vx) {
  Outputs o{};
  Corvanta::Corvanta_FL(Fz, kappa, alpha, Vx, &o.Fx, &o.Fy, &o.Mz, &o.My);
  return o;
}

void expectSame(const Outputs &expected, const TyreOutputs &actual, double Fz, double kappa, double alpha, double Vx) {
  EXPECT_TRUE(sameOrBothNaN(expected.Fx, actual.Fx) && sameOrBothNaN(expected.Fy, actual.Fy) &&
              sameOrBothNaN(expected.Mz, actual.Mz) && sameOrBothNaN(expected.My, actual.My))
      << "Fz " << Fz << " kappa " << kappa << " alpha " << alpha << " Vx " << Vx << ": Fx " << expected.Fx << "/"
      << actual.Fx << " Fy " << expected.Fy << "/" << actual.Fy << " Mz " << expected.Mz << "/" << actual.Mz << " My "
      << expected.My << "/" << actual.My;
}

TEST(TyreFastPath, AxleMatchesTheFullFormulaOnEveryOperatingPoint) {
  Values values(12345U);
  TyreLateralMemo memo;
  int mismatches = 0;
  for (int k = 0; k < 200000 && mismatches < 5; ++k) {
    // Loads mostly near the model's static loads, sometimes anything.
    const double Fz = (values.uniform() < 0.8) ? 3000.0 + 3000.0 * values.uniform() : values.next(1e5);
    const double kappaLeft = values.next((values.uniform() < 0.5) ? 0.05 : 2.0);
    const double kappaRight = (values.uniform() < 0.5) ? kappaLeft : values.next(1.0);
    const double alpha = values.next((values.uniform() < 0.5) ? 0.05 : 3.0);
    const double Vx = values.next(40.0);
    TyreOutputs left{};
    TyreOutputs right{};
    // Every other point with the axle's memory of the last lateral curves.
    evaluateAxleTyres(tyreLoadTerms(Fz), kappaLeft, kappaRight, alpha, Vx, &left, &right,
                      (k % 2 == 0) ? &memo : nullptr);
    const Outputs expectedLeft = full(Fz, kappaLeft, alpha, Vx);
    const Outputs expectedRight = full(Fz, kappaRight, alpha, Vx);
    const bool same = sameOrBothNaN(expectedLeft.Fx, left.Fx) && sameOrBothNaN(expectedLeft.Fy, left.Fy) &&
                      sameOrBothNaN(expectedLeft.Mz, left.Mz) && sameOrBothNaN(expectedLeft.My, left.My) &&
                      sameOrBothNaN(expectedRight.Fx, right.Fx) && sameOrBothNaN(expectedRight.Fy, right.Fy) &&
                      sameOrBothNaN(expectedRight.Mz, right.Mz) && sameOrBothNaN(expectedRight.My, right.My);
    if (!same) {
      ++mismatches;
      expectSame(expectedLeft, left, Fz, kappaLeft, alpha, Vx);
      expectSame(expectedRight, right, Fz, kappaRight, alpha, Vx);
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(TyreFastPath, SignedZerosAndInfinitiesOfTheInputsKeepTheirBits) {
  const double specials[] = {0.0, -0.0, kInf, -kInf, kNaN, 1e-310, -1e-310, 1e308, -1e308};
  for (double Fz : {5054.28, 3569.72, 0.0, -0.0, 4850.0, kInf, kNaN}) {
    for (double kappa : specials) {
      for (double alpha : specials) {
        for (double Vx : specials) {
          TyreOutputs left{};
          TyreOutputs right{};
          evaluateAxleTyres(tyreLoadTerms(Fz), kappa, kappa, alpha, Vx, &left, &right);
          expectSame(full(Fz, kappa, alpha, Vx), left, Fz, kappa, alpha, Vx);
          expectSame(full(Fz, kappa, alpha, Vx), right, Fz, kappa, alpha, Vx);
        }
      }
    }
  }
}

TEST(TyreFastPath, OrdinaryPointsNeedNoFallback) {
  // The fast parts alone give the full formula's bits and raise no NaN probe.
  const TyreLoadTerms terms = tyreLoadTerms(5054.28);
  ASSERT_TRUE(terms.allFinite);
  for (double alpha : {0.0, -0.0, 0.05, -0.2}) {
    for (double kappa : {0.0, 0.0047771, -1.0, 0.3}) {
      for (double Vx : {20.0, 0.0, -3.0}) {
        const TyreLateral lateral = tyreLateralFast(terms, alpha, Vx);
        const TyreLongitudinal longitudinal = tyreLongitudinalFast(terms, kappa, lateral.alphaStar, Vx);
        EXPECT_FALSE(std::isnan(lateral.nanProbe));
        EXPECT_FALSE(std::isnan(longitudinal.nanProbe));
        const Outputs expected = full(5054.28, kappa, alpha, Vx);
        EXPECT_SAME_BITS(expected.Fx, longitudinal.Fx);
        EXPECT_SAME_BITS(expected.Fy, lateral.Fy);
        EXPECT_SAME_BITS(expected.Mz, lateral.Mz);
        EXPECT_SAME_BITS(expected.My, longitudinal.My);
      }
    }
  }
}

TEST(TyreFastPath, InfiniteSlipAngleRaisesTheProbe) {
  // cos(-inf) makes the full aligning moment NaN; the fast path must not hide it.
  const TyreLoadTerms terms = tyreLoadTerms(5054.28);
  const TyreLateral lateral = tyreLateralFast(terms, kInf, 20.0);
  const TyreLongitudinal longitudinal = tyreLongitudinalFast(terms, 0.01, lateral.alphaStar, 20.0);
  EXPECT_TRUE(std::isnan(lateral.Mz) || std::isnan(lateral.nanProbe) || std::isnan(longitudinal.nanProbe));
}

TEST(TyreFastPath, InfiniteLateralStiffnessRaisesTheProbe) {
  // When Dy·1.3507 + 0.1 is exactly zero, By is infinite and the full formula's residual
  // term cos(atan(alphaR·(1.3507·(By·0))))·Dr is NaN: the probe must say so.
  TyreLoadTerms terms = tyreLoadTerms(5054.28);
  terms.Fz = 1.0;
  double dy = -0.1 / 1.3507;
  for (int k = 0; k < 64 && dy * 1.3507 + 0.1 != 0.0; ++k) {
    dy = std::nextafter(dy, (dy * 1.3507 + 0.1 > 0.0) ? -1.0 : 1.0);
  }
  ASSERT_EQ(dy * 1.3507 + 0.1, 0.0);
  terms.DyLoad = dy;  // Vx = 0: the speed factor is 1 and Dy = DyLoad·Fz = dy
  const TyreLateral lateral = tyreLateralFast(terms, 0.05, 0.0);
  EXPECT_TRUE(std::isnan(lateral.nanProbe));
}

TEST(TyreFastPath, RememberedLateralCurvesGiveTheBitsOfAFreshEvaluation) {
  // Repeats, sign-of-zero flips, NaN and load changes in turn: a remembered result may
  // only come back for exactly the same arguments.
  TyreLateralMemo memo;
  const TyreLoadTerms front = tyreLoadTerms(5054.28);
  const TyreLoadTerms rear = tyreLoadTerms(3569.72);
  const double alphas[] = {0.0, 0.0, -0.0, 0.0, 0.03, 0.03, kNaN, kNaN, 0.03, -0.0, -0.0};
  const double speeds[] = {20.0, 20.5, 20.5, -3.0, 20.0, 20.0, 20.0, 19.0, 19.0, 0.0, 0.0};
  for (int k = 0; k < 11; ++k) {
    for (const TyreLoadTerms *terms : {&front, &front, &rear}) {
      const TyreLateral remembered = tyreLateralFast(*terms, alphas[k], speeds[k], &memo);
      const TyreLateral fresh = tyreLateralFast(*terms, alphas[k], speeds[k]);
      EXPECT_TRUE(sameOrBothNaN(fresh.Fy, remembered.Fy)) << k;
      EXPECT_TRUE(sameOrBothNaN(fresh.Mz, remembered.Mz)) << k;
      EXPECT_TRUE(sameOrBothNaN(fresh.nanProbe, remembered.nanProbe)) << k;
    }
  }
}

TEST(TyreFastPath, NonFiniteLoadsAreLeftToTheFullFormula) {
  EXPECT_FALSE(tyreLoadTerms(kInf).allFinite);
  EXPECT_FALSE(tyreLoadTerms(kNaN).allFinite);
  EXPECT_FALSE(tyreLoadTerms(1e300).allFinite);  // the exp of the slip stiffness overflows
  EXPECT_TRUE(tyreLoadTerms(-0.0).allFinite);
}

TEST(GradeCache, ReturnsTheWheelLoadBlockBitsForEachGradeBits) {
  GradeCache cache;
  // Repeats and sign-of-zero changes in between: each answer must be that grade's own.
  for (double grade : {0.0, 0.0, -0.0, 0.05, 0.05, -0.05, 1.0, kNaN, kInf, 0.0, 0.05, -1e-310}) {
    GradeLoads expected{};
    Corvanta::Corvanta_gradeLoads(grade, &expected);
    const GradeTerms &terms = cache.at(builtinModelParameters(), grade);
    for (int row = 0; row < 3; ++row) {
      EXPECT_TRUE(sameOrBothNaN(expected.GravityDirection[row], terms.loads.GravityDirection[row])) << grade;
    }
    EXPECT_TRUE(sameOrBothNaN(expected.GravityForceY, terms.loads.GravityForceY)) << grade;
    EXPECT_TRUE(sameOrBothNaN(expected.GravityForceZ, terms.loads.GravityForceZ)) << grade;
    EXPECT_TRUE(sameOrBothNaN(expected.FrontWheelLoad, terms.loads.FrontWheelLoad)) << grade;
    EXPECT_TRUE(sameOrBothNaN(expected.RearWheelLoad, terms.loads.RearWheelLoad)) << grade;
    EXPECT_TRUE(sameOrBothNaN(expected.FrontWheelLoad, terms.frontTyre.Fz)) << grade;
    EXPECT_TRUE(sameOrBothNaN(expected.RearWheelLoad, terms.rearTyre.Fz)) << grade;
  }
}

TEST(GradeCache, LevelRoadLoads) {
  GradeCache cache;
  const GradeTerms &terms = cache.at(builtinModelParameters(), 0.0);
  EXPECT_NEAR(terms.loads.FrontWheelLoad, 5054.28, 1e-9);
  EXPECT_NEAR(terms.loads.RearWheelLoad, 3569.72, 1e-9);
  EXPECT_TRUE(terms.frontTyre.allFinite);
}

}  // namespace
