// The FMI 3.0 interface of the Corvanta FMU: co-simulation.  The functions of model exchange,
// scheduled execution, clocks, configuration mode and derivatives exist, log why and answer
// fmi3Error (the instantiation functions of the interface types not provided return NULL).
#include <cstring>
#include <exception>
#include <new>

#include "fmi/Fmi3Api.h"
#include "fmi/FmuInstance.h"
#include "fmi/FmuResources.h"

using corvanta_fmi::FmuInstance;
using corvanta_fmi::Phase;
using corvanta_fmi::Status;

namespace {

struct Instance {
  Instance(fmi3String instanceName, fmi3InstanceEnvironment hostEnvironment, fmi3LogMessageCallback hostLogger,
           bool loggingOn, bool withEventMode)
      : environment(hostEnvironment),
        logger(hostLogger),
        eventModeUsed(withEventMode),
        core(instanceName, &forward, this, loggingOn) {
    core.useEventMode(withEventMode);
  }

  static void forward(void *context, const char *instanceName, Status status, const char *category,
                      const char *message) {
    static_cast<void>(instanceName);
    const auto *self = static_cast<const Instance *>(context);
    if (self->logger != nullptr) {
      self->logger(self->environment, static_cast<fmi3Status>(status), category, message);
    }
  }

  fmi3InstanceEnvironment environment;
  fmi3LogMessageCallback logger;
  bool eventModeUsed;
  FmuInstance core;
};

FmuInstance *core(fmi3Instance instance) {
  return instance != nullptr ? &static_cast<Instance *>(instance)->core : nullptr;
}

fmi3Status status(Status s) { return static_cast<fmi3Status>(s); }

#define CORVANTA_FMI3_INSTANCE(instance) \
  FmuInstance *fmu = core(instance);     \
  if (fmu == nullptr) {                  \
    return fmi3Error;                    \
  }

// A function this FMU does not provide: logged, fmi3Error.
#define CORVANTA_FMI3_UNSUPPORTED(instance, name) \
  CORVANTA_FMI3_INSTANCE(instance)                \
  return status(fmu->unsupported(name));

void logWithoutInstance(fmi3InstanceEnvironment environment, fmi3LogMessageCallback logger, const char *message) {
  if (logger != nullptr) {
    logger(environment, fmi3Error, "logStatusError", message);
  }
}

}  // namespace

extern "C" {

const char *fmi3GetVersion(void) { return "3.0"; }

fmi3Status fmi3SetDebugLogging(fmi3Instance instance, fmi3Boolean loggingOn, size_t nCategories,
                               const fmi3String categories[]) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->setDebugLogging("fmi3SetDebugLogging", loggingOn, nCategories, categories));
}

fmi3Instance fmi3InstantiateModelExchange(fmi3String, fmi3String, fmi3String, fmi3Boolean, fmi3Boolean,
                                          fmi3InstanceEnvironment instanceEnvironment,
                                          fmi3LogMessageCallback logMessage) {
  logWithoutInstance(instanceEnvironment, logMessage,
                     "fmi3InstantiateModelExchange: this FMU provides co-simulation only");
  return nullptr;
}

