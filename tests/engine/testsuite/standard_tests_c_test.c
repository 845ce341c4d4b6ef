/* The C interface of the standard tests, from C: the listing, refusals (NULL arguments,
   an unknown test with its suggestion, bad option values), a run's metrics, rows and
   files, progress and stopping, and the mass a coast-down takes from the vehicle.
     standard_tests_c_test OUTPUT_FOLDER
   writes OUTPUT_FOLDER/braking (braking --speed 6), which check_c_interface.cmake
   compares with corvanta-sim test's. */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "capi/corvanta.h"
#include "engine/corvanta_engine.h"
#include "engine/testsuite/corvanta_standard_tests.h"
#include "vehicle/corvanta_vehicle.h"

static int failures = 0;

#define CHECK(condition, ...)                         \
  do {                                                \
    if (!(condition)) {                               \
      ++failures;                                     \
      fprintf(stderr, "%s:%d: ", __FILE__, __LINE__); \
      fprintf(stderr, __VA_ARGS__);                   \
      fputc('\n', stderr);                            \
    }                                                 \
  } while (0)

/* The vehicle library's instances with its parameter-set functions. */
static void *create_from_vehicle(const void *vehicle) {
  return corvanta_instance_create((const CorvantaVehicle *)vehicle);
}
static void *parse_vehicle(const char *json, size_t length, const char *directory, const char *source, char *error,
                           size_t size) {
  return corvanta_vehicle_parse(json, length, directory, source, error, size);
}
static size_t vehicle_to_json(const void *vehicle, char *buffer, size_t size) {
  return corvanta_vehicle_to_json((const CorvantaVehicle *)vehicle, buffer, size);
}
static void free_vehicle(void *vehicle) { corvanta_vehicle_free((CorvantaVehicle *)vehicle); }

static CorvantaModelFunctions vehicle_model(const CorvantaVehicle *vehicle) {
  const CorvantaInstanceFunctions *f = corvanta_instance_functions();
  CorvantaModelFunctions model;
  memset(&model, 0, sizeof model);
  model.CreateVehicleModel = f->create;
  model.DeleteVehicleModel = f->free;
  model.Initialize = f->initialize;
  model.SetInputs = f->set_inputs;
  model.Step = f->step;
  model.GetOutputs = f->outputs;
  model.Terminate = f->terminate;
  model.Signals = f->signals;
  model.InitialSignals = f->initial_signals;
  model.Vehicle = vehicle;
  model.CreateFromVehicle = create_from_vehicle;
  model.ParseVehicle = parse_vehicle;
  model.VehicleToJson = vehicle_to_json;
  model.FreeVehicle = free_vehicle;
  return model;
}

static CorvantaTestRunOptions one_option(const char **name, const char **value) {
  CorvantaTestRunOptions options;
  memset(&options, 0, sizeof options);
  options.option_names = name;
  options.option_values = value;
  options.option_count = 1;
  return options;
}

/* The message of a refused run of `test` with one option. */
static const char *refusal(const char *test, const char *name, const char *value, int *status) {
  static CorvantaEngineError error;
  const CorvantaModelFunctions model = vehicle_model(NULL);
  const char *names[] = {name};
  const char *values[] = {value};
  CorvantaTestRunOptions options = one_option(names, values);
  CorvantaTestResult *result = corvanta_test_run(test, name ? &options : NULL, &model, &error);
  CHECK(result == NULL, "%s --%s %s was accepted", test, name ? name : "", value ? value : "");
  corvanta_test_result_free(result);
  *status = error.status;
  return error.message;
}

