/*
 * fmu_test_host - runs an unpacked Corvanta FMU through the FMI call sequences and compares it
 * with the C interface of the library, bit for bit.
 *
 *   fmu_test_host 2|3 UNPACKED_FMU PLATFORM C_LIBRARY GOLDEN_FILE|-
 *
 * PLATFORM names the binaries folder (linux64, win64, x86_64-linux, x86_64-windows); C_LIBRARY
 * is the model library built from the same sources (libcorvanta.so, Corvanta.dll); GOLDEN_FILE
 * holds the regression checkpoints of this platform's maths library, "-" skips them.  Checks:
 * the regression scenarios at communication steps of 0.05 s and of mixed sizes against the C
 * interface and the checkpoints; the observables against the physics they describe; two
 * instances at once; Reset; FMU state get, set, serialise and deserialise, and corrupted
 * states; refusals of bad steps and of calls in the wrong state; the unsupported functions;
 * logging categories.  Exit status 0 when everything holds.
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "corvanta.h"
#include "fmu_binding.h"

#if defined(_WIN32)
#include <windows.h>
typedef HANDLE Thread;
static int start_thread(Thread *thread, DWORD(WINAPI *body)(void *), void *argument) {
  *thread = CreateThread(NULL, 0, body, argument, 0, NULL);
  return *thread != NULL;
}
static void join_thread(Thread thread) {
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}
#define THREAD_BODY(name) static DWORD WINAPI name(void *argument)
#define THREAD_RETURN return 0
static void *open_c_library(const char *path) { return (void *)LoadLibraryA(path); }
static void *c_symbol(void *library, const char *name) {
  return (void *)(size_t)GetProcAddress((HMODULE)library, name);
}
#else
#include <dlfcn.h>
#include <pthread.h>
typedef pthread_t Thread;
static int start_thread(Thread *thread, void *(*body)(void *), void *argument) {
  return pthread_create(thread, NULL, body, argument) == 0;
}
static void join_thread(Thread thread) { pthread_join(thread, NULL); }
#define THREAD_BODY(name) static void *name(void *argument)
#define THREAD_RETURN return NULL
static void *open_c_library(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
static void *c_symbol(void *library, const char *name) { return dlsym(library, name); }
#endif

static int failures = 0;
#define CHECK(condition, ...)                              \
  do {                                                     \
    if (!(condition)) {                                    \
      ++failures;                                          \
      fprintf(stderr, "FAIL %s:%d: ", __FILE__, __LINE__); \
      fprintf(stderr, __VA_ARGS__);                        \
      fputc('\n', stderr);                                 \
    }                                                      \
  } while (0)

#define STEPS_PER_SECOND 10000
#define DT 0.0001

/* ---- the C interface ------------------------------------------------------------------ */

static struct {
  CreateVehicleModelTYPE Create;
  DeleteVehicleModelTYPE Delete;
  InitializeTYPE Initialize;
  SetInputsTYPE SetInputs;
  StepTYPE Step;
  GetOutputsTYPE GetOutputs;
} c_api;

static int load_c_library(const char *path) {
  void *library = open_c_library(path);
  if (library == NULL) {
    fprintf(stderr, "cannot load %s\n", path);
    return 1;
  }
  *(void **)&c_api.Create = c_symbol(library, "CreateVehicleModel");
  *(void **)&c_api.Delete = c_symbol(library, "DeleteVehicleModel");
  *(void **)&c_api.Initialize = c_symbol(library, "Initialize");
  *(void **)&c_api.SetInputs = c_symbol(library, "SetInputs");
  *(void **)&c_api.Step = c_symbol(library, "Step");
  *(void **)&c_api.GetOutputs = c_symbol(library, "GetOutputs");
  if (!c_api.Create || !c_api.Delete || !c_api.Initialize || !c_api.SetInputs || !c_api.Step || !c_api.GetOutputs) {
    fprintf(stderr, "%s lacks one of the C functions\n", path);
    return 1;
  }
  return 0;
}

/* ---- scenarios (those of tests/regression) ------------------------------------------------ */

typedef struct {
  const char *name;
  double demand, selector, speed, grade, steer;
  int steer_switch_step; /* from this step on the steering is steer_after */
  double steer_after;
  int steps;
} Scenario;

