// Lifecycle, stepping, variable access and logging of an FMU instance.
#include "FmuInstance.h"

#include <cmath>
#include <cstddef>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

namespace corvanta_fmi {

const char *const kLogCategoryNames[3] = {"logStatusError", "logStatusWarning", "logEvents"};

namespace {

constexpr int kCategoryCount = 3;

// Value references of the variables the importer may write.
enum class Settable { No, Input, Parameter };

// The list covers the input record (inputs, then initial conditions: value references 1 to 8)
// field by field, in record order, and the signal list once each.
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value)
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) \
  static_assert(offsetof(ExtU_Corvanta_T, name) == ((vr)-1) * sizeof(double), #name " out of record order");
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) \
  static_assert(offsetof(ExtU_Corvanta_T, name) == ((vr)-1) * sizeof(double), #name " out of record order");
#define CORVANTA_FMU_SIGNAL(vr, name, variability)
#include "FmuVariables.def"
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) +1
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) +1
constexpr int kListedInputs = 0
#include "FmuVariables.def"
    ;
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description)
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description)
#define CORVANTA_FMU_SIGNAL(vr, name, variability) CORVANTA_SIGNAL_##name,
constexpr int kListedSignals[] = {
#include "FmuVariables.def"
};
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
static_assert(kListedInputs * sizeof(double) == sizeof(ExtU_Corvanta_T), "every input field is listed once");

constexpr bool everySignalOnce() {
  constexpr int n = static_cast<int>(sizeof kListedSignals / sizeof kListedSignals[0]);
  if (n != CORVANTA_NUM_SIGNALS) {
    return false;
  }
  for (int k = 0; k < n; ++k) {
    for (int j = 0; j < k; ++j) {
      if (kListedSignals[j] == kListedSignals[k]) {
        return false;
      }
    }
  }
  return true;
}
static_assert(everySignalOnce(), "every signal of the signal list is an output, once");
static_assert(kListedSignals[0] == CORVANTA_SIGNAL_PositionX && kListedSignals[6] == CORVANTA_SIGNAL_TipOverIndicator,
              "the seven outputs come first");

// Largest communication step accepted, in internal steps: keeps n exact as a double and the
// loop bounded by something a host could mean (about 3.2 years of model time).
constexpr double kMaxStepsPerCall = 1e12;

// Whether an importer's communication point names the FMU's time NOW: the nearest internal
// step point to it is NOW.  An importer that sums its step sizes in double drifts from the
// FMU's integer-counted clock by rounding, and the FMU synchronises to it.
bool isCurrentTime(double communicationPoint, double now) {
  return std::fabs(communicationPoint - now) < 0.5 * kInternalStep;
}

}  // namespace

const char *phaseName(Phase phase) {
  switch (phase) {
    case Phase::Instantiated:
      return "instantiated";
    case Phase::InitializationMode:
      return "initialization mode";
    case Phase::EventMode:
      return "event mode";
    case Phase::StepMode:
      return "step mode";
    case Phase::Terminated:
      return "terminated";
    case Phase::Error:
      return "error";
  }
  return "unknown";
}

FmuInstance::FmuInstance(const char *instanceName, LogSink sink, void *sinkContext, bool loggingOn)
    : name_(instanceName != nullptr ? instanceName : ""),
      sink_(sink),
      sinkContext_(sinkContext),
      loggingOn_(loggingOn),
      categoryOn_{true, true, true},
      inputs_(),
      model_(corvanta_instance_create(nullptr)),
      signals_() {
  if (model_ == nullptr) {
    throw std::bad_alloc();
  }
  applyStartValues();
}

FmuInstance::~FmuInstance() { corvanta_instance_free(model_); }

void FmuInstance::applyStartValues() {
  ExtU_Corvanta_T &u = inputs_;
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value)
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) u.name = (start);
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) u.name = (start);
#define CORVANTA_FMU_SIGNAL(vr, name, variability)
#include "FmuVariables.def"
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
  corvanta_instance_set_inputs(model_, &inputs_);
  signalsCurrent_ = false;
}

bool FmuInstance::refreshSignals() {
  if (signalsCurrent_) {
    return true;
  }
  // Between initialisation and the first step the instance has evaluated nothing yet: the
  // outputs show the car at the start time, from the inputs and initial conditions set.
  if (corvanta_instance_is_initialized(model_) != 0 && stepsTaken_ == 0) {
    if (corvanta_instance_initial_signals(model_, signals_, CORVANTA_NUM_SIGNALS) != CORVANTA_NUM_SIGNALS) {
      return false;
    }
  } else {
    corvanta_instance_signals(model_, signals_, CORVANTA_NUM_SIGNALS);
  }
  signalsCurrent_ = true;
  return true;
}