static void the_listing(void) {
  CHECK(corvanta_test_count() == 7, "%zu tests", corvanta_test_count());
  CHECK(strcmp(corvanta_test_name(0), "steady-state-circle") == 0, "first test %s", corvanta_test_name(0));
  CHECK(strcmp(corvanta_test_name(6), "coast-down") == 0, "last test %s", corvanta_test_name(6));
  CHECK(corvanta_test_name(7) == NULL && corvanta_test_summary(7) == NULL, "a test past the end");
  CHECK(corvanta_test_find("braking") == 4 && corvanta_test_find("brake") == -1 && corvanta_test_find(NULL) == -1,
        "corvanta_test_find");
  CHECK(corvanta_test_option_count(1) == 4 && corvanta_test_option_count(99) == 0, "step-steer's options");
  CorvantaTestOptionInfo info;
  CHECK(corvanta_test_option_info(1, 0, &info) == CORVANTA_ENGINE_OK, "step-steer's first option");
  CHECK(strcmp(info.name, "speed") == 0 && strcmp(info.unit, "m/s") == 0 && info.default_value == 10.0 &&
            info.min == 1.0 && info.max == 14.0 && strcmp(info.default_parameter, "") == 0 &&
            strcmp(info.default_text, "10") == 0 && strcmp(info.max_text, "14") == 0,
        "step-steer --speed: %s %s %g [%g, %g]", info.name, info.unit, info.default_value, info.min, info.max);
  CHECK(corvanta_test_option_info(1, 4, &info) == CORVANTA_ENGINE_BAD_ARGUMENT, "an option past the end");
  CHECK(corvanta_test_option_info(1, 0, NULL) == CORVANTA_ENGINE_BAD_ARGUMENT, "NULL info");
  CHECK(corvanta_test_option_info(6, 2, &info) == CORVANTA_ENGINE_OK && strcmp(info.name, "mass") == 0 &&
            isnan(info.default_value) && strcmp(info.default_parameter, "VehicleMass") == 0 &&
            strcmp(info.default_text, "the vehicle's VehicleMass") == 0 && strcmp(info.max_text, "100000") == 0,
        "coast-down --mass: %s %g %s", info.name, info.default_value, info.default_parameter);
  CHECK(corvanta_test_run_column_count() == 20, "%zu run columns", corvanta_test_run_column_count());
  CHECK(strcmp(corvanta_test_run_column_name(0), "time") == 0 && strcmp(corvanta_test_run_column_unit(0), "s") == 0 &&
            strcmp(corvanta_test_run_column_name(12), "Distance") == 0 && corvanta_test_run_column_name(20) == NULL,
        "run columns");
}

static void refusals(void) {
  CorvantaEngineError error;
  const CorvantaModelFunctions model = vehicle_model(NULL);
  CHECK(corvanta_test_run(NULL, NULL, &model, &error) == NULL && error.status == CORVANTA_ENGINE_BAD_ARGUMENT,
        "a NULL test name: %s", error.message);
  CHECK(corvanta_test_run("braking", NULL, NULL, &error) == NULL && error.status == CORVANTA_ENGINE_BAD_ARGUMENT &&
            strstr(error.message, "model functions are missing") != NULL,
        "NULL model functions: %s", error.message);
  CHECK(corvanta_test_run("braking", NULL, NULL, NULL) == NULL, "a NULL error record");
  CHECK(corvanta_test_check(NULL, NULL, &error) == CORVANTA_ENGINE_BAD_ARGUMENT, "check of a NULL name");
  CHECK(corvanta_test_check("braking", NULL, &error) == CORVANTA_ENGINE_OK, "check of braking: %s", error.message);

  int status = 0;
  const char *message = refusal("brakeing", NULL, NULL, &status);
  CHECK(status == CORVANTA_ENGINE_BAD_ARGUMENT &&
            strcmp(message,
                   "unknown test 'brakeing' (did you mean 'braking'?); the tests are steady-state-circle, "
                   "step-steer, frequency-response, double-lane-change, braking, acceleration, "
                   "coast-down") == 0,
        "unknown test: %s", message);
  message = refusal("Braking", NULL, NULL, &status);
  CHECK(strstr(message, "unknown test 'Braking' (did you mean 'braking'?)") != NULL, "letter case: %s", message);
  message = refusal("braking", "sped", "5", &status);
  CHECK(strcmp(message,
               "braking: unknown option '--sped' (did you mean '--speed'?); the options are --speed, "
               "--demand") == 0,
        "unknown option: %s", message);
  message = refusal("braking", "speed", "fast", &status);
  CHECK(status == CORVANTA_ENGINE_BAD_ARGUMENT &&
            strcmp(message, "braking: --speed: expected a number in m/s, got 'fast'") == 0,
        "a value that is no number: %s", message);
  message = refusal("braking", "speed", "40", &status);
  CHECK(strcmp(message, "braking: --speed 40 is out of range: expected 1 to 14 m/s") == 0, "out of range: %s", message);
  message = refusal("braking", "speed", NULL, &status);
  CHECK(status == CORVANTA_ENGINE_BAD_ARGUMENT && strstr(message, "NULL name or value") != NULL, "NULL value: %s",
        message);

  CorvantaTestRunOptions options;
  memset(&options, 0, sizeof options);
  options.options_json = "{\"speed\": \"fast\"}";
  CHECK(corvanta_test_run("braking", &options, &model, &error) == NULL &&
            strcmp(error.message, "braking: --speed: expected a number in m/s, got '\"fast\"'") == 0,
        "options_json with a string: %s", error.message);
  options.options_json = "[1]";
  CHECK(corvanta_test_run("braking", &options, &model, &error) == NULL && strstr(error.message, "not a JSON object"),
        "options_json not an object: %s", error.message);
  const char *names[] = {"speed"};
  const char *values[] = {"6"};
  options = one_option(names, values);
  options.options_json = "{\"speed\": 7}";
  CHECK(corvanta_test_run("braking", &options, &model, &error) == NULL &&
            strcmp(error.message, "braking: --speed is given twice") == 0,
        "an option by name and in options_json: %s", error.message);

  /* Readers of a NULL result. */
  CorvantaTestMetric metric;
  CHECK(corvanta_test_result_metric_count(NULL) == 0 && corvanta_test_result_name(NULL) == NULL &&
            corvanta_test_result_metric(NULL, 0, &metric) == CORVANTA_ENGINE_BAD_ARGUMENT &&
            corvanta_test_result_run_row_count(NULL, 0, 1) == 0 && corvanta_test_result_metrics_json(NULL) == NULL,
        "a NULL result");
  CHECK(corvanta_test_result_write(NULL, "x", 10, &error) == CORVANTA_ENGINE_BAD_ARGUMENT, "writing a NULL result");
  CHECK(corvanta_test_write_report(NULL, 0, NULL, &error) == CORVANTA_ENGINE_BAD_ARGUMENT, "a report without a path");
  corvanta_test_result_free(NULL);
}

