/*
 * fmu_parameter_test - the vehicle of an unpacked Corvanta FMU: its vehicle parameters and the
 * VehicleFile string parameter, against the vehicle library's C interface (corvanta_vehicle.h)
 * running the same parameter set, bit for bit.
 *
 *   fmu_parameter_test 2|3 UNPACKED_FMU PLATFORM DATA_DIRECTORY WORK_DIRECTORY
 *
 * DATA_DIRECTORY holds estate.json and low_mu_205_55R16.tir (examples/vehicles); the test
 * writes its own files under WORK_DIRECTORY.  Checks: parameters set through the FMU (a mass
 * and a tyre coefficient) give the outputs of the C interface for that set, and act (the
 * standing tyre loads the mass implies; outputs that differ from the built-in car's); a vehicle
 * file by absolute path, through the resources folder (a folder name that needs escaping in a
 * URI) and with a parameter on top; a tyre property file named by a vehicle file; values out of
 * range, inconsistent sets and bad files refused with the library's message; parameters fixed
 * after initialisation; FMU states refused across parameter sets; Reset back to the built-in
 * car.  Exit status 0 when everything holds.
 */
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <direct.h>
#define make_folder(path) _mkdir(path)
#else
#include <sys/stat.h>
#define make_folder(path) mkdir(path, 0777)
#endif

#include "tests/fmi/fmu_binding.h"
#include "vehicle/corvanta_vehicle.h"

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

#define STEPS_PER_COMMUNICATION 100 /* 0.01 s */
#define COMMUNICATION_POINTS 150    /* 1.5 s */

static FmuLibrary lib;
static const char *work;
static const char *data;
static char enter_name[64];
static char exit_name[64];

static int same_bits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

static unsigned vr_of(const char *name) { return fmu_vr(&lib, name); }

static void set_real(Fmu *fmu, const char *name, double value) {
  const unsigned vr = vr_of(name);
  CHECK(fmu_set(fmu, &vr, 1, &value) == FMU_OK, "setting %s: %s", name, fmu->log.last);
}

static double get_real(Fmu *fmu, const char *name) {
  const unsigned vr = vr_of(name);
  double value = NAN;
  CHECK(fmu_get(fmu, &vr, 1, &value) == FMU_OK, "getting %s: %s", name, fmu->log.last);
  return value;
}

/* A cornering run: 0.3 m/s2 demand, 0.05 rad steering from 12 m/s. */
static ExtU_Corvanta_T corner_inputs(void) {
  ExtU_Corvanta_T u;
  memset(&u, 0, sizeof u);
  u.AccelerationDemand = 0.3;
  u.GearSelector = 1.0;
  u.SteeringAngle = 0.05;
  u.InitialSpeed = 12.0;
  return u;
}

static void set_corner_inputs(Fmu *fmu) {
  set_real(fmu, "AccelerationDemand", 0.3);
  set_real(fmu, "GearSelector", 1.0);
  set_real(fmu, "SteeringAngle", 0.05);
  set_real(fmu, "InitialSpeed", 12.0);
}

/* Every signal of the FMU at its present communication point. */
static void fmu_signals(Fmu *fmu, double *out) {
  static unsigned vr[CORVANTA_NUM_SIGNALS];
  static int resolved = 0;
  size_t k;
  if (!resolved) {
    for (k = 0; k < CORVANTA_NUM_SIGNALS; ++k) {
      vr[k] = vr_of(corvanta_signal_name(k));
    }
    resolved = 1;
  }
  CHECK(fmu_get(fmu, vr, CORVANTA_NUM_SIGNALS, out) == FMU_OK, "getting the outputs: %s", fmu->log.last);
}

/* The whole run of an initialised FMU against an instance of the C interface made from
   VEHICLE (NULL: the built-in car) with the same inputs, at every communication point;
   returns the number of differing values, and the last signals in LAST. */
