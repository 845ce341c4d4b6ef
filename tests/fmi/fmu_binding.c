/* Loading an unpacked FMU and calling it through one interface for FMI 2.0 and 3.0. */
#include "tests/fmi/fmu_binding.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
#define FMU_BINARY_NAME "Corvanta.dll"
static void *open_library(const char *path) { return (void *)LoadLibraryA(path); }
static void *find_symbol(void *library, const char *name) {
  return (void *)(size_t)GetProcAddress((HMODULE)library, name);
}
#else
#include <dlfcn.h>
#define FMU_BINARY_NAME "Corvanta.so"
static void *open_library(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void *find_symbol(void *library, const char *name) { return dlsym(library, name); }
#endif

/* ---- model description ------------------------------------------------------------- */

static char *read_file(const char *path) {
  FILE *file = fopen(path, "rb");
  char *text;
  long size;
  if (file == NULL) {
    return NULL;
  }
  fseek(file, 0, SEEK_END);
  size = ftell(file);
  fseek(file, 0, SEEK_SET);
  text = (char *)malloc((size_t)size + 1);
  if (text != NULL && fread(text, 1, (size_t)size, file) == (size_t)size) {
    text[size] = '\0';
  } else {
    free(text);
    text = NULL;
  }
  fclose(file);
  return text;
}

/* Copies the value of ATTRIBUTE="..." found in [from, to) into OUT. */
static int attribute(const char *from, const char *to, const char *name, char *out, size_t capacity) {
  char pattern[64];
  const char *start;
  const char *end;
  snprintf(pattern, sizeof pattern, " %s=\"", name);
  start = strstr(from, pattern);
  if (start == NULL || start >= to) {
    return 0;
  }
  start += strlen(pattern);
  end = strchr(start, '"');
  if (end == NULL || (size_t)(end - start) >= capacity) {
    return 0;
  }
  memcpy(out, start, (size_t)(end - start));
  out[end - start] = '\0';
  return 1;
}

static int read_model_description(FmuLibrary *lib, const char *dir) {
  char path[1024];
  char *xml;
  const char *cursor;
  /* FMI 3.0 names a variable by its type's element: Float64, and String (VehicleFile). */
  const char *tags[2] = {"<ScalarVariable ", NULL};
  int t;
  snprintf(path, sizeof path, "%s/modelDescription.xml", dir);
  xml = read_file(path);
  if (xml == NULL) {
    fprintf(stderr, "cannot read %s\n", path);
    return 1;
  }
  if (!attribute(xml, xml + strlen(xml), lib->version == 2 ? "guid" : "instantiationToken", lib->token,
                 sizeof lib->token)) {
    fprintf(stderr, "%s: no instantiation token\n", path);
    free(xml);
    return 1;
  }
  if (lib->version == 3) {
    tags[0] = "<Float64 ";
    tags[1] = "<String ";
  }
  lib->variable_count = 0;
  for (t = 0; t < 2 && tags[t] != NULL; ++t) {
    for (cursor = strstr(xml, tags[t]); cursor != NULL; cursor = strstr(cursor + 1, tags[t])) {
      const char *end = strchr(cursor, '>');
      char vr[16];
      FmuVariable *v = &lib->variables[lib->variable_count];
      if (end == NULL || lib->variable_count == FMU_MAX_VARIABLES ||
          !attribute(cursor, end, "name", v->name, sizeof v->name) ||
          !attribute(cursor, end, "valueReference", vr, sizeof vr)) {
        fprintf(stderr, "%s: malformed variable\n", path);
        free(xml);
        return 1;
      }
      v->vr = (unsigned)strtoul(vr, NULL, 10);
      ++lib->variable_count;
    }
  }
  free(xml);
  return 0;
}

unsigned fmu_vr(const FmuLibrary *lib, const char *name) {
  int k;
  for (k = 0; k < lib->variable_count; ++k) {
    if (strcmp(lib->variables[k].name, name) == 0) {
      return lib->variables[k].vr;
    }
  }
  fprintf(stderr, "the model description has no variable %s\n", name);
  exit(1);
}

/* ---- binding ------------------------------------------------------------------------ */

int fmu_load(FmuLibrary *lib, int version, const char *dir, const char *platform) {
  char path[1024];
  int missing = 0;
  memset(lib, 0, sizeof *lib);
  lib->version = version;
  if (read_model_description(lib, dir) != 0) {
    return 1;
  }
  snprintf(path, sizeof path, "%s/binaries/%s/%s", dir, platform, FMU_BINARY_NAME);
  lib->library = open_library(path);
  if (lib->library == NULL) {
    fprintf(stderr, "cannot load %s\n", path);
    return 1;
  }
#define BIND(prefix, member, name)                                     \
  *(void **)&member = find_symbol(lib->library, prefix #name);         \
  if (member == NULL) {                                                \
    fprintf(stderr, "%s does not export %s%s\n", path, prefix, #name); \
    ++missing;                                                         \
  }
  if (version == 2) {
#define FMI2_MEMBER(name) BIND("fmi2", lib->f2.name, name)
#include "tests/fmi/fmi2_functions.inc"
#undef FMI2_MEMBER
  } else {
#define FMI3_MEMBER(name) BIND("fmi3", lib->f3.name, name)
#include "tests/fmi/fmi3_functions.inc"
#undef FMI3_MEMBER
  }
#undef BIND
  return missing;
}

static void record(FmuLog *log, int status, const char *category, const char *message) {
  if (strcmp(category, "logStatusError") == 0) {
    ++log->errors;
  } else if (strcmp(category, "logStatusWarning") == 0) {
    ++log->warnings;
  } else if (strcmp(category, "logEvents") == 0) {
    ++log->events;
  }
  snprintf(log->last, sizeof log->last, "[%d %s] %s", status, category, message);
}

static void logger2(fmi2ComponentEnvironment environment, fmi2String instanceName, fmi2Status status,
                    fmi2String category, fmi2String message, ...) {
  char text[512];
  va_list args;
  (void)instanceName;
  va_start(args, message);
  vsnprintf(text, sizeof text, message, args);
  va_end(args);
  record((FmuLog *)environment, (int)status, category, text);
}

static void logger3(fmi3InstanceEnvironment environment, fmi3Status status, fmi3String category, fmi3String message) {
  record((FmuLog *)environment, (int)status, category, message);
}

int fmu_instantiate(Fmu *fmu, FmuLibrary *lib, const char *name, const char *token) {
  return fmu_instantiate_in(fmu, lib, name, token, NULL);
}

/* RESOURCES as FMI 2.0 gives it: a file URI, with the characters a URI path cannot hold
   escaped; backslashes become slashes and a drive letter gets its leading slash. */
static void file_uri(const char *directory, char *uri, size_t capacity) {
  size_t n = 0;
  const char *c;
  n += (size_t)snprintf(uri, capacity, "file://%s", directory[0] == '/' ? "" : "/");
  for (c = directory; *c != '\0' && n + 4 < capacity; ++c) {
    const unsigned char u = (unsigned char)*c;
    if (u == '\\') {
      uri[n++] = '/';
    } else if (u <= ' ' || u >= 127 || u == '%' || u == '#' || u == '?') {
      n += (size_t)snprintf(uri + n, capacity - n, "%%%02X", u);
    } else {
      uri[n++] = (char)u;
    }
  }
  uri[n] = '\0';
}

int fmu_instantiate_in(Fmu *fmu, FmuLibrary *lib, const char *name, const char *token, const char *resources) {
  char location[2048];
  memset(fmu, 0, sizeof *fmu);
  fmu->lib = lib;
  if (token == NULL) {
    token = lib->token;
  }
  if (lib->version == 2) {
    if (resources != NULL) {
      file_uri(resources, location, sizeof location);
    } else {
      snprintf(location, sizeof location, "file:///unused");
    }
    fmu->callbacks2.logger = logger2;
    fmu->callbacks2.allocateMemory = calloc;
    fmu->callbacks2.freeMemory = free;
    fmu->callbacks2.componentEnvironment = &fmu->log;
    fmu->instance =
        lib->f2.Instantiate(name, fmi2CoSimulation, token, location, &fmu->callbacks2, fmi2False, fmi2False);
  } else {
    if (resources != NULL) {
#if defined(_WIN32)
      snprintf(location, sizeof location, "%s\\", resources);
#else
      snprintf(location, sizeof location, "%s/", resources);
#endif
    }
    fmu->instance = lib->f3.InstantiateCoSimulation(name, token, resources != NULL ? location : NULL, false, false,
                                                    false, false, NULL, 0, &fmu->log, logger3, NULL);
  }
  return fmu->instance != NULL ? FMU_OK : FMU_ERROR;
}

void fmu_free(Fmu *fmu) {
  if (fmu->lib->version == 2) {
    fmu->lib->f2.FreeInstance(fmu->instance);
  } else {
    fmu->lib->f3.FreeInstance(fmu->instance);
  }
  fmu->instance = NULL;
}

int fmu_enter_initialization(Fmu *fmu, double start_time) {
  if (fmu->lib->version == 2) {
    int status = (int)fmu->lib->f2.SetupExperiment(fmu->instance, fmi2False, 0.0, start_time, fmi2False, 0.0);
    return status != FMU_OK ? status : (int)fmu->lib->f2.EnterInitializationMode(fmu->instance);
  }
  return (int)fmu->lib->f3.EnterInitializationMode(fmu->instance, false, 0.0, start_time, false, 0.0);
}

int fmu_exit_initialization(Fmu *fmu) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.ExitInitializationMode(fmu->instance)
                                : (int)fmu->lib->f3.ExitInitializationMode(fmu->instance);
}

int fmu_do_step(Fmu *fmu, double t, double h) {
  if (fmu->lib->version == 2) {
    return (int)fmu->lib->f2.DoStep(fmu->instance, t, h, fmi2True);
  } else {
    bool event = true;
    bool terminate = true;
    bool early = true;
    double last = -1.0;
    int status = (int)fmu->lib->f3.DoStep(fmu->instance, t, h, true, &event, &terminate, &early, &last);
    /* The FMU's time is start + n x 0.0001 s; a host's t + h may drift from it by rounding,
       by less than half an internal step. */
    if (status == FMU_OK && (event || terminate || early || !(last > t + h - 0.5e-4 && last < t + h + 0.5e-4))) {
      fprintf(stderr, "fmi3DoStep: unexpected results (event %d, terminate %d, early %d, last %.17g)\n", event,
              terminate, early, last);
      return FMU_FATAL;
    }
    return status;
  }
}

int fmu_get(Fmu *fmu, const unsigned *vr, size_t n, double *values) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.GetReal(fmu->instance, vr, n, values)
                                : (int)fmu->lib->f3.GetFloat64(fmu->instance, vr, n, values, n);
}

int fmu_set(Fmu *fmu, const unsigned *vr, size_t n, const double *values) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.SetReal(fmu->instance, vr, n, values)
                                : (int)fmu->lib->f3.SetFloat64(fmu->instance, vr, n, values, n);
}

