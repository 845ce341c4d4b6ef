// Fast evaluation of the tyre force model with the output bits of Corvanta_FL; see
// TyreFastPath.h for why each skipped term has exactly the value used here.  Products
// and sums are grouped as in Corvanta_FL.
#include "TyreFastPath.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "Corvanta.h"

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

TyreLoadTerms tyreLoadTerms(double Fz) {
  using std::atan;
  using std::exp;
  using std::sin;

  TyreLoadTerms t{};
  const double dfz = (Fz - 4850.0) / 4850.0;
  const double dfz2 = dfz * dfz;
  t.Fz = Fz;
  t.DxLoad = 1.1739 + dfz * -0.16395;
  t.Kxk = exp(dfz * 0.21253) * ((22.303 + dfz * 0.48896) * Fz);
  t.SHx = 0.0 * (dfz * 0.0004318 + 0.0012297);
  t.ExLoad = (dfz * 0.25022 + 0.46403) + 0.067842 * dfz2;
  t.SVx = 0.0 * ((1.8619999999999998e-05 * dfz - 8.809799999999998e-06) * Fz);
  t.SHy = (1.0 + (dfz * 8.909399999999998e-05 + 0.0026747) * 0.0) - 1.0;
  t.DyLoad = 1.0489 + dfz * -0.18033;
  t.Kya = sin(2.0 * atan(Fz / 9705.82)) * -106312.00000000001;
  t.SVy = (0.0 * (-0.69553 * dfz - 0.32931) + (dfz * -0.010049 + 0.037318) * 0.0) * Fz;
  t.EyLoad = -0.0063208 * dfz - 0.0074722;
  t.AlphaTLoad = (0.0047326 + dfz * 0.0026687) + (dfz * 0.059083 + 0.11998) * 0.0;
  t.Bt = -0.52041 * dfz2 + (dfz * -1.8412 + 10.904);
  t.BtE = 1.2136 * t.Bt;
  t.EtLoad = 0.0 * dfz2 + (0.33394 * dfz - 1.5697);
  t.DtLoad = (7.092783505154639e-05 * Fz) * (dfz * -0.0092183 + 0.093509);
  const double Cr = ((0.029952 * dfz - 0.18175) * 0.0) * 0.0 + 0.0 * (0.0052254 * dfz - 0.0067783);
  t.DrLoad = (0.344 * Fz) * Cr;
  t.AlphaRLoad = (t.SVy / (t.Kya + 0.1)) + t.SHy;
  t.Exa = 0.65225 + dfz * -0.24948;
  t.MyLoad = 0.344 * -Fz;

  const double terms[] = {t.Fz,     t.DxLoad, t.Kxk,        t.SHx, t.ExLoad, t.SVx,    t.SHy,
                          t.DyLoad, t.Kya,    t.SVy,        t.EyLoad, t.AlphaTLoad, t.Bt, t.BtE,
                          t.EtLoad, t.DtLoad, t.DrLoad,     t.AlphaRLoad, t.Exa, t.MyLoad, dfz2};
  t.allFinite = true;
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

  const double alphaY = alphaStar + t.SHy;
  const double sy = sgn(alphaY);
  const double Ey = t.EyLoad * (1.0 + sy * 9.9935);
  const double alphaT = t.AlphaTLoad + alphaStar;
  const double xt = t.Bt * alphaT;
  const double Et = (0.17004750739710467 * atan(t.BtE * alphaT) + 1.0) * t.EtLoad;

  LateralCurves curves;
  curves.sinFy = sin(1.3507 * atan(xy - Ey * (xy - atan(xy))));
  curves.cosAlpha = cos(-alpha);
  curves.cosTrail = cos(1.2136 * atan(xt - Et * (xt - atan(xt))));
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
  const double s = 1.0 + Vx / 16.6;
  const double sV = sgn(Vx);
  const double alphaStar = (-alpha) * sV;

  // Lateral force.
  const double alphaY = alphaStar + t.SHy;
  const double Dy = (t.DyLoad / s) * t.Fz;
  const double By = t.Kya / (Dy * 1.3507 + 0.1);
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
  const double Br = 1.3507 * (By * 0.0);

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

  const double s = 1.0 + Vx / 16.6;
  const double Dx = (t.DxLoad / s) * t.Fz;
  const double sKappa = sgn(kappa);
  const double Bx = t.Kxk / (Dx * 1.6411 + 0.1);
  const double xk = (t.SHx + kappa) * Bx;
  const double Ex = t.ExLoad * (1.0 + sKappa * 3.7604e-05);
  const double fx = t.SVx + sin(1.6411 * atan(xk - Ex * (xk - atan(xk)))) * Dx;

  // Combined-slip weighting Gn/Gd: its stiffness Bxa = (13.276·cos(atan(-13.778·kappa)))·0
  // is +0 for a non-NaN kappa; then both arguments of the weighting are signed zeros
  // when alphaStar and Exa are finite, and Gn = Gd = cos(±0) = 1.  T is then
  // (0·fx)/4850: a signed zero or NaN, which the division by 4850 leaves as it is.
  const double T = 0.0 * fx;
  const double my = t.MyLoad * (T + atan(((1.0 - std::fabs(kappa)) * Vx) / 16.6) * 0.1);

  TyreLongitudinal longitudinal;
  longitudinal.Fx = fx;
  longitudinal.My = my;
  longitudinal.nanProbe = (kappa * -13.778) + (0.0050722 + alphaStar) * 0.0;
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
    Corvanta::Corvanta_FL(t.Fz, kappa, alpha, Vx, &out.Fx, &out.Fy, &out.Mz, &out.My);
  }
  return out;
}

}  // namespace

void evaluateAxleTyres(const TyreLoadTerms &t, double kappaLeft, double kappaRight, double alpha, double Vx,
                       TyreOutputs *left, TyreOutputs *right, TyreLateralMemo *memo) {
  if (!t.allFinite) {
    Corvanta::Corvanta_FL(t.Fz, kappaLeft, alpha, Vx, &left->Fx, &left->Fy, &left->Mz, &left->My);
    Corvanta::Corvanta_FL(t.Fz, kappaRight, alpha, Vx, &right->Fx, &right->Fy, &right->Mz, &right->My);
    return;
  }
  const TyreLateral lateral = tyreLateralFast(t, alpha, Vx, memo);
  *left = wheelTyre(t, lateral, kappaLeft, alpha, Vx);
  // The tyre is a pure function of its inputs: equal bits in, equal bits out.
  *right = (bitsOf(kappaRight) == bitsOf(kappaLeft)) ? *left : wheelTyre(t, lateral, kappaRight, alpha, Vx);
}