static const Scenario scenarios[] = {
    {"full-throttle-start", 2.0, 1.0, 0.0, 0.0, 0.0, -1, 0.0, 10 * STEPS_PER_SECOND},
    {"full-throttle-downhill", 2.0, 1.0, 0.0, 0.5, 0.0, -1, 0.0, 30 * STEPS_PER_SECOND},
    {"brake-to-standstill", -4.0, 1.0, 15.0, 0.0, 0.0, -1, 0.0, 8 * STEPS_PER_SECOND},
    {"corner-left", 0.3, 1.0, 10.0, 0.0, 0.05, -1, 0.0, 6 * STEPS_PER_SECOND},
    {"corner-right", 0.3, 1.0, 10.0, 0.0, -0.05, -1, 0.0, 6 * STEPS_PER_SECOND},
    {"reverse", 1.0, 3.0, 0.0, 0.0, 0.0, -1, 0.0, 5 * STEPS_PER_SECOND},
    {"neutral-downhill", 0.0, 0.0, 0.0, 0.05, 0.0, -1, 0.0, 6 * STEPS_PER_SECOND},
    {"step-steer", 0.5, 1.0, 20.0, 0.0, 0.0, STEPS_PER_SECOND, 0.02, 4 * STEPS_PER_SECOND},
};
#define SCENARIO_COUNT ((int)(sizeof scenarios / sizeof scenarios[0]))

static const Scenario *scenario_named(const char *name) {
  int k;
  for (k = 0; k < SCENARIO_COUNT; ++k) {
    if (strcmp(scenarios[k].name, name) == 0) {
      return &scenarios[k];
    }
  }
  exit(1);
}

static ExtU_Corvanta_T inputs_at(const Scenario *s, int step) {
  ExtU_Corvanta_T u;
  memset(&u, 0, sizeof u);
  u.AccelerationDemand = s->demand;
  u.GearSelector = s->selector;
  u.InitialSpeed = s->speed;
  u.RoadGrade = s->grade;
  u.SteeringAngle = (s->steer_switch_step >= 0 && step >= s->steer_switch_step) ? s->steer_after : s->steer;
  return u;
}

/* Golden checkpoints: scenario, step, seven outputs as bit patterns. */
typedef struct {
  char scenario[40];
  int step;
  unsigned long long bits[7];
} Checkpoint;
static Checkpoint checkpoints[128];
static int checkpoint_count = 0;

static void read_golden(const char *path) {
  char line[512];
  FILE *file;
  if (strcmp(path, "-") == 0) {
    return;
  }
  file = fopen(path, "r");
  if (file == NULL) {
    fprintf(stderr, "cannot read %s\n", path);
    exit(1);
  }
  while (fgets(line, sizeof line, file) != NULL && checkpoint_count < 128) {
    Checkpoint *c = &checkpoints[checkpoint_count];
    if (line[0] != '#' && sscanf(line, "%39s %d %llx %llx %llx %llx %llx %llx %llx", c->scenario, &c->step, &c->bits[0],
                                 &c->bits[1], &c->bits[2], &c->bits[3], &c->bits[4], &c->bits[5], &c->bits[6]) == 9) {
      ++checkpoint_count;
    }
  }
  fclose(file);
}

/* ---- value references ------------------------------------------------------------------- */

static const char *const input_names[8] = {"AccelerationDemand", "GearSelector",     "SteeringAngle",  "RoadGrade",
                                           "InitialPositionX",   "InitialPositionY", "InitialHeading", "InitialSpeed"};
static const char *const output_names[7] = {"PositionX",  "PositionY", "Heading",         "LongitudinalSpeed",
                                            "PitchAngle", "RollAngle", "TipOverIndicator"};
static unsigned input_vr[8];
static unsigned output_vr[7];

static void resolve_references(const FmuLibrary *lib) {
  int k;
  for (k = 0; k < 8; ++k) {
    input_vr[k] = fmu_vr(lib, input_names[k]);
  }
  for (k = 0; k < 7; ++k) {
    output_vr[k] = fmu_vr(lib, output_names[k]);
  }
}

static double observable(Fmu *fmu, const char *name) {
  unsigned vr = fmu_vr(fmu->lib, name);
  double value = NAN;
  CHECK(fmu_get(fmu, &vr, 1, &value) == FMU_OK, "reading %s", name);
  return value;
}

static int same_bits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

static unsigned long long bits_of(double x) {
  unsigned long long b;
  memcpy(&b, &x, sizeof b);
  return b;
}

/* ---- one run, FMU against C interface ------------------------------------------------------ */

/* Sets up an instance in step mode with the scenario's first inputs. */
static int start_run(Fmu *fmu, const Scenario *s) {
  ExtU_Corvanta_T u = inputs_at(s, 0);
  if (fmu_enter_initialization(fmu, 0.0) != FMU_OK) {
    return 0;
  }
  if (fmu_set(fmu, input_vr, 8, &u.AccelerationDemand) != FMU_OK) {
    return 0;
  }
  return fmu_exit_initialization(fmu) == FMU_OK;
}

typedef struct {
  void *car;
  const ExtY_Corvanta_T *y;
  int step;
} Reference;

static void reference_start(Reference *r, const Scenario *s) {
  ExtU_Corvanta_T u = inputs_at(s, 0);
  r->car = c_api.Create();
  c_api.SetInputs(r->car, &u);
  c_api.Initialize(r->car);
  r->y = c_api.GetOutputs(r->car);
  r->step = 0;
}