int fmu_get_string(Fmu *fmu, unsigned vr, const char **value) {
  fmi2ValueReference r = vr;
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.GetString(fmu->instance, &r, 1, value)
                                : (int)fmu->lib->f3.GetString(fmu->instance, &r, 1, value, 1);
}

int fmu_set_string(Fmu *fmu, unsigned vr, const char *value) {
  fmi2ValueReference r = vr;
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.SetString(fmu->instance, &r, 1, &value)
                                : (int)fmu->lib->f3.SetString(fmu->instance, &r, 1, &value, 1);
}

int fmu_terminate(Fmu *fmu) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.Terminate(fmu->instance)
                                : (int)fmu->lib->f3.Terminate(fmu->instance);
}

int fmu_reset(Fmu *fmu) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.Reset(fmu->instance) : (int)fmu->lib->f3.Reset(fmu->instance);
}

int fmu_set_debug_logging(Fmu *fmu, int on, size_t n, const char *const *categories) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.SetDebugLogging(fmu->instance, on, n, categories)
                                : (int)fmu->lib->f3.SetDebugLogging(fmu->instance, on != 0, n, categories);
}

int fmu_get_state(Fmu *fmu, void **state) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.GetFMUstate(fmu->instance, state)
                                : (int)fmu->lib->f3.GetFMUState(fmu->instance, state);
}

