// Steady-state Magic Formula tyre in pure-slip form: longitudinal force, lateral force,
// aligning moment and rolling-resistance moment of one tyre from its vertical load, slip
// ratio, slip angle and the body's forward speed.  Nominal load 4850 N; the friction
// falls with speed through the factor 1 / (1 + Vx/16.6).
//
// Several coefficients of the full formula are zero here (shifts, the residual aligning
// moment, the combined-slip weighting of Fx).  Their terms are still evaluated and
// multiplied by zero, so that a NaN or an infinity reaching them yields NaN exactly as
// in the full formula.  Products and sums are grouped as written.
#include <cmath>

#include "Corvanta.h"
#include "NonFinite.h"

namespace {

// Sign with NaN for NaN; both zeros give 0.
double sgn(double x) {
  if (rtIsNaN(x)) {
    return rtNaN;
  }
  if (x < 0.0) {
    return -1.0;
  }
  if (x > 0.0) {
    return 1.0;
  }
  return 0.0;
}

}  // namespace

void Corvanta::Corvanta_FL(double Fz, double kappa, double alpha, double Vx, double *Fx, double *Fy, double *Mz,
                           double *My) {
  using std::atan;
  using std::cos;
  using std::exp;
  using std::sin;

  const double dfz = (Fz - 4850.0) / 4850.0;
  const double dfz2 = dfz * dfz;
  const double s = 1.0 + Vx / 16.6;

  // Longitudinal force.
  const double Dx = ((1.1739 + dfz * -0.16395) / s) * Fz;
  const double sKappa = sgn(kappa);
  const double Kxk = exp(dfz * 0.21253) * ((22.303 + dfz * 0.48896) * Fz);
  const double Bx = Kxk / (Dx * 1.6411 + 0.1);
  const double xk = (0.0 * (dfz * 0.0004318 + 0.0012297) + kappa) * Bx;
  const double Ex = ((dfz * 0.25022 + 0.46403) + 0.067842 * dfz2) * (1.0 + sKappa * 3.7604e-05);
  const double fx = 0.0 * ((1.8619999999999998e-05 * dfz - 8.809799999999998e-06) * Fz) +
                    sin(1.6411 * atan(xk - Ex * (xk - atan(xk)))) * Dx;

  // Lateral force.  The model's slip angle is alpha* = -alpha · sgn(Vx).
  const double SHy = (1.0 + (dfz * 8.909399999999998e-05 + 0.0026747) * 0.0) - 1.0;
  const double sV = sgn(Vx);
  const double alphaStar = (-alpha) * sV;
  const double alphaY = alphaStar + SHy;
  const double Dy = ((1.0489 + dfz * -0.18033) / s) * Fz;
  // Cornering stiffness: negative, and By with it.
  const double Kya = sin(2.0 * atan(Fz / 9705.82)) * -106312.00000000001;
  const double By = Kya / (Dy * 1.3507 + 0.1);
  const double SVy = (0.0 * (-0.69553 * dfz - 0.32931) + (dfz * -0.010049 + 0.037318) * 0.0) * Fz;
  const double sy = sgn(alphaY);
  const double xy = alphaY * By;
  const double Ey = (-0.0063208 * dfz - 0.0074722) * (1.0 + sy * 9.9935);
  const double fy = sin(1.3507 * atan(xy - Ey * (xy - atan(xy)))) * Dy + SVy;

  // Aligning moment: pneumatic trail times the lateral force, plus the (zero) residual.
  const double alphaT = ((0.0047326 + dfz * 0.0026687) + (dfz * 0.059083 + 0.11998) * 0.0) + alphaStar;
  const double Bt = -0.52041 * dfz2 + (dfz * -1.8412 + 10.904);
  const double cosAlpha = cos(-alpha);
  const double xt = Bt * alphaT;
  const double Et = (0.17004750739710467 * atan((1.2136 * Bt) * alphaT) + 1.0) * (0.0 * dfz2 + (0.33394 * dfz - 1.5697));
  const double Dt = ((7.092783505154639e-05 * Fz) * (dfz * -0.0092183 + 0.093509)) * sV;
  const double Mzt = -((cos(1.2136 * atan(xt - Et * (xt - atan(xt)))) * Dt) * cosAlpha) * fy;
  const double Cr = ((0.029952 * dfz - 0.18175) * 0.0) * 0.0 + 0.0 * (0.0052254 * dfz - 0.0067783);
  const double Dr = (1.0 + (((0.344 * Fz) * Cr) * cosAlpha) * sV) - 1.0;
  const double alphaR = ((SVy / (Kya + 0.1)) + SHy) + alphaStar;
  const double Br = 1.3507 * (By * 0.0);
  const double mz = cos(atan(alphaR * Br)) * Dr + Mzt;

  // Slip-angle weighting of Fx: enters the rolling resistance with weight zero only.
  const double Exa = 0.65225 + dfz * -0.24948;
  const double Bxa = (13.276 * cos(atan(kappa * -13.778))) * 0.0;
  const double xa = (0.0050722 + alphaStar) * Bxa;
  const double Gn = cos(1.2568 * atan(xa - (xa - atan(xa)) * Exa));
  const double xa0 = 0.0050722 * Bxa;
  const double Gd = cos(1.2568 * atan(xa0 - (xa0 - atan(xa0)) * Exa));
  const double T = (0.0 * ((Gn / Gd) * fx)) / 4850.0;

  // Rolling resistance: opposes rolling, vanishes at |kappa| = 1.
  const double my = (0.344 * -Fz) * (T + atan(((1.0 - std::fabs(kappa)) * Vx) / 16.6) * 0.1);

  *Mz = mz;
  *My = my;
  *Fx = fx;
  *Fy = fy;
}
