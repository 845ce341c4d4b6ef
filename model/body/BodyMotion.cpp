// Body motion: global-frame acceleration, one-degree-of-freedom pitch and roll models of
// the sprung mass, the tip-over indicator and the output record.  Every field of the
// output record is written in this file.
#include <cmath>

#include "model/Corvanta.h"

void Corvanta::bodyMotion() {
  const ModelParameters &p = *P;
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
      -(p.SuspensionAngularStiffness * X.PitchAngle_State +
        (excitation * p.SprungMassMoment + p.SuspensionAngularDamping * B.PitchRate)) /
      p.PitchInertia;

  // Tip-over: overturning moment of the sprung mass's inertial force against the
  // restoring moment of its weight.  Zero and NaN margins give 0.
  const double margin = (p.OverturningLeverOffset + p.SprungMassHeight * std::cos(X.PitchAngle_State)) *
                            std::fabs(excitation * p.SprungMass) -
                        (p.RestoringLever - std::fabs(X.PitchAngle_State) * p.SprungMassHeight) * p.SprungWeight;
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
  B.RollAcceleration = (((ay * p.SprungMass) * p.SprungMassHeight - p.SuspensionAngularDamping * B.RollRate) -
                        p.SuspensionAngularStiffness * X.RollAngle_State) /
                       p.RollInertia;
  Y.RollAngle = X.RollAngle_State;
}

void Corvanta::headingOutput() { Y.Heading = X.Heading_State; }

void Corvanta::speedAndPositionOutputs() {
  Y.LongitudinalSpeed = B.LongitudinalVelocity;
  Y.PositionX = X.PositionX_State;
  Y.PositionY = X.PositionY_State;
}
