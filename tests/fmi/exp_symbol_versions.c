/* The FMU binaries call exp under its first symbol version (exp@GLIBC_2.2.5), the model
   library under the current default.  Both must give the same bits for every argument: this
   compares them over special values, the edges of overflow, underflow and subnormal results,
   and a few million arguments spread over the whole range of doubles. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

double exp_first_version(double x);
__asm__(".symver exp_first_version, exp@GLIBC_2.2.5");

static uint64_t bits(double x) {
  uint64_t b;
  memcpy(&b, &x, sizeof b);
  return b;
}

static double from_bits(uint64_t b) {
  double x;
  memcpy(&x, &b, sizeof x);
  return x;
}

static long mismatches = 0;
static long compared = 0;

static void compare(double x) {
  volatile double argument = x;
  const double current = exp(argument);
  const double first = exp_first_version(argument);
  ++compared;
  /* NaN results: any NaN (payloads are not compared). */
  if (isnan(current) && isnan(first)) {
    return;
  }
  if (bits(current) != bits(first)) {
    if (mismatches < 10) {
      fprintf(stderr, "exp(%a): %a (current) but %a (GLIBC_2.2.5)\n", x, current, first);
    }
    ++mismatches;
  }
}

int main(void) {
  static const double special[] = {0.0,
                                   -0.0,
                                   1.0,
                                   -1.0,
                                   INFINITY,
                                   -INFINITY,
                                   NAN,
                                   709.782712893384,
                                   709.7827128933841,
                                   710.0,
                                   -708.3964185322641,
                                   -708.4,
                                   -745.1332191019411,
                                   -745.1332191019412,
                                   -746.0,
                                   1e-300,
                                   -1e-300,
                                   5e-324,
                                   -5e-324,
                                   0x1p-1022};
  uint64_t state = 0x9E3779B97F4A7C15ULL;
  size_t k;
  long n;
  for (k = 0; k < sizeof special / sizeof special[0]; ++k) {
    compare(special[k]);
  }
  for (n = -800000; n <= 800000; ++n) {
    compare((double)n * 0.001); /* -800 .. 800: overflow, subnormal and underflow edges */
  }
  for (n = 0; n < 2000000; ++n) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    compare(from_bits(state));
  }
  printf("exp: %ld arguments, %ld differ between exp@GLIBC_2.2.5 and the current version\n", compared, mismatches);
  return mismatches == 0 ? 0 : 1;
}
