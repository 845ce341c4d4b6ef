// Fast evaluation of the tyre force model with the output bits of Corvanta_FL; see
// TyreFastPath.h for why each skipped term has exactly the value used here.  Products
// and sums are grouped as in Corvanta_FL.
#include "model/tyres/TyreFastPath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/Corvanta.h"

namespace {

// Sign with NaN for NaN; both zeros give 0 (the sign rule of Corvanta_FL), without
// branches.
inline double sgn(double x) {
  const double sign = static_cast<double>(x > 0.0) - static_cast<double>(x < 0.0);
  return (x != x) ? x : sign;
}

inline bool isNaN(double x) { return x != x; }

inline std::uint64_t bitsOf(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

}  // namespace

TyreLoadTerms tyreLoadTerms(double Fz) { return tyreLoadTerms(builtinModelParameters().tyre[kFrontAxle], Fz); }

TyreLoadTerms tyreLoadTerms(const TyreParameters &c, double Fz) {
  using std::atan;
  using std::exp;
  using std::sin;

  TyreLoadTerms t{};
  t.c = &c;
  const double dfz = (Fz - c.FNOMIN) / c.FNOMIN;
  const double dfz2 = dfz * dfz;
  t.Fz = Fz;
  t.DxLoad = c.PDX1 + dfz * c.PDX2;
  t.Kxk = exp(dfz * c.PKX3) * ((c.PKX1 + dfz * c.PKX2) * Fz);
  t.SHx = 0.0 * (dfz * c.PHX2 + c.PHX1);
  t.ExLoad = (dfz * c.PEX2 + c.PEX1) + c.PEX3 * dfz2;
  t.SVx = 0.0 * ((c.PVX2 * dfz + c.PVX1) * Fz);
  t.SHy = (1.0 + (dfz * c.PHY2 + c.PHY1) * 0.0) - 1.0;
  t.DyLoad = c.PDY1 + dfz * c.PDY2;
  t.Kya = sin(2.0 * atan(Fz / c.CorneringStiffnessLoad)) * c.CorneringStiffnessPeak;
  t.SVy = (0.0 * (c.PVY4 * dfz + c.PVY3) + (dfz * c.PVY2 + c.PVY1) * 0.0) * Fz;
  t.EyLoad = c.PEY2 * dfz + c.PEY1;
  t.AlphaTLoad = (c.QHZ1 + dfz * c.QHZ2) + (dfz * c.QHZ4 + c.QHZ3) * 0.0;
  t.Bt = c.QBZ3 * dfz2 + (dfz * c.QBZ2 + c.QBZ1);
  t.BtE = c.QCZ1 * t.Bt;
  t.EtLoad = c.QEZ3 * dfz2 + (c.QEZ2 * dfz + c.QEZ1);
  t.DtLoad = (c.TrailPeakFactor * Fz) * (dfz * c.QDZ2 + c.QDZ1);
  const double Cr = ((c.QDZ7 * dfz + c.QDZ6) * 0.0) * 0.0 + 0.0 * (c.QDZ9 * dfz + c.QDZ8);
  t.DrLoad = (c.UNLOADED_RADIUS * Fz) * Cr;
  t.AlphaRLoad = (t.SVy / (t.Kya + 0.1)) + t.SHy;
  t.Exa = c.REX1 + dfz * c.REX2;
  t.MyLoad = c.UNLOADED_RADIUS * -Fz;

  const double terms[] = {t.Fz,     t.DxLoad, t.Kxk,        t.SHx, t.ExLoad, t.SVx,    t.SHy,
                          t.DyLoad, t.Kya,    t.SVy,        t.EyLoad, t.AlphaTLoad, t.Bt, t.BtE,
                          t.EtLoad, t.DtLoad, t.DrLoad,     t.AlphaRLoad, t.Exa, t.MyLoad, dfz2};
  t.allFinite = c.coefficientsFinite;
  for (double term : terms) {
    t.allFinite = t.allFinite && std::isfinite(term);
  }
  return t;
}

namespace {

// The maths-library results of the lateral part: they depend on the load terms, the slip
// angle alpha, alphaStar and xy only (not on the speed factor of the peak values).
LateralCurves lateralCurves(const TyreLoadTerms &t, double alpha, double alphaStar, double xy) {
  using std::atan;
  using std::cos;
  using std::sin;

  const TyreParameters &c = *t.c;
  const double alphaY = alphaStar + t.SHy;
  const double sy = sgn(alphaY);
  const double Ey = t.EyLoad * (1.0 - sy * c.PEY3);
  const double alphaT = t.AlphaTLoad + alphaStar;
  const double xt = t.Bt * alphaT;
  const double Et = (c.TrailCurvatureFactor * atan(t.BtE * alphaT) + 1.0) * t.EtLoad;

  LateralCurves curves;
  curves.sinFy = sin(c.PCY1 * atan(xy - Ey * (xy - atan(xy))));
  curves.cosAlpha = cos(-alpha);
  curves.cosTrail = cos(c.QCZ1 * atan(xt - Et * (xt - atan(xt))));
  return curves;
}

}  // namespace

const LateralCurves &TyreLateralMemo::curves(const TyreLoadTerms &t, double alpha, double alphaStar, double xy) {
  const std::uint64_t key[4] = {bitsOf(t.Fz), bitsOf(alpha), bitsOf(alphaStar), bitsOf(xy)};
  if (!filled_ || key[0] != key_[0] || key[1] != key_[1] || key[2] != key_[2] || key[3] != key_[3]) {
    curves_ = lateralCurves(t, alpha, alphaStar, xy);
    for (int k = 0; k < 4; ++k) {
      key_[k] = key[k];
    }
    filled_ = true;
  }
  return curves_;
}

TyreLateral tyreLateralFast(const TyreLoadTerms &t, double alpha, double Vx, TyreLateralMemo *memo) {
  const TyreParameters &c = *t.c;
  const double s = 1.0 + Vx / c.LONGVL;
  const double sV = sgn(Vx);
  const double alphaStar = (-alpha) * sV;

  // Lateral force.
  const double alphaY = alphaStar + t.SHy;
  const double Dy = (t.DyLoad / s) * t.Fz;
  const double By = t.Kya / (Dy * c.PCY1 + 0.1);
  const double xy = alphaY * By;
  const LateralCurves curves =
      (memo != nullptr) ? memo->curves(t, alpha, alphaStar, xy) : lateralCurves(t, alpha, alphaStar, xy);
  const double fy = curves.sinFy * Dy + t.SVy;

  // Aligning moment from the pneumatic trail.
  const double cosAlpha = curves.cosAlpha;
  const double Dt = t.DtLoad * sV;
  const double Mzt = -((curves.cosTrail * Dt) * cosAlpha) * fy;

  // Residual moment cos(atan(alphaR·Br))·Dr: Dr is (1 + ±0) - 1 = +0 or NaN, and the
  // cosine of an arctangent lies in (0, 1] for any non-NaN argument, so the product is
  // Dr whenever alphaR·Br is not NaN.
  const double Dr = (1.0 + ((t.DrLoad * cosAlpha) * sV)) - 1.0;
  const double alphaR = t.AlphaRLoad + alphaStar;
  const double Br = c.PCY1 * (By * 0.0);

  TyreLateral lateral;
  lateral.Fy = fy;
  lateral.Mz = Dr + Mzt;
  lateral.alphaStar = alphaStar;
  lateral.nanProbe = alphaR * Br;
  return lateral;
}

TyreLongitudinal tyreLongitudinalFast(const TyreLoadTerms &t, double kappa, double alphaStar, double Vx) {
  using std::atan;
  using std::sin;

  const TyreParameters &c = *t.c;
  const double s = 1.0 + Vx / c.LONGVL;
  const double Dx = (t.DxLoad / s) * t.Fz;
  const double sKappa = sgn(kappa);
  const double Bx = t.Kxk / (Dx * c.PCX1 + 0.1);
  const double xk = (t.SHx + kappa) * Bx;
  const double Ex = t.ExLoad * (1.0 - sKappa * c.PEX4);
  const double fx = t.SVx + sin(c.PCX1 * atan(xk - Ex * (xk - atan(xk)))) * Dx;

  // Combined-slip weighting Gn/Gd: its stiffness Bxa = (RBX1·cos(atan(RBX2·kappa)))·0
  // is a signed zero for a non-NaN kappa and finite coefficients; then both arguments of
  // the weighting are signed zeros when alphaStar and Exa are finite, and Gn = Gd =
  // cos(±0) = 1.  T is then (0·fx)/FNOMIN: a signed zero or NaN, which the division by
  // the positive FNOMIN leaves as it is.
  const double T = 0.0 * fx;
  const double my = t.MyLoad * (T + atan(((1.0 - std::fabs(kappa)) * Vx) / c.LONGVL) * c.QSY1);

  TyreLongitudinal longitudinal;
  longitudinal.Fx = fx;
  longitudinal.My = my;
  longitudinal.nanProbe = (kappa * c.RBX2) + (c.RHX1 + alphaStar) * 0.0;
  return longitudinal;
}

namespace {

// One wheel from the axle's lateral part: the fast result, or Corvanta_FL when the fast
// result holds a NaN.
TyreOutputs wheelTyre(const TyreLoadTerms &t, const TyreLateral &lateral, double kappa, double alpha, double Vx) {
  const TyreLongitudinal longitudinal = tyreLongitudinalFast(t, kappa, lateral.alphaStar, Vx);
  TyreOutputs out{longitudinal.Fx, lateral.Fy, lateral.Mz, longitudinal.My};
  if (isNaN(out.Fx) || isNaN(out.Fy) || isNaN(out.Mz) || isNaN(out.My) || isNaN(lateral.nanProbe) ||
      isNaN(longitudinal.nanProbe)) {
    Corvanta::Corvanta_FL(*t.c, t.Fz, kappa, alpha, Vx, &out.Fx, &out.Fy, &out.Mz, &out.My);
  }
  return out;
}

}  // namespace

void evaluateAxleTyres(const TyreLoadTerms &t, double kappaLeft, double kappaRight, double alpha, double Vx,
                       TyreOutputs *left, TyreOutputs *right, TyreLateralMemo *memo) {
  if (!t.allFinite) {
    Corvanta::Corvanta_FL(*t.c, t.Fz, kappaLeft, alpha, Vx, &left->Fx, &left->Fy, &left->Mz, &left->My);
    Corvanta::Corvanta_FL(*t.c, t.Fz, kappaRight, alpha, Vx, &right->Fx, &right->Fy, &right->Mz, &right->My);
    return;
  }
  const TyreLateral lateral = tyreLateralFast(t, alpha, Vx, memo);
  *left = wheelTyre(t, lateral, kappaLeft, alpha, Vx);
  // The tyre is a pure function of its inputs: equal bits in, equal bits out.
  *right = (bitsOf(kappaRight) == bitsOf(kappaLeft)) ? *left : wheelTyre(t, lateral, kappaRight, alpha, Vx);
}
