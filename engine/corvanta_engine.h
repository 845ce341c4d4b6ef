/*
 * corvanta_engine.h - the Corvanta scenario engine: reads scenario files (JSON scenarios
 * and recorded-input CSV, docs/scenario-format.md), checks them, turns them into a
 * schedule of steps and runs them against a Corvanta model library.
 *
 * The engine is a library of its own (libcorvanta_engine.so, corvanta_engine.dll).  It
 * does not contain the model: the host passes the seven functions of the model library
 * it loaded (CorvantaModelFunctions), so that the engine drives exactly the build the host
 * chose.  A host linked with libcorvanta writes
 *
 *     CorvantaModelFunctions model = CORVANTA_LINKED_MODEL_FUNCTIONS;
 *
 * A run:
 *
 *     CorvantaEngineError error;
 *     CorvantaScenario *s = corvanta_scenario_load_file("lane-change.json", NULL, &error);
 *     if (s == NULL) { fprintf(stderr, "%s\n", error.message); return 2; }
 *     CorvantaRunOptions run = {0};     all zero: a row after every 100th step, one at time 0
 *     run.every = 10;                   here a row after every 10th step instead
 *     uint64_t n = corvanta_scenario_row_count(s, run.every, 1);
 *     run.rows = malloc(n * CORVANTA_ROW_LENGTH * sizeof(double));
 *     run.row_capacity = n;
 *     if (corvanta_scenario_run(s, &model, &run, NULL, &error) != CORVANTA_ENGINE_OK) ...
 *     corvanta_scenario_free(s);
 *
 * Rows are CORVANTA_ROW_LENGTH doubles: the model time in s, then the seven outputs in the
 * field order of ExtY_Corvanta_T (PositionX [m], PositionY [m], Heading [rad],
 * LongitudinalSpeed [m/s], PitchAngle [rad], RollAngle [rad], TipOverIndicator [-]).
 *
 * Every function that can fail returns a status (CORVANTA_ENGINE_OK on success) or NULL
 * and, when `error` is not NULL, fills it in.  Nothing is printed.  Scenarios are
 * immutable after loading and may be run from several threads at once, each run with its
 * own model instance.  Strings are UTF-8; file names too.
 *
 * This header is C99 and C++ compatible.
 */
#ifndef CORVANTA_ENGINE_H
#define CORVANTA_ENGINE_H

#include <stddef.h>
#include <stdint.h>

#include "corvanta.h"

#define CORVANTA_ENGINE_VERSION_STRING "1.0.0"

/* Export macro.  Define CORVANTA_ENGINE_STATIC when linking the engine's objects directly. */
#if defined(CORVANTA_ENGINE_STATIC)
#define CORVANTA_ENGINE_API
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(CORVANTA_ENGINE_BUILDING)
#define CORVANTA_ENGINE_API __declspec(dllexport)
#else
#define CORVANTA_ENGINE_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define CORVANTA_ENGINE_API __attribute__((visibility("default")))
#else
#define CORVANTA_ENGINE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Doubles per output row: the time and the seven outputs. */
#define CORVANTA_ROW_LENGTH 8

