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

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_VEHICLE_H */
