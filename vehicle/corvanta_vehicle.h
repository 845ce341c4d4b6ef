/*
 * corvanta_vehicle.h - vehicle parameter sets, model instances made from them, and the
 * model's signals and state: the C interface of libcorvanta_vehicle.
 *
 * The model library (corvanta.h) keeps its seven functions and always runs the built-in
 * car.  This library holds the same model and adds what those seven functions cannot
 * say: which vehicle an instance simulates, what happens inside it, and how to save and
 * restore a run.
 *
 *     CorvantaInstance *car = corvanta_instance_create(NULL);   NULL set: the built-in car
 *     corvanta_instance_initialize(car);
 *     corvanta_instance_set_inputs(car, &inputs);
 *     const ExtY_Corvanta_T *y = corvanta_instance_outputs(car);
 *     for (...) corvanta_instance_step(car);
 *     corvanta_instance_free(car);
 *
 * An instance behaves exactly as the seven functions of corvanta.h describe (Initialize,
 * SetInputs, Step, GetOutputs, Terminate, the recovery rule); the functions here are those
 * seven under names of their own, so that both libraries can be loaded into one process.
 * Every function ignores a NULL handle.  Distinct instances may be used from distinct
 * threads; one instance must not be used by two threads at once.
 *
 * This header is C89/C99 and C++ compatible.
 */
#ifndef CORVANTA_VEHICLE_H
#define CORVANTA_VEHICLE_H

#include <stddef.h>
#include <stdint.h>

#include "corvanta.h"

/* Export macro.  Define CORVANTA_VEHICLE_STATIC when linking the library's objects directly. */
#if defined(CORVANTA_VEHICLE_STATIC)
#define CORVANTA_VEHICLE_API
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(CORVANTA_VEHICLE_BUILDING)
#define CORVANTA_VEHICLE_API __declspec(dllexport)
#else
#define CORVANTA_VEHICLE_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define CORVANTA_VEHICLE_API __attribute__((visibility("default")))
#else
#define CORVANTA_VEHICLE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A vehicle parameter set.  Read-only once an instance uses it; one set may be shared by
 * any number of instances on any threads. */
typedef struct CorvantaVehicle CorvantaVehicle;

/* One model instance. */
typedef struct CorvantaInstance CorvantaInstance;

/* ---- Parameter sets ---------------------------------------------------------------- */

/* A new built-in parameter set (today's car); NULL only if memory is exhausted.  Free with
 * corvanta_vehicle_free.  Every built-in set reads one shared copy of the values until it
 * is changed, so making one costs about as little as corvanta_vehicle_copy. */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_create_builtin(void);
CORVANTA_VEHICLE_API void corvanta_vehicle_free(CorvantaVehicle *vehicle);

/* ---- Instances ---------------------------------------------------------------------- */

/* A new instance simulating `vehicle` (NULL: the built-in car).  The instance keeps what
 * it needs of the set: the set may be freed or changed afterwards.  NULL if memory is
 * exhausted or the set has problems (corvanta_vehicle_validate). */
CORVANTA_VEHICLE_API CorvantaInstance *corvanta_instance_create(const CorvantaVehicle *vehicle);
CORVANTA_VEHICLE_API void corvanta_instance_free(CorvantaInstance *instance);

/* The seven functions of corvanta.h for an instance of this library. */
CORVANTA_VEHICLE_API void corvanta_instance_initialize(CorvantaInstance *instance);
CORVANTA_VEHICLE_API void corvanta_instance_set_inputs(CorvantaInstance *instance, const ExtU_Corvanta_T *inputs);
CORVANTA_VEHICLE_API void corvanta_instance_step(CorvantaInstance *instance);
CORVANTA_VEHICLE_API const ExtY_Corvanta_T *corvanta_instance_outputs(const CorvantaInstance *instance);
CORVANTA_VEHICLE_API void corvanta_instance_terminate(CorvantaInstance *instance);

