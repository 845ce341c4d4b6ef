/*
 * corvanta.h - public C interface of the Corvanta vehicle-dynamics library.
 *
 * Corvanta simulates a rear-wheel-drive passenger car with a five-speed automatic
 * gearbox.  A host loads the shared library (libcorvanta.so, Corvanta.dll), creates
 * any number of independent instances, writes the eight inputs, calls Step() once per
 * 0.0001 s of model time and reads the seven outputs.
 *
 * Calling sequence for one run:
 *
 *     void *car = CreateVehicleModel();          NULL only if memory is exhausted
 *     Initialize(car);                           start (or restart) a run
 *     SetInputs(car, &inputs);                   initial conditions + driver inputs
 *     const CorvantaOutputs *y = GetOutputs(car);  pointer stays valid until delete
 *     for (...) { SetInputs(car, &inputs); Step(car); use(y->PositionX); }
 *     Terminate(car);                            no effect, kept for symmetry
 *     DeleteVehicleModel(car);
 *
 * The initial-condition inputs (fields 4..7) are sampled by the first Step() after
 * Initialize(); changing them later has no effect until the next Initialize().
 *
 * Conventions: SI units throughout (m, m/s, rad, rad/s).  Body axes: x forward,
 * y to the left, z up.  Global X, Y lie in the road plane; the heading is measured
 * from X, positive counter-clockwise seen from above (positive steering turns left).
 *
 * Robustness: every function ignores a NULL handle (GetOutputs returns NULL), SetInputs
 * ignores a NULL record, and Step() does nothing on an instance that has not been
 * initialised.  Any double is accepted as input; undefined values propagate as NaN.
 * Distinct instances may be driven from distinct threads; one instance must not be
 * used by two threads at once.  The library keeps no mutable global state.
 *
 * This header is C89/C99 and C++ compatible.
 */
#ifndef CORVANTA_H
#define CORVANTA_H

#include <stddef.h>

#define CORVANTA_VERSION_MAJOR 1
#define CORVANTA_VERSION_MINOR 0
#define CORVANTA_VERSION_PATCH 0
/* Single number for compile-time checks: major * 10000 + minor * 100 + patch. */
#define CORVANTA_VERSION 10000
#define CORVANTA_VERSION_STRING "1.0.0"

/* Model time advanced by one call of Step(), in seconds. */
#define CORVANTA_STEP_SIZE 0.0001

/* Export macro.  Define CORVANTA_STATIC when linking the model sources directly. */
#if defined(CORVANTA_STATIC)
#define CORVANTA_API
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(CORVANTA_BUILDING_LIBRARY)
#define CORVANTA_API __declspec(dllexport)
#else
#define CORVANTA_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define CORVANTA_API __attribute__((visibility("default")))
#else
#define CORVANTA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * One list per record: X(name, unit, meaning) for every field, in field order.  The
 * records, their index constants and every host's names (CSV headers, scenario keys,
 * the Python binding, the README tables) come from or are checked against these lists.
 * Units are SI; "code" is a value read by truncation, "1" a pure number.
 */
/* clang-format off */
#define CORVANTA_INPUT_FIELDS(X)                                                                    \
  X(AccelerationDemand, "m/s^2",                                                                    \
    "driver's longitudinal demand: > 0 drives (throttle map 0.0125 to 1.99), < 0 brakes "           \
    "(brake map -4.2 to -0.085)")                                                                   \
  X(GearSelector, "code",                                                                           \
    "lever, truncated toward zero: 1 drive (automatic), 3 reverse, any other value "                \
    "neutral")                                                                                      \
  X(SteeringAngle, "rad",                                                                           \
    "front road-wheel steering command, > 0 turns left; through a 100 rad/s second-order "          \
    "actuator")                                                                                     \
  X(RoadGrade, "rad",                                                                               \
    "road grade angle; > 0 pushes the car forward (downhill in the direction of travel)")           \
  X(InitialPositionX, "m",                                                                          \
    "start position X, sampled by the first Step after Initialize")                                 \
  X(InitialPositionY, "m",                                                                          \
    "start position Y, sampled by the first Step after Initialize")                                 \
  X(InitialHeading, "rad",                                                                          \
    "start heading, counter-clockwise from X, sampled by the first Step after Initialize")          \
  X(InitialSpeed, "m/s",                                                                            \
    "start speed along the heading, sampled by the first Step after Initialize; the "               \
    "wheels start rolling with it")

