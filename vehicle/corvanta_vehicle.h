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

/* A new copy of the built-in parameter set (today's car); NULL only if memory is
 * exhausted.  Free with corvanta_vehicle_free. */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_create_builtin(void);
CORVANTA_VEHICLE_API void corvanta_vehicle_free(CorvantaVehicle *vehicle);

/* ---- Instances ---------------------------------------------------------------------- */

/* A new instance simulating `vehicle` (NULL: the built-in car).  The instance keeps what
 * it needs of the set: the set may be freed afterwards.  NULL if memory is exhausted. */
CORVANTA_VEHICLE_API CorvantaInstance *corvanta_instance_create(const CorvantaVehicle *vehicle);
CORVANTA_VEHICLE_API void corvanta_instance_free(CorvantaInstance *instance);

/* The seven functions of corvanta.h for an instance of this library. */
CORVANTA_VEHICLE_API void corvanta_instance_initialize(CorvantaInstance *instance);
CORVANTA_VEHICLE_API void corvanta_instance_set_inputs(CorvantaInstance *instance, const ExtU_Corvanta_T *inputs);
CORVANTA_VEHICLE_API void corvanta_instance_step(CorvantaInstance *instance);
CORVANTA_VEHICLE_API const ExtY_Corvanta_T *corvanta_instance_outputs(const CorvantaInstance *instance);
CORVANTA_VEHICLE_API void corvanta_instance_terminate(CorvantaInstance *instance);


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
#define CORVANTA_STATE_INVALID_ARGUMENT 1   /* NULL instance or buffer */
#define CORVANTA_STATE_BUFFER_TOO_SMALL 2   /* the caller's buffer is shorter than the state */
#define CORVANTA_STATE_NOT_A_STATE 3        /* wrong magic number or shorter than a header */
#define CORVANTA_STATE_WRONG_VERSION 4      /* a format version this build does not read */
#define CORVANTA_STATE_OTHER_VEHICLE 5      /* saved from an instance of another parameter set */
#define CORVANTA_STATE_OTHER_LAYOUT 6       /* saved by a build with other record sizes */
#define CORVANTA_STATE_WRONG_SIZE 7         /* truncated or extended */
#define CORVANTA_STATE_CORRUPT 8            /* checksum mismatch */
#define CORVANTA_STATE_INCONSISTENT 9       /* an index or flag out of range */

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
