/*
 * corvanta_standard_tests.h - the standard vehicle-dynamics tests of the Corvanta scenario
 * engine (libcorvanta_engine.so, corvanta_engine.dll): steady-state circle, step steer,
 * frequency response, double lane change, braking, acceleration and coast-down, each a
 * set of closed-loop runs with the engine's driver, read into metrics, tables and plots
 * (docs/standard-tests.md defines every metric).
 *
 *     CorvantaModelFunctions model = CORVANTA_LINKED_MODEL_FUNCTIONS;
 *     const char *names[] = {"speed"}, *values[] = {"8"};
 *     CorvantaTestRunOptions options = {0};
 *     options.option_names = names;
 *     options.option_values = values;
 *     options.option_count = 1;
 *     CorvantaEngineError error;
 *     CorvantaTestResult *result = corvanta_test_run("braking", &options, &model, &error);
 *     if (result == NULL) { fprintf(stderr, "%s\n", error.message); return 2; }
 *     CorvantaTestMetric metric;
 *     for (size_t i = 0; corvanta_test_result_metric(result, i, &metric) == CORVANTA_ENGINE_OK; ++i)
 *       printf("%s = %g %s\n", metric.name, metric.value, metric.unit);
 *     corvanta_test_result_write(result, "braking-out", 10, &error);   metrics.json, CSV, SVG
 *     corvanta_test_result_free(result);
 *
 * The tests measure; none of them judges a result (there is no pass or fail).  Units are
 * SI (m, s, rad, m/s, m/s^2, N, kg) unless a metric's unit says otherwise ("deg", "deg/g",
 * "%", "Hz"; "1" for counts and ratios).  Every function may be called from any thread;
 * a result is read-only after corvanta_test_run and may be read from several threads.
 * Strings are UTF-8 and stay valid until the result is freed (the listing's for the life
 * of the library).
 */
#ifndef CORVANTA_STANDARD_TESTS_H
#define CORVANTA_STANDARD_TESTS_H

#include <stddef.h>
#include <stdint.h>

#include "corvanta_engine.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The tests and their options ------------------------------------------------------ */

/* Number of tests; they are numbered 0 .. count - 1 in a fixed order. */
CORVANTA_ENGINE_API size_t corvanta_test_count(void);
/* Name ("step-steer") and one-line summary of test `index`; NULL outside the range. */
CORVANTA_ENGINE_API const char *corvanta_test_name(size_t index);
CORVANTA_ENGINE_API const char *corvanta_test_summary(size_t index);
/* Index of the test called `name`, or -1 (also for NULL). */
CORVANTA_ENGINE_API int corvanta_test_find(const char *name);

/* One numeric option of a test.  Field order is fixed. */
typedef struct CorvantaTestOptionInfo {
  const char *name;              /* as on the command line without "--", e.g. "start-speed" */
  const char *unit;              /* "m/s", "rad", "1" for counts */
  const char *help;              /* one line */
  double default_value;          /* in `unit`; NaN when `default_parameter` gives the default */
  const char *default_parameter; /* "" or the vehicle parameter (e.g. "VehicleMass") whose value
                                    in the parameter set the test runs is the default */
  const char *default_text;      /* the default as text: "20", or "the vehicle's VehicleMass" */
  double min;                    /* accepted range, inclusive, in `unit` */
  double max;
  const char *min_text; /* min and max in their shortest decimal form */
  const char *max_text;
} CorvantaTestOptionInfo;

/* Number of options of test `test` (0 outside the range). */
CORVANTA_ENGINE_API size_t corvanta_test_option_count(size_t test);
/* Fills `info` for option `option` of test `test`; CORVANTA_ENGINE_BAD_ARGUMENT for an
   index outside the range or a NULL `info` (which is then left as it was). */
CORVANTA_ENGINE_API int corvanta_test_option_info(size_t test, size_t option, CorvantaTestOptionInfo *info);

/* ---- Running a test ---------------------------------------------------------------------- */

/* Called after every model step of a test's runs: `run` counts the test's runs from 0,
   `steps` the steps of this run so far (model time = steps * 0.0001 s) of `total`.
   Return 0 to go on, anything else to stop the test (CORVANTA_ENGINE_STOPPED). */
typedef int (*CorvantaTestProgressCallback)(void *user, size_t run, uint64_t steps, uint64_t total);

/* How a test runs.  All zero (or a NULL pointer) gives the defaults: every option at its
   default, no progress, no stop flag. */