/* ---- Parameter sets ------------------------------------------------------------------
 *
 * A set holds every parameter of the model: scalars (VehicleMass, FinalDriveRatio, ...),
 * tables of the powertrain (GearRatio_Table, EngineTorqueMap_Table, ...) and the
 * Magic-Formula coefficients of the front and the rear tyres (PDY1, ...).  A tyre
 * coefficient named plainly addresses both axles; "FrontTyre.PDY1" and "RearTyre.PDY1"
 * one axle each.  Units are SI (angles in rad, speeds in m/s) except where a table is
 * tabulated otherwise (rpm, km/h, %); docs/vehicle-parameters.md lists every parameter.
 *
 * Threads: functions that only read a set (get, validate, save, identity, instance
 * creation) may run on any threads at once; a function that changes a set must not run
 * while another thread uses that same set.  Instances never see later changes of the set
 * they were made from: a change copies the values an instance still uses.
 *
 * Cost: sets, their copies and their instances share the values until one set changes.
 * A change of a scalar or a tyre coefficient of a shared set copies a few hundred values
 * and checks only that parameter and the combinations of parameters; a change of a table
 * copies the tables (about 600 kB) unless the set alone holds them.
 *
 * Error texts: functions that take `char *error, size_t error_size` write a NUL-terminated
 * message there on failure (truncated to fit; either may be NULL/0), one problem per line.
 */

/* Result codes. */
#define CORVANTA_VEHICLE_OK 0
#define CORVANTA_VEHICLE_UNKNOWN_NAME 1 /* no parameter has that name */
#define CORVANTA_VEHICLE_WRONG_SIZE 2   /* value count differs from the parameter's count */
#define CORVANTA_VEHICLE_AXLES_DIFFER 3 /* a plain tyre name while the axles' values differ */
#define CORVANTA_VEHICLE_INVALID 4      /* the set or the file has problems (see the error text) */
#define CORVANTA_VEHICLE_IO_ERROR 5     /* a file could not be read or written */
#define CORVANTA_VEHICLE_BAD_ARGUMENT 6 /* a NULL handle or name, or an axle other than 0 and 1 */
#define CORVANTA_VEHICLE_NO_MEMORY 7

/* Kinds of parameters. */
#define CORVANTA_PARAMETER_SCALAR 0
#define CORVANTA_PARAMETER_TABLE 1
#define CORVANTA_PARAMETER_TYRE 2

/* One entry of the parameter list.  The strings are static. */
typedef struct CorvantaParameterInfo {
  const char *name;
  const char *unit;
  const char *meaning;
  int kind;                   /* CORVANTA_PARAMETER_... */
  size_t count;               /* 1 for scalars and tyre coefficients */
  double builtin;             /* built-in value (scalars and tyre coefficients; 0 for tables) */
  double lower, upper;        /* allowed range (scalars and tyre coefficients) */
  int lower_open, upper_open; /* 1: the bound itself is excluded */
  int strictly_increasing;    /* tables: breakpoints */
  const char *tir_section;    /* tyre coefficients: the section of a .tir file, else "" */
  const char *dormant;        /* "" when the parameter acts; else why the outputs cannot depend on it */
} CorvantaParameterInfo;

/* The number of parameters, and entry `index` (0 .. count-1) of the list. */
CORVANTA_VEHICLE_API size_t corvanta_vehicle_parameter_count(void);
CORVANTA_VEHICLE_API int corvanta_vehicle_parameter_info(size_t index, CorvantaParameterInfo *info);

/* 1 when a group of the documentation's parameter tables starts just before entry `index`:
 * then `title` is the group's title and `blocks` names the model sources whose blocks read the
 * group's parameters (Markdown text); 0 otherwise, the pointers untouched.  The texts are
 * constants of the library. */
CORVANTA_VEHICLE_API int corvanta_vehicle_parameter_group(size_t index, const char **title, const char **blocks);

/* A copy of a set (name, description and values); NULL if memory is exhausted. */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_copy(const CorvantaVehicle *vehicle);