fmi3Instance fmi3InstantiateCoSimulation(fmi3String instanceName, fmi3String instantiationToken,
                                         fmi3String resourcePath, fmi3Boolean, fmi3Boolean loggingOn,
                                         fmi3Boolean eventModeUsed, fmi3Boolean, const fmi3ValueReference[],
                                         size_t nRequiredIntermediateVariables,
                                         fmi3InstanceEnvironment instanceEnvironment, fmi3LogMessageCallback logMessage,
                                         fmi3IntermediateUpdateCallback) {
  if (instanceName == nullptr || instanceName[0] == '\0') {
    logWithoutInstance(instanceEnvironment, logMessage, "fmi3InstantiateCoSimulation: an instance name is required");
    return nullptr;
  }
  if (instantiationToken == nullptr || std::strcmp(instantiationToken, corvanta_fmi::kInstantiationToken) != 0) {
    logWithoutInstance(instanceEnvironment, logMessage,
                       "fmi3InstantiateCoSimulation: the instantiation token does not match this binary's model "
                       "description");
    return nullptr;
  }
  if (nRequiredIntermediateVariables != 0) {
    logWithoutInstance(instanceEnvironment, logMessage,
                       "fmi3InstantiateCoSimulation: this FMU provides no intermediate update");
    return nullptr;
  }
  // Binds this thread's exception-handling storage now, while memory is there: a thread's first
  // throw allocates it otherwise, and that allocation is fatal when memory has run out.
  // (The query is declared pure; the volatile keeps the call.)
  volatile int pendingExceptions = std::uncaught_exceptions();
  static_cast<void>(pendingExceptions);
  try {
    auto *instance = new Instance(instanceName, instanceEnvironment, logMessage, loggingOn, eventModeUsed);
    // A relative VehicleFile is found in the FMU's resources folder.
    instance->core.setResourceDirectory(corvanta_fmi::resourceDirectoryFromPath(resourcePath));
    return instance;
  } catch (const std::bad_alloc &) {
    logWithoutInstance(instanceEnvironment, logMessage, "fmi3InstantiateCoSimulation: out of memory");
    return nullptr;
  }
}

fmi3Instance fmi3InstantiateScheduledExecution(fmi3String, fmi3String, fmi3String, fmi3Boolean, fmi3Boolean,
                                               fmi3InstanceEnvironment instanceEnvironment,
                                               fmi3LogMessageCallback logMessage, fmi3ClockUpdateCallback,
                                               fmi3LockPreemptionCallback, fmi3UnlockPreemptionCallback) {
  logWithoutInstance(instanceEnvironment, logMessage,
                     "fmi3InstantiateScheduledExecution: this FMU provides co-simulation only");
  return nullptr;
}

void fmi3FreeInstance(fmi3Instance instance) { delete static_cast<Instance *>(instance); }

fmi3Status fmi3EnterInitializationMode(fmi3Instance instance, fmi3Boolean, fmi3Float64, fmi3Float64 startTime,
                                       fmi3Boolean stopTimeDefined, fmi3Float64 stopTime) {
  CORVANTA_FMI3_INSTANCE(instance)
  // The step is fixed: a tolerance has nothing to act on.
  if (fmu->setupExperiment("fmi3EnterInitializationMode", startTime, stopTimeDefined, stopTime) != Status::OK) {
    return fmi3Error;
  }
  return status(fmu->enterInitializationMode("fmi3EnterInitializationMode"));
}

fmi3Status fmi3ExitInitializationMode(fmi3Instance instance) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(
      fmu->exitInitializationMode("fmi3ExitInitializationMode", static_cast<Instance *>(instance)->eventModeUsed));
}

fmi3Status fmi3EnterEventMode(fmi3Instance instance) {
  CORVANTA_FMI3_INSTANCE(instance)
  if (!static_cast<Instance *>(instance)->eventModeUsed) {
    return status(fmu->fail("fmi3EnterEventMode", "the instance was created without event mode"));
  }
  return status(fmu->enterEventMode("fmi3EnterEventMode"));
}

fmi3Status fmi3Terminate(fmi3Instance instance) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->terminate("fmi3Terminate"));
}

fmi3Status fmi3Reset(fmi3Instance instance) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->reset("fmi3Reset"));
}

fmi3Status fmi3GetFloat64(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences,
                          fmi3Float64 values[], size_t nValues) {
  CORVANTA_FMI3_INSTANCE(instance)
  if (nValues != nValueReferences) {
    return status(fmu->fail("fmi3GetFloat64", "%lu values for %lu scalar variables",
                            static_cast<unsigned long>(nValues), static_cast<unsigned long>(nValueReferences)));
  }
  return status(fmu->getReal("fmi3GetFloat64", valueReferences, nValueReferences, values));
}

fmi3Status fmi3SetFloat64(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences,
                          const fmi3Float64 values[], size_t nValues) {
  CORVANTA_FMI3_INSTANCE(instance)
  if (nValues != nValueReferences) {
    return status(fmu->fail("fmi3SetFloat64", "%lu values for %lu scalar variables",
                            static_cast<unsigned long>(nValues), static_cast<unsigned long>(nValueReferences)));
  }
  return status(fmu->setReal("fmi3SetFloat64", valueReferences, nValueReferences, values));
}