struct Progress {
  size_t calls;
  size_t last_run;
  uint64_t last_total;
  uint64_t stop_after;
};

static int count_progress(void *user, size_t run, uint64_t steps, uint64_t total) {
  struct Progress *progress = (struct Progress *)user;
  ++progress->calls;
  progress->last_run = run;
  progress->last_total = total;
  return progress->stop_after != 0 && progress->calls >= progress->stop_after;
}

static void a_braking_run(const char *folder) {
  const CorvantaModelFunctions model = vehicle_model(NULL);
  const char *names[] = {"speed"};
  const char *values[] = {"6"};
  CorvantaTestRunOptions options = one_option(names, values);
  struct Progress progress = {0, 0, 0, 0};
  options.on_progress = count_progress;
  options.progress_user = &progress;
  CorvantaEngineError error;
  CorvantaTestResult *result = corvanta_test_run("braking", &options, &model, &error);
  CHECK(result != NULL, "braking --speed 6: %s", error.message);
  if (result == NULL) {
    return;
  }
  CHECK(strcmp(corvanta_test_result_name(result), "braking") == 0, "name %s", corvanta_test_result_name(result));
  /* One call per step: the run ends at the standstill, before its 32 s. */
  CHECK(progress.calls > 20000 && progress.calls < 320000 && progress.last_run == 0 && progress.last_total == 320000,
        "progress: %zu calls, run %zu of %llu steps", progress.calls, progress.last_run,
        (unsigned long long)progress.last_total);
  const char *option = NULL;
  double value = 0.0;
  CHECK(corvanta_test_result_option_count(result) == 2 &&
            corvanta_test_result_option(result, 1, &option, &value) == CORVANTA_ENGINE_OK &&
            strcmp(option, "speed") == 0 && value == 6.0,
        "options: %s %g", option ? option : "(none)", value);
  CorvantaTestMetric metric;
  int found = 0;
  for (size_t i = 0; corvanta_test_result_metric(result, i, &metric) == CORVANTA_ENGINE_OK; ++i) {
    if (strcmp(metric.name, "stopping_distance") == 0) {
      found = 1;
      /* 6 m/s at about 4 m/s^2: v^2 / (2 a) = 4.5 m, some more while the brake builds up. */
      CHECK(strcmp(metric.unit, "m") == 0 && metric.value > 4.0 && metric.value < 6.0 &&
                strstr(metric.definition, "brake onset") != NULL,
            "stopping_distance %g %s", metric.value, metric.unit);
    }
  }
  CHECK(found && corvanta_test_result_metric_count(result) == 5, "%zu metrics",
        corvanta_test_result_metric_count(result));
  CHECK(corvanta_test_result_table_count(result) == 0 && corvanta_test_result_note_count(result) == 0,
        "braking has no tables or notes");
  CHECK(corvanta_test_result_plot_count(result) == 2 &&
            strcmp(corvanta_test_result_plot_file(result, 0), "time.svg") == 0,
        "plots");
  CHECK(corvanta_test_result_run_count(result) == 1 &&
            strcmp(corvanta_test_result_run_name(result, 0), "braking") == 0 &&
            strncmp(corvanta_test_result_run_scenario(result, 0), "{", 1) == 0,
        "the run");
  /* Every frame (every 0.001 s), and every 10th plus the last. */
  const uint64_t frames = corvanta_test_result_run_row_count(result, 0, 1);
  const uint64_t rows = corvanta_test_result_run_row_count(result, 0, 10);
  CHECK(rows == (frames - 1) / 10 + ((frames - 1) % 10 == 0 ? 1 : 2), "%llu rows of %llu frames",
        (unsigned long long)rows, (unsigned long long)frames);
  const size_t columns = corvanta_test_run_column_count();
  double *all = (double *)malloc(sizeof(double) * frames * columns);
  double *some = (double *)malloc(sizeof(double) * rows * columns);
  CHECK(corvanta_test_result_run_rows(result, 0, 10, some, rows - 1, &error) == CORVANTA_ENGINE_BAD_ARGUMENT,
        "a buffer one row short");
  CHECK(corvanta_test_result_run_rows(result, 0, 1, all, frames, &error) == CORVANTA_ENGINE_OK &&
            corvanta_test_result_run_rows(result, 0, 10, some, rows, &error) == CORVANTA_ENGINE_OK,
        "rows: %s", error.message);
  CHECK(all[0] == 0.0 && some[columns * 1] == all[columns * 10] &&
            memcmp(&some[columns * (rows - 1)], &all[columns * (frames - 1)], columns * sizeof(double)) == 0,
        "every 10th frame and the last");
  /* The last row: standstill (speed below 0.05 m/s), 2 s of held speed and the stopping time later. */
  CHECK(all[columns * (frames - 1) + 4] < 0.05, "LongitudinalSpeed at the end %g", all[columns * (frames - 1) + 4]);
  free(all);
  free(some);
  CHECK(strstr(corvanta_test_result_metrics_json(result), "\"stopping_distance\"") != NULL &&
            strncmp(corvanta_test_result_summary(result), "braking: ", 9) == 0,
        "metrics.json and the summary");
  char path[4096];
  snprintf(path, sizeof path, "%s/braking", folder);
  CHECK(corvanta_test_result_write(result, path, 0, &error) == CORVANTA_ENGINE_OK, "write: %s", error.message);
  snprintf(path, sizeof path, "%s/report.md", folder);
  const CorvantaTestResult *results[] = {result};
  CHECK(corvanta_test_write_report(results, 1, path, &error) == CORVANTA_ENGINE_OK, "report: %s", error.message);
  corvanta_test_result_free(result);
}