static void reference_advance(Reference *r, const Scenario *s, int n) {
  ExtU_Corvanta_T u = inputs_at(s, r->step);
  int k;
  for (k = 0; k < n; ++k) {
    c_api.SetInputs(r->car, &u);
    c_api.Step(r->car);
  }
  r->step += n;
}

/* One communication step of N internal steps on the FMU; the host's time runs as a sum. */
static int fmu_advance(Fmu *fmu, const Scenario *s, int step, double *t, int n) {
  ExtU_Corvanta_T u = inputs_at(s, step);
  int status = fmu_set(fmu, input_vr, 4, &u.AccelerationDemand);
  if (status == FMU_OK) {
    status = fmu_do_step(fmu, *t, n * DT);
  }
  *t += n * DT;
  return status;
}

/* Compares the seven outputs; returns 1 when they match bit for bit. */
static int outputs_match(Fmu *fmu, const ExtY_Corvanta_T *y, const char *what, int step) {
  double values[7];
  const double *expected = &y->PositionX;
  int k;
  CHECK(fmu_get(fmu, output_vr, 7, values) == FMU_OK, "%s: reading the outputs", what);
  for (k = 0; k < 7; ++k) {
    if (!same_bits(values[k], expected[k])) {
      CHECK(0, "%s step %d: %s %.17g (FMU) differs from %.17g (C interface)", what, step, output_names[k], values[k],
            expected[k]);
      return 0;
    }
  }
  return 1;
}

static void check_golden(Fmu *fmu, const Scenario *s, int step, int *matched) {
  int k;
  for (k = 0; k < checkpoint_count; ++k) {
    if (strcmp(checkpoints[k].scenario, s->name) == 0 && checkpoints[k].step == step) {
      double values[7];
      int j;
      fmu_get(fmu, output_vr, 7, values);
      for (j = 0; j < 7; ++j) {
        CHECK(bits_of(values[j]) == checkpoints[k].bits[j], "%s step %d: %s differs from the pinned checkpoint",
              s->name, step, output_names[j]);
      }
      ++*matched;
    }
  }
}

/* The observables against what they describe, after STEP internal steps. */
static void check_observables(Fmu *fmu, const Scenario *s, int step, double t_host) {
  const double speed = observable(fmu, "LongitudinalSpeed");
  const double vy = observable(fmu, "LateralVelocity");
  const double gear = observable(fmu, "Gear");
  const double throttle = observable(fmu, "Throttle");
  const double brake = observable(fmu, "Brake");
  const double engine = observable(fmu, "EngineSpeed");
  const double loads =
      ((observable(fmu, "TyreLoadFL") + observable(fmu, "TyreLoadFR")) + observable(fmu, "TyreLoadRL")) +
      observable(fmu, "TyreLoadRR");
  CHECK(same_bits(observable(fmu, "ModelTime"), (double)step * DT), "%s: ModelTime at step %d", s->name, step);
  CHECK(same_bits(observable(fmu, "time"), (double)step * DT), "%s: time at step %d", s->name, step);
  CHECK(fabs(t_host - (double)step * DT) < 1e-9, "%s: host time drifted", s->name);
  CHECK(gear >= 1.0 && gear <= 5.0 && gear == floor(gear), "%s: Gear %g", s->name, gear);
  CHECK(throttle >= 0.0 && throttle <= 1.0 && brake >= 0.0 && brake <= 1.0, "%s: throttle %g brake %g", s->name,
        throttle, brake);
  CHECK(engine >= 78.5 && engine <= 680.7, "%s: engine speed %g rad/s", s->name, engine);
  /* The static loads carry the weight component normal to the road. */
  CHECK(fabs(loads - 17248.0 * cos(s->grade)) < 1e-6 * 17248.0, "%s: tyre loads sum to %.9g N", s->name, loads);
  CHECK(same_bits(observable(fmu, "SideslipAngle"), atan2(vy, speed)), "%s: sideslip angle", s->name);
}

/* Runs scenario S on FMU and on the C interface with communication steps cycling through
   PATTERN (internal steps); compares at every communication point. */
static void run_scenario(FmuLibrary *lib, const Scenario *s, const int *pattern, int pattern_length, int with_golden) {
  Fmu fmu;
  Reference ref;
  double t = 0.0;
  int points = 0;
  int golden = 0;
  int k = 0;
  CHECK(fmu_instantiate(&fmu, lib, s->name, NULL) == FMU_OK, "instantiate");
  CHECK(start_run(&fmu, s), "%s: initialisation", s->name);
  reference_start(&ref, s);
  while (ref.step < s->steps) {
    int n = pattern[k++ % pattern_length];
    if (ref.step + n > s->steps) {
      n = s->steps - ref.step;
    }
    reference_advance(&ref, s, n);
    if (fmu_advance(&fmu, s, ref.step - n, &t, n) != FMU_OK) {
      CHECK(0, "%s: DoStep at step %d: %s", s->name, ref.step - n, fmu.log.last);
      break;
    }
    ++points;
    if (!outputs_match(&fmu, ref.y, s->name, ref.step)) {
      break;
    }
    if (with_golden) {
      check_golden(&fmu, s, ref.step, &golden);
    }
    if (ref.step % 5000 == 0) {
      check_observables(&fmu, s, ref.step, t);
    }
  }
  printf("  %-24s %6d communication points, %6d internal steps, %d checkpoints: %s\n", s->name, points, ref.step,
         golden, failures == 0 ? "identical" : "see failures");
  c_api.Delete(ref.car);
  CHECK(fmu_terminate(&fmu) == FMU_OK, "terminate");
  fmu_free(&fmu);
}