static int compare_run(Fmu *fmu, const CorvantaVehicle *vehicle, const char *what, double *last) {
  CorvantaInstance *car = corvanta_instance_create(vehicle);
  const ExtU_Corvanta_T u = corner_inputs();
  double expected[CORVANTA_NUM_SIGNALS];
  double got[CORVANTA_NUM_SIGNALS];
  int differences = 0;
  int point;
  size_t k;
  if (car == NULL) {
    CHECK(0, "%s: the C interface refuses the set", what);
    return 1;
  }
  corvanta_instance_set_inputs(car, &u);
  corvanta_instance_initialize(car);
  CHECK(corvanta_instance_initial_signals(car, expected, CORVANTA_NUM_SIGNALS) == CORVANTA_NUM_SIGNALS,
        "%s: start values", what);
  for (point = 0; point <= COMMUNICATION_POINTS; ++point) {
    if (point > 0) {
      int step;
      CHECK(fmu_do_step(fmu, (point - 1) * 0.01, 0.01) == FMU_OK, "%s: step %d: %s", what, point, fmu->log.last);
      for (step = 0; step < STEPS_PER_COMMUNICATION; ++step) {
        corvanta_instance_step(car);
      }
      corvanta_instance_signals(car, expected, CORVANTA_NUM_SIGNALS);
    }
    fmu_signals(fmu, got);
    for (k = 0; k < CORVANTA_NUM_SIGNALS; ++k) {
      if (!same_bits(got[k], expected[k])) {
        if (differences < 5) {
          fprintf(stderr, "%s: %s at %.2f s: FMU %.17g, C interface %.17g\n", what, corvanta_signal_name(k),
                  point * 0.01, got[k], expected[k]);
        }
        ++differences;
      }
    }
  }
  CHECK(differences == 0, "%s: %d values differ from the C interface", what, differences);
  memcpy(last, got, sizeof got);
  corvanta_instance_free(car);
  return differences;
}

static CorvantaVehicle *set_with(const char *name, double value, CorvantaVehicle *vehicle) {
  char error[512];
  CHECK(corvanta_vehicle_set(vehicle, name, &value, 1, error, sizeof error) == CORVANTA_VEHICLE_OK, "%s: %s", name,
        error);
  return vehicle;
}

static void start(Fmu *fmu, const char *name, const char *resources) {
  CHECK(fmu_instantiate_in(fmu, &lib, name, NULL, resources) == FMU_OK, "instantiating %s", name);
}

static void initialise(Fmu *fmu, const char *what) {
  CHECK(fmu_enter_initialization(fmu, 0.0) == FMU_OK, "%s: enter: %s", what, fmu->log.last);
  CHECK(fmu_exit_initialization(fmu) == FMU_OK, "%s: exit: %s", what, fmu->log.last);
}

static int contains(const char *text, const char *part) { return strstr(text, part) != NULL; }

/* ---- parameters set through the FMU ------------------------------------------------------ */

static void test_mass_and_tyre(void) {
  Fmu fmu;
  double last[CORVANTA_NUM_SIGNALS];
  double builtin[CORVANTA_NUM_SIGNALS];
  CorvantaVehicle *vehicle = corvanta_vehicle_create_builtin();
  /* The standing car: each front tyre carries m g b / (2 L) with the rear axle b = L - a
     behind the centre of mass (1.641 m of 2.8 m), each rear tyre m g a / (2 L). */
  const double front_load = 1900.0 * 9.8 * (2.8 - 1.159) / (2.0 * 2.8);
  const double rear_load = 1900.0 * 9.8 * 1.159 / (2.0 * 2.8);

  start(&fmu, "mass-and-tyre", NULL);
  set_real(&fmu, "VehicleMass", 1900.0);
  set_real(&fmu, "FrontTyre.PDY1", 0.95);
  set_real(&fmu, "RearTyre.PDY1", 0.95);
  set_corner_inputs(&fmu);
  CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK, "enter: %s", fmu.log.last);
  /* In initialization mode: the values in effect. */
  CHECK(get_real(&fmu, "VehicleMass") == 1900.0, "VehicleMass as set");
  CHECK(get_real(&fmu, "RearTyre.PDY1") == 0.95, "RearTyre.PDY1 as set");
  CHECK(get_real(&fmu, "YawInertia") == 2553.6, "YawInertia keeps the built-in value");
  CHECK(get_real(&fmu, "FrontTyre.PKY1") == -21.92, "FrontTyre.PKY1 keeps the built-in value");
  CHECK(fmu_exit_initialization(&fmu) == FMU_OK, "exit: %s", fmu.log.last);
  CHECK(fabs(get_real(&fmu, "TyreLoadFL") - front_load) <= 1e-9 * front_load, "front load %.17g, expected %.17g",
        get_real(&fmu, "TyreLoadFL"), front_load);
  CHECK(fabs(get_real(&fmu, "TyreLoadRR") - rear_load) <= 1e-9 * rear_load, "rear load %.17g, expected %.17g",
        get_real(&fmu, "TyreLoadRR"), rear_load);

  /* The same set through the C interface: the plain tyre name sets both axles. */
  set_with("PDY1", 0.95, set_with("VehicleMass", 1900.0, vehicle));
  compare_run(&fmu, vehicle, "VehicleMass and PDY1", last);
  fmu_free(&fmu);

  /* The parameters act: the built-in car ends elsewhere. */
  start(&fmu, "built-in", NULL);
  set_corner_inputs(&fmu);
  initialise(&fmu, "built-in");
  compare_run(&fmu, NULL, "built-in", builtin);
  CHECK(!same_bits(last[CORVANTA_SIGNAL_PositionY], builtin[CORVANTA_SIGNAL_PositionY]) &&
            !same_bits(last[CORVANTA_SIGNAL_TyreForceYFL], builtin[CORVANTA_SIGNAL_TyreForceYFL]),
        "a heavier car on less lateral friction follows the built-in car's path");
  fmu_free(&fmu);

  /* One axle only: FrontTyre.PDY1 leaves the rear tyres as they are. */
  start(&fmu, "front-tyre", NULL);
  set_real(&fmu, "FrontTyre.PDY1", 0.8);
  set_corner_inputs(&fmu);
  initialise(&fmu, "front tyre");
  CHECK(get_real(&fmu, "RearTyre.PDY1") == 1.0489, "RearTyre.PDY1 keeps the built-in value");
  corvanta_vehicle_free(vehicle);
  vehicle = set_with("FrontTyre.PDY1", 0.8, corvanta_vehicle_create_builtin());
  compare_run(&fmu, vehicle, "FrontTyre.PDY1", last);
  corvanta_vehicle_free(vehicle);
  fmu_free(&fmu);
}