// ---------------------------------------------------------------------------------------
// Logging.

Status FmuInstance::setDebugLogging(const char *function, bool loggingOn, std::size_t nCategories,
                                    const char *const categories[]) {
  if (nCategories > 0 && categories == nullptr) {
    return fail(function, "%lu categories announced but no array given", static_cast<unsigned long>(nCategories));
  }
  bool wanted[kCategoryCount] = {false, false, false};
  for (std::size_t k = 0; k < nCategories; ++k) {
    bool known = false;
    for (int c = 0; c < kCategoryCount; ++c) {
      if (categories[k] != nullptr && std::strcmp(categories[k], kLogCategoryNames[c]) == 0) {
        wanted[c] = true;
        known = true;
      }
    }
    if (!known) {
      return fail(function, "unknown log category '%s' (known: logStatusError, logStatusWarning, logEvents)",
                  categories[k] != nullptr ? categories[k] : "(null)");
    }
  }
  if (nCategories == 0) {
    // loggingOn applies to every category.
    loggingOn_ = loggingOn;
    for (bool &on : categoryOn_) {
      on = true;
    }
  } else if (loggingOn) {
    // Only the named categories are logged.
    loggingOn_ = true;
    for (int c = 0; c < kCategoryCount; ++c) {
      categoryOn_[c] = wanted[c];
    }
  } else {
    // The named categories are switched off, the others keep their setting.
    for (int c = 0; c < kCategoryCount; ++c) {
      categoryOn_[c] = categoryOn_[c] && !wanted[c];
    }
  }
  return Status::OK;
}

void FmuInstance::emit(LogCategory category, Status status, const char *message) {
  if (sink_ == nullptr) {
    return;
  }
  // Errors always reach the importer: it must learn why a call failed.
  const int c = static_cast<int>(category);
  if (category != LogCategory::StatusError && !(loggingOn_ && categoryOn_[c])) {
    return;
  }
  sink_(sinkContext_, name_.c_str(), status, kLogCategoryNames[c], message);
}