/* ---- physics of the observables --------------------------------------------------------- */

/* Runs SCENARIO for SECONDS in steps of 0.01 s and leaves the instance there. */
static void run_for(Fmu *fmu, FmuLibrary *lib, const Scenario *s, double seconds) {
  double t = 0.0;
  int step = 0;
  CHECK(fmu_instantiate(fmu, lib, s->name, NULL) == FMU_OK && start_run(fmu, s), "%s: start", s->name);
  while (step < (int)(seconds * STEPS_PER_SECOND + 0.5)) {
    CHECK(fmu_advance(fmu, s, step, &t, 100) == FMU_OK, "%s: step", s->name);
    step += 100;
  }
}

static void test_observable_signs(FmuLibrary *lib) {
  Fmu fmu;
  run_for(&fmu, lib, scenario_named("corner-left"), 3.0);
  CHECK(observable(&fmu, "YawRate") > 0.0, "turning left: yaw rate positive");
  CHECK(observable(&fmu, "LateralAcceleration") > 1.0, "turning left: lateral acceleration to the left");
  CHECK(observable(&fmu, "TyreForceYFL") > 0.0 && observable(&fmu, "TyreForceYRL") > 0.0, "turning left: tyre Fy > 0");
  CHECK(observable(&fmu, "FrontSteerAngle") > 0.04, "steer angle follows the command");
  CHECK(observable(&fmu, "TyreLoadFL") > 4000.0, "front load per tyre");
  fmu_free(&fmu);

  run_for(&fmu, lib, scenario_named("full-throttle-start"), 2.0);
  CHECK(observable(&fmu, "Throttle") > 0.5 && observable(&fmu, "Brake") == 0.0, "full throttle");
  CHECK(observable(&fmu, "TyreForceXRL") > 0.0 && observable(&fmu, "TyreForceXRR") > 0.0, "driven rear tyres push");
  CHECK(observable(&fmu, "LongitudinalAcceleration") > 0.5, "accelerating forward");
  CHECK(fabs(observable(&fmu, "WheelSpeedFL") * 0.314 - observable(&fmu, "LongitudinalSpeed")) < 0.05,
        "front wheels roll with the car");
  fmu_free(&fmu);

  run_for(&fmu, lib, scenario_named("brake-to-standstill"), 1.0);
  CHECK(observable(&fmu, "Brake") > 0.1 && observable(&fmu, "Throttle") == 0.0, "braking");
  CHECK(observable(&fmu, "TyreForceXFL") < 0.0 && observable(&fmu, "LongitudinalAcceleration") < -2.0, "decelerating");
  fmu_free(&fmu);

  run_for(&fmu, lib, scenario_named("full-throttle-downhill"), 30.0);
  CHECK(observable(&fmu, "Gear") == 4.0, "downhill at full throttle ends in fourth gear (got %g)",
        observable(&fmu, "Gear"));
  fmu_free(&fmu);
  printf("  observable signs and magnitudes checked\n");
}

/* ---- two instances, Reset ------------------------------------------------------------------ */

static void test_two_instances(FmuLibrary *lib) {
  const Scenario *left = scenario_named("corner-left");
  const Scenario *right = scenario_named("corner-right");
  Fmu a, b;
  Reference ra, rb;
  double ta = 0.0, tb = 0.0;
  int k;
  CHECK(fmu_instantiate(&a, lib, "a", NULL) == FMU_OK && fmu_instantiate(&b, lib, "b", NULL) == FMU_OK, "two");
  CHECK(start_run(&a, left) && start_run(&b, right), "two starts");
  reference_start(&ra, left);
  reference_start(&rb, right);
  for (k = 0; k < 40; ++k) {
    reference_advance(&ra, left, 250);
    reference_advance(&rb, right, 250);
    CHECK(fmu_advance(&a, left, ra.step - 250, &ta, 250) == FMU_OK, "a steps");
    CHECK(fmu_advance(&b, right, rb.step - 250, &tb, 250) == FMU_OK, "b steps");
    if (!outputs_match(&a, ra.y, "instance a", ra.step) || !outputs_match(&b, rb.y, "instance b", rb.step)) {
      break;
    }
  }
  c_api.Delete(ra.car);
  c_api.Delete(rb.car);
  fmu_free(&a);
  fmu_free(&b);
  printf("  two instances stepped in turn: each identical to its own C instance\n");
}

