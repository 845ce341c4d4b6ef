// The vehicle model: one instance of a rear-wheel-drive car with a five-speed automatic
// gearbox, advanced in fixed steps of 0.0001 s by a fourth-order Runge-Kutta integrator.
//
// The class holds every mutable value of an instance by value (nothing is allocated
// after construction) and evaluates the block diagram as straight-line code.  The
// record members are public so that tests can prepare a record and run one block on
// it.  Hosts reach the model through C interfaces only: the seven functions of
// capi/corvanta.h, or the vehicle library's vehicle/corvanta_vehicle.h (parameter sets,
// signals and state), which the FMUs and the runner's vehicle commands use.  Outside the
// model only capi/, vehicle/ and the tests, benchmarks and fuzzers include this header
// (tests/layout checks the hosts).
//
// model/README.md is the map: every block of an evaluation in order, the file it lives
// in and the record fields it reads and writes.
#ifndef CORVANTA_MODEL_CORVANTA_H
#define CORVANTA_MODEL_CORVANTA_H

#include "model/Parameters.h"
#include "model/Records.h"
#include "runtime/Lookup.h"
#include "model/tyres/GradeCache.h"
#include "runtime/VectorMath.h"

// Values local to one evaluation of the outputs, handed from block to block.
struct Evaluation {
  // Powertrain.
  double SpeedRatio;        // torque converter: turbine over pump speed
  double TorqueRatio;       // torque-converter torque multiplication
  double ThrottlePercent;   // 0 .. 100
  double BrakeFraction;     // 0 .. 1 after the second limit
  double GearRatio;         // gearbox ratio of the selected gear
  double DriveTorque;       // N·m on each rear wheel
  double BrakeTorque[4];    // N·m, FL, FR, RL, RR, signed against the motion
  double LaggedEngineTorque;  // N·m, the delayed torque after the 0.005 s lag
  // Wheel loads and tyres.
  double GravityDirection[3];  // world vertical in body axes
  double GravityForceY;        // N
  double GravityForceZ;        // N
  double FrontWheelLoad;       // N, each front tyre
  double RearWheelLoad;        // N, each rear tyre
  double FrontSteerAngle;      // rad, both front road wheels
  double SlipRatio[4];         // each wheel, as its tyre reads it
  double SlipAngle[4];         // rad, each wheel, as its tyre reads it
  double TyreFx[4];            // N, tyre axes
  double TyreFy[4];            // N, tyre axes
  double TyreMz[4];            // N·m aligning moment
  double TyreMy[4];            // N·m rolling-resistance moment
};

// The last interval of every table lookup of the model, per call site and dimension
// (see LookupHint): only where to start looking, never a value of the model.
struct LookupHints {
  LookupHint InvCapacityFactor;
  LookupHint TorqueRatio;
  LookupHint ThrottleMapSpeed;
  LookupHint ThrottleMapDemand;
  LookupHint BrakeMapSpeed;
  LookupHint BrakeMapDemand;
  LookupHint UpshiftMapThrottle;
  LookupHint UpshiftMapGear;
  LookupHint DownshiftMapThrottle;
  LookupHint DownshiftMapGear;
  LookupHint EngineMapThrottle;
  LookupHint EngineMapSpeed;
  LookupHint GearRatio;
};

class Corvanta {
 public:
  // An instance of the built-in car, or of a vehicle whose parameters outlive the instance.
  Corvanta();
  explicit Corvanta(const ModelParameters &parameters);
  ~Corvanta() = default;
  // The solver bookkeeping refers into the instance itself: an instance is not copied.
  Corvanta(const Corvanta &) = delete;
  Corvanta &operator=(const Corvanta &) = delete;

  // Public operations behind the C interface.
  void initialize();
  void step();
  static void terminate();
  void setExternalInputs(const ExtU_Corvanta_T *inputs);
  const ExtY_Corvanta_T *getExternalOutputs() const;
  RT_MODEL_Corvanta_T *getRTM();
  // True once initialize() has wired the solver; step() is meaningless before.
  bool isInitialized() const;

