// The parameters the blocks read, made from the one list (ParameterList.def): the values
// of a vehicle and what is derived from them once, when a parameter set is made, in
// double precision (the rear axle position, the weights, the reciprocal wheel radius,
// the actuator rates, the tyre's products of two coefficients).
//
// An instance reads one ModelParameters through a pointer for its whole life; the record
// never changes while instances use it.  builtinModelParameters() is today's car over the
// linked table block.
#ifndef CORVANTA_MODEL_PARAMETERS_H
#define CORVANTA_MODEL_PARAMETERS_H

#include "model/data/ConstantBlocks.h"

// The built-in value of every scalar and tyre coefficient, as compile-time constants.
namespace builtin {
#define CORVANTA_SCALAR(Name, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Meaning) \
  constexpr double Name = Builtin;
#define CORVANTA_TYRE(Name, Section, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Dormant, Meaning) \
  constexpr double Name = Builtin;
#include "model/ParameterList.def"
}  // namespace builtin

// The scalar parameters of the body, the actuators and the powertrain.
struct ScalarParameters {
#define CORVANTA_SCALAR(Name, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Meaning) double Name = Builtin;
#include "model/ParameterList.def"
};

// The Magic-Formula coefficients of one tyre.
struct TyreCoefficients {
#define CORVANTA_TYRE(Name, Section, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Dormant, Meaning) \
  double Name = Builtin;
#include "model/ParameterList.def"
};

// One tyre's coefficients and the products the formula uses as single values.
struct TyreParameters : TyreCoefficients {
  double CorneringStiffnessPeak;  // N, PKY1 × FNOMIN
  double CorneringStiffnessLoad;  // N, PKY2 × FNOMIN
  double TrailPeakFactor;         // m/N, UNLOADED_RADIUS / FNOMIN
  double TrailCurvatureFactor;    // QEZ4 × 2 / pi
  // Every coefficient and product above is finite (always so for a valid set); the fast
  // tyre path relies on it (tyres/TyreFastPath.h).
  bool coefficientsFinite;
};

// Axles of the per-axle tyre sets.
constexpr int kFrontAxle = 0;
constexpr int kRearAxle = 1;

struct ModelParameters : ScalarParameters {
  // Geometry.
  double RearAxleDistance;   // m behind the centre of mass, Wheelbase - FrontAxleDistance
  double FrontAxleTwistZ;    // FrontAxleDistance × (2 × FrontHalfTrack), the front axle twist before normalising
  double FrontTrack;         // 2 × FrontHalfTrack
  double RearAxleTwistZ;     // -(RearAxleDistance × (2 × RearHalfTrack))
  double RearTrack;          // 2 × RearHalfTrack
  double InvWheelRadius;     // 1 / WheelRadius, initial wheel speeds
  // Masses.
  double VehicleWeight;      // N, VehicleMass × Gravity
  double SprungMassMoment;   // kg·m, SprungMass × SprungMassHeight
  double SprungWeight;       // N, SprungMass × Gravity
  // Actuators and engine.
  double SteerOmegaSquared;  // 1/s², SteeringNaturalFrequency²: stiffness and angle gain
  double SteerTwoZetaOmega;  // 1/s, (2 × SteeringDampingRatio) × SteeringNaturalFrequency
  double BrakeLagRate;       // 1/s, 1 / BrakeTimeConstant
  double BrakeInputDivisor;  // pi/4 × (BrakeCylinderDiameter × BrakeCylinderDiameter)
  double EngineInertiaInv;   // 1 / EngineInertia
  double EngineTorqueLagGain;  // 1/s, 1 / EngineTorqueLagTimeConstant
  // Tyres of the front and the rear axle.
  TyreParameters tyre[2];
  // The powertrain tables; never null.
  const ConstP_Corvanta_T *tables;
};

// The tyre's derived products from its coefficients.
TyreParameters deriveTyreParameters(const TyreCoefficients &coefficients);

// Every derived value from the scalars and the two tyres; `tables` must outlive the result.
ModelParameters deriveModelParameters(const ScalarParameters &scalars, const TyreCoefficients &frontTyre,
                                      const TyreCoefficients &rearTyre, const ConstP_Corvanta_T *tables);

// Today's car: the built-in values over Corvanta_ConstP, made once.
const ModelParameters &builtinModelParameters();

#endif  // CORVANTA_MODEL_PARAMETERS_H