/* ---- vehicle files ----------------------------------------------------------------------- */

static void copy_file(const char *from, const char *to) {
  char buffer[4096];
  size_t n;
  FILE *in = fopen(from, "rb");
  FILE *out = fopen(to, "wb");
  CHECK(in != NULL && out != NULL, "copying %s to %s", from, to);
  if (in != NULL && out != NULL) {
    while ((n = fread(buffer, 1, sizeof buffer, in)) > 0) {
      fwrite(buffer, 1, n, out);
    }
  }
  if (in != NULL) fclose(in);
  if (out != NULL) fclose(out);
}

static void write_text(const char *path, const char *text) {
  FILE *file = fopen(path, "wb");
  CHECK(file != NULL, "writing %s", path);
  if (file != NULL) {
    fputs(text, file);
    fclose(file);
  }
}

static void make_directory(const char *path) {
  CHECK(make_folder(path) == 0 || errno == EEXIST, "cannot make the folder %s", path);
}

static CorvantaVehicle *load(const char *path) {
  char error[2048];
  CorvantaVehicle *vehicle = corvanta_vehicle_load(path, error, sizeof error);
  CHECK(vehicle != NULL, "the C interface cannot load %s: %s", path, error);
  return vehicle;
}

/* A path of the test's folders as a Windows program names it: under Wine the Unix root is drive
   Z:, so "/work/x" becomes "Z:\work\x" (a drive letter, backslashes); elsewhere as it is. */
static void native_path(char *path) {
#if defined(_WIN32)
  char copy[1024];
  size_t k;
  if (path[0] == '/' && strlen(path) + 3 < sizeof copy) {
    snprintf(copy, sizeof copy, "Z:%s", path);
    for (k = 0; copy[k] != '\0'; ++k) {
      if (copy[k] == '/') copy[k] = '\\';
    }
    strcpy(path, copy);
  }
#else
  (void)path;
#endif
}

