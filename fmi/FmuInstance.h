// The version-independent core of the Corvanta FMUs: one model instance behind the FMI 2.0
// and FMI 3.0 co-simulation functions, with the FMI state machine, the step rule, variable
// access through the value-reference list, logging and the FMU state.
//
// Step rule: a communication step h must be a positive integer multiple n of the internal
// step 0.0001 s, within kStepTolerance of a whole number of internal steps (|h / 0.0001 - n|
// <= 1e-3); the instance then calls the model's step n times.  The importer's time is
// startTime + (steps taken) x 0.0001 s, formed from the integer count, so it never drifts;
// a currentCommunicationPoint more than kStepTolerance internal steps away from it is refused.
//
// Every call that answers Error leaves the instance in the Error state, from which only the
// getters, Reset and FreeInstance are accepted (as the FMI state machines prescribe).
#ifndef CORVANTA_FMI_FMUINSTANCE_H
#define CORVANTA_FMI_FMUINSTANCE_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "Corvanta.h"
#include "FmuIdentity.h"

namespace corvanta_fmi {

// Numbering shared by fmi2Status and fmi3Status.
enum class Status { OK = 0, Warning = 1, Discard = 2, Error = 3, Fatal = 4 };

enum class Phase { Instantiated, InitializationMode, EventMode, StepMode, Terminated, Error };

enum class LogCategory { StatusError, StatusWarning, Events };
extern const char *const kLogCategoryNames[3];

// The importer's logger, reached through the API layer.
using LogSink = void (*)(void *context, const char *instanceName, Status status, const char *category,
                         const char *message);

class FmuInstance {
 public:
  FmuInstance(const char *instanceName, LogSink sink, void *sinkContext, bool loggingOn);
  ~FmuInstance();
  FmuInstance(const FmuInstance &) = delete;
  FmuInstance &operator=(const FmuInstance &) = delete;

  Status setDebugLogging(const char *function, bool loggingOn, std::size_t nCategories, const char *const categories[]);

  // Lifecycle.  `function` names the FMI function for the log messages.
  Status setupExperiment(const char *function, double startTime, bool stopTimeDefined, double stopTime);
  Status enterInitializationMode(const char *function);
  Status exitInitializationMode(const char *function, bool toEventMode);
  Status enterEventMode(const char *function);
  Status enterStepMode(const char *function);
  Status doStep(const char *function, double currentCommunicationPoint, double communicationStepSize);
  Status terminate(const char *function);
  void reset();

  // Variables of type Real / Float64; other types have no variables.
  Status getReal(const char *function, const std::uint32_t vr[], std::size_t nvr, double values[]);
  Status setReal(const char *function, const std::uint32_t vr[], std::size_t nvr, const double values[]);
  Status noVariablesOfType(const char *function, const std::uint32_t vr[], std::size_t nvr, bool setting);

  // FMU state: a serialised snapshot of the whole instance except its FMI state.
  std::vector<std::uint8_t> serializeState() const;
  Status restoreState(const char *function, const std::uint8_t *bytes, std::size_t size);
  // Checks a serialised state without applying it; the reason when it is rejected.
  static bool validateState(const std::uint8_t *bytes, std::size_t size, std::string *why);
  Status stateAccess(const char *function);

  // The FMU state functions of both versions; a state is an opaque heap object.
  Status getState(const char *function, void **state);
  Status setState(const char *function, void *state);
  Status freeState(const char *function, void **state);
  Status serializedStateSize(const char *function, void *state, std::size_t *size);
  Status serializeStateTo(const char *function, void *state, std::uint8_t *buffer, std::size_t size);
  Status deserializeState(const char *function, const std::uint8_t *buffer, std::size_t size, void **state);

  Status unsupported(const char *function);
  Status fail(const char *function, const char *format, ...);
  void log(LogCategory category, Status status, const char *format, ...);

  double time() const;
  Phase phase() const { return phase_; }
  bool requirePhase(const char *function, std::initializer_list<Phase> allowed);

 private:
  void applyStartValues();
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
  Corvanta *model_;
};

const char *phaseName(Phase phase);

}  // namespace corvanta_fmi

#endif  // CORVANTA_FMI_FMUINSTANCE_H
