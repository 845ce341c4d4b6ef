// The FMI 2.0 co-simulation interface of the Corvanta FMU.
#include <cstring>
#include <exception>
#include <new>

#include "fmi/Fmi2Api.h"
#include "fmi/FmuInstance.h"
#include "fmi/FmuResources.h"

using corvanta_fmi::FmuInstance;
using corvanta_fmi::Phase;
using corvanta_fmi::Status;

namespace {

struct Component {
  Component(fmi2String instanceName, const fmi2CallbackFunctions &functions, bool loggingOn)
      : callbacks(functions), core(instanceName, &forward, this, loggingOn) {}

  static void forward(void *context, const char *instanceName, Status status, const char *category,
                      const char *message) {
    const auto *self = static_cast<const Component *>(context);
    if (self->callbacks.logger != nullptr) {
      self->callbacks.logger(self->callbacks.componentEnvironment, instanceName, static_cast<fmi2Status>(status),
                             category, "%s", message);
    }
  }

  fmi2CallbackFunctions callbacks;
  FmuInstance core;
};

FmuInstance *core(fmi2Component c) { return c != nullptr ? &static_cast<Component *>(c)->core : nullptr; }

fmi2Status status(Status s) { return static_cast<fmi2Status>(s); }

// Every function on a null instance answers with an error.
#define CORVANTA_FMI2_INSTANCE(c) \
  FmuInstance *fmu = core(c);     \
  if (fmu == nullptr) {           \
    return fmi2Error;             \
  }

void logWithoutInstance(const fmi2CallbackFunctions *functions, fmi2String instanceName, const char *message) {
  if (functions != nullptr && functions->logger != nullptr) {
    functions->logger(functions->componentEnvironment, instanceName != nullptr ? instanceName : "", fmi2Error,
                      "logStatusError", "%s", message);
  }
}

}  // namespace

extern "C" {

const char *fmi2GetTypesPlatform(void) { return "default"; }

const char *fmi2GetVersion(void) { return "2.0"; }

fmi2Status fmi2SetDebugLogging(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
                               const fmi2String categories[]) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->setDebugLogging("fmi2SetDebugLogging", loggingOn != fmi2False, nCategories, categories));
}

fmi2Component fmi2Instantiate(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
                              fmi2String fmuResourceLocation, const fmi2CallbackFunctions *functions,
                              fmi2Boolean visible, fmi2Boolean loggingOn) {
  static_cast<void>(visible);
  if (instanceName == nullptr || instanceName[0] == '\0') {
    logWithoutInstance(functions, instanceName, "fmi2Instantiate: an instance name is required");
    return nullptr;
  }
  if (fmuType != fmi2CoSimulation) {
    logWithoutInstance(functions, instanceName, "fmi2Instantiate: this FMU provides co-simulation only");
    return nullptr;
  }
  if (fmuGUID == nullptr || std::strcmp(fmuGUID, corvanta_fmi::kInstantiationToken) != 0) {
    logWithoutInstance(functions, instanceName,
                       "fmi2Instantiate: the GUID does not match this binary's model description");
    return nullptr;
  }
  const fmi2CallbackFunctions none = {nullptr, nullptr, nullptr, nullptr, nullptr};
  // Binds this thread's exception-handling storage now, while memory is there: a thread's first
  // throw allocates it otherwise, and that allocation is fatal when memory has run out.
  // (The query is declared pure; the volatile keeps the call.)
  volatile int pendingExceptions = std::uncaught_exceptions();
  static_cast<void>(pendingExceptions);
  try {
    auto *component = new Component(instanceName, functions != nullptr ? *functions : none, loggingOn != fmi2False);
    // A relative VehicleFile is found in the FMU's resources folder.
    component->core.setResourceDirectory(corvanta_fmi::resourceDirectoryFromUri(fmuResourceLocation));
    return component;
  } catch (const std::bad_alloc &) {
    logWithoutInstance(functions, instanceName, "fmi2Instantiate: out of memory");
    return nullptr;
  }
}

