// Lifecycle, stepping, variable access and logging of an FMU instance.
#include "fmi/FmuInstance.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#include "fmi/FmuResources.h"

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
#include "fmi/FmuVariables.def"
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) +1
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) +1
constexpr int kListedInputs = 0
#include "fmi/FmuVariables.def"
    ;
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description)
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description)
#define CORVANTA_FMU_SIGNAL(vr, name, variability) CORVANTA_SIGNAL_##name,
constexpr int kListedSignals[] = {
#include "fmi/FmuVariables.def"
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

// The string parameter naming the vehicle file.
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value)
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description)
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description)
#define CORVANTA_FMU_SIGNAL(vr, name, variability)
#define CORVANTA_FMU_STRING_PARAMETER(vr, name, description) constexpr std::uint32_t k##name##Reference = vr;
#include "fmi/FmuVariables.def"
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
#undef CORVANTA_FMU_STRING_PARAMETER
static_assert(kVehicleFileReference < kParameterReferenceBase, "VehicleFile below the vehicle parameters' references");

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
      signals_(),
      parameters_(fmuParameters()),
      parameterValues_(parameters_.size(), 0.0),
      parameterSet_(parameters_.size(), 0) {
  if (model_ == nullptr) {
    throw std::bad_alloc();
  }
  applyStartValues();
}

FmuInstance::~FmuInstance() {
  corvanta_instance_free(model_);
  releaseVehicle();
}

void FmuInstance::releaseVehicle() {
  corvanta_vehicle_free(fileVehicle_);
  fileVehicle_ = nullptr;
  corvanta_vehicle_free(modelVehicle_);
  modelVehicle_ = nullptr;
}

void FmuInstance::applyStartValues() {
  ExtU_Corvanta_T &u = inputs_;
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value)
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) u.name = (start);
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) u.name = (start);
#define CORVANTA_FMU_SIGNAL(vr, name, variability)
#include "fmi/FmuVariables.def"
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