typedef struct CorvantaTestRunOptions {
  const char *const *option_names;  /* option_count names without "--" (corvanta_test_option_info) */
  const char *const *option_values; /* their values as decimal text in the option's unit: "8", "-0.03" */
  size_t option_count;
  const char *options_json;                 /* optional: a JSON object of option names and numbers, {"speed": 8};
                                               an option may be named here or in option_names, not in both */
  CorvantaTestProgressCallback on_progress; /* optional */
  void *progress_user;
  const int *stop_flag; /* optional: the test stops (CORVANTA_ENGINE_STOPPED) after the first
                           step at which another thread has made *stop_flag nonzero */
} CorvantaTestRunOptions;

/* The outcome of one test. */
typedef struct CorvantaTestResult CorvantaTestResult;

/*
 * Runs the test called `test` with the model functions `model`, which choose the vehicle
 * as for corvanta_scenario_run: model->Vehicle when set, else the built-in car.  An
 * option whose default comes from the vehicle (default_parameter) reads it from that
 * parameter set; with a model library of the seven functions only such an option must be
 * given.  Every option is checked before the first run.  NULL on failure, with `error`
 * (may be NULL) saying why:
 *   CORVANTA_ENGINE_BAD_ARGUMENT  NULL `test` or `model`, an unknown test (the message
 *                                 names the closest one and lists them), an unknown,
 *                                 repeated, non-numeric or out-of-range option, options
 *                                 that do not fit together, bad options_json
 *   CORVANTA_ENGINE_BAD_SCENARIO  the driver cannot follow a run's settings
 *   CORVANTA_ENGINE_MODEL_FAILED  the model library failed
 *   CORVANTA_ENGINE_STOPPED       the progress callback or the stop flag stopped it
 *   CORVANTA_ENGINE_OUT_OF_MEMORY
 */
CORVANTA_ENGINE_API CorvantaTestResult *corvanta_test_run(const char *test, const CorvantaTestRunOptions *options,
                                                          const CorvantaModelFunctions *model,
                                                          CorvantaEngineError *error);

/* Checks the test name and the options as corvanta_test_run does, without running
   anything (an option whose default the vehicle gives is read when the test runs):
   CORVANTA_ENGINE_OK, or CORVANTA_ENGINE_BAD_ARGUMENT with `error` saying why. */
CORVANTA_ENGINE_API int corvanta_test_check(const char *test, const CorvantaTestRunOptions *options,
                                            CorvantaEngineError *error);

/* Releases a result; NULL is ignored. */
CORVANTA_ENGINE_API void corvanta_test_result_free(CorvantaTestResult *result);

/* ---- Reading a result ---------------------------------------------------------------------
   The functions below return NULL or 0 for a NULL result and an index outside the range;
   those returning int give CORVANTA_ENGINE_BAD_ARGUMENT then. */

/* The test's name and a sentence describing what was run. */
CORVANTA_ENGINE_API const char *corvanta_test_result_name(const CorvantaTestResult *result);
CORVANTA_ENGINE_API const char *corvanta_test_result_description(const CorvantaTestResult *result);

/* Every option the test ran with, defaults filled in, in alphabetical order of the names. */
CORVANTA_ENGINE_API size_t corvanta_test_result_option_count(const CorvantaTestResult *result);
CORVANTA_ENGINE_API int corvanta_test_result_option(const CorvantaTestResult *result, size_t index, const char **name,
                                                    double *value);

/* One metric.  Field order is fixed. */
typedef struct CorvantaTestMetric {
  const char *name; /* e.g. "stopping_distance" */
  double value;     /* in `unit`; NaN when it could not be determined (the definition says when) */
  const char *unit;
  const char *definition; /* how it is computed */
} CorvantaTestMetric;

CORVANTA_ENGINE_API size_t corvanta_test_result_metric_count(const CorvantaTestResult *result);
CORVANTA_ENGINE_API int corvanta_test_result_metric(const CorvantaTestResult *result, size_t index,
                                                    CorvantaTestMetric *metric);

/* A table of figures (the frequency response's gain and phase per frequency, the speeds
   an acceleration run reached).  Field order is fixed. */
typedef struct CorvantaTestTable {
  const char *name;
  size_t column_count;
  const char *const *columns; /* column_count names */
  const char *const *units;   /* column_count units */
  size_t row_count;
  const double *values; /* row_count rows of column_count values, row after row */
} CorvantaTestTable;

