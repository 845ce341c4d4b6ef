/*
 * Fmi3Api.h - types and function signatures of the FMI 3.0 interface (common functions,
 * model exchange, co-simulation and scheduled execution), written after the function list
 * of the FMI 3.0 standard.  The FMU exports every one of them with C linkage under its plain
 * name; those of interface types it does not provide answer with an error.  Each function's
 * type is typedef'd once (fmi3DoStepTYPE) so that hosts binding by name cast to the same signature.
 */
#ifndef CORVANTA_FMI_FMI3API_H
#define CORVANTA_FMI_FMI3API_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#define FMI3_EXPORT __declspec(dllexport)
#else
#define FMI3_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *fmi3Instance;
typedef void *fmi3InstanceEnvironment;
typedef void *fmi3FMUState;
typedef uint32_t fmi3ValueReference;
typedef float fmi3Float32;
typedef double fmi3Float64;
typedef int8_t fmi3Int8;
typedef uint8_t fmi3UInt8;
typedef int16_t fmi3Int16;
typedef uint16_t fmi3UInt16;
typedef int32_t fmi3Int32;
typedef uint32_t fmi3UInt32;
typedef int64_t fmi3Int64;
typedef uint64_t fmi3UInt64;
typedef bool fmi3Boolean;
typedef char fmi3Char;
typedef const fmi3Char *fmi3String;
typedef uint8_t fmi3Byte;
typedef const fmi3Byte *fmi3Binary;
typedef bool fmi3Clock;

#define fmi3True true
#define fmi3False false

typedef enum { fmi3OK, fmi3Warning, fmi3Discard, fmi3Error, fmi3Fatal } fmi3Status;
typedef enum { fmi3Independent, fmi3Constant, fmi3Fixed, fmi3Tunable, fmi3Discrete, fmi3Dependent } fmi3DependencyKind;
typedef enum { fmi3IntervalNotYetKnown, fmi3IntervalUnchanged, fmi3IntervalChanged } fmi3IntervalQualifier;

typedef void (*fmi3LogMessageCallback)(fmi3InstanceEnvironment instanceEnvironment, fmi3Status status,
                                       fmi3String category, fmi3String message);
typedef void (*fmi3ClockUpdateCallback)(fmi3InstanceEnvironment instanceEnvironment);
typedef void (*fmi3IntermediateUpdateCallback)(fmi3InstanceEnvironment instanceEnvironment,
                                               fmi3Float64 intermediateUpdateTime,
                                               fmi3Boolean intermediateVariableSetRequested,
                                               fmi3Boolean intermediateVariableGetAllowed,
                                               fmi3Boolean intermediateStepFinished, fmi3Boolean canReturnEarly,
                                               fmi3Boolean *earlyReturnRequested, fmi3Float64 *earlyReturnTime);
typedef void (*fmi3LockPreemptionCallback)(void);
typedef void (*fmi3UnlockPreemptionCallback)(void);

/* Inquire version, debug logging. */
typedef const char *fmi3GetVersionTYPE(void);
FMI3_EXPORT fmi3GetVersionTYPE fmi3GetVersion;
typedef fmi3Status fmi3SetDebugLoggingTYPE(fmi3Instance instance, fmi3Boolean loggingOn, size_t nCategories,
                                           const fmi3String categories[]);
FMI3_EXPORT fmi3SetDebugLoggingTYPE fmi3SetDebugLogging;

/* Creation and destruction. */
typedef fmi3Instance fmi3InstantiateModelExchangeTYPE(fmi3String instanceName, fmi3String instantiationToken,
                                                      fmi3String resourcePath, fmi3Boolean visible,
                                                      fmi3Boolean loggingOn,
                                                      fmi3InstanceEnvironment instanceEnvironment,
                                                      fmi3LogMessageCallback logMessage);
FMI3_EXPORT fmi3InstantiateModelExchangeTYPE fmi3InstantiateModelExchange;
typedef fmi3Instance fmi3InstantiateCoSimulationTYPE(
    fmi3String instanceName, fmi3String instantiationToken, fmi3String resourcePath, fmi3Boolean visible,
    fmi3Boolean loggingOn, fmi3Boolean eventModeUsed, fmi3Boolean earlyReturnAllowed,
    const fmi3ValueReference requiredIntermediateVariables[], size_t nRequiredIntermediateVariables,
    fmi3InstanceEnvironment instanceEnvironment, fmi3LogMessageCallback logMessage,
    fmi3IntermediateUpdateCallback intermediateUpdate);
