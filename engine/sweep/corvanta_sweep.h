/*
 * corvanta_sweep.h - sweeps: many runs of one scenario with some of its fields varied, in
 * the Corvanta scenario engine (libcorvanta_engine.so, corvanta_engine.dll).
 *
 * A sweep definition (docs/sweeps.md) is a base scenario with either a grid (a list of
 * values per varied field; the full product) or a Monte-Carlo sample (a distribution per
 * field, a count and a seed), or a plain list of scenarios.  The engine runs the runs on a
 * pool of threads, each run on its own model instance, and produces one row of figures
 * per run, in the order of the definition:
 *
 *     CorvantaEngineError error;
 *     CorvantaSweep *sweep = corvanta_sweep_load_file("braking.json", &error);
 *     if (sweep == NULL) { fprintf(stderr, "%s\n", error.message); return 2; }
 *     CorvantaSweepOptions options = {0};            every core, all runs
 *     options.csv_path = "results.csv";
 *     CorvantaSweepTotals totals;
 *     if (corvanta_sweep_run(sweep, &model, &options, &totals, &error) != CORVANTA_ENGINE_OK) ...
 *     corvanta_sweep_free(sweep);
 *
 * Columns of a row (corvanta_sweep_column_name gives them):
 *   run                          the run's index, 0 .. run count - 1
 *   one per varied field         named by its path, e.g. "inputs.InitialSpeed"
 *   PositionX .. TipOverIndicator the seven outputs after the last step
 *   distance [m], top_speed [m/s], stop_time [s], stop_distance [m],
 *   max_heading_rate [rad/s], tip_over_time [s], non_finite [0/1],
 *   max_lateral_acceleration [m/s^2], max_slip_angle [rad], time_in_gear_1 .. _5 [s]
 *     (from the model's signals; NaN when the model functions have no Signals),
 *   wall_time [s]
 * A figure that does not apply ("the car never stopped") is NaN.  Every column but
 * wall_time is the same, bit for bit, for any thread count and any split of the runs.
 *
 * Functions that can fail return a CorvantaEngineStatus or NULL and fill in `error` when
 * it is not NULL.  A sweep is immutable after loading; nothing is printed.
 */
#ifndef CORVANTA_SWEEP_H
#define CORVANTA_SWEEP_H

#include "corvanta_engine.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CorvantaSweep CorvantaSweep;

/* How a column's doubles are meant. */
enum CorvantaSweepColumnKind {
  CORVANTA_SWEEP_COLUMN_RUN = 0,      /* a whole number */
  CORVANTA_SWEEP_COLUMN_NUMBER = 1,   /* any double */
  CORVANTA_SWEEP_COLUMN_OPTIONAL = 2, /* a finite double, or NaN for none */
  CORVANTA_SWEEP_COLUMN_FLAG = 3      /* 0 or 1 */
};

/* Reads a sweep definition; checks its shape, its fields and the base scenario.  NULL on
   failure, with a message naming the source and the field at fault. */
CORVANTA_ENGINE_API CorvantaSweep *corvanta_sweep_load_file(const char *path, CorvantaEngineError *error);
/* The same for `length` bytes of JSON text; `source` names it in messages. */
CORVANTA_ENGINE_API CorvantaSweep *corvanta_sweep_load_text(const char *text, size_t length, const char *source,
                                                            CorvantaEngineError *error);
/* Releases a sweep; NULL is ignored. */
CORVANTA_ENGINE_API void corvanta_sweep_free(CorvantaSweep *sweep);

CORVANTA_ENGINE_API uint64_t corvanta_sweep_run_count(const CorvantaSweep *sweep);
CORVANTA_ENGINE_API size_t corvanta_sweep_column_count(const CorvantaSweep *sweep);
/* NULL (and -1) for a column index out of range.  Names stay valid until the sweep is freed. */
CORVANTA_ENGINE_API const char *corvanta_sweep_column_name(const CorvantaSweep *sweep, size_t column);
CORVANTA_ENGINE_API int corvanta_sweep_column_kind(const CorvantaSweep *sweep, size_t column);

/* The scenario of one run as JSON text (the base with the run's varied values), for
   inspection or to run it alone.  `*length` receives the text's length without the NUL;
   the text and a NUL are written when `capacity` exceeds it (call with capacity 0 to
   learn the length).  CORVANTA_ENGINE_BAD_ARGUMENT for a run out of range. */
CORVANTA_ENGINE_API int corvanta_sweep_scenario_text(const CorvantaSweep *sweep, uint64_t run, char *buffer,
                                                     size_t capacity, size_t *length, CorvantaEngineError *error);

/* Progress, on the calling thread, about ten times a second and once at the end.  Return 0
   to go on, anything else to stop the sweep (CORVANTA_ENGINE_STOPPED). */
typedef int (*CorvantaSweepProgressCallback)(void *user, uint64_t runs_done, uint64_t runs_total, uint64_t steps_done,
                                             double wall_seconds);

/* How a sweep runs.  All zero: one thread per core, every run, no outputs but the totals. */
typedef struct CorvantaSweepOptions {
  unsigned threads;           /* worker threads; 0 means one per core */
  uint64_t first_run;         /* the first run to do */
  uint64_t run_count;         /* runs from first_run; 0 means all (clipped to the sweep) */
  double *rows;               /* optional: one row of column_count doubles per run, in run order */
  uint64_t row_capacity;      /* rows that fit; fewer than the runs to do is refused */
  const char *csv_path;       /* optional: the rows as CSV ("-": standard output), complete or absent */
  CorvantaRowCallback on_row; /* optional: each row, in run order, on the calling thread */
  void *row_user;
  CorvantaSweepProgressCallback on_progress; /* optional */
  void *progress_user;
} CorvantaSweepOptions;

typedef struct CorvantaSweepTotals {
  uint64_t runs;       /* runs done */
  uint64_t steps;      /* model steps of those runs */
  double wall_seconds; /* wall-clock time of the whole sweep */
  unsigned threads;    /* threads used */
} CorvantaSweepTotals;

/* Runs the runs [first_run, first_run + run_count) with the given model functions.  The
   first run that cannot run (its scenario is invalid, say) stops the sweep, by run index:
   the rows before it have been delivered, no CSV file is left, and `error` names the run
   and its varied values.  `totals` may be NULL. */
CORVANTA_ENGINE_API int corvanta_sweep_run(const CorvantaSweep *sweep, const CorvantaModelFunctions *model,
                                           const CorvantaSweepOptions *options, CorvantaSweepTotals *totals,
                                           CorvantaEngineError *error);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_SWEEP_H */
