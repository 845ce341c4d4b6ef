/*
 * fmu_binding.h - the test host's view of an unpacked FMU: loads its binary at run time, binds
 * every FMI function by name and offers one call interface over FMI 2.0 and FMI 3.0.
 */
#ifndef CORVANTA_TESTS_FMI_FMU_BINDING_H
#define CORVANTA_TESTS_FMI_FMU_BINDING_H

#include <stddef.h>

#include "fmi/Fmi2Api.h"
#include "fmi/Fmi3Api.h"

/* Status codes shared by both versions. */
enum { FMU_OK = 0, FMU_WARNING = 1, FMU_DISCARD = 2, FMU_ERROR = 3, FMU_FATAL = 4 };

#define FMU_MAX_VARIABLES 512

/* One variable of modelDescription.xml. */
typedef struct {
  char name[64];
  unsigned vr;
} FmuVariable;

/* The log messages an instance sent: counts per category and the last message. */
typedef struct {
  int errors;
  int warnings;
  int events;
  char last[600];
} FmuLog;

typedef struct {
  int version; /* 2 or 3 */
  void *library;
  char token[64];
  FmuVariable variables[FMU_MAX_VARIABLES];
  int variable_count;
  struct {
#define FMI2_MEMBER(name) fmi2##name##TYPE *name;
#include "tests/fmi/fmi2_functions.inc"
#undef FMI2_MEMBER
  } f2;
  struct {
#define FMI3_MEMBER(name) fmi3##name##TYPE *name;
#include "tests/fmi/fmi3_functions.inc"
#undef FMI3_MEMBER
  } f3;
} FmuLibrary;

typedef struct {
  FmuLibrary *lib;
  void *instance;
  FmuLog log;
  fmi2CallbackFunctions callbacks2;
} Fmu;

/* Loads DIR/binaries/PLATFORM/Corvanta.(so|dll), reads DIR/modelDescription.xml; 0 on success,
   otherwise prints why.  Every function of the version's list must be exported. */
int fmu_load(FmuLibrary *lib, int version, const char *dir, const char *platform);
unsigned fmu_vr(const FmuLibrary *lib, const char *name); /* aborts the run when unknown */

/* Instantiates with the model description's token (or TOKEN when not NULL). */
int fmu_instantiate(Fmu *fmu, FmuLibrary *lib, const char *name, const char *token);
/* The same with the FMU's resources folder at RESOURCES (a native path without a trailing
   separator; NULL: none), given as FMI 2.0 and 3.0 give it: a file URI, a path with a trailing
   separator. */
int fmu_instantiate_in(Fmu *fmu, FmuLibrary *lib, const char *name, const char *token, const char *resources);
void fmu_free(Fmu *fmu);
int fmu_enter_initialization(Fmu *fmu, double start_time);
int fmu_exit_initialization(Fmu *fmu);
int fmu_do_step(Fmu *fmu, double t, double h);
int fmu_get(Fmu *fmu, const unsigned *vr, size_t n, double *values);
int fmu_set(Fmu *fmu, const unsigned *vr, size_t n, const double *values);
int fmu_get_string(Fmu *fmu, unsigned vr, const char **value);
int fmu_set_string(Fmu *fmu, unsigned vr, const char *value);
int fmu_terminate(Fmu *fmu);
int fmu_reset(Fmu *fmu);
int fmu_set_debug_logging(Fmu *fmu, int on, size_t n, const char *const *categories);
int fmu_get_state(Fmu *fmu, void **state);
int fmu_set_state(Fmu *fmu, void *state);
int fmu_free_state(Fmu *fmu, void **state);
int fmu_serialize(Fmu *fmu, void *state, unsigned char **bytes, size_t *size); /* malloc'd */
int fmu_deserialize(Fmu *fmu, const unsigned char *bytes, size_t size, void **state);

/* Calls every function this FMU does not support with harmless arguments; each must answer
   the error status and log why.  Returns the number of functions that did not. */
int fmu_check_unsupported(FmuLibrary *lib);

#endif