/* The seven functions of a model library, in the order of corvanta.h. */
typedef struct CorvantaModelFunctions {
  CreateVehicleModelTYPE CreateVehicleModel;
  DeleteVehicleModelTYPE DeleteVehicleModel;
  InitializeTYPE Initialize;
  SetInputsTYPE SetInputs;
  StepTYPE Step;
  GetOutputsTYPE GetOutputs;
  TerminateTYPE Terminate;
  /* Optional, for a library that also reports signals (libcorvanta_vehicle, whose
     corvanta_instance_* functions have these shapes); NULL for one with only the seven
     functions, as CORVANTA_LINKED_MODEL_FUNCTIONS leaves them.  Signals copies the first
     `count` signals of the instance after its last Step, InitialSignals those at the start
     of a run (after Initialize, before the first Step); both return the number written.
     With InitialSignals the row at time 0 holds the car as it starts (the initial pose and
     speed, gear 1) instead of the zeros the output record holds before the first Step. */
  size_t (*Signals)(const void *handle, double *out, size_t count);
  size_t (*InitialSignals)(const void *handle, double *out, size_t count);
  /* Optional, for a library that simulates parameter sets (libcorvanta_vehicle: its
     CorvantaVehicle handles, corvanta_instance_create, corvanta_vehicle_parse,
     corvanta_vehicle_to_json and corvanta_vehicle_free have these shapes); all NULL for one
     with only the seven functions.
       Vehicle: the set of every instance whose scenario names no vehicle, used read-only
         and shared by the runs of all threads; NULL: CreateVehicleModel (the built-in car).
       CreateFromVehicle: a new instance of a set (NULL when the set cannot be simulated),
         deleted with DeleteVehicleModel.
       ParseVehicle: a new set from the text of a vehicle file (tyre files relative to
         base_directory, messages naming source_name); NULL with the problems in `error`.
       VehicleToJson: the set as a complete vehicle file (as corvanta_vehicle_to_json).
       FreeVehicle: releases a set ParseVehicle made.
     A scenario's "vehicle" (docs/scenario-format.md) needs CreateFromVehicle, ParseVehicle
     and FreeVehicle, and VehicleToJson when it changes parameters of `Vehicle`; a run with
     `Vehicle` needs CreateFromVehicle.  Hosts that zero the structure and set the first
     nine members get the built-in car, as before. */
  const void *Vehicle;
  void *(*CreateFromVehicle)(const void *vehicle);
  void *(*ParseVehicle)(const char *json, size_t length, const char *base_directory, const char *source_name,
                        char *error, size_t error_size);
  size_t (*VehicleToJson)(const void *vehicle, char *buffer, size_t size);
  void (*FreeVehicle)(void *vehicle);
} CorvantaModelFunctions;

/* The functions of the model library the host is linked with. */
#define CORVANTA_LINKED_MODEL_FUNCTIONS                                                                           \
  {                                                                                                               \
    CreateVehicleModel, DeleteVehicleModel, Initialize, SetInputs, Step, GetOutputs, Terminate, NULL, NULL, NULL, \
        NULL, NULL, NULL, NULL                                                                                    \
  }

/* Results of the functions that can fail. */
typedef enum CorvantaEngineStatus {
  CORVANTA_ENGINE_OK = 0,
  CORVANTA_ENGINE_BAD_SCENARIO = 1,  /* the scenario cannot be read or is not valid */
  CORVANTA_ENGINE_BAD_ARGUMENT = 2,  /* NULL where a value is needed, a buffer too small, ... */
  CORVANTA_ENGINE_MODEL_FAILED = 3,  /* the model library returned NULL (out of memory) */
  CORVANTA_ENGINE_OUTPUT_FAILED = 4, /* an output file could not be created or written */
  CORVANTA_ENGINE_STOPPED = 5,       /* a callback asked the run to stop */
  CORVANTA_ENGINE_OUT_OF_MEMORY = 6
} CorvantaEngineStatus;

/* What went wrong.  Filled in by the functions that fail; fixed sizes, nothing to free. */
typedef struct CorvantaEngineError {
  int status;         /* a CorvantaEngineStatus */
  uint64_t line;      /* 1-based line in the source, 0 when the problem has no line */
  uint64_t column;    /* 1-based column of a JSON syntax error, else 0 */
  char path[256];     /* JSON path of the value ("events[2].ramp.Foo", "top level"), or "" */
  char problem[1024]; /* the problem alone, without source and place */
  char message[2048]; /* the whole message: "SOURCE:LINE:COLUMN: problem",
                         "SOURCE: PATH: problem", "SOURCE:LINE: problem" or "SOURCE: problem" */
} CorvantaEngineError;