int fmu_set_state(Fmu *fmu, void *state) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.SetFMUstate(fmu->instance, state)
                                : (int)fmu->lib->f3.SetFMUState(fmu->instance, state);
}

int fmu_free_state(Fmu *fmu, void **state) {
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.FreeFMUstate(fmu->instance, state)
                                : (int)fmu->lib->f3.FreeFMUState(fmu->instance, state);
}

int fmu_serialize(Fmu *fmu, void *state, unsigned char **bytes, size_t *size) {
  int status = fmu->lib->version == 2 ? (int)fmu->lib->f2.SerializedFMUstateSize(fmu->instance, state, size)
                                      : (int)fmu->lib->f3.SerializedFMUStateSize(fmu->instance, state, size);
  if (status != FMU_OK) {
    return status;
  }
  *bytes = (unsigned char *)malloc(*size);
  return fmu->lib->version == 2 ? (int)fmu->lib->f2.SerializeFMUstate(fmu->instance, state, (fmi2Byte *)*bytes, *size)
                                : (int)fmu->lib->f3.SerializeFMUState(fmu->instance, state, *bytes, *size);
}

int fmu_deserialize(Fmu *fmu, const unsigned char *bytes, size_t size, void **state) {
  return fmu->lib->version == 2
             ? (int)fmu->lib->f2.DeSerializeFMUstate(fmu->instance, (const fmi2Byte *)bytes, size, state)
             : (int)fmu->lib->f3.DeserializeFMUState(fmu->instance, bytes, size, state);
}

