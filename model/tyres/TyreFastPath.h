// Fast evaluation of the tyre force model (Corvanta::Corvanta_FL) with the same output
// bits, split into what depends on the vertical load only, the lateral part an axle's two
// wheels share, and the longitudinal part of each wheel.
//
// Corvanta_FL stays the definition.  The fast path differs from it only in these ways:
//   - load-only terms (the exp of the longitudinal stiffness, the atan/sin of the
//     cornering stiffness, the zero-weighted shifts) come precomputed from
//     TyreLoadTerms, built by the same expressions;
//   - two zero-weighted terms are not evaluated through the maths library:
//       cos(atan(alphaR·Br))·Dr in the aligning moment: Dr is always +0 or NaN and the
//       cosine of an arctangent lies in (0, 1], so the product is Dr itself;
//       the combined-slip weighting Gn/Gd of the rolling-resistance term: its stiffness
//       (RBX1·cos(atan(RBX2·kappa)))·0 is a signed zero, so both its arguments are signed
//       zeros and Gn = Gd = 1 whenever those zero-weighted arguments are finite.
//     The arguments of those skipped calls are still formed and returned as a NaN probe;
//   - the weighting term T = (0·fx)/4850 is formed as 0·fx: a signed zero or NaN divided
//     by 4850 is itself.
// Every operation of the formula propagates NaN into an output, so a result whose four
// outputs and probe are all free of NaN had no NaN anywhere inside, and then the skipped
// terms have exactly the values assumed.  Whenever an output or the probe is NaN, the
// caller recomputes that wheel with Corvanta_FL (evaluateAxleTyres does that).
#ifndef CORVANTA_MODEL_TYRES_TYREFASTPATH_H
#define CORVANTA_MODEL_TYRES_TYREFASTPATH_H

#include <cstdint>

#include "model/Parameters.h"

// Everything of the tyre formula that depends on the vertical load Fz alone, each value
// computed by the expression the formula uses.
struct TyreLoadTerms {
  const TyreParameters *c;  // the tyre's coefficients
  double Fz;          // N
  double DxLoad;      // PDX1 + dfz·PDX2, friction of Fx before the speed factor
  double Kxk;         // longitudinal slip stiffness (the exp term)
  double SHx;         // zero-weighted horizontal shift of Fx (a signed zero)
  double ExLoad;      // curvature of Fx before its sign factor
  double SVx;         // zero-weighted vertical shift of Fx (a signed zero)
  double SHy;         // horizontal shift of Fy (+0)
  double DyLoad;      // PDY1 + dfz·PDY2
  double Kya;         // cornering stiffness (the atan/sin term), negative
  double SVy;         // vertical shift of Fy (a signed zero)
  double EyLoad;      // curvature of Fy before its sign factor
  double AlphaTLoad;  // shift of the trail's slip angle
  double Bt;          // trail stiffness
  double BtE;         // QCZ1·Bt, the argument factor of the trail curvature
  double EtLoad;      // trail curvature before its atan factor
  double DtLoad;      // trail peak before the sign of Vx
  double DrLoad;      // (UNLOADED_RADIUS·Fz)·Cr of the residual moment (a signed zero)
  double AlphaRLoad;  // SVy/(Kya + 0.1) + SHy, shift of the residual's slip angle
  double Exa;         // curvature of the combined-slip weighting
  double MyLoad;      // UNLOADED_RADIUS·-Fz, lever of the rolling resistance
  bool allFinite;     // every term above and every coefficient is finite: the fast path may be used
};

// The load terms of the tyre `c` (which must outlive them); without it, the built-in tyre.
TyreLoadTerms tyreLoadTerms(const TyreParameters &c, double Fz);
TyreLoadTerms tyreLoadTerms(double Fz);

// Lateral force and aligning moment: they depend on the load, the slip angle and the
// forward speed only.
struct TyreLateral {
  double Fy;
  double Mz;
  double alphaStar;  // slip angle in the formula's convention, -alpha·sgn(Vx)
  double nanProbe;   // NaN when a skipped term of Mz would have been NaN
};

// The maths-library results of the lateral part: sin(PCY1·atan(...)) of the lateral
// force, cos(-alpha), and cos(QCZ1·atan(...)) of the pneumatic trail.
struct LateralCurves {
  double sinFy;
  double cosAlpha;
  double cosTrail;
};

// The lateral curves of one axle's last evaluation with the exact bits of all they depend
// on (load, alpha, alphaStar and the stiffness-scaled slip xy).  While the car runs
// straight the slip angles stay exactly zero and every evaluation asks for the same
// curves; a repeat costs four comparisons instead of eight maths calls.
class TyreLateralMemo {
 public:
  const LateralCurves &curves(const TyreLoadTerms &t, double alpha, double alphaStar, double xy);

 private:
  std::uint64_t key_[4] = {0, 0, 0, 0};
  bool filled_ = false;
  LateralCurves curves_{};
};

// memo may be nullptr (no memory between calls).
TyreLateral tyreLateralFast(const TyreLoadTerms &t, double alpha, double Vx, TyreLateralMemo *memo = nullptr);

// Longitudinal force and rolling-resistance moment of one wheel.
struct TyreLongitudinal {
  double Fx;
  double My;
  double nanProbe;  // NaN when a skipped term of My would have been NaN
};

TyreLongitudinal tyreLongitudinalFast(const TyreLoadTerms &t, double kappa, double alphaStar, double Vx);

// Outputs of one tyre, as Corvanta_FL returns them.
struct TyreOutputs {
  double Fx;
  double Fy;
  double Mz;
  double My;
};

// The two tyres of one axle (same load, slip angle and forward speed; each wheel its own
// slip ratio), bit for bit as two calls of Corvanta_FL: the lateral part once, the
// longitudinal part once per distinct slip ratio, and Corvanta_FL for a wheel whose fast
// result holds a NaN or whose load terms are not all finite.
void evaluateAxleTyres(const TyreLoadTerms &t, double kappaLeft, double kappaRight, double alpha, double Vx,
                       TyreOutputs *left, TyreOutputs *right, TyreLateralMemo *memo = nullptr);

#endif  // CORVANTA_MODEL_TYRES_TYREFASTPATH_H
