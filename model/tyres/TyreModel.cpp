// Steady-state Magic Formula tyre in pure-slip form: longitudinal force, lateral force,
// aligning moment and rolling-resistance moment of one tyre from its vertical load, slip
// ratio, slip angle and the body's forward speed, with the coefficients of one tyre (named
// and signed as in tyre property files).  The friction falls with speed through the
// factor 1 / (1 + Vx/LONGVL).
//
// Several coefficients of the full formula are zero here (shifts, the residual aligning
// moment, the combined-slip weighting of Fx).  Their terms are still evaluated and
// multiplied by zero, so that a NaN or an infinity reaching them yields NaN exactly as
// in the full formula.  Products and sums are grouped as written.
#include <cmath>

#include "model/Corvanta.h"
#include "runtime/NonFinite.h"

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
  Corvanta_FL(builtinModelParameters().tyre[kFrontAxle], Fz, kappa, alpha, Vx, Fx, Fy, Mz, My);
}

void Corvanta::Corvanta_FL(const TyreParameters &c, double Fz, double kappa, double alpha, double Vx, double *Fx,
                           double *Fy, double *Mz, double *My) {
  using std::atan;
  using std::cos;
  using std::exp;
  using std::sin;

  const double dfz = (Fz - c.FNOMIN) / c.FNOMIN;
  const double dfz2 = dfz * dfz;
  const double s = 1.0 + Vx / c.LONGVL;

  // Longitudinal force.
  const double Dx = ((c.PDX1 + dfz * c.PDX2) / s) * Fz;
  const double sKappa = sgn(kappa);
  const double Kxk = exp(dfz * c.PKX3) * ((c.PKX1 + dfz * c.PKX2) * Fz);
  const double Bx = Kxk / (Dx * c.PCX1 + 0.1);
  const double xk = (0.0 * (dfz * c.PHX2 + c.PHX1) + kappa) * Bx;
  const double Ex = ((dfz * c.PEX2 + c.PEX1) + c.PEX3 * dfz2) * (1.0 - sKappa * c.PEX4);
  const double fx = 0.0 * ((c.PVX2 * dfz + c.PVX1) * Fz) +
                    sin(c.PCX1 * atan(xk - Ex * (xk - atan(xk)))) * Dx;

  // Lateral force.  The model's slip angle is alpha* = -alpha · sgn(Vx).
  const double SHy = (1.0 + (dfz * c.PHY2 + c.PHY1) * 0.0) - 1.0;
  const double sV = sgn(Vx);
  const double alphaStar = (-alpha) * sV;
  const double alphaY = alphaStar + SHy;
  const double Dy = ((c.PDY1 + dfz * c.PDY2) / s) * Fz;
  // Cornering stiffness: negative, and By with it.
  const double Kya = sin(2.0 * atan(Fz / c.CorneringStiffnessLoad)) * c.CorneringStiffnessPeak;
  const double By = Kya / (Dy * c.PCY1 + 0.1);
  const double SVy = (0.0 * (c.PVY4 * dfz + c.PVY3) + (dfz * c.PVY2 + c.PVY1) * 0.0) * Fz;
  const double sy = sgn(alphaY);
  const double xy = alphaY * By;
  const double Ey = (c.PEY2 * dfz + c.PEY1) * (1.0 - sy * c.PEY3);
  const double fy = sin(c.PCY1 * atan(xy - Ey * (xy - atan(xy)))) * Dy + SVy;

  // Aligning moment: pneumatic trail times the lateral force, plus the (zero) residual.
  const double alphaT = ((c.QHZ1 + dfz * c.QHZ2) + (dfz * c.QHZ4 + c.QHZ3) * 0.0) + alphaStar;
  const double Bt = c.QBZ3 * dfz2 + (dfz * c.QBZ2 + c.QBZ1);
  const double cosAlpha = cos(-alpha);
  const double xt = Bt * alphaT;
  const double Et = (c.TrailCurvatureFactor * atan((c.QCZ1 * Bt) * alphaT) + 1.0) * (c.QEZ3 * dfz2 + (c.QEZ2 * dfz + c.QEZ1));
  const double Dt = ((c.TrailPeakFactor * Fz) * (dfz * c.QDZ2 + c.QDZ1)) * sV;
  const double Mzt = -((cos(c.QCZ1 * atan(xt - Et * (xt - atan(xt)))) * Dt) * cosAlpha) * fy;
  const double Cr = ((c.QDZ7 * dfz + c.QDZ6) * 0.0) * 0.0 + 0.0 * (c.QDZ9 * dfz + c.QDZ8);
  const double Dr = (1.0 + (((c.UNLOADED_RADIUS * Fz) * Cr) * cosAlpha) * sV) - 1.0;
  const double alphaR = ((SVy / (Kya + 0.1)) + SHy) + alphaStar;
  const double Br = c.PCY1 * (By * 0.0);
  const double mz = cos(atan(alphaR * Br)) * Dr + Mzt;

  // Slip-angle weighting of Fx: enters the rolling resistance with weight zero only.
  const double Exa = c.REX1 + dfz * c.REX2;
  const double Bxa = (c.RBX1 * cos(atan(kappa * c.RBX2))) * 0.0;
  const double xa = (c.RHX1 + alphaStar) * Bxa;
  const double Gn = cos(c.RCX1 * atan(xa - (xa - atan(xa)) * Exa));
  const double xa0 = c.RHX1 * Bxa;
  const double Gd = cos(c.RCX1 * atan(xa0 - (xa0 - atan(xa0)) * Exa));
  const double T = (0.0 * ((Gn / Gd) * fx)) / c.FNOMIN;

  // Rolling resistance: opposes rolling, vanishes at |kappa| = 1.
  const double my = (c.UNLOADED_RADIUS * -Fz) * (T + atan(((1.0 - std::fabs(kappa)) * Vx) / c.LONGVL) * c.QSY1);

  *Mz = mz;
  *My = my;
  *Fx = fx;
  *Fy = fy;
}