static void test_vehicle_files(void) {
  Fmu fmu;
  char estate[1024];
  char resources[1024];
  char copied[1100];
  char low_mu[1100];
  char tyre[1100];
  const char *file = NULL;
  double last[CORVANTA_NUM_SIGNALS];
  CorvantaVehicle *vehicle;
  snprintf(estate, sizeof estate, "%s/estate.json", data);
  native_path(estate);

  /* By absolute path: the values of the file (2020 kg, 2.95 m, final drive 2.3). */
  start(&fmu, "estate", NULL);
  CHECK(fmu_set_string(&fmu, vr_of("VehicleFile"), estate) == FMU_OK, "VehicleFile: %s", fmu.log.last);
  set_corner_inputs(&fmu);
  CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK, "enter with the estate: %s", fmu.log.last);
  CHECK(get_real(&fmu, "VehicleMass") == 2020.0 && get_real(&fmu, "Wheelbase") == 2.95 &&
            get_real(&fmu, "FinalDriveRatio") == 2.3 && get_real(&fmu, "WheelRadius") == 0.314,
        "the estate's values in effect");
  CHECK(fmu_get_string(&fmu, vr_of("VehicleFile"), &file) == FMU_OK && file != NULL && strcmp(file, estate) == 0,
        "VehicleFile reads back");
  CHECK(fmu_exit_initialization(&fmu) == FMU_OK, "exit: %s", fmu.log.last);
  vehicle = load(estate);
  compare_run(&fmu, vehicle, "estate.json", last);
  corvanta_vehicle_free(vehicle);
  fmu_free(&fmu);

  /* Relative to the resources folder, whose name needs escaping in a URI, with a parameter on
     top of the file's values. */
  snprintf(resources, sizeof resources, "%s/res dir %%41", work);
  native_path(resources);
  make_directory(resources);
  snprintf(copied, sizeof copied, "%s/estate.json", resources);
  copy_file(estate, copied);
  start(&fmu, "estate-in-resources", resources);
  CHECK(fmu_set_string(&fmu, vr_of("VehicleFile"), "estate.json") == FMU_OK, "VehicleFile: %s", fmu.log.last);
  set_real(&fmu, "VehicleMass", 2100.0);
  set_corner_inputs(&fmu);
  CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK, "enter with the estate from the resources: %s", fmu.log.last);
  CHECK(get_real(&fmu, "VehicleMass") == 2100.0 && get_real(&fmu, "Wheelbase") == 2.95,
        "the parameter set applies on top of the file");
  CHECK(fmu_exit_initialization(&fmu) == FMU_OK, "exit: %s", fmu.log.last);
  vehicle = set_with("VehicleMass", 2100.0, load(estate));
  compare_run(&fmu, vehicle, "estate.json in the resources with VehicleMass", last);
  corvanta_vehicle_free(vehicle);
  fmu_free(&fmu);

  /* A vehicle file naming a tyre property file beside it. */
  snprintf(tyre, sizeof tyre, "%s/low_mu_205_55R16.tir", data);
  snprintf(copied, sizeof copied, "%s/low_mu_205_55R16.tir", resources);
  copy_file(tyre, copied);
  snprintf(low_mu, sizeof low_mu, "%s/low-mu.json", resources);
  write_text(low_mu, "{\"name\": \"low-mu\", \"tyre\": \"low_mu_205_55R16.tir\", \"parameters\": {}}\n");
  start(&fmu, "low-mu", resources);
  CHECK(fmu_set_string(&fmu, vr_of("VehicleFile"), "low-mu.json") == FMU_OK, "VehicleFile: %s", fmu.log.last);
  set_corner_inputs(&fmu);
  initialise(&fmu, "low-mu.json");
  vehicle = load(low_mu);
  compare_run(&fmu, vehicle, "low-mu.json with its .tir", last);
  {
    double pdy1 = 0.0;
    corvanta_vehicle_get(vehicle, "FrontTyre.PDY1", &pdy1, 1, NULL);
    CHECK(pdy1 != 1.0489 && get_real(&fmu, "FrontTyre.PDY1") == pdy1, "the tyre file's PDY1 (%.17g) in effect", pdy1);
  }
  corvanta_vehicle_free(vehicle);
  fmu_free(&fmu);

  /* VehicleFile changed in initialization mode: read and applied by ExitInitializationMode. */
  start(&fmu, "estate-late", NULL);
  set_corner_inputs(&fmu);
  CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK, "enter: %s", fmu.log.last);
  CHECK(fmu_set_string(&fmu, vr_of("VehicleFile"), estate) == FMU_OK, "VehicleFile: %s", fmu.log.last);
  CHECK(get_real(&fmu, "VehicleMass") == 2020.0, "the new file's values in effect");
  CHECK(fmu_exit_initialization(&fmu) == FMU_OK, "exit: %s", fmu.log.last);
  vehicle = load(estate);
  compare_run(&fmu, vehicle, "estate.json set in initialization mode", last);
  corvanta_vehicle_free(vehicle);
  fmu_free(&fmu);
}

/* ---- refusals ------------------------------------------------------------------------------ */