void FmuInstance::log(LogCategory category, Status status, const char *format, ...) {
  char message[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  emit(category, status, message);
}

Status FmuInstance::fail(const char *function, const char *format, ...) {
  char detail[448];
  va_list args;
  va_start(args, format);
  std::vsnprintf(detail, sizeof detail, format, args);
  va_end(args);
  char message[512];
  std::snprintf(message, sizeof message, "%s: %s", function, detail);
  emit(LogCategory::StatusError, Status::Error, message);
  phase_ = Phase::Error;
  return Status::Error;
}

bool FmuInstance::statusQueryAllowed(const char *function) {
  return requirePhase(function,
                      {Phase::InitializationMode, Phase::EventMode, Phase::StepMode, Phase::Terminated, Phase::Error});
}

Status FmuInstance::statusUnavailable(const char *function, const char *what) {
  if (!statusQueryAllowed(function)) {
    return Status::Error;
  }
  log(LogCategory::StatusWarning, Status::Discard, "%s: %s (steps complete within DoStep)", function, what);
  return Status::Discard;
}

Status FmuInstance::outOfMemory(const char *function) { return fail(function, "out of memory"); }

Status FmuInstance::unsupported(const char *function) {
  return fail(function, "not supported by this FMU (co-simulation only, no derivatives, clocks or events)");
}

bool FmuInstance::requirePhase(const char *function, std::initializer_list<Phase> allowed) {
  for (Phase p : allowed) {
    if (p == phase_) {
      return true;
    }
  }
  fail(function, "not allowed in %s", phaseName(phase_));
  return false;
}

// ---------------------------------------------------------------------------------------
// Lifecycle.

Status FmuInstance::setupExperiment(const char *function, double startTime, bool stopTimeDefined, double stopTime) {
  if (!requirePhase(function, {Phase::Instantiated})) {
    return Status::Error;
  }
  if (!std::isfinite(startTime) || (stopTimeDefined && !(stopTime >= startTime))) {
    return fail(function, "start time %.17g and stop time %.17g do not form an interval", startTime, stopTime);
  }
  startTime_ = startTime;
  stopTimeDefined_ = stopTimeDefined;
  stopTime_ = stopTime;
  return Status::OK;
}

Status FmuInstance::enterInitializationMode(const char *function) {
  if (!requirePhase(function, {Phase::Instantiated})) {
    return Status::Error;
  }
  phase_ = Phase::InitializationMode;
  log(LogCategory::Events, Status::OK, "%s: initialization mode, start time %.17g", function, startTime_);
  return Status::OK;
}

Status FmuInstance::exitInitializationMode(const char *function, bool toEventMode) {
  if (!requirePhase(function, {Phase::InitializationMode})) {
    return Status::Error;
  }
  // The model samples the initial-condition parameters at its first step.
  corvanta_instance_initialize(model_);
  signalsCurrent_ = false;
  phase_ = toEventMode ? Phase::EventMode : Phase::StepMode;
  log(LogCategory::Events, Status::OK, "%s: %s", function, phaseName(phase_));
  return Status::OK;
}

Status FmuInstance::enterEventMode(const char *function) {
  if (!requirePhase(function, {Phase::StepMode})) {
    return Status::Error;
  }
  phase_ = Phase::EventMode;
  return Status::OK;
}

Status FmuInstance::enterStepMode(const char *function) {
  if (!requirePhase(function, {Phase::EventMode})) {
    return Status::Error;
  }
  phase_ = Phase::StepMode;
  return Status::OK;
}

double FmuInstance::time() const { return startTime_ + static_cast<double>(stepsTaken_) * kInternalStep; }

Status FmuInstance::doStep(const char *function, double currentCommunicationPoint, double communicationStepSize) {
  if (!requirePhase(function, {Phase::StepMode})) {
    return Status::Error;
  }
  if (corvanta_instance_is_initialized(model_) == 0) {
    return fail(function, "the model holds a state taken before initialisation; it cannot step");
  }
  const double ratio = communicationStepSize / kInternalStep;
  if (!(ratio >= 1.0 - kStepTolerance && ratio <= kMaxStepsPerCall)) {
    return fail(function, "communication step %.17g s is not a positive multiple of the internal step 0.0001 s",
                communicationStepSize);
  }
  const double steps = std::nearbyint(ratio);
  if (std::fabs(ratio - steps) > kStepTolerance) {
    return fail(function,
                "communication step %.17g s is not a whole number of internal steps of 0.0001 s "
                "(%.6f steps; tolerance %g step)",
                communicationStepSize, ratio, kStepTolerance);
  }
  const double now = time();
  if (!isCurrentTime(currentCommunicationPoint, now)) {
    return fail(function,
                "communication point %.17g s does not match the FMU's time %.17g s "
                "(accepted: less than half an internal step, 0.00005 s, away)",
                currentCommunicationPoint, now);
  }
  const auto n = static_cast<std::uint64_t>(steps);
  if (stopTimeDefined_) {
    const double end = startTime_ + static_cast<double>(stepsTaken_ + n) * kInternalStep;
    if (end > stopTime_ + kStepTolerance * kInternalStep) {
      return fail(function, "the step would end at %.17g s, after the stop time %.17g s", end, stopTime_);
    }
  }
  for (std::uint64_t k = 0; k < n; ++k) {
    corvanta_instance_step(model_);
  }
  stepsTaken_ += n;
  signalsCurrent_ = false;
  return Status::OK;
}

Status FmuInstance::terminate(const char *function) {
  if (!requirePhase(function, {Phase::InitializationMode, Phase::EventMode, Phase::StepMode})) {
    return Status::Error;
  }
  corvanta_instance_terminate(model_);
  phase_ = Phase::Terminated;
  log(LogCategory::Events, Status::OK, "%s: terminated at %.17g s", function, time());
  return Status::OK;
}

Status FmuInstance::reset(const char *function) {
  // Exactly the state of a fresh instantiation: the model is made anew.
  CorvantaInstance *fresh = corvanta_instance_create(nullptr);
  if (fresh == nullptr) {
    log(LogCategory::StatusError, Status::Error, "%s: out of memory; the instance is unchanged", function);
    return Status::Error;
  }
  corvanta_instance_free(model_);
  model_ = fresh;
  applyStartValues();
  phase_ = Phase::Instantiated;
  startTime_ = 0.0;
  stopTimeDefined_ = false;
  stopTime_ = 0.0;
  stepsTaken_ = 0;
  log(LogCategory::Events, Status::OK, "%s: instantiated", function);
  return Status::OK;
}

// ---------------------------------------------------------------------------------------
// Variables.

namespace {

// Where a value reference reads from: the FMU's clock, the input record, or a signal.
enum class Source { None, Time, Input, Signal };

struct Place {
  Source source;
  int index;  // the input's value reference, or the signal's index
};

Place placeOf(std::uint32_t vr, Settable *kind) {
  *kind = Settable::No;
  switch (vr) {
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value) \
  case vr:                                                     \
    return {Source::Time, 0};
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) \
  case vr:                                                     \
    *kind = Settable::Input;                                   \
    return {Source::Input, vr};
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) \
  case vr:                                                         \
    *kind = Settable::Parameter;                                   \
    return {Source::Input, vr};
#define CORVANTA_FMU_SIGNAL(vr, name, variability) \
  case vr:                                         \
    return {Source::Signal, CORVANTA_SIGNAL_##name};
#include "FmuVariables.def"
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
    default:
      return {Source::None, 0};
  }
}

