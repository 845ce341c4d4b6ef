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

/* Input record: eight consecutive doubles, in this field order. */
typedef struct ExtU_Corvanta_T {
  double AccelerationDemand; /* 0: driver's longitudinal demand [m/s^2]; > 0 drives, < 0 brakes */
  double GearSelector;       /* 1: lever, truncated toward zero: 1 drive, 3 reverse, other neutral */
  double SteeringAngle;      /* 2: front road-wheel steering command [rad]; > 0 turns left */
  double RoadGrade;          /* 3: road grade angle [rad]; > 0 pushes the car forward (downhill) */
  double InitialPositionX;   /* 4: start position X [m] */
  double InitialPositionY;   /* 5: start position Y [m] */
  double InitialHeading;     /* 6: start heading [rad], from global X, counter-clockwise */
  double InitialSpeed;       /* 7: start speed along the heading [m/s] */
} ExtU_Corvanta_T;

/* Output record: seven consecutive doubles, in this field order. */
typedef struct ExtY_Corvanta_T {
  double PositionX;         /* 0: global X position of the centre of mass [m] */
  double PositionY;         /* 1: global Y position of the centre of mass [m] */
  double Heading;           /* 2: yaw angle [rad], counter-clockwise from X, not wrapped */
  double LongitudinalSpeed; /* 3: body-axis forward speed [m/s]; < 0 when rolling backwards */
  double PitchAngle;        /* 4: body pitch angle [rad]; < 0 (nose up) when accelerating */
  double RollAngle;         /* 5: body roll angle [rad]; > 0 for positive lateral acceleration */
  double TipOverIndicator;  /* 6: +1 overturning moment exceeds restoring moment, -1 below, 0 equal/NaN */
} ExtY_Corvanta_T;

/* Names for hosts that prefer a library-specific spelling. */
typedef ExtU_Corvanta_T CorvantaInputs;
typedef ExtY_Corvanta_T CorvantaOutputs;

/* Field indices, for hosts that treat the records as arrays of doubles. */
enum CorvantaInputIndex {
  CORVANTA_IN_ACCELERATION_DEMAND = 0,
  CORVANTA_IN_GEAR_SELECTOR = 1,
  CORVANTA_IN_STEERING_ANGLE = 2,
  CORVANTA_IN_ROAD_GRADE = 3,
  CORVANTA_IN_INITIAL_POSITION_X = 4,
  CORVANTA_IN_INITIAL_POSITION_Y = 5,
  CORVANTA_IN_INITIAL_HEADING = 6,
  CORVANTA_IN_INITIAL_SPEED = 7,
  CORVANTA_NUM_INPUTS = 8
};

enum CorvantaOutputIndex {
  CORVANTA_OUT_POSITION_X = 0,
  CORVANTA_OUT_POSITION_Y = 1,
  CORVANTA_OUT_HEADING = 2,
  CORVANTA_OUT_LONGITUDINAL_SPEED = 3,
  CORVANTA_OUT_PITCH_ANGLE = 4,
  CORVANTA_OUT_ROLL_ANGLE = 5,
  CORVANTA_OUT_TIP_OVER_INDICATOR = 6,
  CORVANTA_NUM_OUTPUTS = 7
};

/* Gear selector codes. */
#define CORVANTA_GEAR_DRIVE 1.0
#define CORVANTA_GEAR_NEUTRAL 0.0
#define CORVANTA_GEAR_REVERSE 3.0

/*
 * One list per record: X(name, unit, description) for every field, in field order.
 * Hosts generate CSV headers, bindings and file keys from these lists; a test checks
 * that they agree with the structs above.
 */
#define CORVANTA_INPUT_FIELDS(X)                                               \
  X(AccelerationDemand, "m/s^2", "longitudinal demand, > 0 drives, < 0 brakes") \
  X(GearSelector, "code", "1 drive, 3 reverse, other values neutral")           \
  X(SteeringAngle, "rad", "front road-wheel steering command, > 0 left")        \
  X(RoadGrade, "rad", "road grade angle, > 0 downhill")                         \
  X(InitialPositionX, "m", "start position X")                                  \
  X(InitialPositionY, "m", "start position Y")                                  \
  X(InitialHeading, "rad", "start heading, counter-clockwise from X")           \
  X(InitialSpeed, "m/s", "start speed along the heading")

#define CORVANTA_OUTPUT_FIELDS(X)                                       \
  X(PositionX, "m", "global X position")                                \
  X(PositionY, "m", "global Y position")                                \
  X(Heading, "rad", "yaw angle, counter-clockwise from X, not wrapped") \
  X(LongitudinalSpeed, "m/s", "body-axis forward speed")                \
  X(PitchAngle, "rad", "body pitch angle")                              \
  X(RollAngle, "rad", "body roll angle")                                \
  X(TipOverIndicator, "1", "+1 tipping, -1 stable, 0 balanced or undefined")

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
