// Records of one model instance: block signals, discrete states, continuous states and
// the real-time model record with the solver bookkeeping.  The input and output records
// are the ones hosts see, defined in the public header.
#ifndef CORVANTA_MODEL_RECORDS_H
#define CORVANTA_MODEL_RECORDS_H

#include <cstdint>

#include "runtime/Ode4.h"
#include "capi/corvanta.h"

// Block signals computed afresh in every evaluation.  Those named ...Prev and Gear are
// copied from their discrete states in major steps only and hold through the three
// minor evaluations of the integrator.
struct Signals_Corvanta_T {
  double TurbineSpeedPrev;          // rad/s, held turbine speed of the previous major step
  double ImpellerTorque;            // N·m, torque-converter pump torque
  double LongitudinalVelocity;      // m/s, body forward speed after its first-init load
  double GearPrev;                  // gear of the previous major step
  double LateralVelocity;           // m/s
  double YawRate;                   // rad/s
  double WheelSpeedFL;              // rad/s
  double WheelSpeedFR;              // rad/s
  double WheelSpeedRL;              // rad/s
  double WheelSpeedRR;              // rad/s
  double PitchRate;                 // rad/s
  double GlobalVelocityX;           // m/s
  double GlobalVelocityY;           // m/s
  double RollRate;                  // rad/s
  double TurbineSpeed;              // rad/s, from the rear wheel speeds through the gearbox
  double BrakeActuatorInput;        // common input of the four brake actuator lags
  double ImpellerTorquePrev;        // N·m, held pump torque of the previous major step
  double EngineSpeedDot;            // rad/s², engine acceleration before the limit gating
  double EngineTorqueDelayed;       // N·m, engine torque 0.005 s ago
  double Gear;                      // gear engaged in drive, 1 to 5
  double EngineTorque;              // N·m, engine map output, NaN outside the map
  double RollAcceleration;          // rad/s²
  double PitchAcceleration;         // rad/s²
  double LongitudinalAcceleration;  // m/s², rate of change of the body forward speed
  double LateralAcceleration;       // m/s², rate of change of the body lateral speed
  double YawAcceleration;           // rad/s²
  double WheelAccelerationFL;       // rad/s²
  double WheelAccelerationFR;       // rad/s²
  double WheelAccelerationRL;       // rad/s²
  double WheelAccelerationRR;       // rad/s²
  double GlobalAccelerationX;       // m/s²
  double GlobalAccelerationY;       // m/s²
};

// Number of entries of the engine-torque transport delay; at one entry per major step
// it spans 0.1023 s, far more than the 0.005 s delay.
constexpr int kTransportDelayEntries = 1024;

// Discrete states: they change in major steps only, except the delay's search position.
struct DiscStates_Corvanta_T {
  double GearPrevState;            // unit delay of Gear
  double TurbineSpeedPrevState;    // unit delay of TurbineSpeed, rad/s
  double ImpellerTorquePrevState;  // unit delay of ImpellerTorque, N·m
  double ShiftState;               // 0 steady, +1 upshift pending, -1 downshift pending
  double ShiftTimer;               // major steps spent in the pending state
  double GearState;                // current gear 1..5
  double TransportDelayStartTime;  // s
  // Values 0..1023, then the time stamp of value k at 1024 + k.
  double TransportDelayBuffer[2 * kTransportDelayEntries];
  double *TransportDelayBufferRef;
  std::int32_t TransportDelayTail;  // oldest valid entry
  std::int32_t TransportDelayHead;  // newest valid entry
  std::int32_t TransportDelayLast;  // where the previous search ended
  std::int32_t TransportDelayBufferSize;
  // First-initialisation flags: while set, each evaluation loads the state from the
  // inputs before reading it.  Initialize raises them, the first major update clears them.
  std::uint8_t LongitudinalVelocity_FirstInit;
  std::uint8_t Heading_FirstInit;
  std::uint8_t WheelSpeedFL_FirstInit;
  std::uint8_t WheelSpeedFR_FirstInit;
  std::uint8_t WheelSpeedRL_FirstInit;
  std::uint8_t WheelSpeedRR_FirstInit;
  std::uint8_t GlobalVelocityX_FirstInit;
  std::uint8_t GlobalVelocityY_FirstInit;
  std::uint8_t PositionX_FirstInit;
  std::uint8_t PositionY_FirstInit;
};

