// The version-independent core of the Corvanta FMUs: one model instance behind the FMI 2.0
// and FMI 3.0 co-simulation functions, with the FMI state machine, the step rule, variable
// access through the value-reference list, logging and the FMU state.
//
// Step rule: a communication step h must be a positive integer multiple n of the internal
// step 0.0001 s, within kStepTolerance of a whole number of internal steps (|h / 0.0001 - n|
// <= 1e-3); the instance then calls the model's step n times.  The FMU's time is
// startTime + (steps taken) x 0.0001 s, formed from the integer count, so it never drifts.
// The FMU synchronises to the importer's clock: a currentCommunicationPoint within half an
// internal step of the FMU's time names that time (an importer that sums its step sizes,
// t += h, drifts from it by rounding); one further away cannot be the FMU's time and is refused.
//
// Every call that answers Error leaves the instance in the Error state.  From there the
// getters, Reset, FreeInstance, SetFMUstate (which restores a state saved before the error,
// with the FMI state it was saved in) and the state functions that do not read the instance
// (FreeFMUstate, SerializedFMUstateSize, SerializeFMUstate, DeSerializeFMUstate) are accepted;
// GetFMUstate is not, since the instance's contents are not a state to continue from.
//
// Vehicle: the model simulates the built-in car, or the vehicle file VehicleFile names, with
// the vehicle parameters the importer set on top of its values.  Both are fixed parameters:
// settable after instantiation and in initialization mode, fixed from ExitInitializationMode
// on.  EnterInitializationMode reads the file, applies the parameters, validates the set and
// makes the model from it; what changes in initialization mode is applied (and validated) by
// ExitInitializationMode.  A problem fails the call with the vehicle library's full message.
#ifndef CORVANTA_FMI_FMUINSTANCE_H
#define CORVANTA_FMI_FMUINSTANCE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "capi/corvanta.h"
#include "fmi/FmuIdentity.h"
#include "fmi/FmuParameters.h"
#include "fmi/FmuStateRegistry.h"
#include "vehicle/corvanta_vehicle.h"

namespace corvanta_fmi {

// Numbering shared by fmi2Status and fmi3Status.
enum class Status { OK = 0, Warning = 1, Discard = 2, Error = 3, Fatal = 4 };

enum class Phase { Instantiated, InitializationMode, EventMode, StepMode, Terminated, Error };

enum class LogCategory { StatusError, StatusWarning, Events };
extern const char *const kLogCategoryNames[3];

// The importer's logger, reached through the API layer.
using LogSink = void (*)(void *context, const char *instanceName, Status status, const char *category,
                         const char *message);

// The model is an instance of the vehicle library (corvanta_vehicle.h): the FMU reaches it
// through that C interface only, for stepping, signals and saved states.
class FmuInstance {
 public:
  // Throws std::bad_alloc when the model instance cannot be made.
  FmuInstance(const char *instanceName, LogSink sink, void *sinkContext, bool loggingOn);
  ~FmuInstance();
  FmuInstance(const FmuInstance &) = delete;
  FmuInstance &operator=(const FmuInstance &) = delete;

  Status setDebugLogging(const char *function, bool loggingOn, std::size_t nCategories, const char *const categories[]);
  // The FMU's resources folder, a native path ending in a separator ("" when the importer gave
  // none): relative VehicleFile names are found there.
  void setResourceDirectory(std::string directory) { resourceDirectory_ = std::move(directory); }
  // FMI 3.0: the importer asked for event mode at instantiation.
  void useEventMode(bool used) { eventModeUsed_ = used; }

  // Lifecycle.  `function` names the FMI function for the log messages.
  Status setupExperiment(const char *function, double startTime, bool stopTimeDefined, double stopTime);
  Status enterInitializationMode(const char *function);
  Status exitInitializationMode(const char *function, bool toEventMode);
  Status enterEventMode(const char *function);
  Status enterStepMode(const char *function);
  Status doStep(const char *function, double currentCommunicationPoint, double communicationStepSize);
  Status terminate(const char *function);
  // Exactly a fresh instantiation; Error (logged) only when memory is exhausted, and then the
  // instance is left as it was.
  Status reset(const char *function);

  // Variables of type Real / Float64; other types have no variables.
  Status getReal(const char *function, const std::uint32_t vr[], std::size_t nvr, double values[]);
  Status setReal(const char *function, const std::uint32_t vr[], std::size_t nvr, const double values[]);
  // Variables of type String: VehicleFile.  The strings got stay valid until VehicleFile is set
  // again or the instance is reset or freed.
  Status getString(const char *function, const std::uint32_t vr[], std::size_t nvr, const char *values[]);
  Status setString(const char *function, const std::uint32_t vr[], std::size_t nvr, const char *const values[]);
  Status noVariablesOfType(const char *function, const std::uint32_t vr[], std::size_t nvr, bool setting);