/* One instance per thread, at the same time: each matches its own C instance. */
typedef struct {
  FmuLibrary *lib;
  const Scenario *scenario;
  int steps;
  int mismatches;
} ThreadRun;

THREAD_BODY(run_in_thread) {
  ThreadRun *run = (ThreadRun *)argument;
  Fmu fmu;
  Reference ref;
  double t = 0.0;
  double values[7];
  run->mismatches = 1;
  if (fmu_instantiate(&fmu, run->lib, run->scenario->name, NULL) != FMU_OK || !start_run(&fmu, run->scenario)) {
    THREAD_RETURN;
  }
  reference_start(&ref, run->scenario);
  run->mismatches = 0;
  while (ref.step < run->steps) {
    reference_advance(&ref, run->scenario, 100);
    if (fmu_advance(&fmu, run->scenario, ref.step - 100, &t, 100) != FMU_OK ||
        fmu_get(&fmu, output_vr, 7, values) != FMU_OK || memcmp(values, &ref.y->PositionX, sizeof values) != 0) {
      ++run->mismatches;
    }
  }
  c_api.Delete(ref.car);
  fmu_free(&fmu);
  THREAD_RETURN;
}

static void test_threads(FmuLibrary *lib) {
  ThreadRun runs[3] = {{lib, NULL, 20000, 0}, {lib, NULL, 20000, 0}, {lib, NULL, 20000, 0}};
  Thread threads[3];
  int k;
  runs[0].scenario = scenario_named("corner-left");
  runs[1].scenario = scenario_named("brake-to-standstill");
  runs[2].scenario = scenario_named("step-steer");
  for (k = 0; k < 3; ++k) {
    CHECK(start_thread(&threads[k], run_in_thread, &runs[k]), "starting a thread");
  }
  for (k = 0; k < 3; ++k) {
    join_thread(threads[k]);
    CHECK(runs[k].mismatches == 0, "%s in its own thread: %d mismatching communication points", runs[k].scenario->name,
          runs[k].mismatches);
  }
  printf("  three instances in three threads at once: each identical to its own C instance\n");
}

static void test_reset(FmuLibrary *lib) {
  const Scenario *s = scenario_named("step-steer");
  const int pattern[] = {500};
  Fmu fmu;
  Reference ref;
  double t = 0.0;
  int k;
  /* Dirty the instance in every way, then Reset, then a whole run. */
  run_for(&fmu, lib, scenario_named("corner-left"), 1.5);
  CHECK(fmu_reset(&fmu) == FMU_OK, "reset after a run");
  {
    /* Fresh: start values back, outputs and clocks at zero. */
    const double start[8] = {0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    double values[8];
    CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK, "enter after reset");
    CHECK(fmu_get(&fmu, input_vr, 8, values) == FMU_OK && memcmp(values, start, sizeof start) == 0,
          "inputs back at their start values after Reset");
    CHECK(fmu_get(&fmu, output_vr, 7, values) == FMU_OK, "outputs");
    for (k = 0; k < 7; ++k) {
      CHECK(same_bits(values[k], 0.0), "output %s is %g after Reset", output_names[k], values[k]);
    }
    CHECK(same_bits(observable(&fmu, "ModelTime"), 0.0) && same_bits(observable(&fmu, "time"), 0.0),
          "clocks at zero after Reset");
    CHECK(fmu_reset(&fmu) == FMU_OK, "reset");
  }
  CHECK(start_run(&fmu, s), "start after reset");
  reference_start(&ref, s);
  for (k = 0; k < s->steps / 500; ++k) {
    reference_advance(&ref, s, 500);
    CHECK(fmu_advance(&fmu, s, ref.step - 500, &t, 500) == FMU_OK, "step after reset");
    if (!outputs_match(&fmu, ref.y, "after Reset", ref.step)) {
      break;
    }
  }
  c_api.Delete(ref.car);
  /* Reset from the terminated and the error state too. */
  CHECK(fmu_terminate(&fmu) == FMU_OK && fmu_reset(&fmu) == FMU_OK, "reset after terminate");
  CHECK(fmu_do_step(&fmu, 0.0, DT) == FMU_ERROR, "stepping an instantiated FMU");
  CHECK(fmu_reset(&fmu) == FMU_OK && start_run(&fmu, s), "reset after an error");
  fmu_free(&fmu);
  (void)pattern;
  printf("  Reset: a run after Reset is identical to a fresh C instance (%d steps)\n", s->steps);
}

/* ---- FMU state ------------------------------------------------------------------------------ */

#define STATE_POINTS 120 /* communication points of 0.01 s recorded after the snapshot */

