// Lifecycle of an instance and the driver of one evaluation.
#include "model/Corvanta.h"

#include "model/VehicleConstants.h"

Corvanta::Corvanta() : Corvanta(builtinModelParameters()) {}

Corvanta::Corvanta(const ModelParameters &parameters) : P(&parameters), U(), Y(), B(), DW(), X(), M(), E() {}

void Corvanta::initialize() {
  // A poisoned instance restarts as a fresh one (time and tick count included), so that
  // the run that follows is the same as on a new instance.  Otherwise the held values,
  // the time and the delay's history are kept.
  if (holdsNonFiniteState()) {
    resetToFreshInstance();
  }

  // Wire the solver bookkeeping: the integrator reads and writes the model's own fields.
  M.solver.timeStepKindRef = &M.timeStepKind;
  M.solver.timeRef = &M.tPtr;
  M.solver.stepSizeRef = &M.stepSize;
  M.solver.derivativesRef = &M.derivativeBuffer;
  M.solver.statesRef = &M.stateVector;
  M.timeStepKind = kMajorTimeStep;
  M.workRefs.y = M.savedStates;
  for (int stage = 0; stage < 4; ++stage) {
    M.workRefs.f[stage] = M.stageDerivatives[stage];
  }
  M.stateVector = &X;
  M.tStart = 0.0;
  M.solver.integrationData = &M.workRefs;
  M.solver.solverName = "ode4";
  M.setTPtr(&M.modelTime);
  M.stepSize = kStepSize;
  M.setFirstInitCond(1U);

  // The transport delay restarts with one entry, 0.0 stamped with the current time.
  DW.TransportDelayStartTime = 0.0;
  DW.TransportDelayBufferSize = kTransportDelayEntries;
  DW.TransportDelayBufferRef = DW.TransportDelayBuffer;
  DW.TransportDelayBuffer[0] = 0.0;
  DW.TransportDelayBuffer[kTransportDelayEntries] = *M.getTPtr();

  X.EngineSpeed_State = P->EngineSpeedMin;

  // States whose initial value comes from the inputs start at zero; the first evaluation
  // loads them while their flags are raised.
  if (M.isFirstInitCond()) {
    X.LongitudinalVelocity_State = 0.0;
    X.Heading_State = 0.0;
    X.WheelSpeedFL_State = 0.0;
    X.WheelSpeedFR_State = 0.0;
    X.WheelSpeedRL_State = 0.0;
    X.WheelSpeedRR_State = 0.0;
    X.GlobalVelocityX_State = 0.0;
    X.GlobalVelocityY_State = 0.0;
    X.PositionX_State = 0.0;
    X.PositionY_State = 0.0;
  }
  DW.LongitudinalVelocity_FirstInit = 1U;
  DW.Heading_FirstInit = 1U;
  DW.WheelSpeedFL_FirstInit = 1U;
  DW.WheelSpeedFR_FirstInit = 1U;
  DW.WheelSpeedRL_FirstInit = 1U;
  DW.WheelSpeedRR_FirstInit = 1U;
  DW.GlobalVelocityX_FirstInit = 1U;
  DW.GlobalVelocityY_FirstInit = 1U;
  DW.PositionX_FirstInit = 1U;
  DW.PositionY_FirstInit = 1U;

  X.BrakeActuatorFL_State = 0.0;
  X.BrakeActuatorFR_State = 0.0;
  X.BrakeActuatorRL_State = 0.0;
  X.BrakeActuatorRR_State = 0.0;
  X.LateralVelocity_State = 0.0;
  X.YawRate_State = 0.0;
  X.SteeringActuator_State[0] = 0.0;
  X.SteeringActuator_State[1] = 0.0;
  X.PitchAngle_State = 0.0;
  X.PitchRate_State = 0.0;
  X.RollAngle_State = 0.0;
  X.RollRate_State = 0.0;
  X.EngineTorqueLag_State = 0.0;

  DW.TransportDelayTail = 0;
  DW.TransportDelayHead = 0;
  DW.TransportDelayLast = 0;
  DW.TransportDelayBuffer[0] = 0.0;
  DW.TransportDelayBuffer[kTransportDelayEntries] = *M.getTPtr();

  DW.GearState = 1.0;

  M.setFirstInitCond(0U);
}

void Corvanta::step() {
  const bool major = M.isMajorTimeStep();
  if (major) {
    // Time is a count of steps times the step size, never a running sum.
    M.solver.stopTime = static_cast<double>(M.ticks + 1U) * M.stepSize;
  }
  // In a minor step the model time is the solver's time: the same variable.

  limitEngineSpeed();

  outputPhase();

  if (major) {
    majorUpdate();
    rt_ertODEUpdateContinuousStates(&M.solver);
    ++M.ticks;
    M.modelTime = M.solver.stopTime;
  }
}

void Corvanta::outputPhase() {
  // Every block signal and output, in the order of the block diagram.
  Evaluation &e = E;
  torqueConverter(e);
  vehicleSpeed();
  brakeMap(e);
  throttleMap(e);
  shiftLogic(e);
  driveline(e);
  brakeTorques(e);
  planarMotionStates();
  wheelLoads(e);
  frontSteerAngle(e);
  wheelSlipAndTyres(e);
  forceAssembly(e);
  bodyMotion();
  globalVelocities();
  turbineSpeed(e);
  headingOutput();
  brakeActuatorInput(e);
  engineTorqueMap(e);
  positions();
  speedAndPositionOutputs();
  engineSpeedDot();
  transportDelayRead();
}

void Corvanta::majorUpdate() {
  DW.TurbineSpeedPrevState = B.TurbineSpeed;
  DW.GearPrevState = B.Gear;
  DW.LongitudinalVelocity_FirstInit = 0U;
  DW.Heading_FirstInit = 0U;
  DW.WheelSpeedFL_FirstInit = 0U;
  DW.WheelSpeedFR_FirstInit = 0U;
  DW.WheelSpeedRL_FirstInit = 0U;
  DW.WheelSpeedRR_FirstInit = 0U;
  DW.GlobalVelocityX_FirstInit = 0U;
  DW.GlobalVelocityY_FirstInit = 0U;
  DW.PositionX_FirstInit = 0U;
  DW.PositionY_FirstInit = 0U;
  DW.ImpellerTorquePrevState = B.ImpellerTorque;
  transportDelayWrite();
}

void Corvanta::terminate() {}

void Corvanta::setExternalInputs(const ExtU_Corvanta_T *inputs) { U = *inputs; }

const ExtY_Corvanta_T *Corvanta::getExternalOutputs() const { return &Y; }

RT_MODEL_Corvanta_T *Corvanta::getRTM() { return &M; }

bool Corvanta::isInitialized() const { return M.stateVector != nullptr; }