FMI3_EXPORT fmi3InstantiateCoSimulationTYPE fmi3InstantiateCoSimulation;
typedef fmi3Instance fmi3InstantiateScheduledExecutionTYPE(
    fmi3String instanceName, fmi3String instantiationToken, fmi3String resourcePath, fmi3Boolean visible,
    fmi3Boolean loggingOn, fmi3InstanceEnvironment instanceEnvironment, fmi3LogMessageCallback logMessage,
    fmi3ClockUpdateCallback clockUpdate, fmi3LockPreemptionCallback lockPreemption,
    fmi3UnlockPreemptionCallback unlockPreemption);
FMI3_EXPORT fmi3InstantiateScheduledExecutionTYPE fmi3InstantiateScheduledExecution;
typedef void fmi3FreeInstanceTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3FreeInstanceTYPE fmi3FreeInstance;

/* Initialization, termination, reset. */
typedef fmi3Status fmi3EnterInitializationModeTYPE(fmi3Instance instance, fmi3Boolean toleranceDefined,
                                                   fmi3Float64 tolerance, fmi3Float64 startTime,
                                                   fmi3Boolean stopTimeDefined, fmi3Float64 stopTime);
FMI3_EXPORT fmi3EnterInitializationModeTYPE fmi3EnterInitializationMode;
typedef fmi3Status fmi3ExitInitializationModeTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3ExitInitializationModeTYPE fmi3ExitInitializationMode;
typedef fmi3Status fmi3EnterEventModeTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3EnterEventModeTYPE fmi3EnterEventMode;
typedef fmi3Status fmi3TerminateTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3TerminateTYPE fmi3Terminate;
typedef fmi3Status fmi3ResetTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3ResetTYPE fmi3Reset;

/* Getting and setting variable values. */
#define FMI3_GETTER_SETTER(Type)                                                                              \
  typedef fmi3Status fmi3Get##Type##TYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],   \
                                         size_t nValueReferences, fmi3##Type values[], size_t nValues);       \
  FMI3_EXPORT fmi3Get##Type##TYPE fmi3Get##Type;                                                              \
  typedef fmi3Status fmi3Set##Type##TYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],   \
                                         size_t nValueReferences, const fmi3##Type values[], size_t nValues); \
  FMI3_EXPORT fmi3Set##Type##TYPE fmi3Set##Type;
FMI3_GETTER_SETTER(Float32)
FMI3_GETTER_SETTER(Float64)
FMI3_GETTER_SETTER(Int8)
FMI3_GETTER_SETTER(UInt8)
FMI3_GETTER_SETTER(Int16)
FMI3_GETTER_SETTER(UInt16)
FMI3_GETTER_SETTER(Int32)
FMI3_GETTER_SETTER(UInt32)
FMI3_GETTER_SETTER(Int64)
FMI3_GETTER_SETTER(UInt64)
FMI3_GETTER_SETTER(Boolean)
FMI3_GETTER_SETTER(String)
#undef FMI3_GETTER_SETTER
typedef fmi3Status fmi3GetBinaryTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, size_t valueSizes[], fmi3Binary values[], size_t nValues);
FMI3_EXPORT fmi3GetBinaryTYPE fmi3GetBinary;
typedef fmi3Status fmi3SetBinaryTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                     size_t nValueReferences, const size_t valueSizes[], const fmi3Binary values[],
                                     size_t nValues);
FMI3_EXPORT fmi3SetBinaryTYPE fmi3SetBinary;
typedef fmi3Status fmi3GetClockTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, fmi3Clock values[]);
FMI3_EXPORT fmi3GetClockTYPE fmi3GetClock;
typedef fmi3Status fmi3SetClockTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                    size_t nValueReferences, const fmi3Clock values[]);
FMI3_EXPORT fmi3SetClockTYPE fmi3SetClock;

/* Variable dependencies. */
typedef fmi3Status fmi3GetNumberOfVariableDependenciesTYPE(fmi3Instance instance, fmi3ValueReference valueReference,
                                                           size_t *nDependencies);
FMI3_EXPORT fmi3GetNumberOfVariableDependenciesTYPE fmi3GetNumberOfVariableDependencies;
typedef fmi3Status fmi3GetVariableDependenciesTYPE(fmi3Instance instance, fmi3ValueReference dependent,
                                                   size_t elementIndicesOfDependent[],
                                                   fmi3ValueReference independents[],
                                                   size_t elementIndicesOfIndependents[],
                                                   fmi3DependencyKind dependencyKinds[], size_t nDependencies);
FMI3_EXPORT fmi3GetVariableDependenciesTYPE fmi3GetVariableDependencies;