/* A set read from a vehicle file (JSON; see docs/vehicle-parameters.md); tyre property
 * files it names are found relative to it.  NULL on any problem, with every problem in
 * `error` ("FILE:LINE: ..."). */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_load(const char *path, char *error, size_t error_size);

/* The same from the text of a vehicle document; `base_directory` (NULL: ".") resolves tyre
 * files, `source_name` (NULL: "vehicle") names the document in messages. */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_parse(const char *json, size_t length,
                                                             const char *base_directory, const char *source_name,
                                                             char *error, size_t error_size);

/* Reads the tyre property file (.tir) at `path` into the tyre of `axle` (0 front, 1 rear,
 * -1 both).  Coefficients the model does not use are listed in corvanta_vehicle_warnings. */
CORVANTA_VEHICLE_API int corvanta_vehicle_load_tyre(CorvantaVehicle *vehicle, int axle, const char *path, char *error,
                                                    size_t error_size);

/* Values of a parameter: writes min(count, capacity) values and sets *count (may be NULL)
 * to the parameter's count. */
CORVANTA_VEHICLE_API int corvanta_vehicle_get(const CorvantaVehicle *vehicle, const char *name, double *values,
                                              size_t capacity, size_t *count);

/* Sets a parameter to `count` values (exactly its count).  Any double is accepted here;
 * corvanta_vehicle_validate reports values out of bounds. */
CORVANTA_VEHICLE_API int corvanta_vehicle_set(CorvantaVehicle *vehicle, const char *name, const double *values,
                                              size_t count, char *error, size_t error_size);

/* Every problem of the set (bounds, NaN and infinite values, axes that are not strictly
 * increasing, inconsistent combinations), one per line in `report`.  Returns the number
 * of problems: 0 for a set that instances can simulate, -1 for a NULL set. */
CORVANTA_VEHICLE_API int corvanta_vehicle_validate(const CorvantaVehicle *vehicle, char *report, size_t report_size);

/* The set as a complete vehicle file (every parameter, shortest round-trip numbers).
 * Writes at most `size` bytes including the NUL; returns the length of the whole text. */
CORVANTA_VEHICLE_API size_t corvanta_vehicle_to_json(const CorvantaVehicle *vehicle, char *buffer, size_t size);

/* Writes that text to `path` (complete or not at all). */
CORVANTA_VEHICLE_API int corvanta_vehicle_save(const CorvantaVehicle *vehicle, const char *path, char *error,
                                               size_t error_size);

/* Writes the tyre of `axle` (0 front, 1 rear) as a .tir file in SI units, which reads back
 * to the same bits. */
CORVANTA_VEHICLE_API int corvanta_vehicle_export_tir(const CorvantaVehicle *vehicle, int axle, const char *path,
                                                     char *error, size_t error_size);

/* Name, description and the warnings of the files the set was read from ("" if none).
 * Valid until the set is changed or freed. */
CORVANTA_VEHICLE_API const char *corvanta_vehicle_name(const CorvantaVehicle *vehicle);
CORVANTA_VEHICLE_API const char *corvanta_vehicle_description(const CorvantaVehicle *vehicle);
CORVANTA_VEHICLE_API const char *corvanta_vehicle_warnings(const CorvantaVehicle *vehicle);
CORVANTA_VEHICLE_API int corvanta_vehicle_set_name(CorvantaVehicle *vehicle, const char *name, const char *description);

/* The identity of the values: a 64-bit hash of every value's bits in list order.  Equal
 * sets have equal identities; name and description do not count.  0 for NULL. */
CORVANTA_VEHICLE_API uint64_t corvanta_vehicle_identity(const CorvantaVehicle *vehicle);

/* ---- Signals ------------------------------------------------------------------------ */

/* What happens inside an instance: the list of corvanta_signal_list.def (name, unit,
 * meaning and sign convention of each; docs/signals.md is the same list as a table).
 * CORVANTA_SIGNAL_<Name> is the index of a signal in the array that
 * corvanta_instance_signals fills, CORVANTA_NUM_SIGNALS their count.  The first seven are
 * the seven outputs in the order of ExtY_Corvanta_T. */