#define CORVANTA_OUTPUT_FIELDS(X)                                                                   \
  X(PositionX, "m",                                                                                 \
    "global X position of the centre of mass")                                                      \
  X(PositionY, "m",                                                                                 \
    "global Y position of the centre of mass")                                                      \
  X(Heading, "rad",                                                                                 \
    "yaw angle, counter-clockwise from X, not wrapped")                                             \
  X(LongitudinalSpeed, "m/s",                                                                       \
    "body-axis forward speed, < 0 when rolling backwards")                                          \
  X(PitchAngle, "rad",                                                                              \
    "body pitch angle, < 0 (nose up) when accelerating")                                            \
  X(RollAngle, "rad",                                                                               \
    "body roll angle, > 0 for a positive rate of change of the lateral speed")                      \
  X(TipOverIndicator, "1",                                                                          \
    "+1 when the overturning moment exceeds the restoring moment, -1 when below, 0 when "           \
    "equal or NaN")

/* The records: one double per list entry, in list order, with no padding (checked below). */
#define CORVANTA_DECLARE_DOUBLE_(name, unit, meaning) double name;

/* Input record ExtU_Corvanta_T: the eight doubles of CORVANTA_INPUT_FIELDS. */
typedef struct ExtU_Corvanta_T {
  CORVANTA_INPUT_FIELDS(CORVANTA_DECLARE_DOUBLE_)
} ExtU_Corvanta_T;

/* Output record ExtY_Corvanta_T: the seven doubles of CORVANTA_OUTPUT_FIELDS. */
typedef struct ExtY_Corvanta_T {
  CORVANTA_OUTPUT_FIELDS(CORVANTA_DECLARE_DOUBLE_)
} ExtY_Corvanta_T;

/* Names for hosts that prefer a library-specific spelling. */
typedef ExtU_Corvanta_T CorvantaInputs;
typedef ExtY_Corvanta_T CorvantaOutputs;

/*
 * Field indices, for hosts that treat the records as arrays of doubles:
 * CorvantaInput_<name> and CorvantaOutput_<name> follow the lists; the upper-case
 * spellings are the same values under their established names.
 */
#define CORVANTA_INPUT_INDEX_(name, unit, meaning) CorvantaInput_##name,
#define CORVANTA_OUTPUT_INDEX_(name, unit, meaning) CorvantaOutput_##name,

enum CorvantaInputIndex {
  CORVANTA_INPUT_FIELDS(CORVANTA_INPUT_INDEX_)
  CORVANTA_NUM_INPUTS,
  CORVANTA_IN_ACCELERATION_DEMAND = CorvantaInput_AccelerationDemand,
  CORVANTA_IN_GEAR_SELECTOR = CorvantaInput_GearSelector,
  CORVANTA_IN_STEERING_ANGLE = CorvantaInput_SteeringAngle,
  CORVANTA_IN_ROAD_GRADE = CorvantaInput_RoadGrade,
  CORVANTA_IN_INITIAL_POSITION_X = CorvantaInput_InitialPositionX,
  CORVANTA_IN_INITIAL_POSITION_Y = CorvantaInput_InitialPositionY,
  CORVANTA_IN_INITIAL_HEADING = CorvantaInput_InitialHeading,
  CORVANTA_IN_INITIAL_SPEED = CorvantaInput_InitialSpeed
};

enum CorvantaOutputIndex {
  CORVANTA_OUTPUT_FIELDS(CORVANTA_OUTPUT_INDEX_)
  CORVANTA_NUM_OUTPUTS,
  CORVANTA_OUT_POSITION_X = CorvantaOutput_PositionX,
  CORVANTA_OUT_POSITION_Y = CorvantaOutput_PositionY,
  CORVANTA_OUT_HEADING = CorvantaOutput_Heading,
  CORVANTA_OUT_LONGITUDINAL_SPEED = CorvantaOutput_LongitudinalSpeed,
  CORVANTA_OUT_PITCH_ANGLE = CorvantaOutput_PitchAngle,
  CORVANTA_OUT_ROLL_ANGLE = CorvantaOutput_RollAngle,
  CORVANTA_OUT_TIP_OVER_INDICATOR = CorvantaOutput_TipOverIndicator
};
/* clang-format on */

