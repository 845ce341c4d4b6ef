// Deterministic sin, cos, sincos, atan and exp for the platform-independence test.
//
// Linked into a test variant of the library, these definitions replace the platform's
// maths library for the model's calls.  They use nothing but IEEE 754 double addition,
// subtraction, multiplication, division and square root, in a fixed order (the file is
// compiled with -ffp-contract=off like the model), so they give the same bits on every
// conforming platform.  With them in place, a Linux build and a Windows build of the
// model must agree bit for bit: any difference is then a fault of the build (contracted
// or reassociated arithmetic, x87 code, a different struct layout, uninitialised memory),
// not of the maths library.
//
// Accuracy is a few units in the last place for the arguments the model produces
// (|x| up to about 1e6 for sin and cos); beyond that the argument reduction loses
// accuracy but stays deterministic.  These are not meant for the production library.
#include <cstdint>
#include <cstring>

namespace {

double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

const double kInfinity = fromBits(0x7FF0000000000000ULL);

// Rounds to the nearest integer (ties to even) for |x| < 2^51, by the addition of
// 1.5 * 2^52 under round-to-nearest; larger values are integers or nearly so and are
// returned as rounded by the same addition, which stays deterministic.
double roundToInteger(double x) {
  const double shifter = 6755399441055744.0;  // 1.5 * 2^52
  if (!(x < 4503599627370496.0 && x > -4503599627370496.0)) {
    return x;  // |x| >= 2^52: already an integer
  }
  return (x + shifter) - shifter;
}

double absolute(double x) { return x < 0.0 ? -x : x; }

// Square root: correctly rounded by IEEE 754 on every platform (sqrtsd on x86-64).
double squareRoot(double x) { return __builtin_sqrt(x); }

// sin and cos of |r| <= pi/4 (a little more after reduction) by their Taylor series to
// the terms r^17 and r^18; truncation error below 1e-19 relative.
double sinKernel(double r) {
  const double z = r * r;
  const double p =
      -1.0 / 6.0 +
      z * (1.0 / 120.0 +
           z * (-1.0 / 5040.0 +
                z * (1.0 / 362880.0 +
                     z * (-1.0 / 39916800.0 +
                          z * (1.0 / 6227020800.0 + z * (-1.0 / 1307674368000.0 + z * (1.0 / 355687428096000.0)))))));
  return r + (r * z) * p;
}

double cosKernel(double r) {
  const double z = r * r;
  const double p =
      -1.0 / 2.0 +
      z * (1.0 / 24.0 +
           z * (-1.0 / 720.0 +
                z * (1.0 / 40320.0 +
                     z * (-1.0 / 3628800.0 +
                          z * (1.0 / 479001600.0 +
                               z * (-1.0 / 87178291200.0 +
                                    z * (1.0 / 20922789888000.0 + z * (-1.0 / 6402373705728000.0))))))));
  return 1.0 + z * p;
}

// x = n * pi/2 + r; sin x and cos x from the kernels and the quadrant n mod 4.
void sinCos(double x, double *sine, double *cosine) {
  if (x != x || absolute(x) == kInfinity) {
    *sine = x - x;  // NaN
    *cosine = x - x;
    return;
  }
  if (absolute(x) < 7.450580596923828125e-9) {  // 2^-27: sin x = x and cos x = 1 to the last bit
    *sine = x;
    *cosine = 1.0;
    return;
  }
  // pi/2 in three parts of 33, 33 and 53 bits: n * part is exact for |n| < 2^20.
  const double twoOverPi = 6.36619772367581382433e-01;
  const double piOver2Part1 = 1.57079632673412561417e+00;
  const double piOver2Part2 = 6.07710050630396597660e-11;
  const double piOver2Part3 = 2.02226624871116645580e-21;
  const double n = roundToInteger(x * twoOverPi);
  const double r = ((x - n * piOver2Part1) - n * piOver2Part2) - n * piOver2Part3;
  // n mod 4; a double of magnitude 2^54 or more is a multiple of 4.
  int quadrant = 0;
  if (absolute(n) < 18014398509481984.0) {
    quadrant = static_cast<int>(static_cast<std::int64_t>(n) & 3);
  }
  const double s = sinKernel(r);
  const double c = cosKernel(r);
  switch (quadrant) {
    case 0:
      *sine = s;
      *cosine = c;
      break;
    case 1:
      *sine = c;
      *cosine = -s;
      break;
    case 2:
      *sine = -s;
      *cosine = -c;
      break;
    default:
      *sine = -c;
      *cosine = s;
      break;
  }
}

// atan t for |t| <= tan(pi/32) < 0.0985 by its Taylor series to t^17 (error < 1e-19
// relative).
double atanKernel(double t) {
  const double z = t * t;
  const double p =
      -1.0 / 3.0 +
      z * (1.0 / 5.0 +
           z * (-1.0 / 7.0 +
                z * (1.0 / 9.0 + z * (-1.0 / 11.0 + z * (1.0 / 13.0 + z * (-1.0 / 15.0 + z * (1.0 / 17.0)))))));
  return t + (t * z) * p;
}

// atan a for 0 <= a <= 1: three halvings atan a = 2 atan(a / (1 + sqrt(1 + a^2))) bring
// the argument below tan(pi/32).
double atanUnit(double a) {
  double t = a;
  for (int k = 0; k < 3; ++k) {
    t = t / (1.0 + squareRoot(1.0 + t * t));
  }
  return 8.0 * atanKernel(t);
}

}  // namespace