/* FMU state. */
typedef fmi3Status fmi3GetFMUStateTYPE(fmi3Instance instance, fmi3FMUState *FMUState);
FMI3_EXPORT fmi3GetFMUStateTYPE fmi3GetFMUState;
typedef fmi3Status fmi3SetFMUStateTYPE(fmi3Instance instance, fmi3FMUState FMUState);
FMI3_EXPORT fmi3SetFMUStateTYPE fmi3SetFMUState;
typedef fmi3Status fmi3FreeFMUStateTYPE(fmi3Instance instance, fmi3FMUState *FMUState);
FMI3_EXPORT fmi3FreeFMUStateTYPE fmi3FreeFMUState;
typedef fmi3Status fmi3SerializedFMUStateSizeTYPE(fmi3Instance instance, fmi3FMUState FMUState, size_t *size);
FMI3_EXPORT fmi3SerializedFMUStateSizeTYPE fmi3SerializedFMUStateSize;
typedef fmi3Status fmi3SerializeFMUStateTYPE(fmi3Instance instance, fmi3FMUState FMUState, fmi3Byte serializedState[],
                                             size_t size);
FMI3_EXPORT fmi3SerializeFMUStateTYPE fmi3SerializeFMUState;
typedef fmi3Status fmi3DeserializeFMUStateTYPE(fmi3Instance instance, const fmi3Byte serializedState[], size_t size,
                                               fmi3FMUState *FMUState);
FMI3_EXPORT fmi3DeserializeFMUStateTYPE fmi3DeserializeFMUState;

/* Partial derivatives. */
typedef fmi3Status fmi3GetDirectionalDerivativeTYPE(fmi3Instance instance, const fmi3ValueReference unknowns[],
                                                    size_t nUnknowns, const fmi3ValueReference knowns[], size_t nKnowns,
                                                    const fmi3Float64 seed[], size_t nSeed, fmi3Float64 sensitivity[],
                                                    size_t nSensitivity);
FMI3_EXPORT fmi3GetDirectionalDerivativeTYPE fmi3GetDirectionalDerivative;
typedef fmi3Status fmi3GetAdjointDerivativeTYPE(fmi3Instance instance, const fmi3ValueReference unknowns[],
                                                size_t nUnknowns, const fmi3ValueReference knowns[], size_t nKnowns,
                                                const fmi3Float64 seed[], size_t nSeed, fmi3Float64 sensitivity[],
                                                size_t nSensitivity);
FMI3_EXPORT fmi3GetAdjointDerivativeTYPE fmi3GetAdjointDerivative;

/* Configuration mode and clocks. */
typedef fmi3Status fmi3EnterConfigurationModeTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3EnterConfigurationModeTYPE fmi3EnterConfigurationMode;
typedef fmi3Status fmi3ExitConfigurationModeTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3ExitConfigurationModeTYPE fmi3ExitConfigurationMode;
typedef fmi3Status fmi3GetIntervalDecimalTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                              size_t nValueReferences, fmi3Float64 intervals[],
                                              fmi3IntervalQualifier qualifiers[]);
FMI3_EXPORT fmi3GetIntervalDecimalTYPE fmi3GetIntervalDecimal;
typedef fmi3Status fmi3GetIntervalFractionTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                               size_t nValueReferences, fmi3UInt64 counters[], fmi3UInt64 resolutions[],
                                               fmi3IntervalQualifier qualifiers[]);
FMI3_EXPORT fmi3GetIntervalFractionTYPE fmi3GetIntervalFraction;
typedef fmi3Status fmi3GetShiftDecimalTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                           size_t nValueReferences, fmi3Float64 shifts[]);
FMI3_EXPORT fmi3GetShiftDecimalTYPE fmi3GetShiftDecimal;
typedef fmi3Status fmi3GetShiftFractionTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                            size_t nValueReferences, fmi3UInt64 counters[], fmi3UInt64 resolutions[]);
FMI3_EXPORT fmi3GetShiftFractionTYPE fmi3GetShiftFraction;
typedef fmi3Status fmi3SetIntervalDecimalTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                              size_t nValueReferences, const fmi3Float64 intervals[]);
FMI3_EXPORT fmi3SetIntervalDecimalTYPE fmi3SetIntervalDecimal;
typedef fmi3Status fmi3SetIntervalFractionTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                               size_t nValueReferences, const fmi3UInt64 counters[],
                                               const fmi3UInt64 resolutions[]);
FMI3_EXPORT fmi3SetIntervalFractionTYPE fmi3SetIntervalFraction;
typedef fmi3Status fmi3SetShiftDecimalTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                           size_t nValueReferences, const fmi3Float64 shifts[]);
FMI3_EXPORT fmi3SetShiftDecimalTYPE fmi3SetShiftDecimal;
typedef fmi3Status fmi3SetShiftFractionTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                            size_t nValueReferences, const fmi3UInt64 counters[],
                                            const fmi3UInt64 resolutions[]);