static void record_run(Fmu *fmu, const Scenario *s, int first_step, double t, double out[STATE_POINTS][7]) {
  int k;
  int step = first_step;
  for (k = 0; k < STATE_POINTS; ++k) {
    CHECK(fmu_advance(fmu, s, step, &t, 100) == FMU_OK, "state run step %d: %s", step, fmu->log.last);
    step += 100;
    fmu_get(fmu, output_vr, 7, out[k]);
  }
}

static int same_records(double a[STATE_POINTS][7], double b[STATE_POINTS][7]) {
  return memcmp(a, b, sizeof(double) * STATE_POINTS * 7) == 0;
}

static unsigned crc32_of(const unsigned char *data, size_t size) {
  unsigned crc = 0xFFFFFFFFu;
  size_t k;
  int bit;
  for (k = 0; k < size; ++k) {
    crc ^= data[k];
    for (bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

static void reseal(unsigned char *bytes, size_t size) {
  unsigned crc = crc32_of(bytes, size - 4);
  memcpy(bytes + size - 4, &crc, 4);
}

/* A serialised state that must be refused, and the instance usable again after Reset. */
static void expect_rejected(Fmu *fmu, const char *what, const unsigned char *bytes, size_t size) {
  void *state = NULL;
  int errors = fmu->log.errors;
  int status = fmu_deserialize(fmu, bytes, size, &state);
  CHECK(status == FMU_ERROR && state == NULL, "%s state accepted (status %d)", what, status);
  CHECK(fmu->log.errors == errors + 1 && strstr(fmu->log.last, "rejected") != NULL, "%s: no reason logged", what);
  printf("  %-28s -> error: %s\n", what, fmu->log.last);
  CHECK(fmu_reset(fmu) == FMU_OK && fmu_enter_initialization(fmu, 0.0) == FMU_OK &&
            fmu_exit_initialization(fmu) == FMU_OK,
        "reset after a rejected state");
}

static void test_state(FmuLibrary *lib) {
  const Scenario *s = scenario_named("step-steer"); /* the steering changes after the snapshot */
  static double first[STATE_POINTS][7], again[STATE_POINTS][7], elsewhere[STATE_POINTS][7];
  Fmu fmu, other;
  void *state = NULL;
  void *copy = NULL;
  void *check = NULL;
  unsigned char *bytes = NULL;
  unsigned char *bytes_after = NULL;
  unsigned char *corrupt;
  size_t size = 0;
  size_t size_after = 0;
  const int snapshot_step = 8000;

  run_for(&fmu, lib, s, snapshot_step * DT);
  CHECK(fmu_get_state(&fmu, &state) == FMU_OK, "get state");
  CHECK(fmu_serialize(&fmu, state, &bytes, &size) == FMU_OK, "serialise");
  record_run(&fmu, s, snapshot_step, snapshot_step * DT, first);

  /* Back to the snapshot: the same future, bit for bit. */
  CHECK(fmu_set_state(&fmu, state) == FMU_OK, "set state");
  CHECK(same_bits(observable(&fmu, "time"), snapshot_step * DT), "time restored");
  CHECK(fmu_get_state(&fmu, &check) == FMU_OK && fmu_serialize(&fmu, check, &bytes_after, &size_after) == FMU_OK,
        "state after restore");
  CHECK(size_after == size && memcmp(bytes, bytes_after, size) == 0, "a restored state serialises to the same bytes");
  record_run(&fmu, s, snapshot_step, snapshot_step * DT, again);
  CHECK(same_records(first, again), "run after SetFMUstate differs from the original run");

  /* Serialised into another instance. */
  CHECK(fmu_instantiate(&other, lib, "other", NULL) == FMU_OK && fmu_enter_initialization(&other, 0.0) == FMU_OK &&
            fmu_exit_initialization(&other) == FMU_OK,
        "second instance");
  CHECK(fmu_deserialize(&other, bytes, size, &copy) == FMU_OK, "deserialise: %s", other.log.last);
  CHECK(fmu_set_state(&other, copy) == FMU_OK, "set deserialised state");
  record_run(&other, s, snapshot_step, snapshot_step * DT, elsewhere);
  CHECK(same_records(first, elsewhere), "run from a deserialised state differs from the original run");
  printf("  FMU state of %lu bytes: restore and deserialise continue bit for bit (%d points)\n", (unsigned long)size,
         STATE_POINTS);

  /* Broken states. */
  corrupt = (unsigned char *)malloc(size + 1);
  expect_rejected(&other, "empty", bytes, 0);
  expect_rejected(&other, "truncated by one byte", bytes, size - 1);
  memcpy(corrupt, bytes, size);
  corrupt[size] = 0;
  expect_rejected(&other, "extended by one byte", corrupt, size + 1);
  corrupt[size / 2] ^= 0x10;
  expect_rejected(&other, "one bit flipped", corrupt, size);
  memcpy(corrupt, bytes, size);
  corrupt[size - 1] ^= 0x01;
  expect_rejected(&other, "checksum damaged", corrupt, size);
  memcpy(corrupt, bytes, size);
  corrupt[8] = 2; /* format version */
  reseal(corrupt, size);
  expect_rejected(&other, "future format version", corrupt, size);
  memcpy(corrupt, bytes, size);
  corrupt[20] ^= 0x01; /* instantiation token */
  reseal(corrupt, size);
  expect_rejected(&other, "another model's state", corrupt, size);
  {
    size_t k;
    for (k = 0; k < size; ++k) {
      corrupt[k] = (unsigned char)(k * 2654435761u >> 24);
    }
  }
  expect_rejected(&other, "foreign bytes", corrupt, size);
  free(corrupt);
  CHECK(fmu_set_state(&other, NULL) == FMU_ERROR, "setting a null state");
  CHECK(fmu_reset(&other) == FMU_OK, "reset");

  CHECK(fmu_free_state(&fmu, &state) == FMU_OK && state == NULL, "free state");
  fmu_free_state(&fmu, &check);
  fmu_free_state(&other, &copy);
  free(bytes);
  free(bytes_after);
  fmu_free(&fmu);
  fmu_free(&other);
}

/* ---- refusals and logging ------------------------------------------------------------------- */

static void expect_error(Fmu *fmu, const char *what, int status) {
  CHECK(status == FMU_ERROR, "%s: status %d, expected the error status", what, status);
  CHECK(fmu->log.errors > 0, "%s: nothing logged", what);
  printf("  %-44s -> error: %s\n", what, fmu->log.last);
  fmu->log.errors = 0;
  CHECK(fmu_reset(fmu) == FMU_OK, "reset after %s", what);
}

static void stepping(Fmu *fmu) {
  CHECK(fmu_enter_initialization(fmu, 0.0) == FMU_OK && fmu_exit_initialization(fmu) == FMU_OK, "initialise");
}

static void test_refusals(FmuLibrary *lib) {
  Fmu fmu;
  FmuLog log;
  const double one = 1.0;
  double value = 0.0;
  unsigned bad_vr = 9999;
  memset(&log, 0, sizeof log);

  CHECK(fmu_instantiate(&fmu, lib, "refusals", "{00000000-0000-0000-0000-000000000000}") == FMU_ERROR &&
            fmu.log.errors == 1,
        "a wrong instantiation token must be refused with a message");
  printf("  %-44s -> NULL: %s\n", "instantiate with a wrong token", fmu.log.last);
  if (lib->version == 2) {
    fmi2CallbackFunctions callbacks = {0};
    CHECK(lib->f2.Instantiate("me", fmi2ModelExchange, lib->token, "", &callbacks, 0, 0) == NULL,
          "model exchange must be refused");
  }
  CHECK(fmu_instantiate(&fmu, lib, "refusals", NULL) == FMU_OK, "instantiate");

  expect_error(&fmu, "DoStep before initialisation", fmu_do_step(&fmu, 0.0, DT));
  CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK, "enter");
  expect_error(&fmu, "EnterInitializationMode twice", fmu_enter_initialization(&fmu, 0.0));
  stepping(&fmu);
  expect_error(&fmu, "step of 1.5 internal steps", fmu_do_step(&fmu, 0.0, 1.5 * DT));
  stepping(&fmu);
  expect_error(&fmu, "step of zero", fmu_do_step(&fmu, 0.0, 0.0));
  stepping(&fmu);
  expect_error(&fmu, "negative step", fmu_do_step(&fmu, 0.0, -DT));
  stepping(&fmu);
  expect_error(&fmu, "NaN step", fmu_do_step(&fmu, 0.0, NAN));
  stepping(&fmu);
  expect_error(&fmu, "huge step", fmu_do_step(&fmu, 0.0, 1e300));
  stepping(&fmu);
  expect_error(&fmu, "communication point ahead of the FMU", fmu_do_step(&fmu, 2 * DT, DT));
  stepping(&fmu);
  /* Within the tolerance: a step a few ulps off, a time that a host summed. */
  CHECK(fmu_do_step(&fmu, 0.0, 0.01 * (1.0 + 1e-12)) == FMU_OK, "a step within the tolerance");
  CHECK(fmu_do_step(&fmu, 0.01 + 1e-13, 0.01) == FMU_OK, "a communication point within the tolerance");
  CHECK(same_bits(observable(&fmu, "time"), 200 * DT), "time counts whole steps");
  if (lib->version == 2) {
    CHECK(lib->f2.GetRealStatus(fmu.instance, fmi2LastSuccessfulTime, &value) == fmi2OK && value == 200 * DT,
          "fmi2LastSuccessfulTime");
  }
  expect_error(&fmu, "communication point behind the FMU", fmu_do_step(&fmu, 0.01, 0.01));
  stepping(&fmu);
  CHECK(fmu_set(&fmu, &input_vr[0], 1, &one) == FMU_OK, "inputs are settable in step mode");
  expect_error(&fmu, "initial condition set in step mode", fmu_set(&fmu, &input_vr[7], 1, &one));
  stepping(&fmu);
  expect_error(&fmu, "an output set", fmu_set(&fmu, &output_vr[0], 1, &one));
  stepping(&fmu);
  expect_error(&fmu, "unknown value reference read", fmu_get(&fmu, &bad_vr, 1, &value));
  stepping(&fmu);
  if (lib->version == 2) {
    int integer = 0;
    expect_error(&fmu, "fmi2GetInteger of a real variable",
                 (int)lib->f2.GetInteger(fmu.instance, &input_vr[1], 1, &integer));
  } else {
    fmi3Int32 integer = 0;
    expect_error(&fmu, "fmi3GetInt32 of a real variable",
                 (int)lib->f3.GetInt32(fmu.instance, &input_vr[1], 1, &integer, 1));
  }
  stepping(&fmu);
  /* The error state accepts getters and Reset only. */
  CHECK(fmu_do_step(&fmu, 0.0, 0.5 * DT) == FMU_ERROR, "bad step");
  CHECK(fmu_get(&fmu, &output_vr[0], 1, &value) == FMU_OK, "getters in the error state");
  CHECK(fmu_do_step(&fmu, 0.0, DT) == FMU_ERROR, "stepping in the error state");
  CHECK(fmu_reset(&fmu) == FMU_OK, "reset");
  stepping(&fmu);
  CHECK(fmu_terminate(&fmu) == FMU_OK, "terminate");
  expect_error(&fmu, "DoStep after Terminate", fmu_do_step(&fmu, 0.0, DT));

  /* Logging: errors always reach the host; events only when asked for. */
  {
    const char *events[1] = {"logEvents"};
    const char *unknown[1] = {"logEverything"};
    fmu.log.events = 0;
    CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK && fmu_exit_initialization(&fmu) == FMU_OK, "init");
    CHECK(fmu.log.events == 0, "events logged while logging is off");
    CHECK(fmu_set_debug_logging(&fmu, 1, 1, events) == FMU_OK, "logEvents on");
    CHECK(fmu_terminate(&fmu) == FMU_OK && fmu.log.events == 1, "Terminate logs an event when logEvents is on");
    CHECK(fmu_set_debug_logging(&fmu, 0, 0, NULL) == FMU_OK && fmu_reset(&fmu) == FMU_OK, "logging off");
    CHECK(fmu.log.events == 1, "events logged after logging was switched off");
    expect_error(&fmu, "SetDebugLogging with an unknown category", fmu_set_debug_logging(&fmu, 1, 1, unknown));
  }
  fmu_free(&fmu);
}

/* ---- main -------------------------------------------------------------------------------------- */

int main(int argc, char **argv) {
  static FmuLibrary lib;
  const int whole[] = {500};
  const int mixed[] = {1, 3, 7, 13, 476}; /* sums to 500: inputs change on its multiples only */
  int version;
  int k;
  if (argc != 6) {
    fprintf(stderr, "usage: fmu_test_host 2|3 UNPACKED_FMU PLATFORM C_LIBRARY GOLDEN_FILE|-\n");
    return 2;
  }
  version = atoi(argv[1]);
  if ((version != 2 && version != 3) || fmu_load(&lib, version, argv[2], argv[3]) != 0 ||
      load_c_library(argv[4]) != 0) {
    return 1;
  }
  read_golden(argv[5]);
  resolve_references(&lib);
  printf("FMI %d.0 FMU %s/binaries/%s: %d variables, token %s\n", version, argv[2], argv[3], lib.variable_count,
         lib.token);

  printf("regression scenarios, communication step 0.05 s, against the C interface%s:\n",
         checkpoint_count > 0 ? " and the pinned checkpoints" : "");
  for (k = 0; k < SCENARIO_COUNT; ++k) {
    run_scenario(&lib, &scenarios[k], whole, 1, 1);
  }
  printf("mixed communication steps (1, 3, 7, 13, 476 internal steps):\n");
  run_scenario(&lib, scenario_named("step-steer"), mixed, 5, 1);
  run_scenario(&lib, scenario_named("brake-to-standstill"), mixed, 5, 1);
  test_observable_signs(&lib);
  test_two_instances(&lib);
  test_threads(&lib);
  test_reset(&lib);
  printf("FMU state:\n");
  test_state(&lib);
  printf("refusals:\n");
  test_refusals(&lib);
  printf("unsupported functions:\n");
  failures += fmu_check_unsupported(&lib);
  if (checkpoint_count > 0) {
    CHECK(checkpoint_count >= 40, "only %d checkpoints read", checkpoint_count);
  }
  printf("%s: %d failure(s)\n", failures == 0 ? "PASSED" : "FAILED", failures);
  return failures == 0 ? 0 : 1;
}