void fmi2FreeInstance(fmi2Component c) { delete static_cast<Component *>(c); }

fmi2Status fmi2SetupExperiment(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance, fmi2Real startTime,
                               fmi2Boolean stopTimeDefined, fmi2Real stopTime) {
  CORVANTA_FMI2_INSTANCE(c)
  // The step is fixed: a tolerance has nothing to act on.
  static_cast<void>(toleranceDefined);
  static_cast<void>(tolerance);
  return status(fmu->setupExperiment("fmi2SetupExperiment", startTime, stopTimeDefined != fmi2False, stopTime));
}

fmi2Status fmi2EnterInitializationMode(fmi2Component c) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->enterInitializationMode("fmi2EnterInitializationMode"));
}

fmi2Status fmi2ExitInitializationMode(fmi2Component c) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->exitInitializationMode("fmi2ExitInitializationMode", false));
}

fmi2Status fmi2Terminate(fmi2Component c) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->terminate("fmi2Terminate"));
}

fmi2Status fmi2Reset(fmi2Component c) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->reset("fmi2Reset"));
}

fmi2Status fmi2GetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Real value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->getReal("fmi2GetReal", vr, nvr, value));
}

fmi2Status fmi2GetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Integer value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(value);
  return status(fmu->noVariablesOfType("fmi2GetInteger", vr, nvr, false));
}

fmi2Status fmi2GetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Boolean value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(value);
  return status(fmu->noVariablesOfType("fmi2GetBoolean", vr, nvr, false));
}

fmi2Status fmi2GetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2String value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->getString("fmi2GetString", vr, nvr, value));
}

fmi2Status fmi2SetReal(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Real value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->setReal("fmi2SetReal", vr, nvr, value));
}

fmi2Status fmi2SetInteger(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Integer value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(value);
  return status(fmu->noVariablesOfType("fmi2SetInteger", vr, nvr, true));
}

fmi2Status fmi2SetBoolean(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Boolean value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(value);
  return status(fmu->noVariablesOfType("fmi2SetBoolean", vr, nvr, true));
}

fmi2Status fmi2SetString(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2String value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->setString("fmi2SetString", vr, nvr, value));
}

fmi2Status fmi2GetFMUstate(fmi2Component c, fmi2FMUstate *FMUstate) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->getState("fmi2GetFMUstate", FMUstate));
}

fmi2Status fmi2SetFMUstate(fmi2Component c, fmi2FMUstate FMUstate) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->setState("fmi2SetFMUstate", FMUstate));
}

fmi2Status fmi2FreeFMUstate(fmi2Component c, fmi2FMUstate *FMUstate) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->freeState("fmi2FreeFMUstate", FMUstate));
}

fmi2Status fmi2SerializedFMUstateSize(fmi2Component c, fmi2FMUstate FMUstate, size_t *size) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->serializedStateSize("fmi2SerializedFMUstateSize", FMUstate, size));
}

fmi2Status fmi2SerializeFMUstate(fmi2Component c, fmi2FMUstate FMUstate, fmi2Byte serializedState[], size_t size) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->serializeStateTo("fmi2SerializeFMUstate", FMUstate,
                                      reinterpret_cast<std::uint8_t *>(serializedState), size));
}

fmi2Status fmi2DeSerializeFMUstate(fmi2Component c, const fmi2Byte serializedState[], size_t size,
                                   fmi2FMUstate *FMUstate) {
  CORVANTA_FMI2_INSTANCE(c)
  return status(fmu->deserializeState("fmi2DeSerializeFMUstate",
                                      reinterpret_cast<const std::uint8_t *>(serializedState), size, FMUstate));
}

fmi2Status fmi2GetDirectionalDerivative(fmi2Component c, const fmi2ValueReference vUnknown_ref[], size_t nUnknown,
                                        const fmi2ValueReference vKnown_ref[], size_t nKnown, const fmi2Real dvKnown[],
                                        fmi2Real dvUnknown[]) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(vUnknown_ref);
  static_cast<void>(nUnknown);
  static_cast<void>(vKnown_ref);
  static_cast<void>(nKnown);
  static_cast<void>(dvKnown);
  static_cast<void>(dvUnknown);
  return status(fmu->unsupported("fmi2GetDirectionalDerivative"));
}