// The definitions must bind inside the library.  In an ELF shared object an exported sin
// would be interposed by the host's libm at load time, so they are hidden explicitly
// (compile this file with -fno-builtin: GCC ignores the attribute on a builtin, whose
// implicit declaration has default visibility); a DLL exports only what is marked
// dllexport.
#if defined(__ELF__)
#define PORTABLE_MATH_LOCAL __attribute__((visibility("hidden")))
#else
#define PORTABLE_MATH_LOCAL
#endif

extern "C" {

PORTABLE_MATH_LOCAL double sin(double x) {
  double s;
  double c;
  sinCos(x, &s, &c);
  return s;
}

PORTABLE_MATH_LOCAL double cos(double x) {
  double s;
  double c;
  sinCos(x, &s, &c);
  return c;
}

// Compilers fuse sin x and cos x of one argument into this call (glibc and MinGW-w64 both
// provide it); it must give exactly what sin and cos give.
PORTABLE_MATH_LOCAL void sincos(double x, double *sine, double *cosine) { sinCos(x, sine, cosine); }

PORTABLE_MATH_LOCAL double atan(double x) {
  if (x != x) {
    return x + x;
  }
  const double a = absolute(x);
  double result;
  if (a <= 1.0) {
    result = atanUnit(a);
  } else {
    // atan a = pi/2 - atan(1/a), pi/2 as a double plus its remainder.
    const double piOver2High = 1.57079632679489655800e+00;
    const double piOver2Low = 6.12323399573676603587e-17;
    result = piOver2High - (atanUnit(1.0 / a) - piOver2Low);
  }
  return x < 0.0 ? -result : result;
}

PORTABLE_MATH_LOCAL double exp(double x) {
  if (x != x) {
    return x + x;
  }
  if (x > 709.782712893383973096) {
    return kInfinity;
  }
  if (x < -745.13321910194110842) {
    return 0.0;
  }
  // x = n ln2 + r, |r| <= ln2 / 2; ln2 in two parts, the first with 32 bits so that
  // n * part is exact for |n| < 2^11.
  const double oneOverLn2 = 1.44269504088896338700e+00;
  const double ln2High = 6.93147180369123816490e-01;
  const double ln2Low = 1.90821492927058770002e-10;
  const double n = roundToInteger(x * oneOverLn2);
  const double r = (x - n * ln2High) - n * ln2Low;
  // e^r by its Taylor series to r^13 (error < 1e-17 relative).
  const double p =
      1.0 +
      r * (1.0 / 2.0 +
           r * (1.0 / 6.0 +
                r * (1.0 / 24.0 +
                     r * (1.0 / 120.0 +
                          r * (1.0 / 720.0 +
                               r * (1.0 / 5040.0 +
                                    r * (1.0 / 40320.0 +
                                         r * (1.0 / 362880.0 +
                                              r * (1.0 / 3628800.0 +
                                                   r * (1.0 / 39916800.0 +
                                                        r * (1.0 / 479001600.0 + r * (1.0 / 6227020800.0))))))))))));
  const double er = 1.0 + r * p;
  // Scale by 2^n, n in [-1075, 1024], in two exact-power steps where one would leave the
  // normal exponent range.
  int e = static_cast<int>(n);
  double scale = 1.0;
  if (e > 1023) {
    scale = 2.0;
    e -= 1;
  } else if (e < -1021) {
    scale = fromBits(static_cast<std::uint64_t>(1023 - 60) << 52);  // 2^-60
    e += 60;
  }
  const double power = fromBits(static_cast<std::uint64_t>(e + 1023) << 52);
  return (er * power) * scale;
}

}  // extern "C"
