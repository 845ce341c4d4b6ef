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

#include "capi/corvanta.h"
#include "tests/fmi/fmu_binding.h"

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

/* ---- the start of a run ------------------------------------------------------------------- */

/* Between ExitInitializationMode and the first step the outputs show the car as it starts (the
   initial conditions, gear 1, no pitch or roll, the standing car's loads), and reading them
   changes no later bit of the run. */
static void start_with(Fmu *fmu, FmuLibrary *lib, const char *name) {
  const char *names[] = {"InitialPositionX", "InitialPositionY", "InitialHeading", "InitialSpeed"};
  const double values[] = {10.0, -2.5, 0.3, 5.0};
  int k;
  CHECK(fmu_instantiate(fmu, lib, name, NULL) == FMU_OK && fmu_enter_initialization(fmu, 0.0) == FMU_OK, "instantiate");
  for (k = 0; k < 4; ++k) {
    unsigned vr = fmu_vr(lib, names[k]);
    CHECK(fmu_set(fmu, &vr, 1, &values[k]) == FMU_OK, "set %s", names[k]);
  }
  CHECK(fmu_exit_initialization(fmu) == FMU_OK, "exit initialisation");
}

static void test_time_zero(FmuLibrary *lib) {
  const char *const all[] = {"PositionX",   "PositionY",  "Heading",          "LongitudinalSpeed",
                             "PitchAngle",  "RollAngle",  "TipOverIndicator", "Gear",
                             "EngineSpeed", "TyreLoadFL", "YawRate",          "SlipRatioRL"};
  const size_t n = sizeof all / sizeof all[0];
  double read_first[12], not_read[12];
  Fmu fmu, other;
  size_t k;
  double loads;
  start_with(&fmu, lib, "time zero");
  CHECK(observable(&fmu, "PositionX") == 10.0 && observable(&fmu, "PositionY") == -2.5, "initial position");
  CHECK(observable(&fmu, "Heading") == 0.3 && observable(&fmu, "LongitudinalSpeed") == 5.0, "initial heading, speed");
  CHECK(observable(&fmu, "Gear") == 1.0, "gear 1 at the start (got %g)", observable(&fmu, "Gear"));
  CHECK(same_bits(observable(&fmu, "PitchAngle"), 0.0) && same_bits(observable(&fmu, "RollAngle"), 0.0),
        "no pitch or roll at the start");
  CHECK(observable(&fmu, "TipOverIndicator") == -1.0, "the standing car is stable");
  CHECK(observable(&fmu, "ModelTime") == 0.0, "model time 0");
  /* The standing car's weight, 1760 kg x 9.8 m/s2, on the four tyres, front and rear pairs alike. */
  loads = observable(&fmu, "TyreLoadFL") + observable(&fmu, "TyreLoadFR") + observable(&fmu, "TyreLoadRL") +
          observable(&fmu, "TyreLoadRR");
  CHECK(fabs(loads - 17248.0) < 1e-6 * 17248.0, "tyre loads carry the car's weight (sum %.17g N)", loads);
  CHECK(observable(&fmu, "TyreLoadFL") == observable(&fmu, "TyreLoadFR"), "left and right loads alike");
  /* A second instance that does not look at time 0 ends at the same bits. */
  start_with(&other, lib, "time zero, unread");
  CHECK(fmu_do_step(&fmu, 0.0, 0.05) == FMU_OK && fmu_do_step(&other, 0.0, 0.05) == FMU_OK, "step");
  for (k = 0; k < n; ++k) {
    read_first[k] = observable(&fmu, all[k]);
    not_read[k] = observable(&other, all[k]);
    CHECK(same_bits(read_first[k], not_read[k]), "%s after the first step depends on reading time 0", all[k]);
  }
  fmu_free(&fmu);
  fmu_free(&other);
  printf("  outputs after ExitInitializationMode show the starting car; reading them changes nothing\n");
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
  corrupt[8] = 99; /* format version */
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

/* ---- hosts that sum their step sizes ------------------------------------------------------- */

/* A host that starts at 1e6 s and adds h = 0.001 s to its clock in double before every DoStep
   drifts from the FMU's integer-counted time by rounding; the FMU follows it, bit for bit with
   the C interface, and refuses only a point more than half an internal step away. */
static void test_accumulating_host(FmuLibrary *lib) {
  const Scenario *s = scenario_named("step-steer");
  const int steps = 20000;
  const double start = 1e6;
  Fmu fmu;
  Reference ref;
  double t = start;
  double drift = 0.0;
  int k;
  ExtU_Corvanta_T u = inputs_at(s, 0);
  CHECK(fmu_instantiate(&fmu, lib, "accumulating", NULL) == FMU_OK, "instantiate");
  CHECK(fmu_enter_initialization(&fmu, start) == FMU_OK &&
            fmu_set(&fmu, input_vr, 8, &u.AccelerationDemand) == FMU_OK && fmu_exit_initialization(&fmu) == FMU_OK,
        "initialise at %g s", start);
  reference_start(&ref, s);
  for (k = 0; k < steps; ++k) {
    reference_advance(&ref, s, 10);
    if (fmu_advance(&fmu, s, ref.step - 10, &t, 10) != FMU_OK) {
      CHECK(0, "accumulating host: DoStep %d at %.17g s refused: %s", k, t - 0.001, fmu.log.last);
      break;
    }
    if (fabs(t - (start + ref.step * DT)) > drift) {
      drift = fabs(t - (start + ref.step * DT));
    }
    if (k % 1000 == 999 && !outputs_match(&fmu, ref.y, "accumulating host", ref.step)) {
      break;
    }
  }
  CHECK(drift > 1e-7, "the host's clock was expected to drift past the old tolerance (drift %.3g s)", drift);
  printf("  host summing t += 0.001 s from 1e6 s: %d steps followed, drift up to %.3g s, identical outputs\n", k,
         drift);
  /* The FMU's time is start + 200000 x 0.0001 s; half an internal step either side is the limit. */
  {
    const double now = start + (double)ref.step * DT;
    CHECK(fmu_do_step(&fmu, now + 0.4 * DT, DT) == FMU_OK, "a point 0.4 internal step late is the FMU's time");
    CHECK(fmu_do_step(&fmu, now + DT - 0.4 * DT, DT) == FMU_OK, "a point 0.4 internal step early is the FMU's time");
    CHECK(fmu_do_step(&fmu, now + 2 * DT + 0.6 * DT, DT) == FMU_ERROR && strstr(fmu.log.last, "half") != NULL,
          "a point 0.6 internal step away must be refused with the limit named: %s", fmu.log.last);
    printf("  %-44s -> error: %s\n", "communication point 0.6 internal step late", fmu.log.last);
  }
  c_api.Delete(ref.car);
  fmu_free(&fmu);
}

/* ---- states across instances, errors and initialisation ------------------------------------ */

/* A state saved in step mode continues in step mode: set into a fresh instance (deserialised),
   into a reset instance, and after an error (a restart from the saved state). */
static void test_state_resume(FmuLibrary *lib) {
  const Scenario *s = scenario_named("step-steer");
  static double first[STATE_POINTS][7], resumed[STATE_POINTS][7];
  const int snapshot_step = 8000;
  Fmu fmu, fresh;
  void *state = NULL;
  void *copy = NULL;
  unsigned char *bytes = NULL;
  size_t size = 0;
  double value = 0.0;

  run_for(&fmu, lib, s, snapshot_step * DT);
  CHECK(fmu_get_state(&fmu, &state) == FMU_OK && fmu_serialize(&fmu, state, &bytes, &size) == FMU_OK, "save");
  record_run(&fmu, s, snapshot_step, snapshot_step * DT, first);

  /* A freshly instantiated instance, never initialised. */
  CHECK(fmu_instantiate(&fresh, lib, "fresh", NULL) == FMU_OK, "instantiate");
  CHECK(fmu_deserialize(&fresh, bytes, size, &copy) == FMU_OK && fmu_set_state(&fresh, copy) == FMU_OK,
        "a step-mode state into a fresh instance: %s", fresh.log.last);
  CHECK(fmu_get(&fresh, &output_vr[0], 1, &value) == FMU_OK, "getters after setting a state into a fresh instance: %s",
        fresh.log.last);
  record_run(&fresh, s, snapshot_step, snapshot_step * DT, resumed);
  CHECK(same_records(first, resumed), "a fresh instance resumed from the state differs from the original run");
  fmu_free(&fresh);

  /* The same instance after Reset. */
  CHECK(fmu_reset(&fmu) == FMU_OK && fmu_set_state(&fmu, state) == FMU_OK, "a state into a reset instance: %s",
        fmu.log.last);
  record_run(&fmu, s, snapshot_step, snapshot_step * DT, resumed);
  CHECK(same_records(first, resumed), "a reset instance resumed from the state differs from the original run");

  /* After an error: refused steps, then a restart from the state saved before. */
  CHECK(fmu_set_state(&fmu, state) == FMU_OK, "back to the state");
  CHECK(fmu_do_step(&fmu, snapshot_step * DT, 0.5 * DT) == FMU_ERROR, "a bad step is an error");
  CHECK(fmu_do_step(&fmu, snapshot_step * DT, DT) == FMU_ERROR, "no stepping in the error state");
  CHECK(fmu_get_state(&fmu, &copy) == FMU_ERROR, "no state is saved in the error state");
  CHECK(fmu_set_state(&fmu, state) == FMU_OK, "restoring a saved state after an error: %s", fmu.log.last);
  record_run(&fmu, s, snapshot_step, snapshot_step * DT, resumed);
  CHECK(same_records(first, resumed), "the run restarted after an error differs from the original run");
  printf("  a step-mode state resumes bit for bit in a fresh, a reset and an errored instance (%d points)\n",
         STATE_POINTS);
  CHECK(fmu_free_state(&fmu, &state) == FMU_OK, "free");
  free(bytes);
  fmu_free(&fmu);
}

/* A state saved before initialisation holds the values set by then; setting it returns the
   instance to that FMI state, and the initialisation that follows starts from those values. */
static void test_state_before_initialisation(FmuLibrary *lib) {
  const Scenario *s = scenario_named("brake-to-standstill"); /* starts at 15 m/s */
  const int pattern[] = {100};
  Fmu early, other;
  Reference ref;
  void *state = NULL;
  void *copy = NULL;
  unsigned char *bytes = NULL;
  size_t size = 0;
  double t = 0.0;
  int k;
  ExtU_Corvanta_T u = inputs_at(s, 0);
  (void)pattern;
  CHECK(fmu_instantiate(&early, lib, "early", NULL) == FMU_OK &&
            fmu_set(&early, input_vr, 8, &u.AccelerationDemand) == FMU_OK,
        "instantiate and set the inputs");
  CHECK(fmu_get_state(&early, &state) == FMU_OK && fmu_serialize(&early, state, &bytes, &size) == FMU_OK,
        "a state in the instantiated state");
  /* An instance that is stepping returns to the instantiated state. */
  run_for(&other, lib, scenario_named("corner-left"), 0.5);
  CHECK(fmu_deserialize(&other, bytes, size, &copy) == FMU_OK && fmu_set_state(&other, copy) == FMU_OK, "set: %s",
        other.log.last);
  CHECK(fmu_do_step(&other, 0.5, DT) == FMU_ERROR, "the instance is back before initialisation: no stepping");
  CHECK(fmu_set_state(&other, copy) == FMU_OK, "and again");
  CHECK(fmu_enter_initialization(&other, 0.0) == FMU_OK && fmu_exit_initialization(&other) == FMU_OK,
        "initialisation after a state saved before it: %s", other.log.last);
  reference_start(&ref, s);
  for (k = 0; k < 30; ++k) {
    reference_advance(&ref, s, 100);
    CHECK(fmu_advance(&other, s, ref.step - 100, &t, 100) == FMU_OK, "step");
    if (!outputs_match(&other, ref.y, "initialised from a state saved before initialisation", ref.step)) {
      break;
    }
  }
  printf("  a state saved before initialisation: the run that follows is the C run from its start values\n");
  c_api.Delete(ref.car);
  fmu_free_state(&other, &copy);
  fmu_free_state(&early, &state);
  free(bytes);
  fmu_free(&early);
  fmu_free(&other);
}

/* State handles: outputs are not read, stale and foreign handles are refused, not followed. */
static void test_state_handles(FmuLibrary *lib) {
  Fmu fmu, other;
  void *state = NULL;
  void *stale = NULL;
  void *fresh = NULL;
  void *foreign = NULL;
  unsigned char *bytes = NULL;
  unsigned char *edited = NULL;
  size_t size = 0;
  double not_a_state[64];
  memset(not_a_state, 0xA5, sizeof not_a_state);
  run_for(&fmu, lib, scenario_named("corner-left"), 0.2);
  CHECK(fmu_get_state(&fmu, &state) == FMU_OK && fmu_serialize(&fmu, state, &bytes, &size) == FMU_OK, "save");

  /* DeSerialize: *FMUstate is an output; garbage on entry is neither read nor freed. */
  fresh = (void *)not_a_state;
  CHECK(fmu_deserialize(&fmu, bytes, size, &fresh) == FMU_OK && fresh != (void *)not_a_state,
        "deserialising over an uninitialised handle: %s", fmu.log.last);
  fresh = (void *)(size_t)0x10;
  CHECK(fmu_deserialize(&fmu, bytes, size, &fresh) == FMU_OK && fresh != (void *)(size_t)0x10,
        "deserialising over a wild handle");
  CHECK(fmu_free_state(&fmu, &fresh) == FMU_OK, "free");

  /* A freed state through a stale copy. */
  stale = state;
  CHECK(fmu_free_state(&fmu, &state) == FMU_OK && state == NULL, "free");
  CHECK(fmu_free_state(&fmu, &stale) == FMU_ERROR, "a second free through a stale copy must be refused");
  CHECK(fmu_reset(&fmu) == FMU_OK && fmu_enter_initialization(&fmu, 0.0) == FMU_OK &&
            fmu_exit_initialization(&fmu) == FMU_OK,
        "usable again");
  CHECK(fmu_set_state(&fmu, stale) == FMU_ERROR, "setting a freed state must be refused");
  fmu_reset(&fmu);
  stale = (void *)not_a_state;
  CHECK(fmu_get_state(&fmu, &stale) == FMU_ERROR && stale == (void *)not_a_state,
        "GetFMUstate over a handle this instance did not issue must be refused");
  fmu_reset(&fmu);

  /* States belong to the instance that issued them. */
  CHECK(
      fmu_instantiate(&other, lib, "other", NULL) == FMU_OK && fmu_deserialize(&other, bytes, size, &foreign) == FMU_OK,
      "other");
  CHECK(fmu_set_state(&fmu, foreign) == FMU_ERROR, "a state of another instance must be refused");
  fmu_reset(&fmu);
  CHECK(fmu_free_state(&other, &foreign) == FMU_OK, "free");
  fmu_free(&other);

  /* Correct checksum, impossible contents.  Payload offsets: 56 header, 32 record sizes, then
     the time base (steps 8, start time 8, stop flag 1+7, stop time 8, FMI state 1). */
  edited = (unsigned char *)malloc(size);
  {
    const double infinite = INFINITY;
    const double nan_value = NAN;
    const unsigned long long steps = 12345;
    memcpy(edited, bytes, size);
    memcpy(edited + 56 + 32 + 8, &infinite, sizeof infinite);
    reseal(edited, size);
    expect_rejected(&fmu, "infinite start time", edited, size);
    memcpy(edited, bytes, size);
    memcpy(edited + 56 + 32 + 8, &nan_value, sizeof nan_value);
    reseal(edited, size);
    expect_rejected(&fmu, "NaN start time", edited, size);
    memcpy(edited, bytes, size);
    memcpy(edited + 56 + 32, &steps, sizeof steps);
    reseal(edited, size);
    expect_rejected(&fmu, "step count unlike the model's", edited, size);
    memcpy(edited, bytes, size);
    edited[56 + 32 + 32] = 9;
    reseal(edited, size);
    expect_rejected(&fmu, "unknown FMI state", edited, size);
    memcpy(edited, bytes, size);
    edited[56 + 32 + 32] = 0; /* instantiated, but the model has stepped */
    reseal(edited, size);
    expect_rejected(&fmu, "instantiated yet stepped", edited, size);
  }
  free(edited);
  free(bytes);
  fmu_free(&fmu);
}

/* ---- running out of memory ----------------------------------------------------------------- */

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

/* Takes every byte malloc can still give under the address-space limit; returns the chain. */
static void *exhaust_memory(void) {
  void *chain = NULL;
  size_t size;
  for (size = (size_t)1 << 26; size >= sizeof(void *); size /= 2) {
    void *block;
    while ((block = malloc(size)) != NULL) {
      *(void **)block = chain;
      chain = block;
    }
  }
  return chain;
}

static void release_memory(void *chain) {
  while (chain != NULL) {
    void *next = *(void **)chain;
    free(chain);
    chain = next;
  }
}

/* In a child process under a 256 MiB address-space limit with the heap exhausted: the calls
   that allocate answer NULL or the error status with a message, none aborts the process, and
   the instance continues from a saved state once memory is back. */
static int out_of_memory_child(FmuLibrary *lib) {
  const struct rlimit limit = {256u << 20, 256u << 20};
  Fmu fmu, none;
  void *state = NULL;
  void *other = NULL;
  unsigned char *bytes = NULL;
  size_t size = 0;
  void *ballast;
  int wrong = 0;
  run_for(&fmu, lib, scenario_named("corner-left"), 0.1);
  if (fmu_get_state(&fmu, &state) != FMU_OK || fmu_serialize(&fmu, state, &bytes, &size) != FMU_OK ||
      setrlimit(RLIMIT_AS, &limit) != 0) {
    return 10;
  }
  ballast = exhaust_memory();
  fmu.log.errors = 0;
  wrong += fmu_instantiate(&none, lib, "no memory", NULL) != FMU_ERROR;
  wrong += fmu_get_state(&fmu, &other) != FMU_ERROR || other != NULL;
  wrong += fmu_deserialize(&fmu, bytes, size, &other) != FMU_ERROR || other != NULL;
  wrong += fmu_set_state(&fmu, state) != FMU_ERROR;
  wrong += fmu.log.errors != 3 || strstr(fmu.log.last, "out of memory") == NULL;
  release_memory(ballast);
  wrong += fmu_set_state(&fmu, state) != FMU_OK || fmu_do_step(&fmu, 0.1, 0.01) != FMU_OK;
  if (wrong != 0) {
    fprintf(stderr, "out of memory: %d wrong answers, last message '%s'\n", wrong, fmu.log.last);
  }
  return wrong;
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVANTA_HOST_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CORVANTA_HOST_UNDER_ASAN 1
#endif

static void test_out_of_memory(FmuLibrary *lib) {
  int status = 0;
  pid_t child;
#ifdef CORVANTA_HOST_UNDER_ASAN
  /* AddressSanitizer reserves terabytes of shadow address space: no address-space limit
     leaves it room, so the normal build takes this test. */
  (void)lib;
  (void)status;
  (void)child;
  printf("  out of memory: not run under AddressSanitizer (the normal build takes this test)\n");
  return;
#endif
  fflush(NULL);
  child = fork();
  if (child == 0) {
    _exit(out_of_memory_child(lib));
  }
  CHECK(child > 0 && waitpid(child, &status, 0) == child, "fork");
  CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0, "out of memory: the child %s %d",
        WIFEXITED(status) ? "exited with" : "was killed by signal",
        WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
  printf(
      "  heap exhausted under a 256 MiB address-space limit: Instantiate NULL, Get/Set/DeSerialize "
      "error, no abort; the instance resumes from its state afterwards\n");
}
#else
static void test_out_of_memory(FmuLibrary *lib) {
  (void)lib;
  printf("  out of memory: not run on Windows (the Linux binaries take this test)\n");
}
#endif

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
  test_time_zero(&lib);
  test_two_instances(&lib);
  test_threads(&lib);
  test_reset(&lib);
  printf("FMU state:\n");
  test_state(&lib);
  test_state_resume(&lib);
  test_state_before_initialisation(&lib);
  test_state_handles(&lib);
  test_out_of_memory(&lib);
  printf("long runs:\n");
  test_accumulating_host(&lib);
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