/* How a source is read.  All zero (or a NULL pointer) gives the defaults. */
enum CorvantaScenarioFormat {
  CORVANTA_FORMAT_AUTO = 0, /* by the name's extension (.json, .csv), else '{' first means JSON */
  CORVANTA_FORMAT_JSON = 1,
  CORVANTA_FORMAT_RECORDED_INPUTS = 2
};
enum CorvantaInterpolation {
  CORVANTA_INTERPOLATION_FROM_SOURCE = 0, /* recorded inputs: "# interpolate:" line, else hold */
  CORVANTA_INTERPOLATION_HOLD = 1,        /* each row holds until the next */
  CORVANTA_INTERPOLATION_LINEAR = 2       /* linear from each row to the next */
};
typedef struct CorvantaLoadOptions {
  int format;        /* a CorvantaScenarioFormat */
  int has_duration;  /* nonzero: `duration` replaces the source's duration */
  double duration;   /* model time to run [s], >= 0 */
  int interpolation; /* a CorvantaInterpolation; applies to recorded inputs */
} CorvantaLoadOptions;

/* A checked scenario, ready to run any number of times. */
typedef struct CorvantaScenario CorvantaScenario;

/* Reads the file at `path` (at most CORVANTA_ENGINE_DEFAULT_MAX_BYTES of it).  NULL on
   failure, with `error` telling where and what.  Sources with a NUL byte, JSON nested more
   than 64 levels deep and non-finite values are refused; messages quote at most a short,
   escaped excerpt of the source. */
CORVANTA_ENGINE_API CorvantaScenario *corvanta_scenario_load_file(const char *path, const CorvantaLoadOptions *options,
                                                                  CorvantaEngineError *error);

/* Reads `length` bytes of `text`.  `source` names the text in messages (e.g. "<string>")
   and, with CORVANTA_FORMAT_AUTO, decides the format by its extension. */
CORVANTA_ENGINE_API CorvantaScenario *corvanta_scenario_load_text(const char *text, size_t length, const char *source,
                                                                  const CorvantaLoadOptions *options,
                                                                  CorvantaEngineError *error);

/* Limits of the loaders' _ex forms.  All zero (or a NULL pointer) gives the defaults of
   the plain forms: files up to CORVANTA_ENGINE_DEFAULT_MAX_BYTES, finite inputs only. */
#define CORVANTA_ENGINE_DEFAULT_MAX_BYTES ((uint64_t)64 << 20) /* 64 MiB */
typedef struct CorvantaSourceLimits {
  uint64_t max_bytes;  /* largest file read [bytes]; 0: CORVANTA_ENGINE_DEFAULT_MAX_BYTES */
  int allow_nonfinite; /* nonzero: recorded inputs may hold nan, inf and -inf, and runs pass
                          them to the model; else a run fails at the first non-finite input */
} CorvantaSourceLimits;

/* corvanta_scenario_load_file and _load_text with limits (max_bytes applies to files). */
CORVANTA_ENGINE_API CorvantaScenario *corvanta_scenario_load_file_ex(const char *path,
                                                                     const CorvantaLoadOptions *options,
                                                                     const CorvantaSourceLimits *limits,
                                                                     CorvantaEngineError *error);
CORVANTA_ENGINE_API CorvantaScenario *corvanta_scenario_load_text_ex(const char *text, size_t length,
                                                                     const char *source,
                                                                     const CorvantaLoadOptions *options,
                                                                     const CorvantaSourceLimits *limits,
                                                                     CorvantaEngineError *error);

/* Releases a scenario; NULL is ignored. */
CORVANTA_ENGINE_API void corvanta_scenario_free(CorvantaScenario *scenario);

/* Steps the run takes: k(duration) = floor(duration / 0.0001 + 0.5). */
CORVANTA_ENGINE_API uint64_t corvanta_scenario_step_count(const CorvantaScenario *scenario);
/* The "name" and "description" of a JSON scenario (the file's stem for recorded inputs),
   "" when absent.  Valid until the scenario is freed. */
CORVANTA_ENGINE_API const char *corvanta_scenario_name(const CorvantaScenario *scenario);
CORVANTA_ENGINE_API const char *corvanta_scenario_description(const CorvantaScenario *scenario);
/* Nonzero when the scenario names its own vehicle (a "vehicle" key), which replaces the
   model functions' Vehicle for its runs. */
CORVANTA_ENGINE_API int corvanta_scenario_names_vehicle(const CorvantaScenario *scenario);
/* Nonzero when an "initialize" event restarts the model during the run. */
CORVANTA_ENGINE_API int corvanta_scenario_reinitializes(const CorvantaScenario *scenario);
/* The input record before the first step, CORVANTA_NUM_INPUTS doubles in field order. */
CORVANTA_ENGINE_API void corvanta_scenario_initial_inputs(const CorvantaScenario *scenario, double *inputs);

