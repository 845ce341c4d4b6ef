// Per-wheel slip quantities shared by the wheel block and its tests.
#ifndef CORVANTA_MODEL_TYRES_WHEELKINEMATICS_H
#define CORVANTA_MODEL_TYRES_WHEELKINEMATICS_H

// Longitudinal slip ratio (R·omega − vx) / max(|R·omega|, |vx|), R the wheel radius: −1 for a locked
// wheel moving forward, +1 for a spinning wheel at standstill, 0 when both speeds are
// zero.  fmax ignores a NaN argument when the other is a number; a NaN denominator takes
// the division.
double slipRatio(double wheelRadius, double omega, double vx);
// The same with the built-in wheel radius.
double slipRatio(double omega, double vx);

// Angle of the axle's velocity against the body x axis, atan(lateral velocity at the axle
// / vx); 0 at standstill (vx exactly 0).  A NaN vx takes the atan.
double kinematicSlipAngle(double vx, double lateralVelocityAtAxle);

#endif  // CORVANTA_MODEL_TYRES_WHEELKINEMATICS_H