static void stopping(void) {
  const CorvantaModelFunctions model = vehicle_model(NULL);
  CorvantaTestRunOptions options;
  memset(&options, 0, sizeof options);
  struct Progress progress = {0, 0, 0, 1000};
  options.on_progress = count_progress;
  options.progress_user = &progress;
  CorvantaEngineError error;
  CHECK(corvanta_test_run("step-steer", &options, &model, &error) == NULL && error.status == CORVANTA_ENGINE_STOPPED &&
            progress.calls == 1000,
        "stopped by the callback after %zu calls: %d %s", progress.calls, error.status, error.message);
  int flag = 1;
  memset(&options, 0, sizeof options);
  options.stop_flag = &flag;
  CHECK(corvanta_test_run("step-steer", &options, &model, &error) == NULL && error.status == CORVANTA_ENGINE_STOPPED,
        "stopped by the flag: %d %s", error.status, error.message);
  /* The frequency response's runs are counted from 0. */
  memset(&options, 0, sizeof options);
  const char *names[] = {"count", "cycles", "min-frequency"};
  const char *values[] = {"3", "1", "2"};
  options.option_names = names;
  options.option_values = values;
  options.option_count = 3;
  struct Progress runs = {0, 0, 0, 0};
  options.on_progress = count_progress;
  options.progress_user = &runs;
  CorvantaTestResult *result = corvanta_test_run("frequency-response", &options, &model, &error);
  CHECK(result != NULL && runs.last_run == 2 && corvanta_test_result_run_count(result) == 3, "three runs: %s",
        error.message);
  CorvantaTestTable table;
  CHECK(corvanta_test_result_table(result, 0, &table) == CORVANTA_ENGINE_OK && table.row_count == 3 &&
            table.column_count == 3 && strcmp(table.columns[0], "frequency") == 0 &&
            strcmp(table.units[2], "deg") == 0 && table.values[0] == 2.0 && table.values[6] == 4.0,
        "the frequency-response table");
  corvanta_test_result_free(result);
}