fmi2Status fmi2SetRealInputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                       const fmi2Integer order[], const fmi2Real value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(vr);
  static_cast<void>(nvr);
  static_cast<void>(order);
  static_cast<void>(value);
  return status(fmu->unsupported("fmi2SetRealInputDerivatives"));
}

fmi2Status fmi2GetRealOutputDerivatives(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                        const fmi2Integer order[], fmi2Real value[]) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(vr);
  static_cast<void>(nvr);
  static_cast<void>(order);
  static_cast<void>(value);
  return status(fmu->unsupported("fmi2GetRealOutputDerivatives"));
}

fmi2Status fmi2DoStep(fmi2Component c, fmi2Real currentCommunicationPoint, fmi2Real communicationStepSize,
                      fmi2Boolean noSetFMUStatePriorToCurrentPoint) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(noSetFMUStatePriorToCurrentPoint);
  return status(fmu->doStep("fmi2DoStep", currentCommunicationPoint, communicationStepSize));
}

fmi2Status fmi2CancelStep(fmi2Component c) {
  CORVANTA_FMI2_INSTANCE(c)
  // Steps complete before fmi2DoStep returns: there is never one to cancel.
  return status(fmu->unsupported("fmi2CancelStep"));
}

// Status queries.  DoStep never returns fmi2Pending, so the asynchronous kinds have nothing
// to report; a co-simulation FMU that cannot give the asked-for status answers fmi2Discard
// and stays usable.  fmi2LastSuccessfulTime and fmi2Terminated are answered.

fmi2Status fmi2GetStatus(fmi2Component c, const fmi2StatusKind s, fmi2Status *value) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(s);
  static_cast<void>(value);
  return status(fmu->statusUnavailable("fmi2GetStatus", "no asynchronous step to report on"));
}

fmi2Status fmi2GetRealStatus(fmi2Component c, const fmi2StatusKind s, fmi2Real *value) {
  CORVANTA_FMI2_INSTANCE(c)
  if (s != fmi2LastSuccessfulTime) {
    return status(fmu->statusUnavailable("fmi2GetRealStatus", "only fmi2LastSuccessfulTime is a real status"));
  }
  if (value == nullptr) {
    return status(fmu->fail("fmi2GetRealStatus", "null value pointer"));
  }
  if (!fmu->statusQueryAllowed("fmi2GetRealStatus")) {
    return fmi2Error;
  }
  *value = fmu->time();
  return fmi2OK;
}

fmi2Status fmi2GetIntegerStatus(fmi2Component c, const fmi2StatusKind s, fmi2Integer *value) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(s);
  static_cast<void>(value);
  return status(fmu->statusUnavailable("fmi2GetIntegerStatus", "no integer status is defined"));
}

fmi2Status fmi2GetBooleanStatus(fmi2Component c, const fmi2StatusKind s, fmi2Boolean *value) {
  CORVANTA_FMI2_INSTANCE(c)
  if (s != fmi2Terminated) {
    return status(fmu->statusUnavailable("fmi2GetBooleanStatus", "only fmi2Terminated is a boolean status"));
  }
  if (value == nullptr) {
    return status(fmu->fail("fmi2GetBooleanStatus", "null value pointer"));
  }
  if (!fmu->statusQueryAllowed("fmi2GetBooleanStatus")) {
    return fmi2Error;
  }
  // The model never asks to end the simulation.
  *value = fmi2False;
  return fmi2OK;
}

fmi2Status fmi2GetStringStatus(fmi2Component c, const fmi2StatusKind s, fmi2String *value) {
  CORVANTA_FMI2_INSTANCE(c)
  static_cast<void>(s);
  static_cast<void>(value);
  return status(fmu->statusUnavailable("fmi2GetStringStatus", "no asynchronous step to report on"));
}

}  // extern "C"
