/* Interposes the transcendental functions of the maths library: each definition counts
 * the call and forwards to the next definition in the lookup order (the maths library),
 * found once with dlsym(RTLD_NEXT).  Only for measurement: the counters are plain
 * integers of the whole process.
 *
 * Also usable with LD_PRELOAD on any host (for example an older build of the library
 * driven by corvanta_compare_host --run): with CORVANTA_MATH_CALLS_REPORT set, the
 * counts are printed to stderr when the process exits. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#include "bench/MathCallCounter.h"

enum { kSin, kCos, kSincos, kTan, kAtan, kAtan2, kExp, kLog, kPow, kSqrt, kFmod, kFmax, kFmin, kCount };

static const char *const kNames[kCount] = {"sin", "cos", "sincos", "tan",  "atan", "atan2", "exp",
                                           "log", "pow", "sqrt",   "fmod", "fmax", "fmin"};
static unsigned long long calls[kCount];

static void *next(const char *name) {
  void *function = dlsym(RTLD_NEXT, name);
  if (function == NULL) {
    fprintf(stderr, "MathCallCounter: no next definition of %s\n", name);
    abort();
  }
  return function;
}

#define COUNTED_1(name, index)                                \
  double name(double x) {                                     \
    static double (*real)(double);                            \
    if (real == NULL) real = (double (*)(double))next(#name); \
    ++calls[index];                                           \
    return real(x);                                           \
  }
#define COUNTED_2(name, index)                                        \
  double name(double x, double y) {                                   \
    static double (*real)(double, double);                            \
    if (real == NULL) real = (double (*)(double, double))next(#name); \
    ++calls[index];                                                   \
    return real(x, y);                                                \
  }

COUNTED_1(sin, kSin)
COUNTED_1(cos, kCos)
COUNTED_1(tan, kTan)
COUNTED_1(atan, kAtan)
COUNTED_1(exp, kExp)
COUNTED_1(log, kLog)
COUNTED_1(sqrt, kSqrt)
COUNTED_2(atan2, kAtan2)
COUNTED_2(pow, kPow)
COUNTED_2(fmod, kFmod)
COUNTED_2(fmax, kFmax)
COUNTED_2(fmin, kFmin)

void sincos(double x, double *s, double *c) {
  static void (*real)(double, double *, double *);
  if (real == NULL) real = (void (*)(double, double *, double *))next("sincos");
  ++calls[kSincos];
  real(x, s, c);
}

__attribute__((destructor)) static void reportAtExit(void) {
  if (getenv("CORVANTA_MATH_CALLS_REPORT") == NULL) return;
  for (int i = 0; i < kCount; ++i) {
    if (calls[i] != 0) fprintf(stderr, "math calls %-7s %llu\n", kNames[i], calls[i]);
  }
}

int corvanta_math_function_count(void) { return kCount; }
const char *corvanta_math_function_name(int index) { return (index >= 0 && index < kCount) ? kNames[index] : ""; }
unsigned long long corvanta_math_calls(int index) { return (index >= 0 && index < kCount) ? calls[index] : 0ULL; }
void corvanta_math_reset(void) {
  for (int i = 0; i < kCount; ++i) calls[i] = 0;
}
