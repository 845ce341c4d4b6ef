// Derived parameters, each computed once in double precision from the values it is made
// of, in the order written here.
#include "model/Parameters.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

}  // namespace

TyreParameters deriveTyreParameters(const TyreCoefficients &coefficients) {
  TyreParameters t{};
  static_cast<TyreCoefficients &>(t) = coefficients;
  t.CorneringStiffnessPeak = t.PKY1 * t.FNOMIN;
  t.CorneringStiffnessLoad = t.PKY2 * t.FNOMIN;
  t.TrailPeakFactor = t.UNLOADED_RADIUS / t.FNOMIN;
  t.TrailCurvatureFactor = (t.QEZ4 * 2.0) / kPi;
  const double values[] = {
#define CORVANTA_TYRE(Name, Section, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Dormant, Meaning) t.Name,
#include "model/ParameterList.def"
      t.CorneringStiffnessPeak, t.CorneringStiffnessLoad, t.TrailPeakFactor, t.TrailCurvatureFactor};
  t.coefficientsFinite = true;
  for (double value : values) {
    t.coefficientsFinite = t.coefficientsFinite && std::isfinite(value);
  }
  return t;
}

ModelParameters deriveModelParameters(const ScalarParameters &scalars, const TyreCoefficients &frontTyre,
                                      const TyreCoefficients &rearTyre, const ConstP_Corvanta_T *tables) {
  ModelParameters p{};
  static_cast<ScalarParameters &>(p) = scalars;
  p.RearAxleDistance = p.Wheelbase - p.FrontAxleDistance;
  p.FrontTrack = 2.0 * p.FrontHalfTrack;
  p.RearTrack = 2.0 * p.RearHalfTrack;
  p.FrontAxleTwistZ = p.FrontAxleDistance * p.FrontTrack;
  p.RearAxleTwistZ = -(p.RearAxleDistance * p.RearTrack);
  p.InvWheelRadius = 1.0 / p.WheelRadius;
  p.VehicleWeight = p.VehicleMass * p.Gravity;
  p.SprungMassMoment = p.SprungMass * p.SprungMassHeight;
  p.SprungWeight = p.SprungMass * p.Gravity;
  p.SteerOmegaSquared = p.SteeringNaturalFrequency * p.SteeringNaturalFrequency;
  p.SteerTwoZetaOmega = (2.0 * p.SteeringDampingRatio) * p.SteeringNaturalFrequency;
  p.BrakeLagRate = 1.0 / p.BrakeTimeConstant;
  p.BrakeInputDivisor = (kPi / 4.0) * (p.BrakeCylinderDiameter * p.BrakeCylinderDiameter);
  p.EngineInertiaInv = 1.0 / p.EngineInertia;
  p.EngineTorqueLagGain = 1.0 / p.EngineTorqueLagTimeConstant;
  p.tyre[kFrontAxle] = deriveTyreParameters(frontTyre);
  p.tyre[kRearAxle] = deriveTyreParameters(rearTyre);
  p.tables = tables;
  return p;
}

const ModelParameters &builtinModelParameters() {
  static const ModelParameters builtinCar =
      deriveModelParameters(ScalarParameters{}, TyreCoefficients{}, TyreCoefficients{}, &Corvanta_ConstP);
  return builtinCar;
}