// The 24 continuous states, integrated as one vector in this index order.
struct ContStates_Corvanta_T {
  double EngineSpeed_State;           //  0 rad/s, held within 750..6500 rpm
  double LongitudinalVelocity_State;  //  1 m/s
  double BrakeActuatorFL_State;       //  2 brake actuator lags; output = 16.67 × state
  double BrakeActuatorFR_State;       //  3
  double BrakeActuatorRL_State;       //  4
  double BrakeActuatorRR_State;       //  5
  double Heading_State;               //  6 rad
  double LateralVelocity_State;       //  7 m/s
  double YawRate_State;               //  8 rad/s
  double SteeringActuator_State[2];   //  9, 10; steer angle = 10000 × state 10
  double WheelSpeedFL_State;          // 11 rad/s
  double WheelSpeedFR_State;          // 12 rad/s
  double WheelSpeedRL_State;          // 13 rad/s
  double WheelSpeedRR_State;          // 14 rad/s
  double PitchAngle_State;            // 15 rad
  double PitchRate_State;             // 16 rad/s
  double GlobalVelocityX_State;       // 17 m/s
  double GlobalVelocityY_State;       // 18 m/s
  double RollAngle_State;             // 19 rad
  double RollRate_State;              // 20 rad/s
  double PositionX_State;             // 21 m
  double PositionY_State;             // 22 m
  double EngineTorqueLag_State;       // 23 lagged engine torque = 200 × state
};

// The derivative record has the state record's layout.
using ContStateDerivs_Corvanta_T = ContStates_Corvanta_T;

constexpr int kNumContStates = 24;
static_assert(sizeof(ContStates_Corvanta_T) == kNumContStates * sizeof(double),
              "the integrator treats the continuous states as one array of doubles");

// Time-step kinds: the host's Step() is a major step; the integrator's re-entrant
// evaluations at its intermediate stages are minor steps.
constexpr int kMinorTimeStep = 0;
constexpr int kMajorTimeStep = 1;

// The integrator's view of the model: references into the real-time model record.
struct SolverInfo {
  int *timeStepKindRef;
  ODE4_IntgData *integrationData;
  const char *solverName;
  double stopTime;  // end time of the current major step, s
  double *stepSizeRef;
  double **derivativesRef;
  double **timeRef;
  ContStates_Corvanta_T **statesRef;
};

struct RT_MODEL_Corvanta_T {
  const char *errorStatus;
  SolverInfo solver;
  ContStates_Corvanta_T *stateVector;
  double *derivativeBuffer;
  double savedStates[kNumContStates];
  double stageDerivatives[4][kNumContStates];
  ODE4_IntgData workRefs;
  // Major steps taken since construction.  64 bits wide, so that the model time
  // (ticks + 1) × step size never falls back to zero, however long a run lasts.
  std::uint64_t ticks;
  double stepSize;  // s
  std::uint8_t firstInitCond;
  double tStart;
  int timeStepKind;
  std::uint8_t stopRequested;
  double *tPtr;
  double modelTime;  // s

  double getTStart() const { return tStart; }
  double **getTPtrPtr() { return &tPtr; }
  double *getTPtr() const { return tPtr; }
  void setTPtr(double *aTPtr) { tPtr = aTPtr; }
  std::uint8_t *getStopRequestedPtr() { return &stopRequested; }
  std::uint8_t getStopRequested() const { return stopRequested; }
  void setStopRequested(std::uint8_t aStopRequested) { stopRequested = aStopRequested; }
  bool isMinorTimeStep() const { return timeStepKind == kMinorTimeStep; }
  bool isMajorTimeStep() const { return timeStepKind == kMajorTimeStep; }
  const char **getErrorStatusPtr() { return &errorStatus; }
  const char *getErrorStatus() const { return errorStatus; }
  void setErrorStatus(const char *aErrorStatus) { errorStatus = aErrorStatus; }
  void setFirstInitCond(std::uint8_t aFirstInitCond) { firstInitCond = aFirstInitCond; }
  std::uint8_t &isFirstInitCond() { return firstInitCond; }
};

#endif  // CORVANTA_MODEL_RECORDS_H
