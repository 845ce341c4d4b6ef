/* Interposes sin, cos, sincos, atan and exp (LD_PRELOAD): each returns the correctly
 * rounded double computed with MPFR, independently of the portable functions of
 * runtime/PortableMath.h.  A library that takes these functions from the platform then
 * computes what the model gives when every call is correctly rounded.
 *
 * It also calls the next definition (the platform's, found with dlsym(RTLD_NEXT)) and
 * counts the calls whose platform result differs from the correctly rounded one; with
 * CORVANTA_MISROUNDING_REPORT set, the counts go to stderr at exit as
 *   "misrounded FUNCTION CALLS MISROUNDED"
 * (sincos counts once per call, misrounded when either result is).  Only for tests and
 * measurement: the counters are plain integers of the whole process. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <mpfr.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kSin, kCos, kSincos, kAtan, kExp, kCount };
static const char *const kNames[kCount] = {"sin", "cos", "sincos", "atan", "exp"};
static unsigned long long calls[kCount];
static unsigned long long misrounded[kCount];

static void *next(const char *name) {
  void *function = dlsym(RTLD_NEXT, name);
  if (function == NULL) {
    fprintf(stderr, "MpfrMathInterposer: no next definition of %s\n", name);
    abort();
  }
  return function;
}

static double correctlyRounded(int (*f)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t), double x) {
  mpfr_t a, y;
  mpfr_set_emin(-1073);
  mpfr_set_emax(1024);
  mpfr_init2(a, 53);
  mpfr_init2(y, 53);
  mpfr_set_d(a, x, MPFR_RNDN);
  int ternary = f(y, a, MPFR_RNDN);
  ternary = mpfr_subnormalize(y, ternary, MPFR_RNDN);
  const double r = mpfr_get_d(y, MPFR_RNDN);
  mpfr_clear(a);
  mpfr_clear(y);
  return r;
}

/* Same bits, or both NaN. */
static int same(double a, double b) { return (a != a && b != b) || memcmp(&a, &b, sizeof a) == 0; }

#define INTERPOSED(name, index, mpfrFunction)                         \
  double name(double x) {                                             \
    static double (*platform)(double);                                \
    if (platform == NULL) platform = (double (*)(double))next(#name); \
    const double exact = correctlyRounded(mpfrFunction, x);           \
    ++calls[index];                                                   \
    if (!same(platform(x), exact)) ++misrounded[index];               \
    return exact;                                                     \
  }

INTERPOSED(sin, kSin, mpfr_sin)
INTERPOSED(cos, kCos, mpfr_cos)
INTERPOSED(atan, kAtan, mpfr_atan)
INTERPOSED(exp, kExp, mpfr_exp)

void sincos(double x, double *s, double *c) {
  static void (*platform)(double, double *, double *);
  if (platform == NULL) platform = (void (*)(double, double *, double *))next("sincos");
  double ps, pc;
  platform(x, &ps, &pc);
  *s = correctlyRounded(mpfr_sin, x);
  *c = correctlyRounded(mpfr_cos, x);
  ++calls[kSincos];
  if (!same(ps, *s) || !same(pc, *c)) ++misrounded[kSincos];
}

__attribute__((destructor)) static void reportAtExit(void) {
  if (getenv("CORVANTA_MISROUNDING_REPORT") == NULL) return;
  for (int i = 0; i < kCount; ++i) fprintf(stderr, "misrounded %s %llu %llu\n", kNames[i], calls[i], misrounded[i]);
}