static void expect_enter_refused(const char *what, const char *resources, const char *file, const char *parameter,
                                 double value, const char *message) {
  Fmu fmu;
  start(&fmu, what, resources);
  if (file != NULL) {
    CHECK(fmu_set_string(&fmu, vr_of("VehicleFile"), file) == FMU_OK, "%s: VehicleFile", what);
  }
  if (parameter != NULL) {
    set_real(&fmu, parameter, value);
  }
  CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_ERROR, "%s: EnterInitializationMode accepts it", what);
  CHECK(fmu.log.errors >= 1 && contains(fmu.log.last, message), "%s: logged \"%s\", expected \"%s\"", what,
        fmu.log.last, message);
  /* Reset gives the built-in car again. */
  CHECK(fmu_reset(&fmu) == FMU_OK, "%s: reset", what);
  initialise(&fmu, what);
  CHECK(get_real(&fmu, "VehicleMass") == 1760.0, "%s: after Reset the built-in mass", what);
  fmu_free(&fmu);
}

static void test_refusals(void) {
  char expected[2400];
  char path[1100];
  Fmu fmu;

  /* Out of range: the library's report, every problem, parameter, value and range. */
  snprintf(expected, sizeof expected,
           "[3 logStatusError] %s: the vehicle parameters are not a set the model can simulate (2 problems):\n"
           "VehicleMass = -5 is outside its range (0, 100000] kg\n"
           "SprungMass = 1590 kg exceeds VehicleMass = -5 kg",
           enter_name);
  expect_enter_refused("negative-mass", NULL, NULL, "VehicleMass", -5.0, expected);
  expect_enter_refused("zero-nominal-load", NULL, NULL, "RearTyre.FNOMIN", 0.0,
                       "RearTyre.FNOMIN = 0 is outside its range (0, 1000000] N");
  expect_enter_refused("nan-inertia", NULL, NULL, "YawInertia", NAN, "YawInertia");

  /* Bad files. */
  snprintf(path, sizeof path, "%s/no-such-vehicle.json", work);
  snprintf(expected, sizeof expected, "VehicleFile \"%s\" cannot be used:\n%s: cannot open the vehicle file", path,
           path);
  expect_enter_refused("missing-file", NULL, path, NULL, 0.0, expected);
  snprintf(path, sizeof path, "%s/misspelt.json", work);
  write_text(path, "{\n  \"parameters\": {\n    \"VehicleMas\": 1900\n  }\n}\n");
  snprintf(expected, sizeof expected, "%s:3: ", path);
  expect_enter_refused("misspelt-name", NULL, path, NULL, 0.0, expected);
  expect_enter_refused("misspelt-suggestion", NULL, path, NULL, 0.0, "VehicleMass");
  /* A relative name without a resources folder (FMI 3.0 allows none; the FMI 2.0 binding always
     names one, /unused, in which the file is looked for). */
  if (lib.version == 3) {
    expect_enter_refused("relative-without-resources", NULL, "estate.json", NULL, 0.0,
                         "VehicleFile \"estate.json\" is a relative path, and the importer gave no resources folder");
  } else {
    expect_enter_refused("relative-in-unused-resources", NULL, "estate.json", NULL, 0.0,
                         "/unused/estate.json: cannot open the vehicle file");
  }

  /* An inconsistent set made in initialization mode is refused by ExitInitializationMode. */
  start(&fmu, "late-inconsistency", NULL);
  CHECK(fmu_enter_initialization(&fmu, 0.0) == FMU_OK, "enter: %s", fmu.log.last);
  set_real(&fmu, "Wheelbase", 1.0);
  CHECK(fmu_exit_initialization(&fmu) == FMU_ERROR, "ExitInitializationMode accepts a wheelbase of 1 m");
  snprintf(expected, sizeof expected,
           "%s: the vehicle parameters are not a set the model can simulate (1 problem):\n"
           "Wheelbase = 1 m must exceed FrontAxleDistance = 1.159 m",
           exit_name);
  CHECK(contains(fmu.log.last, expected), "logged \"%s\", expected \"%s\"", fmu.log.last, expected);
  fmu_free(&fmu);

  /* Fixed from ExitInitializationMode on. */
  start(&fmu, "fixed", NULL);
  initialise(&fmu, "fixed");
  {
    const unsigned vr = vr_of("VehicleMass");
    const double mass = 1800.0;
    CHECK(fmu_set(&fmu, &vr, 1, &mass) == FMU_ERROR && contains(fmu.log.last, "VehicleMass") &&
              contains(fmu.log.last, "fixed after initialisation"),
          "VehicleMass set after initialisation: %s", fmu.log.last);
  }
  fmu_free(&fmu);
  start(&fmu, "fixed-file", NULL);
  initialise(&fmu, "fixed file");
  CHECK(fmu_set_string(&fmu, vr_of("VehicleFile"), "estate.json") == FMU_ERROR &&
            contains(fmu.log.last, "VehicleFile is fixed after initialisation"),
        "VehicleFile set after initialisation: %s", fmu.log.last);
  fmu_free(&fmu);

  /* VehicleFile is the only string variable. */
  start(&fmu, "strings", NULL);
  CHECK(fmu_set_string(&fmu, vr_of("VehicleMass"), "2000") == FMU_ERROR, "a real variable set as a string");
  fmu_free(&fmu);
}