// Types without variables: only empty requests succeed.
#define CORVANTA_FMI3_NO_VARIABLES(Type)                                                                               \
  fmi3Status fmi3Get##Type(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences, \
                           fmi3##Type[], size_t) {                                                                     \
    CORVANTA_FMI3_INSTANCE(instance)                                                                                   \
    return status(fmu->noVariablesOfType("fmi3Get" #Type, valueReferences, nValueReferences, false));                  \
  }                                                                                                                    \
  fmi3Status fmi3Set##Type(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences, \
                           const fmi3##Type[], size_t) {                                                               \
    CORVANTA_FMI3_INSTANCE(instance)                                                                                   \
    return status(fmu->noVariablesOfType("fmi3Set" #Type, valueReferences, nValueReferences, true));                   \
  }
CORVANTA_FMI3_NO_VARIABLES(Float32)
CORVANTA_FMI3_NO_VARIABLES(Int8)
CORVANTA_FMI3_NO_VARIABLES(UInt8)
CORVANTA_FMI3_NO_VARIABLES(Int16)
CORVANTA_FMI3_NO_VARIABLES(UInt16)
CORVANTA_FMI3_NO_VARIABLES(Int32)
CORVANTA_FMI3_NO_VARIABLES(UInt32)
CORVANTA_FMI3_NO_VARIABLES(Int64)
CORVANTA_FMI3_NO_VARIABLES(UInt64)
CORVANTA_FMI3_NO_VARIABLES(Boolean)
#undef CORVANTA_FMI3_NO_VARIABLES

fmi3Status fmi3GetString(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences,
                         fmi3String values[], size_t nValues) {
  CORVANTA_FMI3_INSTANCE(instance)
  if (nValues != nValueReferences) {
    return status(fmu->fail("fmi3GetString", "%lu values for %lu scalar variables", static_cast<unsigned long>(nValues),
                            static_cast<unsigned long>(nValueReferences)));
  }
  return status(fmu->getString("fmi3GetString", valueReferences, nValueReferences, values));
}

fmi3Status fmi3SetString(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences,
                         const fmi3String values[], size_t nValues) {
  CORVANTA_FMI3_INSTANCE(instance)
  if (nValues != nValueReferences) {
    return status(fmu->fail("fmi3SetString", "%lu values for %lu scalar variables", static_cast<unsigned long>(nValues),
                            static_cast<unsigned long>(nValueReferences)));
  }
  return status(fmu->setString("fmi3SetString", valueReferences, nValueReferences, values));
}

fmi3Status fmi3GetBinary(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences,
                         size_t[], fmi3Binary[], size_t) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->noVariablesOfType("fmi3GetBinary", valueReferences, nValueReferences, false));
}

fmi3Status fmi3SetBinary(fmi3Instance instance, const fmi3ValueReference valueReferences[], size_t nValueReferences,
                         const size_t[], const fmi3Binary[], size_t) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->noVariablesOfType("fmi3SetBinary", valueReferences, nValueReferences, true));
}

fmi3Status fmi3GetClock(fmi3Instance instance, const fmi3ValueReference[], size_t,
                        fmi3Clock[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetClock")}

fmi3Status fmi3SetClock(fmi3Instance instance, const fmi3ValueReference[], size_t,
                        const fmi3Clock[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3SetClock")}

fmi3Status fmi3GetNumberOfVariableDependencies(fmi3Instance instance, fmi3ValueReference, size_t *){
    CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetNumberOfVariableDependencies")}

fmi3Status fmi3GetVariableDependencies(fmi3Instance instance, fmi3ValueReference, size_t[], fmi3ValueReference[],
                                       size_t[], fmi3DependencyKind[],
                                       size_t){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetVariableDependencies")}

fmi3Status fmi3GetFMUState(fmi3Instance instance, fmi3FMUState *FMUState) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->getState("fmi3GetFMUState", FMUState));
}

fmi3Status fmi3SetFMUState(fmi3Instance instance, fmi3FMUState FMUState) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->setState("fmi3SetFMUState", FMUState));
}

fmi3Status fmi3FreeFMUState(fmi3Instance instance, fmi3FMUState *FMUState) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->freeState("fmi3FreeFMUState", FMUState));
}