enum CorvantaSignalIndex {
#define CORVANTA_SIGNAL(name, unit, meaning) CORVANTA_SIGNAL_##name,
#include "corvanta_signal_list.def"
#undef CORVANTA_SIGNAL
  CORVANTA_NUM_SIGNALS
};

/* The number of signals, their names (as in the list: "Gear", "EngineSpeed", ...), units
 * ("m", "rad/s", "1" for a pure number) and meanings; NULL for an index out of range.  The
 * strings are static. */
CORVANTA_VEHICLE_API size_t corvanta_signal_count(void);
CORVANTA_VEHICLE_API const char *corvanta_signal_name(size_t index);
CORVANTA_VEHICLE_API const char *corvanta_signal_unit(size_t index);
CORVANTA_VEHICLE_API const char *corvanta_signal_description(size_t index);
/* The index of the signal of this name (exact spelling), or -1. */
CORVANTA_VEHICLE_API int corvanta_signal_index(const char *name);

/* Copies the first `count` signals (at most CORVANTA_NUM_SIGNALS) of the instance after its
 * last Step into out[0 .. count-1], in list order; allocates nothing and changes nothing.
 * Returns the number of values written (0 for a NULL instance or array).  Before the first
 * Step the values are those the instance holds (zeros for a new one): for the values at the
 * start of a run use corvanta_instance_initial_signals. */
CORVANTA_VEHICLE_API size_t corvanta_instance_signals(const CorvantaInstance *instance, double *out, size_t count);

/* ---- Start of a run ------------------------------------------------------------------ */

/* Between Initialize and the first Step an instance has not evaluated anything: its
 * outputs are zero (GetOutputs keeps that rule) and corvanta_instance_signals gives what
 * the instance held before.  These two functions give the values at the start time of the
 * run instead: those of the first evaluation of the coming Step, computed on a copy, so
 * that no later bit of the run changes.  With the inputs already set they show the car as
 * it starts: the position, heading and speed of the initial inputs, gear 1, zero pitch and
 * roll, the tip-over indicator and tyre loads of the standing car; the model time is the
 * time of the Initialize (0 for a new instance).  Call them again after changing the inputs
 * to see the change.  They allocate one temporary instance; they are meant for a time-0
 * row, not for every step.
 *
 * corvanta_instance_initial_signals writes min(count, CORVANTA_NUM_SIGNALS) values in list
 * order and returns that number; corvanta_instance_initial_outputs fills an output record
 * and returns 1.  Both return 0 and write nothing for a NULL argument, an instance that is
 * not initialised or has stepped since its last Initialize, or when memory is exhausted. */
CORVANTA_VEHICLE_API size_t corvanta_instance_initial_signals(const CorvantaInstance *instance, double *out,
                                                              size_t count);
CORVANTA_VEHICLE_API int corvanta_instance_initial_outputs(const CorvantaInstance *instance, ExtY_Corvanta_T *out);

/* ---- State -------------------------------------------------------------------------- */

/* The complete state of an instance (inputs, outputs, signals, discrete and continuous
 * states, time base and integrator values) as a self-checking block of bytes: save it,
 * restore it into the same or another instance of the same parameter set, keep it in a
 * file or send it to another process of the same build.  A restored instance continues
 * bit for bit as the saved one would have, from any point: before Initialize, between
 * Initialize and the first Step, in the middle of a gear shift, with NaN in its states.
 *
 * Layout (docs/signals.md has the details), all numbers in the machine's byte order
 * (little-endian on both supported platforms):
 *   magic "CRVINSTS", format version (uint32), payload byte count (uint32), parameter-set
 *   identity (uint64), the byte sizes of the seven sections (uint32 each), the sections,
 *   then the CRC-32 (IEEE 802.3) of everything before it (uint32).
 * A block that is not a state, of another format version, of another parameter set, of
 * another record layout, truncated, extended or corrupted is refused with a reason, and the
 * instance is left exactly as it was. */

