/*
 * Fmi2Api.h - types and function signatures of the FMI 2.0 interface (common functions and
 * co-simulation), written after the function list of the FMI 2.0 standard.  The FMU exports
 * these functions with C linkage under their plain names (no prefix macro), so that a host
 * finds every one of them by name.  Each function's type is typedef'd once (fmi2DoStepTYPE) so
 * that hosts binding by name cast to the same signature.
 */
#ifndef CORVANTA_FMI_FMI2API_H
#define CORVANTA_FMI_FMI2API_H

#include <stddef.h>

#if defined(_WIN32)
#define FMI2_EXPORT __declspec(dllexport)
#else
#define FMI2_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *fmi2Component;
typedef void *fmi2ComponentEnvironment;
typedef void *fmi2FMUstate;
typedef unsigned int fmi2ValueReference;
typedef double fmi2Real;
typedef int fmi2Integer;
typedef int fmi2Boolean;
typedef char fmi2Char;
typedef const fmi2Char *fmi2String;
typedef char fmi2Byte;

#define fmi2True 1
#define fmi2False 0

typedef enum { fmi2OK, fmi2Warning, fmi2Discard, fmi2Error, fmi2Fatal, fmi2Pending } fmi2Status;
typedef enum { fmi2ModelExchange, fmi2CoSimulation } fmi2Type;
typedef enum { fmi2DoStepStatus, fmi2PendingStatus, fmi2LastSuccessfulTime, fmi2Terminated } fmi2StatusKind;

typedef void (*fmi2CallbackLogger)(fmi2ComponentEnvironment componentEnvironment, fmi2String instanceName,
                                   fmi2Status status, fmi2String category, fmi2String message, ...);
typedef void *(*fmi2CallbackAllocateMemory)(size_t nobj, size_t size);
typedef void (*fmi2CallbackFreeMemory)(void *obj);
typedef void (*fmi2StepFinished)(fmi2ComponentEnvironment componentEnvironment, fmi2Status status);

typedef struct {
  fmi2CallbackLogger logger;
  fmi2CallbackAllocateMemory allocateMemory;
  fmi2CallbackFreeMemory freeMemory;
  fmi2StepFinished stepFinished;
  fmi2ComponentEnvironment componentEnvironment;
} fmi2CallbackFunctions;

/* Common functions. */
typedef const char *fmi2GetTypesPlatformTYPE(void);
FMI2_EXPORT fmi2GetTypesPlatformTYPE fmi2GetTypesPlatform;
typedef const char *fmi2GetVersionTYPE(void);
FMI2_EXPORT fmi2GetVersionTYPE fmi2GetVersion;
typedef fmi2Status fmi2SetDebugLoggingTYPE(fmi2Component c, fmi2Boolean loggingOn, size_t nCategories,
                                           const fmi2String categories[]);
FMI2_EXPORT fmi2SetDebugLoggingTYPE fmi2SetDebugLogging;
typedef fmi2Component fmi2InstantiateTYPE(fmi2String instanceName, fmi2Type fmuType, fmi2String fmuGUID,
                                          fmi2String fmuResourceLocation, const fmi2CallbackFunctions *functions,
                                          fmi2Boolean visible, fmi2Boolean loggingOn);
FMI2_EXPORT fmi2InstantiateTYPE fmi2Instantiate;
typedef void fmi2FreeInstanceTYPE(fmi2Component c);
FMI2_EXPORT fmi2FreeInstanceTYPE fmi2FreeInstance;
typedef fmi2Status fmi2SetupExperimentTYPE(fmi2Component c, fmi2Boolean toleranceDefined, fmi2Real tolerance,
                                           fmi2Real startTime, fmi2Boolean stopTimeDefined, fmi2Real stopTime);
