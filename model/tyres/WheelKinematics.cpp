// Wheel kinematics, static wheel loads and slip: the grade tilts gravity into body axes,
// a virtual-work balance about each axle gives the tyre loads, and each wheel's slip
// ratio and slip angle feed its tyre.
#include <cmath>

#include "model/Corvanta.h"
#include "runtime/VectorMath.h"
#include "model/VehicleConstants.h"
#include "model/tyres/WheelKinematics.h"
#include "model/tyres/GradeCache.h"
#include "model/tyres/TyreFastPath.h"

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

// fmax of two magnitudes, without a call into the maths library: the larger one, or the
// one that is a number when the other is NaN.  Neither operand is -0.0, so the choice
// between equal zeros cannot show.
inline double maxOfMagnitudes(double a, double b) {
  if (a != a) {
    return b;
  }
  return (b != b || a >= b) ? a : b;
}

}  // namespace

double slipRatio(double wheelRadius, double omega, double vx) {
  const double rimSpeed = wheelRadius * omega;
  const double denominator = maxOfMagnitudes(std::fabs(rimSpeed), std::fabs(vx));
  return (denominator == 0.0) ? 0.0 : (rimSpeed - vx) / denominator;
}

double slipRatio(double omega, double vx) { return slipRatio(builtin::WheelRadius, omega, vx); }

double kinematicSlipAngle(double vx, double lateralVelocityAtAxle) {
  return (vx == 0.0) ? 0.0 : std::atan(lateralVelocityAtAxle / vx);
}

void Corvanta::wheelLoads(Evaluation &e) {
  // The gravity direction and the loads depend on the grade only: computed by
  // Corvanta_gradeLoads when the grade changes, taken from the cache otherwise.
  const GradeLoads &loads = gradeCache.at(*P, U.RoadGrade).loads;
  for (int row = 0; row < 3; ++row) {
    e.GravityDirection[row] = loads.GravityDirection[row];
  }
  e.GravityForceY = loads.GravityForceY;
  e.GravityForceZ = loads.GravityForceZ;
  e.FrontWheelLoad = loads.FrontWheelLoad;
  e.RearWheelLoad = loads.RearWheelLoad;
}

void Corvanta::Corvanta_gradeLoads(double roadGrade, GradeLoads *out) {
  Corvanta_gradeLoads(builtinModelParameters(), roadGrade, out);
}