/* ---- unsupported functions ---------------------------------------------------------- */

/* An initialised instance in step mode, to call an unsupported function on. */
static int fresh_stepping(Fmu *fmu, FmuLibrary *lib) {
  return fmu_instantiate(fmu, lib, "unsupported", NULL) == FMU_OK && fmu_enter_initialization(fmu, 0.0) == FMU_OK &&
         fmu_exit_initialization(fmu) == FMU_OK;
}

/* A status query the FMU cannot answer: fmi2Discard, and the instance still steps. */
static int expect_discard(Fmu *fmu, const char *name, int status) {
  int wrong = 0;
  if (status != FMU_DISCARD || fmu->log.errors != 0 || fmu_do_step(fmu, 0.0, 0.001) != FMU_OK) {
    fprintf(stderr, "FAIL %s: status %d (expected fmi2Discard and a usable instance), log '%s'\n", name, status,
            fmu->log.last);
    wrong = 1;
  } else {
    printf("  %-40s -> discard, the instance steps on\n", name);
  }
  fmu_free(fmu);
  return wrong;
}

static int expect_refusal(Fmu *fmu, const char *name, int status) {
  int wrong = 0;
  if (status != FMU_ERROR || fmu->log.errors == 0 || strstr(fmu->log.last, "not supported") == NULL) {
    fprintf(stderr, "FAIL %s: status %d, log '%s'\n", name, status, fmu->log.last);
    wrong = 1;
  } else if (fmu_do_step(fmu, 0.0, 0.001) != FMU_OK) {
    /* The refusal leaves the instance as it was: it steps on. */
    fprintf(stderr, "FAIL %s: the instance no longer steps after the refusal: '%s'\n", name, fmu->log.last);
    wrong = 1;
  } else {
    printf("  %-40s -> error, the instance steps on: %s\n", name, fmu->log.last);
  }
  fmu_free(fmu);
  return wrong;
}

