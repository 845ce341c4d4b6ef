/*
 * corvanta_web.h - the functions the WebAssembly module exports beside the seven of
 * corvanta.h, for its JavaScript API (web/src/api.js): a live instance to drive step by
 * step, scenario runs and standard tests with their CSV text and metrics, vehicle files.
 *
 * Every string handed out is allocated with malloc and released by the caller with free
 * (JavaScript: _free); every string taken is UTF-8, with its length in bytes.  Nothing is
 * printed; failures come back as messages.
 */
#ifndef CORVANTA_WEB_H
#define CORVANTA_WEB_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Live instance ------------------------------------------------------------------ */

typedef struct CorvantaWebSession CorvantaWebSession;

/* A live instance of the vehicle file `vehicle_json` (NULL or length 0: the built-in car),
 * initialised with all inputs zero except GearSelector = 1 (drive).  NULL when the vehicle
 * has problems: *error (may be NULL) then receives the message, to be freed. */
CorvantaWebSession *corvanta_web_session_create(const char *vehicle_json, size_t length, char **error);
void corvanta_web_session_free(CorvantaWebSession *session);

/* Fixed arrays inside the session, valid until it is freed: the input record the next
 * steps use (CORVANTA_NUM_INPUTS doubles, field order of ExtU_Corvanta_T), the outputs
 * after the last step (CORVANTA_NUM_OUTPUTS doubles), and every signal after the last
 * step or at the start of the run (corvanta_signal_count() doubles). */
double *corvanta_web_session_inputs(CorvantaWebSession *session);
const double *corvanta_web_session_outputs(const CorvantaWebSession *session);
const double *corvanta_web_session_signals(const CorvantaWebSession *session);

/* Starts a new run from the input record as it is (SetInputs, Initialize); the signals
 * show the car as it starts, and the drive recorded so far is dropped. */
void corvanta_web_session_initialize(CorvantaWebSession *session);
/* Takes `steps` steps of 0.0001 s, each SetInputs then Step, and updates the signals once
 * after the last; returns the steps taken since the last initialisation. */
double corvanta_web_session_step(CorvantaWebSession *session, uint32_t steps);
double corvanta_web_session_step_count(const CorvantaWebSession *session);

/* The run since the last initialisation as recorded inputs (CSV: time and the eight
 * inputs, a row whenever the record changed and one at the end; corvanta-sim replays it
 * step for step).  NULL when out of memory. */
char *corvanta_web_session_recorded_inputs(const CorvantaWebSession *session);

/* ---- Runs --------------------------------------------------------------------------- */

typedef struct CorvantaWebRun CorvantaWebRun;

/* Runs a scenario (JSON or recorded inputs; `source` names it and, by its extension,
 * decides the format) as `corvanta-sim SOURCE -o FILE --every EVERY [--signals all]
 * [--vehicle VEHICLE]` does: the result's CSV text is that file's.  The result's rows
 * hold the time, the seven outputs and every further signal of each row, for plots.
 * `vehicle_json` NULL or empty: the built-in car (or the scenario's own vehicle).
 * Never NULL except when out of memory; check corvanta_web_run_error. */
CorvantaWebRun *corvanta_web_run_scenario(const char *text, size_t length, const char *source, const char *vehicle_json,
                                          size_t vehicle_length, uint32_t every, int csv_signals);
/* Runs the standard test `name` (corvanta-sim test --list) with options given as a JSON
 * object of numbers ({"speed": 25}; NULL or empty: the defaults).  The result's JSON is
 * {"result": metrics.json as corvanta-sim test writes it, "runs": [{"name", "scenario",
 * "csv" (RUN.csv, a row every `every` recorded frames), "path": [[x, y], ...]}],
 * "markers": [{"label", "x": [...], "y": [...]}] (cones and other marked points)}. */
CorvantaWebRun *corvanta_web_run_test(const char *name, const char *options_json, size_t options_length,
                                      const char *vehicle_json, size_t vehicle_length, uint32_t every);
void corvanta_web_run_free(CorvantaWebRun *run);
/* "" when the run succeeded, else the message (valid until the run is freed). */
const char *corvanta_web_run_error(const CorvantaWebRun *run);
/* The CSV text (scenario) or the JSON text (test); valid until the run is freed. */
const char *corvanta_web_run_text(const CorvantaWebRun *run);
size_t corvanta_web_run_text_length(const CorvantaWebRun *run);
/* Scenario rows: row_count rows of row_width doubles (time, outputs, signals). */
const double *corvanta_web_run_rows(const CorvantaWebRun *run);
size_t corvanta_web_run_row_count(const CorvantaWebRun *run);
size_t corvanta_web_run_row_width(const CorvantaWebRun *run);

/* ---- Vehicles and names ------------------------------------------------------------- */

/* The vehicle file `base_json` (NULL or empty: the built-in car) with the parameters of
 * the JSON object `changes_json` ({"VehicleMass": 1900, "PDY1": 0.9}) set, as a complete
 * vehicle file; on failure NULL and the message in *error.  Both strings are to be freed. */
char *corvanta_web_vehicle_json(const char *base_json, size_t base_length, const char *changes_json,
                                size_t changes_length, char **error);
/* The value of a scalar parameter (or a plain tyre coefficient, the front tyre's) of the
 * built-in car; NaN for an unknown name or a table. */
double corvanta_web_builtin_parameter(const char *name);
/* The standard tests and their options as JSON: [{"name", "summary", "options": [{"name",
 * "value", "unit", "help", "min", "max"}]}]. */
char *corvanta_web_standard_tests(void);
/* "portable": the model computes sin, cos, atan and exp with its own correctly rounded
 * functions, as the native portable-maths builds do. */
const char *corvanta_web_maths(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_WEB_H */