fmi3Status fmi3SerializedFMUStateSize(fmi3Instance instance, fmi3FMUState FMUState, size_t *size) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->serializedStateSize("fmi3SerializedFMUStateSize", FMUState, size));
}

fmi3Status fmi3SerializeFMUState(fmi3Instance instance, fmi3FMUState FMUState, fmi3Byte serializedState[],
                                 size_t size) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->serializeStateTo("fmi3SerializeFMUState", FMUState, serializedState, size));
}

fmi3Status fmi3DeserializeFMUState(fmi3Instance instance, const fmi3Byte serializedState[], size_t size,
                                   fmi3FMUState *FMUState) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->deserializeState("fmi3DeserializeFMUState", serializedState, size, FMUState));
}

fmi3Status fmi3GetDirectionalDerivative(fmi3Instance instance, const fmi3ValueReference[], size_t,
                                        const fmi3ValueReference[], size_t, const fmi3Float64[], size_t, fmi3Float64[],
                                        size_t){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetDirectionalDerivative")}

fmi3Status fmi3GetAdjointDerivative(fmi3Instance instance, const fmi3ValueReference[], size_t,
                                    const fmi3ValueReference[], size_t, const fmi3Float64[], size_t, fmi3Float64[],
                                    size_t){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetAdjointDerivative")}

fmi3Status
    fmi3EnterConfigurationMode(fmi3Instance instance){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3EnterConfigurationMode")}

fmi3Status
    fmi3ExitConfigurationMode(fmi3Instance instance){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3ExitConfigurationMode")}

fmi3Status
    fmi3GetIntervalDecimal(fmi3Instance instance, const fmi3ValueReference[], size_t, fmi3Float64[],
                           fmi3IntervalQualifier[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetIntervalDecimal")}

fmi3Status
    fmi3GetIntervalFraction(fmi3Instance instance, const fmi3ValueReference[], size_t, fmi3UInt64[], fmi3UInt64[],
                            fmi3IntervalQualifier[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetIntervalFraction")}

fmi3Status fmi3GetShiftDecimal(fmi3Instance instance, const fmi3ValueReference[], size_t,
                               fmi3Float64[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetShiftDecimal")}

fmi3Status fmi3GetShiftFraction(fmi3Instance instance, const fmi3ValueReference[], size_t, fmi3UInt64[],
                                fmi3UInt64[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetShiftFraction")}

fmi3Status fmi3SetIntervalDecimal(fmi3Instance instance, const fmi3ValueReference[], size_t,
                                  const fmi3Float64[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3SetIntervalDecimal")}

fmi3Status fmi3SetIntervalFraction(fmi3Instance instance, const fmi3ValueReference[], size_t, const fmi3UInt64[],
                                   const fmi3UInt64[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3SetIntervalFraction")}

fmi3Status fmi3SetShiftDecimal(fmi3Instance instance, const fmi3ValueReference[], size_t,
                               const fmi3Float64[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3SetShiftDecimal")}

fmi3Status fmi3SetShiftFraction(fmi3Instance instance, const fmi3ValueReference[], size_t, const fmi3UInt64[],
                                const fmi3UInt64[]){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3SetShiftFraction")}

fmi3Status
    fmi3EvaluateDiscreteStates(fmi3Instance instance){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3EvaluateDiscreteStates")}

fmi3Status fmi3UpdateDiscreteStates(fmi3Instance instance, fmi3Boolean *discreteStatesNeedUpdate,
                                    fmi3Boolean *terminateSimulation, fmi3Boolean *nominalsOfContinuousStatesChanged,
                                    fmi3Boolean *valuesOfContinuousStatesChanged, fmi3Boolean *nextEventTimeDefined,
                                    fmi3Float64 *nextEventTime) {
  CORVANTA_FMI3_INSTANCE(instance)
  // In event mode (an importer that asked for it) there are never events to process.
  if (!fmu->requirePhase("fmi3UpdateDiscreteStates", {Phase::EventMode})) {
    return fmi3Error;
  }
  if (discreteStatesNeedUpdate == nullptr || terminateSimulation == nullptr ||
      nominalsOfContinuousStatesChanged == nullptr || valuesOfContinuousStatesChanged == nullptr ||
      nextEventTimeDefined == nullptr || nextEventTime == nullptr) {
    return status(fmu->fail("fmi3UpdateDiscreteStates", "null result pointer"));
  }
  *discreteStatesNeedUpdate = false;
  *terminateSimulation = false;
  *nominalsOfContinuousStatesChanged = false;
  *valuesOfContinuousStatesChanged = false;
  *nextEventTimeDefined = false;
  *nextEventTime = 0.0;
  return fmi3OK;
}

fmi3Status fmi3EnterContinuousTimeMode(fmi3Instance instance){
    CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3EnterContinuousTimeMode")}

fmi3Status fmi3CompletedIntegratorStep(fmi3Instance instance, fmi3Boolean, fmi3Boolean *, fmi3Boolean *){
    CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3CompletedIntegratorStep")}

fmi3Status fmi3SetTime(fmi3Instance instance, fmi3Float64){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3SetTime")}

fmi3Status fmi3SetContinuousStates(fmi3Instance instance, const fmi3Float64[],
                                   size_t){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3SetContinuousStates")}

fmi3Status fmi3GetContinuousStateDerivatives(fmi3Instance instance, fmi3Float64[], size_t){
    CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetContinuousStateDerivatives")}

fmi3Status fmi3GetEventIndicators(fmi3Instance instance, fmi3Float64[],
                                  size_t){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetEventIndicators")}

fmi3Status fmi3GetContinuousStates(fmi3Instance instance, fmi3Float64[],
                                   size_t){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetContinuousStates")}

fmi3Status fmi3GetNominalsOfContinuousStates(fmi3Instance instance, fmi3Float64[], size_t){
    CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetNominalsOfContinuousStates")}

fmi3Status fmi3GetNumberOfEventIndicators(fmi3Instance instance, size_t *){
    CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetNumberOfEventIndicators")}

fmi3Status fmi3GetNumberOfContinuousStates(fmi3Instance instance, size_t *){
    CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetNumberOfContinuousStates")}

fmi3Status fmi3EnterStepMode(fmi3Instance instance) {
  CORVANTA_FMI3_INSTANCE(instance)
  return status(fmu->enterStepMode("fmi3EnterStepMode"));
}

fmi3Status fmi3GetOutputDerivatives(fmi3Instance instance, const fmi3ValueReference[], size_t, const fmi3Int32[],
                                    fmi3Float64[],
                                    size_t){CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3GetOutputDerivatives")}

fmi3Status fmi3DoStep(fmi3Instance instance, fmi3Float64 currentCommunicationPoint, fmi3Float64 communicationStepSize,
                      fmi3Boolean, fmi3Boolean *eventHandlingNeeded, fmi3Boolean *terminateSimulation,
                      fmi3Boolean *earlyReturn, fmi3Float64 *lastSuccessfulTime) {
  CORVANTA_FMI3_INSTANCE(instance)
  if (eventHandlingNeeded == nullptr || terminateSimulation == nullptr || earlyReturn == nullptr ||
      lastSuccessfulTime == nullptr) {
    return status(fmu->fail("fmi3DoStep", "null result pointer"));
  }
  const Status result = fmu->doStep("fmi3DoStep", currentCommunicationPoint, communicationStepSize);
  *eventHandlingNeeded = false;
  *terminateSimulation = false;
  *earlyReturn = false;
  *lastSuccessfulTime = fmu->time();
  return status(result);
}

fmi3Status fmi3ActivateModelPartition(fmi3Instance instance, fmi3ValueReference, fmi3Float64) {
  CORVANTA_FMI3_UNSUPPORTED(instance, "fmi3ActivateModelPartition")
}

}  // extern "C"