CORVANTA_ENGINE_API size_t corvanta_test_result_table_count(const CorvantaTestResult *result);
CORVANTA_ENGINE_API int corvanta_test_result_table(const CorvantaTestResult *result, size_t index,
                                                   CorvantaTestTable *table);

/* Notes on the runs ("the car did not come to a standstill within 30 s of braking"). */
CORVANTA_ENGINE_API size_t corvanta_test_result_note_count(const CorvantaTestResult *result);
CORVANTA_ENGINE_API const char *corvanta_test_result_note(const CorvantaTestResult *result, size_t index);

/* The plots corvanta_test_result_write draws: file name ("time.svg") and title. */
CORVANTA_ENGINE_API size_t corvanta_test_result_plot_count(const CorvantaTestResult *result);
CORVANTA_ENGINE_API const char *corvanta_test_result_plot_file(const CorvantaTestResult *result, size_t index);
CORVANTA_ENGINE_API const char *corvanta_test_result_plot_title(const CorvantaTestResult *result, size_t index);

/* The runs of the test.  A run's rows hold its recorded frames, one every 0.001 s of
   model time from time 0 and the last: the columns of corvanta_test_run_column_name. */
CORVANTA_ENGINE_API size_t corvanta_test_result_run_count(const CorvantaTestResult *result);
/* The run's name, the stem of its files ("braking", "sine-0.2Hz"). */
CORVANTA_ENGINE_API const char *corvanta_test_result_run_name(const CorvantaTestResult *result, size_t run);
/* The run's scenario as a JSON scenario file ("" when it has none): corvanta-sim and
   corvanta_scenario_load_text run it again to the same bits. */
CORVANTA_ENGINE_API const char *corvanta_test_result_run_scenario(const CorvantaTestResult *result, size_t run);

/* Columns of a run's rows and CSV: "time" [s], the seven outputs, the eight inputs but the
   four initial conditions, and the engine's derived signals (Distance, YawRate, ...). */
CORVANTA_ENGINE_API size_t corvanta_test_run_column_count(void);
CORVANTA_ENGINE_API const char *corvanta_test_run_column_name(size_t column);
CORVANTA_ENGINE_API const char *corvanta_test_run_column_unit(size_t column);

/* Rows of run `run` taking every `every`-th recorded frame (frames are 0.001 s apart;
   every 0 counts as 1) and the last one; 0 for a bad run or result. */
CORVANTA_ENGINE_API uint64_t corvanta_test_result_run_row_count(const CorvantaTestResult *result, size_t run,
                                                                uint64_t every);
/* Writes those rows, corvanta_test_run_column_count() doubles each, to `rows`, which holds
   `row_capacity` rows; fewer than corvanta_test_result_run_row_count is refused. */
CORVANTA_ENGINE_API int corvanta_test_result_run_rows(const CorvantaTestResult *result, size_t run, uint64_t every,
                                                      double *rows, uint64_t row_capacity, CorvantaEngineError *error);

/* ---- Files and text ----------------------------------------------------------------------- */

/* metrics.json: test, description, options, metrics (value, unit, definition; null for
   NaN), tables, runs (CSV file names), plots (SVG file names), notes. */
CORVANTA_ENGINE_API const char *corvanta_test_result_metrics_json(const CorvantaTestResult *result);
/* The short table a command line prints: the description, then one line per metric. */
CORVANTA_ENGINE_API const char *corvanta_test_result_summary(const CorvantaTestResult *result);

/* Writes into `folder` (created if missing) metrics.json, per run RUN.csv (a row every
   `every`-th recorded frame, i.e. every every * 0.001 s, and the last; every 0 counts as
   10) and RUN.json, and the plots as SVG.  Every file is written under a temporary name
   and renamed into place; metrics.json comes last.  CORVANTA_ENGINE_OUTPUT_FAILED when a
   file cannot be written. */
CORVANTA_ENGINE_API int corvanta_test_result_write(const CorvantaTestResult *result, const char *folder, uint64_t every,
                                                   CorvantaEngineError *error);

/* A one-page Markdown report of `count` results whose folders lie beside `path`, named
   after their tests: a metrics table per test and its plots.  Written like the files
   above. */
CORVANTA_ENGINE_API int corvanta_test_write_report(const CorvantaTestResult *const *results, size_t count,
                                                   const char *path, CorvantaEngineError *error);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_STANDARD_TESTS_H */