// The field of the input record an input or parameter reads and writes.
double *inputField(ExtU_Corvanta_T &inputs, int vr) {
  switch (vr) {
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value)
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) \
  case vr:                                                     \
    return &inputs.name;
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) \
  case vr:                                                         \
    return &inputs.name;
#define CORVANTA_FMU_SIGNAL(vr, name, variability)
#include "FmuVariables.def"
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
    default:
      return &inputs.AccelerationDemand;  // not reached: only settable references get here
  }
}

}  // namespace

Status FmuInstance::getReal(const char *function, const std::uint32_t vr[], std::size_t nvr, double values[]) {
  if (!requirePhase(function,
                    {Phase::InitializationMode, Phase::EventMode, Phase::StepMode, Phase::Terminated, Phase::Error})) {
    return Status::Error;
  }
  if (nvr > 0 && (vr == nullptr || values == nullptr)) {
    return fail(function, "null value-reference or value array");
  }
  for (std::size_t k = 0; k < nvr; ++k) {
    Settable kind = Settable::No;
    const Place place = placeOf(vr[k], &kind);
    switch (place.source) {
      case Source::Time:
        values[k] = time();
        break;
      case Source::Input:
        values[k] = *inputField(inputs_, place.index);
        break;
      case Source::Signal:
        if (!refreshSignals()) {
          return outOfMemory(function);
        }
        values[k] = signals_[place.index];
        break;
      case Source::None:
        return fail(function, "no real variable has value reference %u", static_cast<unsigned>(vr[k]));
    }
  }
  return Status::OK;
}

Status FmuInstance::setReal(const char *function, const std::uint32_t vr[], std::size_t nvr, const double values[]) {
  if (!requirePhase(function, {Phase::Instantiated, Phase::InitializationMode, Phase::EventMode, Phase::StepMode})) {
    return Status::Error;
  }
  if (nvr > 0 && (vr == nullptr || values == nullptr)) {
    return fail(function, "null value-reference or value array");
  }
  // Check every reference first: a refused call changes nothing.
  for (std::size_t k = 0; k < nvr; ++k) {
    Settable kind = Settable::No;
    placeOf(vr[k], &kind);
    if (kind == Settable::No) {
      return fail(function, "value reference %u is not an input or parameter", static_cast<unsigned>(vr[k]));
    }
    if (kind == Settable::Parameter && phase_ != Phase::Instantiated && phase_ != Phase::InitializationMode) {
      return fail(function, "the initial-condition parameter with value reference %u is fixed after initialisation",
                  static_cast<unsigned>(vr[k]));
    }
  }
  for (std::size_t k = 0; k < nvr; ++k) {
    Settable kind = Settable::No;
    *inputField(inputs_, placeOf(vr[k], &kind).index) = values[k];
  }
  // The model reads its inputs at every internal step; the outputs before the first step
  // show the car the new values describe.
  corvanta_instance_set_inputs(model_, &inputs_);
  signalsCurrent_ = false;
  return Status::OK;
}

Status FmuInstance::noVariablesOfType(const char *function, const std::uint32_t vr[], std::size_t nvr, bool setting) {
  if (setting) {
    if (!requirePhase(function, {Phase::Instantiated, Phase::InitializationMode, Phase::EventMode, Phase::StepMode})) {
      return Status::Error;
    }
  } else if (!requirePhase(function, {Phase::InitializationMode, Phase::EventMode, Phase::StepMode, Phase::Terminated,
                                      Phase::Error})) {
    return Status::Error;
  }
  if (nvr == 0) {
    return Status::OK;
  }
  return fail(function, "no variable of this type has value reference %u (all variables are real)",
              vr != nullptr ? static_cast<unsigned>(vr[0]) : 0U);
}

}  // namespace corvanta_fmi
