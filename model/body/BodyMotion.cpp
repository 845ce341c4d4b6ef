// Body motion: global-frame acceleration, one-degree-of-freedom pitch and roll models of
// the sprung mass, the tip-over indicator and the output record.  Every field of the
// output record is written in this file.
#include <cmath>

#include "Corvanta.h"

namespace {

constexpr double kSprungMass = 1590.0;                 // kg
constexpr double kSprungMassHeight = 0.57;             // m above the pitch and roll axes
constexpr double kSprungMassMoment = 906.3;            // kg·m, 1590 × 0.57 as one value
constexpr double kPitchInertia = 894.4;                // kg·m²
constexpr double kRollInertia = 1300.0;                // kg·m²
constexpr double kSuspensionStiffness = 180624.26;     // N·m/rad, pitch and roll
constexpr double kSuspensionDamping = 6364.0;          // N·m·s/rad, pitch and roll
constexpr double kOverturningLever = 0.15000000000000002;  // m, constant part
constexpr double kRestoringLever = 0.7875;             // m at zero pitch
constexpr double kSprungWeight = 15582.000000000002;   // N, 1590 × 9.8 as one value

}  // namespace

void Corvanta::bodyMotion() {
  const double vx = B.LongitudinalVelocity;
  const double vy = B.LateralVelocity;
  const double r = B.YawRate;
  const double ax = B.LongitudinalAcceleration;
  const double ay = B.LateralAcceleration;

  // Exact time derivative of the body velocity rotated into the global frame,
  // (vx cos psi - vy sin psi, vx sin psi + vy cos psi).
  const double sinHeading = std::sin(X.Heading_State);
  const double cosHeading = std::cos(X.Heading_State);
  B.GlobalAccelerationX =
      ((cosHeading * ax - r * (vx * sinHeading)) - ay * sinHeading) - r * (vy * cosHeading);
  B.GlobalAccelerationY = (cosHeading * ay + ((vx * cosHeading) * r + ax * sinHeading)) - r * (vy * sinHeading);

  // Pitch: the longitudinal excitation drives the pitch angle negative (nose up when
  // accelerating).
  B.PitchRate = X.PitchRate_State;
  const double excitation = vy * r + ax;
  B.PitchAcceleration =
      -(kSuspensionStiffness * X.PitchAngle_State + (excitation * kSprungMassMoment + kSuspensionDamping * B.PitchRate)) /
      kPitchInertia;

  // Tip-over: overturning moment of the sprung mass's inertial force against the
  // restoring moment of its weight.  Zero and NaN margins give 0.
  const double margin = (kOverturningLever + kSprungMassHeight * std::cos(X.PitchAngle_State)) *
                            std::fabs(excitation * kSprungMass) -
                        (kRestoringLever - std::fabs(X.PitchAngle_State) * kSprungMassHeight) * kSprungWeight;
  if (margin > 0.0) {
    Y.TipOverIndicator = 1.0;
  } else if (margin < 0.0) {
    Y.TipOverIndicator = -1.0;
  } else {
    Y.TipOverIndicator = 0.0;
  }
  Y.PitchAngle = X.PitchAngle_State;

  // Roll: driven by the lateral acceleration alone.
  B.RollRate = X.RollRate_State;
  B.RollAcceleration = (((ay * kSprungMass) * kSprungMassHeight - kSuspensionDamping * B.RollRate) -
                        kSuspensionStiffness * X.RollAngle_State) /
                       kRollInertia;
  Y.RollAngle = X.RollAngle_State;
}

void Corvanta::headingOutput() { Y.Heading = X.Heading_State; }

void Corvanta::speedAndPositionOutputs() {
  Y.LongitudinalSpeed = B.LongitudinalVelocity;
  Y.PositionX = X.PositionX_State;
  Y.PositionY = X.PositionY_State;
}