  // FMU state: a serialised snapshot of the whole instance, its FMI state included (a state
  // saved in step mode continues in step mode wherever it is set).  May throw std::bad_alloc.
  std::vector<std::uint8_t> serializeState() const;
  Status restoreState(const char *function, const std::uint8_t *bytes, std::size_t size);
  // Checks a serialised state without applying it, its contents included (a state of a model
  // simulating another parameter set than this instance's is refused); the reason when it is
  // rejected.  May throw std::bad_alloc.
  bool validateState(const std::uint8_t *bytes, std::size_t size, std::string *why) const;

  // The FMU state functions of both versions.  A state is a handle issued by this instance
  // (see FmuStateRegistry); none lets an exception out.
  Status getState(const char *function, void **state);
  Status setState(const char *function, void *state);
  Status freeState(const char *function, void **state);
  Status serializedStateSize(const char *function, void *state, std::size_t *size);
  Status serializeStateTo(const char *function, void *state, std::uint8_t *buffer, std::size_t size);
  Status deserializeState(const char *function, const std::uint8_t *buffer, std::size_t size, void **state);

  Status unsupported(const char *function);
  // A status query the FMU cannot answer: Discard, logged as a warning; the instance stays usable.
  Status statusUnavailable(const char *function, const char *what);
  // Status queries are answered after instantiation (an error is logged otherwise).
  bool statusQueryAllowed(const char *function);
  Status fail(const char *function, const char *format, ...);
  // The same with a message of any length (the vehicle library's reports).
  Status failWith(const char *function, const std::string &detail);
  void log(LogCategory category, Status status, const char *format, ...);

  double time() const;
  Phase phase() const { return phase_; }
  bool requirePhase(const char *function, std::initializer_list<Phase> allowed);

 private:
  void applyStartValues();
  // The signals behind the outputs, current for the instance's present state; false when
  // memory for the values at the start time ran out.
  bool refreshSignals();
  Status outOfMemory(const char *function);
  // The vehicle parameter of a value reference, or nullptr.
  const FmuParameter *parameterOf(std::uint32_t vr) const;
  // The value in effect of a vehicle parameter: set by the importer, else the vehicle file's,
  // else the built-in value.  False (logged) when the file cannot be read.
  bool parameterValue(const char *function, std::size_t k, double *value);
  // Reads VehicleFile when it changed since it was last read; false (logged) on a problem.
  bool readVehicleFile(const char *function);
  // Makes the model from the set in effect when anything changed since it was made; false
  // (logged) on a problem, and then the model is left as it was.
  bool prepareVehicle(const char *function);
  void releaseVehicle();
  void emit(LogCategory category, Status status, const char *message);

  std::string name_;
  LogSink sink_;
  void *sinkContext_;
  bool loggingOn_;
  bool categoryOn_[3];
  Phase phase_ = Phase::Instantiated;
  double startTime_ = 0.0;
  bool stopTimeDefined_ = false;
  double stopTime_ = 0.0;
  std::uint64_t stepsTaken_ = 0;
  bool eventModeUsed_ = false;
  ExtU_Corvanta_T inputs_;  // inputs and initial conditions as set by the importer
  CorvantaInstance *model_;
  double signals_[CORVANTA_NUM_SIGNALS];
  bool signalsCurrent_ = false;
  FmuStateRegistry states_;

  // The vehicle.
  std::string resourceDirectory_;
  std::string vehicleFile_;                 // as set: "" the built-in car
  bool vehicleFileRead_ = true;             // fileVehicle_ is VehicleFile's set
  CorvantaVehicle *fileVehicle_ = nullptr;  // the file's set; nullptr: the built-in one
  std::vector<FmuParameter> parameters_;    // the vehicle parameters (FmuParameters.h)
  std::vector<double> parameterValues_;     // the values the importer set, where it did
  std::vector<unsigned char> parameterSet_;
  bool modelCurrent_ = true;                 // model_ simulates the set in effect
  CorvantaVehicle *modelVehicle_ = nullptr;  // the set model_ simulates; nullptr: the built-in one
};

const char *phaseName(Phase phase);

}  // namespace corvanta_fmi

#endif  // CORVANTA_FMI_FMUINSTANCE_H
