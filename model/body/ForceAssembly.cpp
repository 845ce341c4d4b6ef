// Force and moment assembly of the planar body (longitudinal, lateral, yaw) and the spin
// equations of the four wheels.
//
// Every contribution enters every sum with its weight for that sum, the zero weights
// included, so that a NaN or an infinity anywhere makes all three accelerations NaN.
// Each sum is one running sum: the normal-load group, the gravity term, the longitudinal
// tyre forces, the lateral tyre forces, the aligning moments, the y velocity-coupling
// force and finally the x velocity-coupling force.  Each four-wheel group is summed by
// itself, FL, FR, RL, RR, before it joins the running sum.
#include <cmath>

#include "model/Corvanta.h"
#include "model/VehicleConstants.h"

namespace {

double groupSum(const double value[4], const double weight[4]) {
  return ((value[kFL] * weight[kFL] + value[kFR] * weight[kFR]) + value[kRL] * weight[kRL]) +
         value[kRR] * weight[kRR];
}

}  // namespace

void Corvanta::forceAssembly(const Evaluation &e) {
  const ModelParameters &p = *P;
  const double cosSteer = std::cos(e.FrontSteerAngle);
  const double sinSteer = std::sin(e.FrontSteerAngle);
  const double vx = B.LongitudinalVelocity;
  const double vy = B.LateralVelocity;
  const double r = B.YawRate;

  // Velocity coupling: the body-axis velocity components turn with the yaw rate.
  const double inertialForceX = r * (vy * p.VehicleMass);
  const double inertialForceY = r * (vx * -p.VehicleMass);
  // The grade factor applies to the along-track gravity only.
  const double gravityForceX = (e.GravityDirection[0] * -p.VehicleWeight) * p.GradeForceFactor;

  // The normal loads act along body z: zero weight in all three sums.
  const double loads[4] = {e.FrontWheelLoad, e.FrontWheelLoad, e.RearWheelLoad, e.RearWheelLoad};
  const double zero[4] = {0.0, 0.0, 0.0, 0.0};
  const double one[4] = {1.0, 1.0, 1.0, 1.0};
  const double normalLoads = groupSum(loads, zero);

  // Longitudinal sum: the front tyre forces rotated by the steer angle.
  const double fxOfFx[4] = {cosSteer, cosSteer, 1.0, 1.0};
  const double fxOfFy[4] = {-sinSteer, -sinSteer, 0.0, 0.0};
  const double sumFx = (((((normalLoads + gravityForceX) + groupSum(e.TyreFx, fxOfFx)) + groupSum(e.TyreFy, fxOfFy)) +
                         groupSum(e.TyreMz, zero)) +
                        inertialForceY * 0.0) +
                       inertialForceX;

  // Lateral sum.
  const double fyOfFx[4] = {sinSteer, sinSteer, 0.0, 0.0};
  const double fyOfFy[4] = {cosSteer, cosSteer, 1.0, 1.0};
  const double sumFy = (((((normalLoads + e.GravityForceY) + groupSum(e.TyreFx, fyOfFx)) + groupSum(e.TyreFy, fyOfFy)) +
                         groupSum(e.TyreMz, zero)) +
                        inertialForceY) +
                       inertialForceX * 0.0;

  // Yaw moment about the centre of mass: x·FyB − y·FxB per contact point, plus the
  // aligning moments.  Gravity and the coupling forces act at the centre of mass.
  const double xf = p.FrontAxleDistance;
  const double yf = p.FrontHalfTrack;
  const double mzOfFx[4] = {xf * sinSteer - yf * cosSteer, xf * sinSteer + yf * cosSteer, -p.RearHalfTrack,
                            p.RearHalfTrack};
  const double mzOfFy[4] = {xf * cosSteer + yf * sinSteer, xf * cosSteer - yf * sinSteer, -p.RearAxleDistance,
                            -p.RearAxleDistance};
  const double gravityMoment = 0.0 * e.GravityForceY - 0.0 * gravityForceX;
  const double sumMz = (((((normalLoads + gravityMoment) + groupSum(e.TyreFx, mzOfFx)) + groupSum(e.TyreFy, mzOfFy)) +
                         groupSum(e.TyreMz, one)) +
                        inertialForceY * 0.0) +
                       inertialForceX * 0.0;

  // Rates of change of the body-axis velocities (the coupling terms included).
  B.LongitudinalAcceleration = sumFx / p.VehicleMass;
  B.LateralAcceleration = sumFy / p.VehicleMass;
  B.YawAcceleration = sumMz / p.YawInertia;

  // Wheel spin: brake (and, at the rear, drive) torque against the tyre's longitudinal
  // force at the wheel radius, plus the rolling-resistance moment.
  const double radius = p.WheelRadius;
  const double inertia = p.WheelInertia;
  B.WheelAccelerationFL = (e.TyreMy[kFL] + (e.BrakeTorque[kFL] - e.TyreFx[kFL] * radius)) / inertia;
  B.WheelAccelerationFR = (e.TyreMy[kFR] + (e.BrakeTorque[kFR] - e.TyreFx[kFR] * radius)) / inertia;
  B.WheelAccelerationRL = (e.TyreMy[kRL] + ((e.DriveTorque + e.BrakeTorque[kRL]) - e.TyreFx[kRL] * radius)) / inertia;
  B.WheelAccelerationRR = (e.TyreMy[kRR] + ((e.DriveTorque + e.BrakeTorque[kRR]) - e.TyreFx[kRR] * radius)) / inertia;
}