/* ---- FMU states across parameter sets --------------------------------------------------- */

static void run_to(Fmu *fmu, int from, int to) {
  int point;
  for (point = from; point < to; ++point) {
    CHECK(fmu_do_step(fmu, point * 0.01, 0.01) == FMU_OK, "step at %.2f s: %s", point * 0.01, fmu->log.last);
  }
}

static void test_states(void) {
  Fmu heavy;
  Fmu other;
  Fmu builtin;
  void *state = NULL;
  void *copy = NULL;
  unsigned char *bytes = NULL;
  size_t size = 0;
  double a[CORVANTA_NUM_SIGNALS];
  double b[CORVANTA_NUM_SIGNALS];

  start(&heavy, "heavy", NULL);
  set_real(&heavy, "VehicleMass", 1900.0);
  set_corner_inputs(&heavy);
  initialise(&heavy, "heavy");
  run_to(&heavy, 0, 50);
  CHECK(fmu_get_state(&heavy, &state) == FMU_OK, "get state: %s", heavy.log.last);
  CHECK(fmu_serialize(&heavy, state, &bytes, &size) == FMU_OK, "serialise: %s", heavy.log.last);
  run_to(&heavy, 50, 100);
  fmu_signals(&heavy, a);

  /* Into an instance of the built-in car: refused, naming both sets. */
  start(&builtin, "builtin", NULL);
  set_corner_inputs(&builtin);
  initialise(&builtin, "builtin");
  CHECK(fmu_deserialize(&builtin, bytes, size, &copy) == FMU_ERROR &&
            contains(builtin.log.last, "saved from an instance of another parameter set"),
        "a state of a heavier car accepted by the built-in car: %s", builtin.log.last);
  fmu_free(&builtin);

  /* Into another instance of the same set: continues as the saved one. */
  start(&other, "other", NULL);
  set_real(&other, "VehicleMass", 1900.0);
  initialise(&other, "other");
  CHECK(fmu_deserialize(&other, bytes, size, &copy) == FMU_OK, "same set refused: %s", other.log.last);
  CHECK(fmu_set_state(&other, copy) == FMU_OK, "set state: %s", other.log.last);
  run_to(&other, 50, 100);
  fmu_signals(&other, b);
  CHECK(memcmp(a, b, sizeof a) == 0, "the restored heavy car does not continue bit for bit");
  fmu_free_state(&other, &copy);
  fmu_free(&other);
  fmu_free_state(&heavy, &state);
  fmu_free(&heavy);
  free(bytes);
}

int main(int argc, char **argv) {
  int version;
  if (argc != 6 || (strcmp(argv[1], "2") != 0 && strcmp(argv[1], "3") != 0)) {
    fprintf(stderr, "usage: fmu_parameter_test 2|3 UNPACKED_FMU PLATFORM DATA_DIRECTORY WORK_DIRECTORY\n");
    return 2;
  }
  version = atoi(argv[1]);
  data = argv[4];
  work = argv[5];
  make_directory(work);
  snprintf(enter_name, sizeof enter_name, "fmi%dEnterInitializationMode", version);
  snprintf(exit_name, sizeof exit_name, "fmi%dExitInitializationMode", version);
  if (fmu_load(&lib, version, argv[2], argv[3]) != 0) {
    return 1;
  }
  test_mass_and_tyre();
  test_vehicle_files();
  test_refusals();
  test_states();
  if (failures != 0) {
    fprintf(stderr, "%d checks failed\n", failures);
    return 1;
  }
  printf("FMI %d.0: vehicle parameters and files agree with the vehicle library bit for bit\n", version);
  return 0;
}