/* Rows a run writes: one after every `every`-th step and one after the last step, plus
   the row at time 0 when `initial_row` is nonzero.  `every` 0 is the scenario functions'
   default, 100, as in CorvantaRunOptions. */
CORVANTA_ENGINE_API uint64_t corvanta_scenario_row_count(const CorvantaScenario *scenario, uint64_t every,
                                                         int initial_row);

/* Called with each row (CORVANTA_ROW_LENGTH doubles, valid during the call).  Return 0
   to go on, anything else to stop the run (CORVANTA_ENGINE_STOPPED). */
typedef int (*CorvantaRowCallback)(void *user, const double *row);
/* Called after every step: `steps` taken so far (model time steps * 0.0001 s),
   `initialized` nonzero when Initialize ran right before this step, the input record
   the step used (CORVANTA_NUM_INPUTS doubles) and the outputs after it
   (CORVANTA_NUM_OUTPUTS doubles).  Return 0 to go on, anything else to stop. */
typedef int (*CorvantaStepCallback)(void *user, uint64_t steps, int initialized, const double *inputs,
                                    const double *outputs);

/* How a scenario runs.  All zero gives: a row after every 100th step and after the last,
   a row at time 0 (the outputs at the start of the run: with the model's InitialSignals
   the initial pose and speed, else the zeros of the output record before the first
   step), no callbacks. */
typedef struct CorvantaRunOptions {
  uint64_t every;             /* a row after every `every`-th step; 0 means 100 */
  int skip_initial_row;       /* nonzero: no row at time 0 */
  double *rows;               /* optional: receives the rows, row_capacity rows of CORVANTA_ROW_LENGTH */
  uint64_t row_capacity;      /* rows that fit; less than corvanta_scenario_row_count is refused */
  CorvantaRowCallback on_row; /* optional, called for each row after it is stored */
  void *row_user;
  CorvantaStepCallback on_step; /* optional, called after every step (progress, statistics) */
  void *step_user;
  /* Optional signal columns (needs the model's Signals and InitialSignals): the indices
     (corvanta_vehicle.h, CORVANTA_SIGNAL_...) of signal_count signals appended to every
     row, which then holds CORVANTA_ROW_LENGTH + signal_count doubles (also in `rows`). */
  const int *signals;
  size_t signal_count;
} CorvantaRunOptions;

/*
 * Runs the scenario from CreateVehicleModel to DeleteVehicleModel with the given model
 * functions: SetInputs(initial inputs); Initialize; for each step k: the events of step
 * k, the driver's inputs (a scenario with a "driver"), SetInputs, Step, the condition
 * events, rows and callbacks; Terminate; DeleteVehicleModel.  The instance is deleted also
 * when a callback stops the run.  `rows_written`, when not NULL, receives the number of
 * rows produced, also on failure.  A condition event with "stop" ends the run early
 * (CORVANTA_ENGINE_OK) with a row for its last step: fewer rows than
 * corvanta_scenario_row_count, which counts the whole duration.
 */
CORVANTA_ENGINE_API int corvanta_scenario_run(const CorvantaScenario *scenario, const CorvantaModelFunctions *model,
                                              const CorvantaRunOptions *options, uint64_t *rows_written,
                                              CorvantaEngineError *error);

/* Doubles per input row: the time and the eight inputs. */
#define CORVANTA_INPUT_ROW_LENGTH (1 + CORVANTA_NUM_INPUTS)

/*
 * The input record of a run at the times of its output rows, without running a model:
 * corvanta_scenario_row_count(scenario, every, initial_row) rows of
 * CORVANTA_INPUT_ROW_LENGTH doubles (time [s], then the inputs in field order).  The row
 * after step s holds the record that step s used; the row at time 0 the record of the
 * first step (events at time 0 applied).  For plots of what the driver did.
 */
CORVANTA_ENGINE_API int corvanta_scenario_input_rows(const CorvantaScenario *scenario, uint64_t every, int initial_row,
                                                     double *rows, uint64_t row_capacity, CorvantaEngineError *error);