/* Metric `name` of a coast-down from 6 to 4 m/s of `model` with `mass` ("" for none). */
static double coast_down(const CorvantaModelFunctions *model, const char *mass, const char *name, double *used,
                         CorvantaEngineError *error) {
  const char *names[] = {"speed", "end-speed", "mass"};
  const char *values[] = {"6", "4", mass};
  CorvantaTestRunOptions options;
  memset(&options, 0, sizeof options);
  options.option_names = names;
  options.option_values = values;
  options.option_count = mass[0] != '\0' ? 3 : 2;
  CorvantaTestResult *result = corvanta_test_run("coast-down", &options, model, error);
  double value = NAN;
  if (result != NULL) {
    CorvantaTestMetric metric;
    for (size_t i = 0; corvanta_test_result_metric(result, i, &metric) == CORVANTA_ENGINE_OK; ++i) {
      if (strcmp(metric.name, name) == 0) {
        value = metric.value;
      }
    }
    const char *option = NULL;
    for (size_t i = 0; corvanta_test_result_option(result, i, &option, used) == CORVANTA_ENGINE_OK; ++i) {
      if (strcmp(option, "mass") == 0) {
        break;
      }
    }
  }
  corvanta_test_result_free(result);
  return value;
}

static void the_mass_of_the_vehicle(void) {
  /* The road load is F = m (-dv/dt) with m the VehicleMass of the car that ran: for a set
     with VehicleMass 2200 kg the default is 2200, the same bits as --mass 2200. */
  CorvantaVehicle *heavy = corvanta_vehicle_create_builtin();
  const double mass = 2200.0;
  char problem[256];
  CHECK(corvanta_vehicle_set(heavy, "VehicleMass", &mass, 1, problem, sizeof problem) == CORVANTA_VEHICLE_OK,
        "VehicleMass 2200: %s", problem);
  const CorvantaModelFunctions model = vehicle_model(heavy);
  CorvantaEngineError error;
  double used = 0.0, given = 0.0, builtin = 0.0;
  const double own = coast_down(&model, "", "B", &used, &error);
  const double explicit_mass = coast_down(&model, "2200", "B", &given, &error);
  CHECK(used == 2200.0 && given == 2200.0 && memcmp(&own, &explicit_mass, sizeof own) == 0,
        "the heavy car's mass %g, B %.17g against %.17g", used, own, explicit_mass);
  const CorvantaModelFunctions builtin_model = vehicle_model(NULL);
  coast_down(&builtin_model, "", "B", &builtin, &error);
  CHECK(builtin == 1760.0, "the built-in car's mass %g", builtin);
  corvanta_vehicle_free(heavy);

  /* A library of the seven functions gives no parameter set: --mass is needed. */
  const CorvantaModelFunctions seven = CORVANTA_LINKED_MODEL_FUNCTIONS;
  CHECK(isnan(coast_down(&seven, "", "B", &used, &error)) && error.status == CORVANTA_ENGINE_BAD_ARGUMENT &&
            strcmp(error.message,
                   "coast-down: --mass defaults to the vehicle's VehicleMass, which a model library of "
                   "the seven functions only does not give: give --mass") == 0,
        "no parameter set: %s", error.message);
  CHECK(!isnan(coast_down(&seven, "1760", "B", &used, &error)) && used == 1760.0, "--mass given: %s", error.message);
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  the_listing();
  refusals();
  a_braking_run(argv[1]);
  stopping();
  the_mass_of_the_vehicle();
  if (failures != 0) {
    fprintf(stderr, "%d checks failed\n", failures);
    return 1;
  }
  printf("all checks passed\n");
  return 0;
}
