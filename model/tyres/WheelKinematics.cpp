// Wheel kinematics, static wheel loads and slip: the grade tilts gravity into body axes,
// a virtual-work balance about each axle gives the tyre loads, and each wheel's slip
// ratio and slip angle feed its tyre.
#include <cmath>

#include "Corvanta.h"
#include "VectorMath.h"
#include "VehicleConstants.h"
#include "WheelKinematics.h"

namespace {

// Sum of the six component products of a wrench and a twist, accumulated from zero.
double virtualWork(const double wrench[6], const double twist[6]) {
  double sum = 0.0;
  for (int i = 0; i < 6; ++i) {
    sum += wrench[i] * twist[i];
  }
  return sum;
}

// Divides a twist by the length of its angular part.
void normaliseTwist(double twist[6]) {
  const double length = Corvanta::Corvanta_norm(&twist[3]);
  for (int i = 0; i < 6; ++i) {
    twist[i] /= length;
  }
}

}  // namespace

double slipRatio(double omega, double vx) {
  const double rimSpeed = kWheelRadius * omega;
  const double denominator = std::fmax(std::fabs(rimSpeed), std::fabs(vx));
  return (denominator == 0.0) ? 0.0 : (rimSpeed - vx) / denominator;
}

double kinematicSlipAngle(double vx, double lateralVelocityAtAxle) {
  return (vx == 0.0) ? 0.0 : std::atan(lateralVelocityAtAxle / vx);
}

void Corvanta::wheelLoads(Evaluation &e) {
  // World vertical in body axes: the inverse of the grade rotation about y, applied to
  // (0, 0, 1) as a full product so that a NaN anywhere in it propagates.
  const double cosGrade = std::cos(U.RoadGrade);
  const double sinGrade = std::sin(U.RoadGrade);
  double rotation[9] = {cosGrade, 0.0, -sinGrade, 0.0, 1.0, 0.0, sinGrade, 0.0, cosGrade};
  Corvanta_invert3(rotation, rotation);
  const int vertical[3] = {0, 0, 1};
  for (int row = 0; row < 3; ++row) {
    double component = 0.0;
    for (int column = 0; column < 3; ++column) {
      component += rotation[row + 3 * column] * static_cast<double>(vertical[column]);
    }
    e.GravityDirection[row] = component;
  }
  e.GravityForceY = -kVehicleWeight * e.GravityDirection[1];
  e.GravityForceZ = -kVehicleWeight * e.GravityDirection[2];

  // Static loads by virtual work: a rotation about the rear axle does no work with the
  // rear contact forces, so the front loads balance the weight's work alone; likewise
  // for the rear.  Unit contact wrenches carry the moment (y, -x, 0) about the centre of
  // mass; the axle twists rotate about lines through the axles parallel to y.
  const double fg = e.GravityForceZ;
  const double gravityWrench[6] = {0.0, 0.0, fg, 0.0 * fg, 0.0 - 0.0 * fg, 0.0};
  const double contactFL[6] = {0.0, 0.0, 1.0, kFrontHalfTrack, -kFrontAxleX, 0.0};
  const double contactFR[6] = {0.0, 0.0, 1.0, -kFrontHalfTrack, -kFrontAxleX, 0.0};
  const double contactRL[6] = {0.0, 0.0, 1.0, kRearHalfTrack, kRearAxleX, -0.0};
  const double contactRR[6] = {0.0, 0.0, 1.0, -kRearHalfTrack, kRearAxleX, -0.0};
  double frontAxleTwist[6] = {0.0, 0.0, 1.8544, 0.0, 1.6, 0.0};
  double rearAxleTwist[6] = {0.0, 0.0, -2.651856, 0.0, 1.616, 0.0};
  normaliseTwist(frontAxleTwist);
  normaliseTwist(rearAxleTwist);
  const double p0 = virtualWork(gravityWrench, rearAxleTwist);
  const double p1 = virtualWork(contactFL, rearAxleTwist);
  const double p2 = virtualWork(contactFR, rearAxleTwist);
  const double q0 = virtualWork(gravityWrench, frontAxleTwist);
  const double q1 = virtualWork(contactRL, frontAxleTwist);
  const double q2 = virtualWork(contactRR, frontAxleTwist);
  e.FrontWheelLoad = -p0 / (p2 + p1);
  e.RearWheelLoad = -q0 / (q2 + q1);
}

void Corvanta::wheelSlipAndTyres(Evaluation &e) {
  const double vx = B.LongitudinalVelocity;
  const double vy = B.LateralVelocity;
  const double r = B.YawRate;
  const double initialWheelSpeed = kInvWheelRadius * U.InitialSpeed;
  // Both wheels of an axle share the axle's kinematic slip angle.
  const double frontBeta = kinematicSlipAngle(vx, vy + r * kFrontAxleX);
  const double rearBeta = kinematicSlipAngle(vx, vy - kRearAxleX * r);

  struct Wheel {
    std::uint8_t *firstInit;
    double *state;
    double *signal;
  };
  const Wheel wheels[4] = {
      {&DW.WheelSpeedFL_FirstInit, &X.WheelSpeedFL_State, &B.WheelSpeedFL},
      {&DW.WheelSpeedFR_FirstInit, &X.WheelSpeedFR_State, &B.WheelSpeedFR},
      {&DW.WheelSpeedRL_FirstInit, &X.WheelSpeedRL_State, &B.WheelSpeedRL},
      {&DW.WheelSpeedRR_FirstInit, &X.WheelSpeedRR_State, &B.WheelSpeedRR},
  };
  for (int w = 0; w < 4; ++w) {
    if (*wheels[w].firstInit != 0U) {
      *wheels[w].state = initialWheelSpeed;
    }
    const double omega = *wheels[w].state;
    *wheels[w].signal = omega;

    const double kappa = slipRatio(omega, vx);
    // The front wheels steer; the slip angle is the road-wheel angle minus the angle of
    // the axle's velocity.
    const bool front = w < kRL;
    const double slipAngle = front ? e.FrontSteerAngle - frontBeta : 0.0 - rearBeta;
    const double load = front ? e.FrontWheelLoad : e.RearWheelLoad;
    Corvanta_FL(load, kappa, slipAngle, vx, &e.TyreFx[w], &e.TyreFy[w], &e.TyreMz[w], &e.TyreMy[w]);
  }
}