/*
 * Layout checks at compile time (C++11 and C11 compilers): every field sits at its
 * index times 8 bytes, and each record is exactly its doubles.
 */
#if defined(__cplusplus) && __cplusplus >= 201103L
#define CORVANTA_STATIC_ASSERT_(condition, message) static_assert(condition, message)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define CORVANTA_STATIC_ASSERT_(condition, message) _Static_assert(condition, message)
#endif
#ifdef CORVANTA_STATIC_ASSERT_
#define CORVANTA_CHECK_INPUT_OFFSET_(name, unit, meaning)                                           \
  CORVANTA_STATIC_ASSERT_(offsetof(ExtU_Corvanta_T, name) == CorvantaInput_##name * sizeof(double), \
                          "input " #name " is not at its index");
#define CORVANTA_CHECK_OUTPUT_OFFSET_(name, unit, meaning)                                           \
  CORVANTA_STATIC_ASSERT_(offsetof(ExtY_Corvanta_T, name) == CorvantaOutput_##name * sizeof(double), \
                          "output " #name " is not at its index");
CORVANTA_INPUT_FIELDS(CORVANTA_CHECK_INPUT_OFFSET_)
CORVANTA_OUTPUT_FIELDS(CORVANTA_CHECK_OUTPUT_OFFSET_)
CORVANTA_STATIC_ASSERT_(sizeof(ExtU_Corvanta_T) == CORVANTA_NUM_INPUTS * sizeof(double), "input record size");
CORVANTA_STATIC_ASSERT_(sizeof(ExtY_Corvanta_T) == CORVANTA_NUM_OUTPUTS * sizeof(double), "output record size");
CORVANTA_STATIC_ASSERT_(CORVANTA_NUM_INPUTS == 8 && CORVANTA_NUM_OUTPUTS == 7, "record lengths");
#undef CORVANTA_CHECK_INPUT_OFFSET_
#undef CORVANTA_CHECK_OUTPUT_OFFSET_
#undef CORVANTA_STATIC_ASSERT_
#endif

/* Gear selector codes. */
#define CORVANTA_GEAR_DRIVE 1.0
#define CORVANTA_GEAR_NEUTRAL 0.0
#define CORVANTA_GEAR_REVERSE 3.0

/*
 * Function types, one per exported function, so that every host binding the library
 * with dlsym()/GetProcAddress() casts to the identical signature.
 */
typedef void *(*CreateVehicleModelTYPE)(void);
typedef void (*DeleteVehicleModelTYPE)(void *handle);
typedef void (*InitializeTYPE)(void *handle);
typedef void (*SetInputsTYPE)(void *handle, const ExtU_Corvanta_T *inputs);
typedef void (*StepTYPE)(void *handle);
typedef const ExtY_Corvanta_T *(*GetOutputsTYPE)(void *handle);
typedef void (*TerminateTYPE)(void *handle);

/* Creates an instance with all records zero.  Returns NULL if memory is exhausted. */
CORVANTA_API void *CreateVehicleModel(void);

/* Releases an instance; NULL is ignored.  The handle and output pointer then dangle. */
CORVANTA_API void DeleteVehicleModel(void *handle);

/*
 * Starts a run: engine at 750 rpm, first gear, states zero, the initial-condition
 * inputs sampled by the next Step().  Calling it again restarts the states but not the
 * model time, which keeps counting from where it stood.
 *
 * Recovery: if any held value, discrete state or continuous state of the instance is
 * NaN or infinite (non-finite inputs got into it), Initialize() first returns the
 * instance to exactly the state of a newly created one, model time and step count
 * included (the inputs last passed to SetInputs() are kept), and then initialises it as
 * usual: the run that follows is bit for bit that of a new instance.
 */
CORVANTA_API void Initialize(void *handle);

/* Copies all eight inputs into the instance.  Values are not validated. */
CORVANTA_API void SetInputs(void *handle, const ExtU_Corvanta_T *inputs);

/* Advances the model by one step of 0.0001 s.  Does nothing before Initialize(). */
CORVANTA_API void Step(void *handle);

/*
 * Returns a read-only pointer to the instance's output record.  The pointer is the same
 * for the life of the instance and shows the values of the latest Step().
 */
CORVANTA_API const ExtY_Corvanta_T *GetOutputs(void *handle);

/* No effect; the instance stays usable. */
CORVANTA_API void Terminate(void *handle);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* CORVANTA_H */