/*
 * Steps an instance the host created and initialised, `steps` times, writing the seven
 * outputs after every `every`-th step and after the last to `outputs`, which holds
 * ceil(steps / every) rows of CORVANTA_NUM_OUTPUTS doubles.  Here `every` 0 means a row
 * after each step (as 1), not the scenario functions' 100: the host steps an instance
 * of its own and reads every row it asked for.
 */
CORVANTA_ENGINE_API int corvanta_model_step(const CorvantaModelFunctions *model, void *handle, uint64_t steps,
                                            uint64_t every, double *outputs, CorvantaEngineError *error);

/*
 * Like corvanta_model_step, with an input record per step: row k of `inputs`
 * (CORVANTA_NUM_INPUTS doubles in field order) is passed to SetInputs before step k.
 */
CORVANTA_ENGINE_API int corvanta_model_run_inputs(const CorvantaModelFunctions *model, void *handle,
                                                  const double *inputs, uint64_t steps, uint64_t every, double *outputs,
                                                  CorvantaEngineError *error);

/* A CSV file of numbers: a header line of column names, then one line per row, every
   value in the shortest form that reads back as the same double.  The path "-" is
   standard output.  A regular file is written under a temporary name in the same folder
   and renamed into place by a successful close; a writer closed after a failure, or
   never closed, leaves the path as it was. */
typedef struct CorvantaCsvWriter CorvantaCsvWriter;

CORVANTA_ENGINE_API CorvantaCsvWriter *corvanta_csv_open(const char *path, const char *const *columns,
                                                         size_t column_count, CorvantaEngineError *error);
/* Writes one row of column_count doubles.  A write that fails returns
   CORVANTA_ENGINE_OUTPUT_FAILED at once (and for every later row); close reports why. */
CORVANTA_ENGINE_API int corvanta_csv_write_row(CorvantaCsvWriter *writer, const double *values);
/* A CorvantaRowCallback that writes each row to the CorvantaCsvWriter passed as `user`. */
CORVANTA_ENGINE_API int corvanta_csv_row_callback(void *user, const double *row);
/* Flushes and closes the file and frees the writer (also on failure); NULL is ignored. */
CORVANTA_ENGINE_API int corvanta_csv_close(CorvantaCsvWriter *writer, CorvantaEngineError *error);

/* Nonzero once a row could not be written (then every later row fails too). */
CORVANTA_ENGINE_API int corvanta_csv_failed(const CorvantaCsvWriter *writer);

/* Closes and frees the writer without putting the file in place (a run that failed):
   the path keeps what it held before.  NULL is ignored. */
CORVANTA_ENGINE_API void corvanta_csv_discard(CorvantaCsvWriter *writer);

/* Removes the temporary files of the outputs being written at this moment (CSV writers,
   sweep results), so that an interrupted host leaves none behind.  Async-signal-safe:
   call it from a SIGINT or SIGTERM handler and then end the process (the writers must not
   be used afterwards).  A process killed by SIGKILL leaves them: files named like the
   target followed by ".tmp-" and 16 hex digits, in the target's folder. */
CORVANTA_ENGINE_API void corvanta_engine_remove_temporary_files(void);

/* A CorvantaStepCallback that stops the run (CORVANTA_ENGINE_STOPPED) after the first
   step at which the int `user` points to is nonzero: another thread sets it to cancel a
   run, at the cost of one load per step.  A NULL `user` never stops. */
CORVANTA_ENGINE_API int corvanta_stop_when_flagged(void *user, uint64_t steps, int initialized, const double *inputs,
                                                   const double *outputs);

/* Field names, NULL outside 0 .. CORVANTA_NUM_INPUTS-1 (CORVANTA_NUM_OUTPUTS-1). */
CORVANTA_ENGINE_API const char *corvanta_engine_input_name(int index);
CORVANTA_ENGINE_API const char *corvanta_engine_output_name(int index);
/* CORVANTA_ENGINE_VERSION_STRING of the built library. */
CORVANTA_ENGINE_API const char *corvanta_engine_version(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_ENGINE_H */