Status FmuInstance::failWith(const char *function, const std::string &detail) {
  try {
    const std::string message = std::string(function) + ": " + detail;
    emit(LogCategory::StatusError, Status::Error, message.c_str());
  } catch (const std::bad_alloc &) {
    emit(LogCategory::StatusError, Status::Error, "out of memory while reporting an error");
  }
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
  // A function the model description does not offer: the host's call is refused, but the
  // instance has done nothing wrong and stays in its state (it would otherwise be unusable
  // until Reset for a probe such as a derivative query).
  char message[256];
  std::snprintf(
      message, sizeof message, "%s: %s", function,
      "not supported by this FMU (co-simulation only, no derivatives, clocks or events); the instance is unchanged");
  emit(LogCategory::StatusError, Status::Error, message);
  return Status::Error;
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
  if (!prepareVehicle(function)) {
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
  // Parameters set in initialization mode.
  if (!prepareVehicle(function)) {
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
  releaseVehicle();
  vehicleFile_.clear();
  vehicleFileRead_ = true;
  std::fill(parameterValues_.begin(), parameterValues_.end(), 0.0);
  std::fill(parameterSet_.begin(), parameterSet_.end(), static_cast<unsigned char>(0));
  modelCurrent_ = true;
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
#include "fmi/FmuVariables.def"
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
#include "fmi/FmuVariables.def"
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
      case Source::None: {
        const FmuParameter *parameter = parameterOf(vr[k]);
        if (parameter == nullptr) {
          return fail(function, "no real variable has value reference %u", static_cast<unsigned>(vr[k]));
        }
        if (!parameterValue(function, static_cast<std::size_t>(parameter - parameters_.data()), &values[k])) {
          return Status::Error;
        }
        break;
      }
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
  const bool beforeInitialised = phase_ == Phase::Instantiated || phase_ == Phase::InitializationMode;
  // Check every reference first: a refused call changes nothing.
  bool inputsChanged = false;
  for (std::size_t k = 0; k < nvr; ++k) {
    Settable kind = Settable::No;
    placeOf(vr[k], &kind);
    if (kind == Settable::No) {
      const FmuParameter *parameter = parameterOf(vr[k]);
      if (parameter == nullptr) {
        return fail(function, "value reference %u is not an input or parameter", static_cast<unsigned>(vr[k]));
      }
      if (!beforeInitialised) {
        return fail(function, "the vehicle parameter %s (value reference %u) is fixed after initialisation",
                    parameter->name.c_str(), static_cast<unsigned>(vr[k]));
      }
      continue;
    }
    if (kind == Settable::Parameter && !beforeInitialised) {
      return fail(function, "the initial-condition parameter with value reference %u is fixed after initialisation",
                  static_cast<unsigned>(vr[k]));
    }
    inputsChanged = true;
  }
  for (std::size_t k = 0; k < nvr; ++k) {
    Settable kind = Settable::No;
    const Place place = placeOf(vr[k], &kind);
    if (kind != Settable::No) {
      *inputField(inputs_, place.index) = values[k];
      continue;
    }
    // Any value is taken here; the set is validated when the model is made from it.
    const auto p = static_cast<std::size_t>(parameterOf(vr[k]) - parameters_.data());
    parameterValues_[p] = values[k];
    parameterSet_[p] = 1;
    modelCurrent_ = false;
  }
  if (inputsChanged) {
    // The model reads its inputs at every internal step; the outputs before the first step
    // show the car the new values describe.
    corvanta_instance_set_inputs(model_, &inputs_);
    signalsCurrent_ = false;
  }
  return Status::OK;
}

Status FmuInstance::getString(const char *function, const std::uint32_t vr[], std::size_t nvr, const char *values[]) {
  if (!requirePhase(function,
                    {Phase::InitializationMode, Phase::EventMode, Phase::StepMode, Phase::Terminated, Phase::Error})) {
    return Status::Error;
  }
  if (nvr > 0 && (vr == nullptr || values == nullptr)) {
    return fail(function, "null value-reference or value array");
  }
  for (std::size_t k = 0; k < nvr; ++k) {
    if (vr[k] != kVehicleFileReference) {
      return fail(function, "no string variable has value reference %u (VehicleFile has %u)",
                  static_cast<unsigned>(vr[k]), static_cast<unsigned>(kVehicleFileReference));
    }
    values[k] = vehicleFile_.c_str();
  }
  return Status::OK;
}

Status FmuInstance::setString(const char *function, const std::uint32_t vr[], std::size_t nvr,
                              const char *const values[]) {
  if (!requirePhase(function, {Phase::Instantiated, Phase::InitializationMode, Phase::EventMode, Phase::StepMode})) {
    return Status::Error;
  }
  if (nvr > 0 && (vr == nullptr || values == nullptr)) {
    return fail(function, "null value-reference or value array");
  }
  for (std::size_t k = 0; k < nvr; ++k) {
    if (vr[k] != kVehicleFileReference) {
      return fail(function, "no string variable has value reference %u (VehicleFile has %u)",
                  static_cast<unsigned>(vr[k]), static_cast<unsigned>(kVehicleFileReference));
    }
    if (phase_ != Phase::Instantiated && phase_ != Phase::InitializationMode) {
      return fail(function, "VehicleFile is fixed after initialisation");
    }
    if (values[k] == nullptr) {
      return fail(function, "VehicleFile: a null string (the empty string names the built-in car)");
    }
    if (std::strlen(values[k]) > kMaxVehicleFileName) {
      return fail(function, "VehicleFile: a name of more than %lu bytes",
                  static_cast<unsigned long>(kMaxVehicleFileName));
    }
  }
  try {
    for (std::size_t k = 0; k < nvr; ++k) {
      if (vehicleFile_ != values[k]) {
        vehicleFile_ = values[k];
        vehicleFileRead_ = false;
        modelCurrent_ = false;
      }
    }
  } catch (const std::bad_alloc &) {
    return outOfMemory(function);
  }
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
  return fail(function,
              "no variable of this type has value reference %u (the variables are real, VehicleFile a string)",
              vr != nullptr ? static_cast<unsigned>(vr[0]) : 0U);
}

// ---------------------------------------------------------------------------------------
// The vehicle.

const FmuParameter *FmuInstance::parameterOf(std::uint32_t vr) const {
  for (const FmuParameter &parameter : parameters_) {
    if (parameter.vr == vr) {
      return &parameter;
    }
  }
  return nullptr;
}

bool FmuInstance::parameterValue(const char *function, std::size_t k, double *value) {
  if (parameterSet_[k] != 0) {
    *value = parameterValues_[k];
    return true;
  }
  if (!vehicleFileRead_) {
    // VehicleFile changed in initialization mode: its values are those of the new file.  (In
    // the error state nothing is read; the value is unknown.)
    if (phase_ == Phase::Error) {
      *value = std::nan("");
      return true;
    }
    if (!readVehicleFile(function)) {
      return false;
    }
  }
  const FmuParameter &parameter = parameters_[k];
  if (fileVehicle_ == nullptr) {
    *value = parameter.info.builtin;
    return true;
  }
  double got = 0.0;
  if (corvanta_vehicle_get(fileVehicle_, parameter.name.c_str(), &got, 1, nullptr) != CORVANTA_VEHICLE_OK) {
    fail(function, "the vehicle library has no parameter %s", parameter.name.c_str());
    return false;
  }
  *value = got;
  return true;
}

bool FmuInstance::readVehicleFile(const char *function) {
  if (vehicleFileRead_) {
    return true;
  }
  if (vehicleFile_.empty()) {
    corvanta_vehicle_free(fileVehicle_);
    fileVehicle_ = nullptr;
    vehicleFileRead_ = true;
    return true;
  }
  try {
    std::string path = vehicleFile_;
    if (!isAbsolutePath(path)) {
      if (resourceDirectory_.empty()) {
        failWith(function, "VehicleFile \"" + vehicleFile_ +
                               "\" is a relative path, and the importer gave no resources folder of the FMU to "
                               "find it in: give an absolute path");
        return false;
      }
      path = resourceDirectory_ + path;
    }
    std::vector<char> error(16384, '\0');
    CorvantaVehicle *read = corvanta_vehicle_load(path.c_str(), error.data(), error.size());
    if (read == nullptr) {
      failWith(function, "VehicleFile \"" + vehicleFile_ + "\" cannot be used:\n" + error.data());
      return false;
    }
    corvanta_vehicle_free(fileVehicle_);
    fileVehicle_ = read;
    vehicleFileRead_ = true;
    const char *warnings = corvanta_vehicle_warnings(fileVehicle_);
    if (warnings != nullptr && warnings[0] != '\0') {
      const std::string message = std::string(function) + ": VehicleFile \"" + vehicleFile_ + "\": " + warnings;
      emit(LogCategory::StatusWarning, Status::Warning, message.c_str());
    }
    log(LogCategory::Events, Status::OK, "%s: vehicle file %s read (vehicle \"%s\")", function, path.c_str(),
        corvanta_vehicle_name(fileVehicle_));
  } catch (const std::bad_alloc &) {
    outOfMemory(function);
    return false;
  }
  return true;
}

bool FmuInstance::prepareVehicle(const char *function) {
  if (!readVehicleFile(function)) {
    return false;
  }
  if (modelCurrent_) {
    return true;
  }
  // The set in effect: the file's (or the built-in one) and the parameters set on top.
  CorvantaVehicle *vehicle =
      fileVehicle_ != nullptr ? corvanta_vehicle_copy(fileVehicle_) : corvanta_vehicle_create_builtin();
  if (vehicle == nullptr) {
    outOfMemory(function);
    return false;
  }
  std::size_t changed = 0;
  for (std::size_t k = 0; k < parameters_.size(); ++k) {
    if (parameterSet_[k] == 0) {
      continue;
    }
    char error[512] = "";
    if (corvanta_vehicle_set(vehicle, parameters_[k].name.c_str(), &parameterValues_[k], 1, error, sizeof error) !=
        CORVANTA_VEHICLE_OK) {
      corvanta_vehicle_free(vehicle);
      fail(function, "%s: %s", parameters_[k].name.c_str(), error);
      return false;
    }
    ++changed;
  }
  const int problems = corvanta_vehicle_validate(vehicle, nullptr, 0);
  if (problems != 0) {
    try {
      std::vector<char> report(16384, '\0');
      corvanta_vehicle_validate(vehicle, report.data(), report.size());
      corvanta_vehicle_free(vehicle);
      failWith(function, "the vehicle parameters are not a set the model can simulate (" + std::to_string(problems) +
                             (problems == 1 ? " problem" : " problems") + "):\n" + report.data());
    } catch (const std::bad_alloc &) {
      corvanta_vehicle_free(vehicle);
      outOfMemory(function);
    }
    return false;
  }
  CorvantaInstance *model = corvanta_instance_create(vehicle);
  if (model == nullptr) {
    corvanta_vehicle_free(vehicle);
    outOfMemory(function);
    return false;
  }
  corvanta_instance_free(model_);
  model_ = model;
  corvanta_vehicle_free(modelVehicle_);
  modelVehicle_ = vehicle;
  modelCurrent_ = true;
  corvanta_instance_set_inputs(model_, &inputs_);
  signalsCurrent_ = false;
  log(LogCategory::Events, Status::OK, "%s: vehicle %s with %lu parameters set on top (identity %016llx)", function,
      vehicleFile_.empty() ? "built-in" : vehicleFile_.c_str(), static_cast<unsigned long>(changed),
      static_cast<unsigned long long>(corvanta_vehicle_identity(vehicle)));
  return true;
}

}  // namespace corvanta_fmi