FMI3_EXPORT fmi3SetShiftFractionTYPE fmi3SetShiftFraction;
typedef fmi3Status fmi3EvaluateDiscreteStatesTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3EvaluateDiscreteStatesTYPE fmi3EvaluateDiscreteStates;
typedef fmi3Status fmi3UpdateDiscreteStatesTYPE(fmi3Instance instance, fmi3Boolean *discreteStatesNeedUpdate,
                                                fmi3Boolean *terminateSimulation,
                                                fmi3Boolean *nominalsOfContinuousStatesChanged,
                                                fmi3Boolean *valuesOfContinuousStatesChanged,
                                                fmi3Boolean *nextEventTimeDefined, fmi3Float64 *nextEventTime);
FMI3_EXPORT fmi3UpdateDiscreteStatesTYPE fmi3UpdateDiscreteStates;

/* Model exchange. */
typedef fmi3Status fmi3EnterContinuousTimeModeTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3EnterContinuousTimeModeTYPE fmi3EnterContinuousTimeMode;
typedef fmi3Status fmi3CompletedIntegratorStepTYPE(fmi3Instance instance, fmi3Boolean noSetFMUStatePriorToCurrentPoint,
                                                   fmi3Boolean *enterEventMode, fmi3Boolean *terminateSimulation);
FMI3_EXPORT fmi3CompletedIntegratorStepTYPE fmi3CompletedIntegratorStep;
typedef fmi3Status fmi3SetTimeTYPE(fmi3Instance instance, fmi3Float64 time);
FMI3_EXPORT fmi3SetTimeTYPE fmi3SetTime;
typedef fmi3Status fmi3SetContinuousStatesTYPE(fmi3Instance instance, const fmi3Float64 continuousStates[],
                                               size_t nContinuousStates);
FMI3_EXPORT fmi3SetContinuousStatesTYPE fmi3SetContinuousStates;
typedef fmi3Status fmi3GetContinuousStateDerivativesTYPE(fmi3Instance instance, fmi3Float64 derivatives[],
                                                         size_t nContinuousStates);
FMI3_EXPORT fmi3GetContinuousStateDerivativesTYPE fmi3GetContinuousStateDerivatives;
typedef fmi3Status fmi3GetEventIndicatorsTYPE(fmi3Instance instance, fmi3Float64 eventIndicators[],
                                              size_t nEventIndicators);
FMI3_EXPORT fmi3GetEventIndicatorsTYPE fmi3GetEventIndicators;
typedef fmi3Status fmi3GetContinuousStatesTYPE(fmi3Instance instance, fmi3Float64 continuousStates[],
                                               size_t nContinuousStates);
FMI3_EXPORT fmi3GetContinuousStatesTYPE fmi3GetContinuousStates;
typedef fmi3Status fmi3GetNominalsOfContinuousStatesTYPE(fmi3Instance instance, fmi3Float64 nominals[],
                                                         size_t nContinuousStates);
FMI3_EXPORT fmi3GetNominalsOfContinuousStatesTYPE fmi3GetNominalsOfContinuousStates;
typedef fmi3Status fmi3GetNumberOfEventIndicatorsTYPE(fmi3Instance instance, size_t *nEventIndicators);
FMI3_EXPORT fmi3GetNumberOfEventIndicatorsTYPE fmi3GetNumberOfEventIndicators;
typedef fmi3Status fmi3GetNumberOfContinuousStatesTYPE(fmi3Instance instance, size_t *nContinuousStates);
FMI3_EXPORT fmi3GetNumberOfContinuousStatesTYPE fmi3GetNumberOfContinuousStates;

/* Co-simulation. */
typedef fmi3Status fmi3EnterStepModeTYPE(fmi3Instance instance);
FMI3_EXPORT fmi3EnterStepModeTYPE fmi3EnterStepMode;
typedef fmi3Status fmi3GetOutputDerivativesTYPE(fmi3Instance instance, const fmi3ValueReference valueReferences[],
                                                size_t nValueReferences, const fmi3Int32 orders[], fmi3Float64 values[],
                                                size_t nValues);
FMI3_EXPORT fmi3GetOutputDerivativesTYPE fmi3GetOutputDerivatives;
typedef fmi3Status fmi3DoStepTYPE(fmi3Instance instance, fmi3Float64 currentCommunicationPoint,
                                  fmi3Float64 communicationStepSize, fmi3Boolean noSetFMUStatePriorToCurrentPoint,
                                  fmi3Boolean *eventHandlingNeeded, fmi3Boolean *terminateSimulation,
                                  fmi3Boolean *earlyReturn, fmi3Float64 *lastSuccessfulTime);
FMI3_EXPORT fmi3DoStepTYPE fmi3DoStep;

/* Scheduled execution. */
typedef fmi3Status fmi3ActivateModelPartitionTYPE(fmi3Instance instance, fmi3ValueReference clockReference,
                                                  fmi3Float64 activationTime);
FMI3_EXPORT fmi3ActivateModelPartitionTYPE fmi3ActivateModelPartition;

#ifdef __cplusplus
}
#endif

#endif /* CORVANTA_FMI_FMI3API_H */