FMI2_EXPORT fmi2SetupExperimentTYPE fmi2SetupExperiment;
typedef fmi2Status fmi2EnterInitializationModeTYPE(fmi2Component c);
FMI2_EXPORT fmi2EnterInitializationModeTYPE fmi2EnterInitializationMode;
typedef fmi2Status fmi2ExitInitializationModeTYPE(fmi2Component c);
FMI2_EXPORT fmi2ExitInitializationModeTYPE fmi2ExitInitializationMode;
typedef fmi2Status fmi2TerminateTYPE(fmi2Component c);
FMI2_EXPORT fmi2TerminateTYPE fmi2Terminate;
typedef fmi2Status fmi2ResetTYPE(fmi2Component c);
FMI2_EXPORT fmi2ResetTYPE fmi2Reset;
typedef fmi2Status fmi2GetRealTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Real value[]);
FMI2_EXPORT fmi2GetRealTYPE fmi2GetReal;
typedef fmi2Status fmi2GetIntegerTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Integer value[]);
FMI2_EXPORT fmi2GetIntegerTYPE fmi2GetInteger;
typedef fmi2Status fmi2GetBooleanTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2Boolean value[]);
FMI2_EXPORT fmi2GetBooleanTYPE fmi2GetBoolean;
typedef fmi2Status fmi2GetStringTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, fmi2String value[]);
FMI2_EXPORT fmi2GetStringTYPE fmi2GetString;
typedef fmi2Status fmi2SetRealTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr, const fmi2Real value[]);
FMI2_EXPORT fmi2SetRealTYPE fmi2SetReal;
typedef fmi2Status fmi2SetIntegerTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      const fmi2Integer value[]);
FMI2_EXPORT fmi2SetIntegerTYPE fmi2SetInteger;
typedef fmi2Status fmi2SetBooleanTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                      const fmi2Boolean value[]);
FMI2_EXPORT fmi2SetBooleanTYPE fmi2SetBoolean;
typedef fmi2Status fmi2SetStringTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                     const fmi2String value[]);
FMI2_EXPORT fmi2SetStringTYPE fmi2SetString;
typedef fmi2Status fmi2GetFMUstateTYPE(fmi2Component c, fmi2FMUstate *FMUstate);
FMI2_EXPORT fmi2GetFMUstateTYPE fmi2GetFMUstate;
typedef fmi2Status fmi2SetFMUstateTYPE(fmi2Component c, fmi2FMUstate FMUstate);
FMI2_EXPORT fmi2SetFMUstateTYPE fmi2SetFMUstate;
typedef fmi2Status fmi2FreeFMUstateTYPE(fmi2Component c, fmi2FMUstate *FMUstate);
FMI2_EXPORT fmi2FreeFMUstateTYPE fmi2FreeFMUstate;
typedef fmi2Status fmi2SerializedFMUstateSizeTYPE(fmi2Component c, fmi2FMUstate FMUstate, size_t *size);
FMI2_EXPORT fmi2SerializedFMUstateSizeTYPE fmi2SerializedFMUstateSize;
typedef fmi2Status fmi2SerializeFMUstateTYPE(fmi2Component c, fmi2FMUstate FMUstate, fmi2Byte serializedState[],
                                             size_t size);
FMI2_EXPORT fmi2SerializeFMUstateTYPE fmi2SerializeFMUstate;
typedef fmi2Status fmi2DeSerializeFMUstateTYPE(fmi2Component c, const fmi2Byte serializedState[], size_t size,
                                               fmi2FMUstate *FMUstate);
FMI2_EXPORT fmi2DeSerializeFMUstateTYPE fmi2DeSerializeFMUstate;
typedef fmi2Status fmi2GetDirectionalDerivativeTYPE(fmi2Component c, const fmi2ValueReference vUnknown_ref[],
                                                    size_t nUnknown, const fmi2ValueReference vKnown_ref[],
                                                    size_t nKnown, const fmi2Real dvKnown[], fmi2Real dvUnknown[]);
FMI2_EXPORT fmi2GetDirectionalDerivativeTYPE fmi2GetDirectionalDerivative;

/* Co-simulation functions. */
typedef fmi2Status fmi2SetRealInputDerivativesTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                                   const fmi2Integer order[], const fmi2Real value[]);
FMI2_EXPORT fmi2SetRealInputDerivativesTYPE fmi2SetRealInputDerivatives;
typedef fmi2Status fmi2GetRealOutputDerivativesTYPE(fmi2Component c, const fmi2ValueReference vr[], size_t nvr,
                                                    const fmi2Integer order[], fmi2Real value[]);
FMI2_EXPORT fmi2GetRealOutputDerivativesTYPE fmi2GetRealOutputDerivatives;
typedef fmi2Status fmi2DoStepTYPE(fmi2Component c, fmi2Real currentCommunicationPoint, fmi2Real communicationStepSize,
                                  fmi2Boolean noSetFMUStatePriorToCurrentPoint);
FMI2_EXPORT fmi2DoStepTYPE fmi2DoStep;
typedef fmi2Status fmi2CancelStepTYPE(fmi2Component c);
FMI2_EXPORT fmi2CancelStepTYPE fmi2CancelStep;
typedef fmi2Status fmi2GetStatusTYPE(fmi2Component c, const fmi2StatusKind s, fmi2Status *value);
FMI2_EXPORT fmi2GetStatusTYPE fmi2GetStatus;
typedef fmi2Status fmi2GetRealStatusTYPE(fmi2Component c, const fmi2StatusKind s, fmi2Real *value);
FMI2_EXPORT fmi2GetRealStatusTYPE fmi2GetRealStatus;
typedef fmi2Status fmi2GetIntegerStatusTYPE(fmi2Component c, const fmi2StatusKind s, fmi2Integer *value);
FMI2_EXPORT fmi2GetIntegerStatusTYPE fmi2GetIntegerStatus;
typedef fmi2Status fmi2GetBooleanStatusTYPE(fmi2Component c, const fmi2StatusKind s, fmi2Boolean *value);
FMI2_EXPORT fmi2GetBooleanStatusTYPE fmi2GetBooleanStatus;
typedef fmi2Status fmi2GetStringStatusTYPE(fmi2Component c, const fmi2StatusKind s, fmi2String *value);
FMI2_EXPORT fmi2GetStringStatusTYPE fmi2GetStringStatus;

#ifdef __cplusplus
}
#endif

#endif /* CORVANTA_FMI_FMI2API_H */