/* Results of the state functions. */
#define CORVANTA_STATE_OK 0
#define CORVANTA_STATE_INVALID_ARGUMENT 1 /* NULL instance or buffer */
#define CORVANTA_STATE_BUFFER_TOO_SMALL 2 /* the caller's buffer is shorter than the state */
#define CORVANTA_STATE_NOT_A_STATE 3      /* wrong magic number or shorter than a header */
#define CORVANTA_STATE_WRONG_VERSION 4    /* a format version this build does not read */
#define CORVANTA_STATE_OTHER_VEHICLE 5    /* saved from an instance of another parameter set */
#define CORVANTA_STATE_OTHER_LAYOUT 6     /* saved by a build with other record sizes */
#define CORVANTA_STATE_WRONG_SIZE 7       /* truncated or extended */
#define CORVANTA_STATE_CORRUPT 8          /* checksum mismatch */
#define CORVANTA_STATE_INCONSISTENT 9     /* an index or flag out of range */

/* Bytes of a saved state of this instance (the same for every instance of one build and
 * parameter set); 0 for NULL. */
CORVANTA_VEHICLE_API size_t corvanta_instance_state_size(const CorvantaInstance *instance);

/* Writes the state into buffer[0 .. corvanta_instance_state_size - 1].  Allocates nothing
 * and changes nothing of the instance. */
CORVANTA_VEHICLE_API int corvanta_instance_save_state(const CorvantaInstance *instance, void *buffer, size_t size);

/* Checks `state` as corvanta_instance_restore_state does, without restoring it.  On a
 * refusal, when `reason` is not NULL, writes a NUL-terminated explanation of at most
 * reason_size bytes. */
CORVANTA_VEHICLE_API int corvanta_instance_check_state(const CorvantaInstance *instance, const void *state, size_t size,
                                                       char *reason, size_t reason_size);

/* Replaces the whole state of the instance by a saved one; on a refusal nothing changes. */
CORVANTA_VEHICLE_API int corvanta_instance_restore_state(CorvantaInstance *instance, const void *state, size_t size,
                                                         char *reason, size_t reason_size);

/* Makes `to` an exact copy of `from` (both of the same parameter set), as a save and a
 * restore would, without a buffer; `to` == `from` does nothing. */
CORVANTA_VEHICLE_API int corvanta_instance_copy_state(CorvantaInstance *to, const CorvantaInstance *from);

/* 1 when the instance has been initialised (a Step advances it), else 0; 0 for NULL.  A
 * restored instance is initialised when the saved one was. */
CORVANTA_VEHICLE_API int corvanta_instance_is_initialized(const CorvantaInstance *instance);

/* A short English text for a result code. */
CORVANTA_VEHICLE_API const char *corvanta_state_status_text(int status);

/* ---- Instances through a table of functions ----------------------------------------- */

/* The instance functions of the built-in car with the handle types of corvanta.h, for hosts
 * and engines that drive a model through a table of the seven functions (the scenario
 * engine's CorvantaModelFunctions has these members in this order).  `create` makes an
 * instance of the built-in car (corvanta_instance_create(NULL)); the others are the
 * corvanta_instance_* functions of the same names. */
typedef struct CorvantaInstanceFunctions {
  void *(*create)(void);
  void (*free)(void *handle);
  void (*initialize)(void *handle);
  void (*set_inputs)(void *handle, const ExtU_Corvanta_T *inputs);
  void (*step)(void *handle);
  const ExtY_Corvanta_T *(*outputs)(void *handle);
  void (*terminate)(void *handle);
  size_t (*signals)(const void *handle, double *out, size_t count);
  size_t (*initial_signals)(const void *handle, double *out, size_t count);
} CorvantaInstanceFunctions;

/* The table; static, never NULL. */
CORVANTA_VEHICLE_API const CorvantaInstanceFunctions *corvanta_instance_functions(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_VEHICLE_H */
