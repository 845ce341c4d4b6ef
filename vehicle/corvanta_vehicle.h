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

/* A new copy of the built-in parameter set (today's car); NULL only if memory is
 * exhausted.  Free with corvanta_vehicle_free. */
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
 * Error texts: functions that take `char *error, size_t error_size` write a NUL-terminated
 * message there on failure (truncated to fit; either may be NULL/0), one problem per line.
 */

/* Result codes. */
#define CORVANTA_VEHICLE_OK 0
#define CORVANTA_VEHICLE_UNKNOWN_NAME 1   /* no parameter has that name */
#define CORVANTA_VEHICLE_WRONG_SIZE 2     /* value count differs from the parameter's count */
#define CORVANTA_VEHICLE_AXLES_DIFFER 3   /* a plain tyre name while the axles' values differ */
#define CORVANTA_VEHICLE_INVALID 4        /* the set or the file has problems (see the error text) */
#define CORVANTA_VEHICLE_IO_ERROR 5       /* a file could not be read or written */
#define CORVANTA_VEHICLE_BAD_ARGUMENT 6   /* a NULL handle or name, or an axle other than 0 and 1 */
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
  int kind;              /* CORVANTA_PARAMETER_... */
  size_t count;          /* 1 for scalars and tyre coefficients */
  double builtin;        /* built-in value (scalars and tyre coefficients; 0 for tables) */
  double lower, upper;   /* allowed range (scalars and tyre coefficients) */
  int lower_open, upper_open; /* 1: the bound itself is excluded */
  int strictly_increasing;    /* tables: breakpoints */
  const char *tir_section;    /* tyre coefficients: the section of a .tir file, else "" */
  const char *dormant;        /* "" when the parameter acts; else why the outputs cannot depend on it */
} CorvantaParameterInfo;

/* The number of parameters, and entry `index` (0 .. count-1) of the list. */
CORVANTA_VEHICLE_API size_t corvanta_vehicle_parameter_count(void);
CORVANTA_VEHICLE_API int corvanta_vehicle_parameter_info(size_t index, CorvantaParameterInfo *info);

/* A copy of a set (name, description and values); NULL if memory is exhausted. */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_copy(const CorvantaVehicle *vehicle);

/* A set read from a vehicle file (JSON; see docs/vehicle-parameters.md); tyre property
 * files it names are found relative to it.  NULL on any problem, with every problem in
 * `error` ("FILE:LINE: ..."). */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_load(const char *path, char *error, size_t error_size);

/* The same from the text of a vehicle document; `base_directory` (NULL: ".") resolves tyre
 * files, `source_name` (NULL: "vehicle") names the document in messages. */
CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_parse(const char *json, size_t length, const char *base_directory,
                                                             const char *source_name, char *error, size_t error_size);

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

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_VEHICLE_H */