void Corvanta::Corvanta_gradeLoads(const ModelParameters &p, double roadGrade, GradeLoads *out) {
  // World vertical in body axes: the inverse of the grade rotation about y, applied to
  // (0, 0, 1) as a full product so that a NaN anywhere in it propagates.
  const double cosGrade = std::cos(roadGrade);
  const double sinGrade = std::sin(roadGrade);
  double rotation[9] = {cosGrade, 0.0, -sinGrade, 0.0, 1.0, 0.0, sinGrade, 0.0, cosGrade};
  Corvanta_invert3(rotation, rotation);
  const int vertical[3] = {0, 0, 1};
  for (int row = 0; row < 3; ++row) {
    double component = 0.0;
    for (int column = 0; column < 3; ++column) {
      component += rotation[row + 3 * column] * static_cast<double>(vertical[column]);
    }
    out->GravityDirection[row] = component;
  }
  out->GravityForceY = -p.VehicleWeight * out->GravityDirection[1];
  out->GravityForceZ = -p.VehicleWeight * out->GravityDirection[2];

  // Static loads by virtual work: a rotation about the rear axle does no work with the
  // rear contact forces, so the front loads balance the weight's work alone; likewise
  // for the rear.  Unit contact wrenches carry the moment (y, -x, 0) about the centre of
  // mass; the axle twists rotate about lines through the axles parallel to y.
  const double fg = out->GravityForceZ;
  const double gravityWrench[6] = {0.0, 0.0, fg, 0.0 * fg, 0.0 - 0.0 * fg, 0.0};
  const double contactFL[6] = {0.0, 0.0, 1.0, p.FrontHalfTrack, -p.FrontAxleDistance, 0.0};
  const double contactFR[6] = {0.0, 0.0, 1.0, -p.FrontHalfTrack, -p.FrontAxleDistance, 0.0};
  const double contactRL[6] = {0.0, 0.0, 1.0, p.RearHalfTrack, p.RearAxleDistance, -0.0};
  const double contactRR[6] = {0.0, 0.0, 1.0, -p.RearHalfTrack, p.RearAxleDistance, -0.0};
  // Rotations about lines through the axles parallel to y: angular part (0, track, 0),
  // linear part (axle x, 0, 0) × the angular part.
  double frontAxleTwist[6] = {0.0, 0.0, p.FrontAxleTwistZ, 0.0, p.FrontTrack, 0.0};
  double rearAxleTwist[6] = {0.0, 0.0, p.RearAxleTwistZ, 0.0, p.RearTrack, 0.0};
  normaliseTwist(frontAxleTwist);
  normaliseTwist(rearAxleTwist);
  const double p0 = virtualWork(gravityWrench, rearAxleTwist);
  const double p1 = virtualWork(contactFL, rearAxleTwist);
  const double p2 = virtualWork(contactFR, rearAxleTwist);
  const double q0 = virtualWork(gravityWrench, frontAxleTwist);
  const double q1 = virtualWork(contactRL, frontAxleTwist);
  const double q2 = virtualWork(contactRR, frontAxleTwist);
  out->FrontWheelLoad = -p0 / (p2 + p1);
  out->RearWheelLoad = -q0 / (q2 + q1);
}

void Corvanta::wheelSlipAndTyres(Evaluation &e) {
  const double vx = B.LongitudinalVelocity;
  const double vy = B.LateralVelocity;
  const double r = B.YawRate;
  const double initialWheelSpeed = P->InvWheelRadius * U.InitialSpeed;
  // Both wheels of an axle share the axle's kinematic slip angle.
  const double frontBeta = kinematicSlipAngle(vx, vy + r * P->FrontAxleDistance);
  const double rearBeta = kinematicSlipAngle(vx, vy - P->RearAxleDistance * r);

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
  double kappa[4];
  for (int w = 0; w < 4; ++w) {
    if (*wheels[w].firstInit != 0U) {
      *wheels[w].state = initialWheelSpeed;
    }
    const double omega = *wheels[w].state;
    *wheels[w].signal = omega;
    kappa[w] = slipRatio(P->WheelRadius, omega, vx);
  }

  // The front wheels steer; the slip angle is the road-wheel angle minus the angle of the
  // axle's velocity.  Both tyres of an axle share load, slip angle and forward speed.
  const GradeTerms &grade = gradeCache.at(*P, U.RoadGrade);
  const double frontAlpha = e.FrontSteerAngle - frontBeta;
  const double rearAlpha = 0.0 - rearBeta;
  TyreOutputs tyre[4];
  evaluateAxleTyres(grade.frontTyre, kappa[kFL], kappa[kFR], frontAlpha, vx, &tyre[kFL], &tyre[kFR], &lateralMemo[0]);
  evaluateAxleTyres(grade.rearTyre, kappa[kRL], kappa[kRR], rearAlpha, vx, &tyre[kRL], &tyre[kRR], &lateralMemo[1]);
  e.SlipAngle[kFL] = frontAlpha;
  e.SlipAngle[kFR] = frontAlpha;
  e.SlipAngle[kRL] = rearAlpha;
  e.SlipAngle[kRR] = rearAlpha;
  for (int w = 0; w < 4; ++w) {
    e.SlipRatio[w] = kappa[w];
    e.TyreFx[w] = tyre[w].Fx;
    e.TyreFy[w] = tyre[w].Fy;
    e.TyreMz[w] = tyre[w].Mz;
    e.TyreMy[w] = tyre[w].My;
  }
}