int fmu_check_unsupported(FmuLibrary *lib) {
  Fmu fmu;
  int wrong = 0;
  unsigned vr = 9;
  double real = 0.0;
  size_t count = 0;
  int order = 1;
#define UNSUPPORTED(name, call)     \
  if (!fresh_stepping(&fmu, lib)) { \
    return 1000;                    \
  }                                 \
  wrong += expect_refusal(&fmu, name, (int)(call));
  if (lib->version == 2) {
    fmi2Status s2 = fmi2OK;
    fmi2Integer i2 = 0;
    fmi2String str2 = NULL;
    UNSUPPORTED("fmi2GetDirectionalDerivative",
                lib->f2.GetDirectionalDerivative(fmu.instance, &vr, 1, &vr, 1, &real, &real))
    UNSUPPORTED("fmi2SetRealInputDerivatives", lib->f2.SetRealInputDerivatives(fmu.instance, &vr, 1, &order, &real))
    UNSUPPORTED("fmi2GetRealOutputDerivatives", lib->f2.GetRealOutputDerivatives(fmu.instance, &vr, 1, &order, &real))
    UNSUPPORTED("fmi2CancelStep", lib->f2.CancelStep(fmu.instance))
#define DISCARDED(name, call)       \
  if (!fresh_stepping(&fmu, lib)) { \
    return 1000;                    \
  }                                 \
  wrong += expect_discard(&fmu, name, (int)(call));
    DISCARDED("fmi2GetStatus", lib->f2.GetStatus(fmu.instance, fmi2DoStepStatus, &s2))
    DISCARDED("fmi2GetIntegerStatus", lib->f2.GetIntegerStatus(fmu.instance, fmi2DoStepStatus, &i2))
    DISCARDED("fmi2GetStringStatus", lib->f2.GetStringStatus(fmu.instance, fmi2PendingStatus, &str2))
    DISCARDED("fmi2GetRealStatus(fmi2DoStepStatus)", lib->f2.GetRealStatus(fmu.instance, fmi2DoStepStatus, &real))
    DISCARDED("fmi2GetBooleanStatus(fmi2DoStepStatus)", lib->f2.GetBooleanStatus(fmu.instance, fmi2DoStepStatus, &i2))
#undef DISCARDED
  } else {
    bool flag = false;
    bool clock = false;
    fmi3UInt64 u64 = 0;
    fmi3IntervalQualifier qualifier = fmi3IntervalNotYetKnown;
    fmi3DependencyKind kind = fmi3Dependent;
    UNSUPPORTED("fmi3GetDirectionalDerivative",
                lib->f3.GetDirectionalDerivative(fmu.instance, &vr, 1, &vr, 1, &real, 1, &real, 1))
    UNSUPPORTED("fmi3GetAdjointDerivative",
                lib->f3.GetAdjointDerivative(fmu.instance, &vr, 1, &vr, 1, &real, 1, &real, 1))
    UNSUPPORTED("fmi3GetOutputDerivatives", lib->f3.GetOutputDerivatives(fmu.instance, &vr, 1, &order, &real, 1))
    UNSUPPORTED("fmi3GetClock", lib->f3.GetClock(fmu.instance, &vr, 1, &clock))
    UNSUPPORTED("fmi3SetClock", lib->f3.SetClock(fmu.instance, &vr, 1, &clock))
    UNSUPPORTED("fmi3GetNumberOfVariableDependencies",
                lib->f3.GetNumberOfVariableDependencies(fmu.instance, vr, &count))
    UNSUPPORTED("fmi3GetVariableDependencies",
                lib->f3.GetVariableDependencies(fmu.instance, vr, &count, &vr, &count, &kind, 0))
    UNSUPPORTED("fmi3EnterConfigurationMode", lib->f3.EnterConfigurationMode(fmu.instance))
    UNSUPPORTED("fmi3ExitConfigurationMode", lib->f3.ExitConfigurationMode(fmu.instance))
    UNSUPPORTED("fmi3GetIntervalDecimal", lib->f3.GetIntervalDecimal(fmu.instance, &vr, 1, &real, &qualifier))
    UNSUPPORTED("fmi3GetIntervalFraction", lib->f3.GetIntervalFraction(fmu.instance, &vr, 1, &u64, &u64, &qualifier))
    UNSUPPORTED("fmi3GetShiftDecimal", lib->f3.GetShiftDecimal(fmu.instance, &vr, 1, &real))
    UNSUPPORTED("fmi3GetShiftFraction", lib->f3.GetShiftFraction(fmu.instance, &vr, 1, &u64, &u64))
    UNSUPPORTED("fmi3SetIntervalDecimal", lib->f3.SetIntervalDecimal(fmu.instance, &vr, 1, &real))
    UNSUPPORTED("fmi3SetIntervalFraction", lib->f3.SetIntervalFraction(fmu.instance, &vr, 1, &u64, &u64))
    UNSUPPORTED("fmi3SetShiftDecimal", lib->f3.SetShiftDecimal(fmu.instance, &vr, 1, &real))
    UNSUPPORTED("fmi3SetShiftFraction", lib->f3.SetShiftFraction(fmu.instance, &vr, 1, &u64, &u64))
    UNSUPPORTED("fmi3EvaluateDiscreteStates", lib->f3.EvaluateDiscreteStates(fmu.instance))
    UNSUPPORTED("fmi3EnterContinuousTimeMode", lib->f3.EnterContinuousTimeMode(fmu.instance))
    UNSUPPORTED("fmi3CompletedIntegratorStep", lib->f3.CompletedIntegratorStep(fmu.instance, true, &flag, &flag))
    UNSUPPORTED("fmi3SetTime", lib->f3.SetTime(fmu.instance, 0.0))
    UNSUPPORTED("fmi3SetContinuousStates", lib->f3.SetContinuousStates(fmu.instance, &real, 1))
    UNSUPPORTED("fmi3GetContinuousStateDerivatives", lib->f3.GetContinuousStateDerivatives(fmu.instance, &real, 1))
    UNSUPPORTED("fmi3GetEventIndicators", lib->f3.GetEventIndicators(fmu.instance, &real, 1))
    UNSUPPORTED("fmi3GetContinuousStates", lib->f3.GetContinuousStates(fmu.instance, &real, 1))
    UNSUPPORTED("fmi3GetNominalsOfContinuousStates", lib->f3.GetNominalsOfContinuousStates(fmu.instance, &real, 1))
    UNSUPPORTED("fmi3GetNumberOfEventIndicators", lib->f3.GetNumberOfEventIndicators(fmu.instance, &count))
    UNSUPPORTED("fmi3GetNumberOfContinuousStates", lib->f3.GetNumberOfContinuousStates(fmu.instance, &count))
    UNSUPPORTED("fmi3ActivateModelPartition", lib->f3.ActivateModelPartition(fmu.instance, vr, 0.0))
    /* The interface types not provided: no instance, a logged reason. */
    {
      FmuLog log;
      memset(&log, 0, sizeof log);
      if (lib->f3.InstantiateModelExchange("me", lib->token, NULL, false, false, &log, logger3) != NULL ||
          log.errors != 1) {
        fprintf(stderr, "FAIL fmi3InstantiateModelExchange must return NULL and log\n");
        ++wrong;
      }
      if (lib->f3.InstantiateScheduledExecution("se", lib->token, NULL, false, false, &log, logger3, NULL, NULL,
                                                NULL) != NULL ||
          log.errors != 2) {
        fprintf(stderr, "FAIL fmi3InstantiateScheduledExecution must return NULL and log\n");
        ++wrong;
      }
      printf("  %-40s -> NULL: %s\n", "fmi3InstantiateModelExchange/ScheduledExecution", log.last);
    }
  }
#undef UNSUPPORTED
  return wrong;
}