  // Recovery: initialize() starts from a fresh instance when a held value, a discrete
  // state or a continuous state is NaN or infinite.
  bool holdsNonFiniteState() const;
  void resetToFreshInstance();

  // Integrator and derivative function (Integration.cpp, Derivatives.cpp).
  void rt_ertODEUpdateContinuousStates(SolverInfo *si);
  void Corvanta_derivatives();

  // Numerical building blocks, named for the model; the routines live in runtime/.
  static void Corvanta_ScrivoFunction(double a, double b, const double *table, const double *columnAxis,
                                      const double *rowAxis, double *out, LookupHint *columnHint = nullptr,
                                      LookupHint *rowHint = nullptr);
  static double Corvanta_norm(const double w[3]) { return rt_Norm3(w); }
  // Gravity direction and static wheel loads for a road grade (the grade part of the
  // wheel-load block).
  static void Corvanta_gradeLoads(const ModelParameters &p, double roadGrade, GradeLoads *out);
  static void Corvanta_gradeLoads(double roadGrade, GradeLoads *out);  // the built-in car

  // Tyre force model (tyres/TyreModel.cpp) with the coefficients of one tyre; without
  // them, the built-in tyre.
  static void Corvanta_FL(const TyreParameters &c, double Fz, double kappa, double alpha, double Vx, double *Fx,
                          double *Fy, double *Mz, double *My);
  static void Corvanta_FL(double Fz, double kappa, double alpha, double Vx, double *Fx, double *Fy,
                          double *Mz, double *My);

  // One evaluation of all block outputs, after the head of step().
  void outputPhase();

  // Blocks of the output phase, in evaluation order; model/README.md says where each
  // lives and what it reads and writes.
  void limitEngineSpeed();
  void torqueConverter(Evaluation &e);
  void vehicleSpeed();
  void brakeMap(Evaluation &e);
  void throttleMap(Evaluation &e);
  void shiftLogic(const Evaluation &e);
  void driveline(Evaluation &e);
  void brakeTorques(Evaluation &e);
  void planarMotionStates();
  void wheelLoads(Evaluation &e);
  void frontSteerAngle(Evaluation &e) const;
  void wheelSlipAndTyres(Evaluation &e);
  void forceAssembly(const Evaluation &e);
  void bodyMotion();
  void globalVelocities();
  void turbineSpeed(const Evaluation &e);
  void headingOutput();
  void brakeActuatorInput(const Evaluation &e);
  void engineTorqueMap(const Evaluation &e);
  void positions();
  void speedAndPositionOutputs();
  void engineSpeedDot();
  void transportDelayRead();

  // State rates of the blocks with dynamics of their own, called by Corvanta_derivatives.
  double engineSpeedRate() const;
  double engineTorqueLagRate() const;
  void brakeActuatorRates(ContStateDerivs_Corvanta_T &d) const;
  void steeringActuatorRates(ContStateDerivs_Corvanta_T &d) const;

  // Update phase of a major step.
  void majorUpdate();
  void transportDelayWrite();

  const ModelParameters *P;      // the vehicle: read-only, shared, never null
  ExtU_Corvanta_T U;             // inputs
  ExtY_Corvanta_T Y;             // outputs
  Signals_Corvanta_T B;          // block signals
  DiscStates_Corvanta_T DW;      // discrete states
  ContStates_Corvanta_T X;       // continuous states
  RT_MODEL_Corvanta_T M;         // time base and solver bookkeeping
  GradeCache gradeCache;         // grade-only terms of the last RoadGrade evaluated
  LookupHints lookupHints;       // where each table lookup starts looking
  TyreLateralMemo lateralMemo[2];  // last lateral tyre curves of the front and the rear axle
  // Values local to an evaluation, kept after it (the last evaluation of a step is the
  // one behind the outputs) so that observers can read the tyre forces, loads and maps.
  Evaluation E;
};

#endif  // CORVANTA_MODEL_CORVANTA_H
