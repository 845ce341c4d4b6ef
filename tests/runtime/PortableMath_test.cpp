// The portable maths functions against MPFR (correct rounding to 53 bits with the
// double's exponent range), bit for bit: special values, the boundaries of every range
// and table interval, arguments near multiples of pi/2, the hard cases of
// tests/data/portable_math/hard_cases.txt, and random arguments.
//
// CORVANTA_PORTABLE_MATH_SAMPLES sets the number of random arguments per function and
// distribution (default 500000: 10^6 per function).
#include "runtime/PortableMath.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using MpfrFunction = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

// The correctly rounded double of f(x), subnormals included.
double oracle(MpfrFunction f, double x) {
  mpfr_set_emin(-1073);
  mpfr_set_emax(1024);
  mpfr_t a, y;
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

struct Function {
  const char *name;
  double (*ours)(double);
  MpfrFunction reference;
};

double sinOfSincos(double x) {
  double s, c;
  Corvanta_sincos(x, &s, &c);
  return s;
}

double cosOfSincos(double x) {
  double s, c;
  Corvanta_sincos(x, &s, &c);
  return c;
}

const Function kSin{"sin", Corvanta_sin, mpfr_sin};
const Function kCos{"cos", Corvanta_cos, mpfr_cos};
const Function kSincosSin{"sincos (sine)", sinOfSincos, mpfr_sin};
const Function kSincosCos{"sincos (cosine)", cosOfSincos, mpfr_cos};
const Function kAtan{"atan", Corvanta_atan, mpfr_atan};
const Function kExp{"exp", Corvanta_exp, mpfr_exp};

// Checks f at every argument; reports the first few misrounded ones and their count.
void expectCorrectlyRounded(const Function &f, const std::vector<double> &arguments) {
  std::size_t wrong = 0;
  for (const double x : arguments) {
    const double got = f.ours(x);
    const double want = oracle(f.reference, x);
    const bool same = (got != got && want != want) || bitsOf(got) == bitsOf(want);
    if (!same && ++wrong <= 5) {
      ADD_FAILURE() << f.name << "(" << std::hexfloat << x << ") = " << got << ", correctly rounded " << want;
    }
  }
  EXPECT_EQ(wrong, 0u) << f.name << ": misrounded results among " << arguments.size() << " arguments";
  std::printf("%s: %zu arguments checked, %zu misrounded\n", f.name, arguments.size(), wrong);
}

double next(double x, int steps) {
  for (; steps > 0; --steps) x = std::nextafter(x, std::numeric_limits<double>::infinity());
  for (; steps < 0; ++steps) x = std::nextafter(x, -std::numeric_limits<double>::infinity());
  return x;
}

// Each point, its neighbours up to 3 doubles away, and their negatives.
std::vector<double> neighbourhoods(const std::vector<double> &points) {
  std::vector<double> out;
  for (const double p : points) {
    for (int k = -3; k <= 3; ++k) {
      out.push_back(next(p, k));
      out.push_back(-next(p, k));
    }
  }
  return out;
}

TEST(PortableMath, SpecialValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double piOver2 = fromBits(0x3FF921FB54442D18ULL);
  EXPECT_EQ(bitsOf(Corvanta_sin(0.0)), bitsOf(0.0));
  EXPECT_EQ(bitsOf(Corvanta_sin(-0.0)), bitsOf(-0.0));
  EXPECT_EQ(bitsOf(Corvanta_cos(0.0)), bitsOf(1.0));
  EXPECT_EQ(bitsOf(Corvanta_cos(-0.0)), bitsOf(1.0));
  EXPECT_EQ(bitsOf(Corvanta_atan(0.0)), bitsOf(0.0));
  EXPECT_EQ(bitsOf(Corvanta_atan(-0.0)), bitsOf(-0.0));
  EXPECT_EQ(bitsOf(Corvanta_exp(0.0)), bitsOf(1.0));
  EXPECT_EQ(bitsOf(Corvanta_exp(-0.0)), bitsOf(1.0));
  double s = 1.0, c = 1.0;
  Corvanta_sincos(-0.0, &s, &c);
  EXPECT_EQ(bitsOf(s), bitsOf(-0.0));
  EXPECT_EQ(bitsOf(c), bitsOf(1.0));
  for (const double x : {inf, -inf, nan, -nan}) {
    EXPECT_TRUE(std::isnan(Corvanta_sin(x))) << x;
    EXPECT_TRUE(std::isnan(Corvanta_cos(x))) << x;
    Corvanta_sincos(x, &s, &c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c)) << x;
  }
  EXPECT_TRUE(std::isnan(Corvanta_atan(nan)));
  EXPECT_TRUE(std::isnan(Corvanta_exp(nan)));
  EXPECT_EQ(bitsOf(Corvanta_atan(inf)), bitsOf(piOver2));
  EXPECT_EQ(bitsOf(Corvanta_atan(-inf)), bitsOf(-piOver2));
  EXPECT_EQ(bitsOf(Corvanta_exp(inf)), bitsOf(inf));
  EXPECT_EQ(bitsOf(Corvanta_exp(-inf)), bitsOf(0.0));
  // Overflow, gradual underflow, underflow to +0.
  EXPECT_EQ(bitsOf(Corvanta_exp(709.79)), bitsOf(inf));
  EXPECT_EQ(bitsOf(Corvanta_exp(1e300)), bitsOf(inf));
  EXPECT_EQ(bitsOf(Corvanta_exp(709.782712893384)), 0x7FEFFFFFFFFFFF2AULL);  // mpmath
  EXPECT_EQ(bitsOf(Corvanta_exp(-745.13)), bitsOf(tiny));
  EXPECT_EQ(bitsOf(Corvanta_exp(-745.14)), bitsOf(0.0));
  EXPECT_EQ(bitsOf(Corvanta_exp(-1e300)), bitsOf(0.0));
  // Subnormal arguments.
  EXPECT_EQ(bitsOf(Corvanta_sin(-tiny)), bitsOf(-tiny));
  EXPECT_EQ(bitsOf(Corvanta_atan(tiny)), bitsOf(tiny));
  EXPECT_EQ(bitsOf(Corvanta_cos(tiny)), bitsOf(1.0));
  EXPECT_EQ(bitsOf(Corvanta_exp(-tiny)), bitsOf(1.0));
}

TEST(PortableMath, RangeBoundaries) {
  // The thresholds of the shortcuts, the fast paths and the special ranges.
  std::vector<double> trig{0x1p-27,
                           0x1p-26,
                           1.5e6,
                           0x1p20,
                           0x1p60,
                           0x1p1023,
                           1.7976931348623157e308,
                           std::numeric_limits<double>::min(),
                           0.7853981633974483,
                           1.5707963267948966};
  // Where the reduction's quotient x 2/pi changes (odd multiples of pi/4) and the table
  // entries i/64 of the reduced argument and the midpoints between them.
  for (int n = 1; n < 400; n += 2) trig.push_back(n * 0.7853981633974483);
  for (int n = 1; n < 8; ++n) trig.push_back((1 << (2 * n)) * 0.7853981633974483 + 1.0);
  for (int i = 0; i < 52; ++i) {
    trig.push_back(i / 64.0);
    trig.push_back((i + 0.5) / 64.0);
    trig.push_back(1.5707963267948966 + i / 64.0);
    trig.push_back(1.5707963267948966 - (i + 0.5) / 64.0);
  }
  // The quick stage: its limit, where its quotient x 128/pi changes (odd multiples of
  // pi/256) over two turns of its table and near its limit, and the table entries j pi/128.
  trig.push_back(16384.0);
  // The limit of the quick stage without reduction (0.8) and its last table interval.
  trig.push_back(0.8);
  trig.push_back(51.5 / 64.0);
  for (int n = 1; n < 1030; n += 2) trig.push_back(n * 0.01227184630308513);
  for (int n = 1335001; n < 1335101; n += 2) trig.push_back(n * 0.01227184630308513);
  for (int j = 0; j < 520; ++j) trig.push_back(j * 0.02454369260617026);
  const std::vector<double> trigArguments = neighbourhoods(trig);
  for (const Function *f : {&kSin, &kCos, &kSincosSin, &kSincosCos}) expectCorrectlyRounded(*f, trigArguments);

  std::vector<double> atan{
      0x1p-27, 0x1p60, 5.8e15, 1.0, 0x1p-11, std::numeric_limits<double>::min(), 1.7976931348623157e308};
  for (int i = 0; i <= 1024; ++i) {
    atan.push_back(i / 1024.0);
    atan.push_back((i + 0.5) / 1024.0);
    if (i > 0) atan.push_back(1024.0 / i);
    if (i > 0) atan.push_back(1024.0 / (i + 0.5));
  }
  expectCorrectlyRounded(kAtan, neighbourhoods(atan));

  std::vector<double> exp{0x1p-54, 0x1p-53, 708.0, 709.0, 709.78, 709.782712893384, 709.8, 745.13, 745.2, 707.0, 1.0};
  // The reduction's intervals: N ln2/128 and (N + 1/2) ln2/128.
  for (int n = -128 * 8; n <= 128 * 8; n += 7) {
    exp.push_back(n * 0.005415212348111709);
    exp.push_back((n + 0.5) * 0.005415212348111709);
  }
  for (int k = -1074; k <= 1023; k += 31) exp.push_back(k * 0.6931471805599453);
  expectCorrectlyRounded(kExp, neighbourhoods(exp));
}

TEST(PortableMath, NearMultiplesOfHalfPi) {
  // The doubles nearest to n pi/2: the reduced argument is tiny, so the fast path cannot
  // decide and the accurate one does; and the argument closest to a multiple of pi/2
  // among all doubles.
  std::vector<double> arguments{std::ldexp(6381956970095103.0, 797), 1e22, 1e300, 0x1p1000, 3.0e6};
  mpfr_t halfPi, product;
  mpfr_init2(halfPi, 200);
  mpfr_init2(product, 200);
  mpfr_const_pi(halfPi, MPFR_RNDN);
  mpfr_div_ui(halfPi, halfPi, 2, MPFR_RNDN);
  for (unsigned long n = 1; n < 3000000; n = n * 5 / 4 + 1) {
    mpfr_mul_ui(product, halfPi, n, MPFR_RNDN);
    arguments.push_back(mpfr_get_d(product, MPFR_RNDN));
  }
  mpfr_clear(halfPi);
  mpfr_clear(product);
  const std::vector<double> all = neighbourhoods(arguments);
  for (const Function *f : {&kSin, &kCos, &kSincosSin, &kSincosCos}) expectCorrectlyRounded(*f, all);
}

TEST(PortableMath, HardCases) {
  // Results within 2^-18 to 2^-56 ulps of a midpoint, with the correctly rounded result
  // computed independently (mpmath at 600 bits).
  std::ifstream in(CORVANTA_PORTABLE_MATH_HARD_CASES);
  ASSERT_TRUE(in) << "cannot open " << CORVANTA_PORTABLE_MATH_HARD_CASES;
  std::string line;
  std::size_t count = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, argument, result;
    fields >> name >> argument >> result;
    const double x = fromBits(std::stoull(argument, nullptr, 16));
    const std::uint64_t want = std::stoull(result, nullptr, 16);
    const Function *f = name == "sin" ? &kSin : name == "cos" ? &kCos : name == "atan" ? &kAtan : &kExp;
    ASSERT_TRUE(name == "sin" || name == "cos" || name == "atan" || name == "exp") << line;
    EXPECT_EQ(bitsOf(f->ours(x)), want) << line;
    EXPECT_EQ(bitsOf(oracle(f->reference, x)), want) << "the two oracles disagree: " << line;
    if (name == "sin") {
      EXPECT_EQ(bitsOf(sinOfSincos(x)), want) << line;
    }
    if (name == "cos") {
      EXPECT_EQ(bitsOf(cosOfSincos(x)), want) << line;
    }
    ++count;
  }
  EXPECT_GT(count, 900u);
}

std::size_t samples() {
  const char *text = std::getenv("CORVANTA_PORTABLE_MATH_SAMPLES");
  return text != nullptr ? static_cast<std::size_t>(std::strtoull(text, nullptr, 10)) : 500000;
}

// Uniform on [lo, hi] and log-uniform (random significand and sign, exponent uniform in
// [minExponent, maxExponent]).
std::vector<double> randomArguments(std::uint64_t seed, double lo, double hi, int minExponent, int maxExponent,
                                    std::size_t count = 0) {
  std::mt19937_64 random(seed);
  const std::size_t n = count != 0 ? count : samples();
  std::vector<double> out;
  out.reserve(2 * n);
  std::uniform_real_distribution<double> uniform(lo, hi);
  for (std::size_t i = 0; i < n; ++i) out.push_back(uniform(random));
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t r = random();
    const int exponent =
        minExponent + static_cast<int>(random() % static_cast<std::uint64_t>(maxExponent - minExponent + 1));
    const double significand = 1.0 + static_cast<double>(r >> 12) * 0x1p-52;
    out.push_back((r & 1u) ? -std::ldexp(significand, exponent) : std::ldexp(significand, exponent));
  }
  return out;
}

#if defined(CORVANTA_PORTABLE_MATH_FUSED)
}  // namespace
namespace corvanta_math {
namespace dekker {
bool sinCosFast(double x, double *sine, double *cosine);
double atanFast(double ax, bool &decided);
bool expFast(double x, double &result);
}  // namespace dekker
namespace fused {
bool sinCosFast(double x, double *sine, double *cosine);
double atanFast(double ax, bool &decided);
bool expFast(double x, double &result);
}  // namespace fused
}  // namespace corvanta_math
namespace {

// The two builds of the fast paths (Dekker products everywhere, fused multiply-add on
// x86-64 processors that have it) decide the same arguments and give the same bits, also
// on the hard cases, where the processor in CI may take only one of them.
TEST(PortableMath, FusedAndDekkerProductsAgree) {
  if (!__builtin_cpu_supports("fma")) GTEST_SKIP() << "the processor has no fused multiply-add";
  namespace cm = corvanta_math;
  std::vector<double> arguments = randomArguments(7, -1.5e6, 1.5e6, -26, 20);
  const std::vector<double> small = randomArguments(8, -4.0, 4.0, -26, 2);
  arguments.insert(arguments.end(), small.begin(), small.end());
  std::ifstream in(CORVANTA_PORTABLE_MATH_HARD_CASES);
  ASSERT_TRUE(in) << "cannot open " << CORVANTA_PORTABLE_MATH_HARD_CASES;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name, argument;
    fields >> name >> argument;
    arguments.push_back(fromBits(std::stoull(argument, nullptr, 16)));
  }
  long decided = 0;
  long tried = 0;
  for (const double x : arguments) {
    const double ax = std::fabs(x);
    // The fast sine and cosine take finite arguments below 1.5e6 only (larger ones go to
    // the accurate path, whose reduction they lack).
    if (ax < 1.5e6) {
      double s1 = 0.0, c1 = 0.0, s2 = 0.0, c2 = 0.0;
      const bool d1 = cm::dekker::sinCosFast(x, &s1, &c1);
      const bool d2 = cm::fused::sinCosFast(x, &s2, &c2);
      ASSERT_EQ(d1, d2) << "sincos " << std::hexfloat << x;
      if (d1) {
        ASSERT_TRUE(bitsOf(s1) == bitsOf(s2) && bitsOf(c1) == bitsOf(c2)) << "sincos " << std::hexfloat << x;
      }
      decided += d1;
      ++tried;
    }
    if (ax >= 0x1p-27 && ax <= 0x1p60) {
      bool a1 = false, a2 = false;
      const double t1 = cm::dekker::atanFast(ax, a1);
      const double t2 = cm::fused::atanFast(ax, a2);
      ASSERT_EQ(a1, a2) << "atan " << std::hexfloat << x;
      if (a1) {
        ASSERT_EQ(bitsOf(t1), bitsOf(t2)) << "atan " << std::hexfloat << x;
      }
    }
    const double e = std::fmod(x, 700.0);
    if (std::fabs(e) >= 0x1p-54) {
      double r1 = 0.0, r2 = 0.0;
      const bool e1 = cm::dekker::expFast(e, r1);
      ASSERT_EQ(e1, cm::fused::expFast(e, r2)) << "exp " << std::hexfloat << e;
      if (e1) {
        ASSERT_EQ(bitsOf(r1), bitsOf(r2)) << "exp " << std::hexfloat << e;
      }
    }
  }
  EXPECT_GT(decided, tried * 9 / 10);
}
#endif

}  // namespace
namespace corvanta_math {
namespace dekker {
void sinCosQuickForTests(double x, double parts[4], double bounds[2]);
int expQuickForTests(double x, double parts[2], double bounds[1]);
void atanQuickForTests(double ax, double parts[2], double bounds[1]);
bool sinCosSecondStageForTests(double x, double *sine, double *cosine);
double atanSecondStageForTests(double ax, bool &decided);
bool sinCosQuickTestForTests(double hi, double lo, double &result, double &bound);
bool atanQuickTestForTests(double hi, double lo, double &result, double &bound);
}  // namespace dekker
#if defined(CORVANTA_PORTABLE_MATH_FUSED)
namespace fused {
void sinCosQuickForTests(double x, double parts[4], double bounds[2]);
int expQuickForTests(double x, double parts[2], double bounds[1]);
void atanQuickForTests(double ax, double parts[2], double bounds[1]);
bool sinCosSecondStageForTests(double x, double *sine, double *cosine);
double atanSecondStageForTests(double ax, bool &decided);
bool sinCosQuickTestForTests(double hi, double lo, double &result, double &bound);
bool atanQuickTestForTests(double hi, double lo, double &result, double &bound);
}  // namespace fused
#endif
}  // namespace corvanta_math
namespace {

// |hi + lo - f(x) 2^-k| over bound, at 300 bits.
double errorOverBound(MpfrFunction f, double x, int k, double hi, double lo, double bound) {
  mpfr_t a, exact, approximation;
  mpfr_inits2(300, a, exact, approximation, static_cast<mpfr_ptr>(nullptr));
  mpfr_set_d(a, x, MPFR_RNDN);
  f(exact, a, MPFR_RNDN);
  mpfr_mul_2si(exact, exact, -k, MPFR_RNDN);
  mpfr_set_d(approximation, hi, MPFR_RNDN);
  mpfr_add_d(approximation, approximation, lo, MPFR_RNDN);  // exact at 300 bits
  mpfr_sub(approximation, approximation, exact, MPFR_RNDN);
  mpfr_abs(approximation, approximation, MPFR_RNDN);
  mpfr_div_d(approximation, approximation, bound, MPFR_RNDN);
  const double ratio = mpfr_get_d(approximation, MPFR_RNDU);
  mpfr_clears(a, exact, approximation, static_cast<mpfr_ptr>(nullptr));
  return ratio;
}

using SinCosQuick = void (*)(double, double *, double *);
using ExpQuick = int (*)(double, double *, double *);
using AtanQuick = void (*)(double, double *, double *);

// The quick stages' approximations (before their rounding tests) lie within the error
// bounds those tests use, on random arguments of their whole domains: a bound too small
// for its evaluation, or an evaluation worse than its bound, fails here even where no
// result happens to be misrounded.  The largest error over bound is printed.
// The trigonometric arguments include a set below 0.8, where the quick stage takes no
// reduction, and the atan arguments a set on [0, 1] and one beyond 1 (the reciprocal).
void expectQuickStagesWithinBounds(const char *build, SinCosQuick sinCos, ExpQuick exp, AtanQuick atan) {
  std::vector<double> trig = randomArguments(11, -16383.0, 16383.0, -26, 13);
  const std::vector<double> smallTrig = randomArguments(13, -0.8, 0.8, -26, -1);
  trig.insert(trig.end(), smallTrig.begin(), smallTrig.end());
  std::vector<double> expArguments = randomArguments(12, -708.0, 709.0, -54, 9);
  std::vector<double> atanArguments = randomArguments(14, 0.0, 1.0, -27, 60);
  const std::vector<double> atanBeyondOne = randomArguments(15, 1.0, 40.0, 0, 6);
  atanArguments.insert(atanArguments.end(), atanBeyondOne.begin(), atanBeyondOne.end());
  double worstSin = 0.0, worstCos = 0.0, worstExp = 0.0, worstAtan = 0.0;
  for (std::size_t i = 0; i < atanArguments.size(); i += 5) {
    const double ax = std::fabs(atanArguments[i]);
    if (!(ax >= 0x1p-27 && ax <= 0x1p60)) continue;
    double parts[2], bounds[1];
    atan(ax, parts, bounds);
    worstAtan = std::max(worstAtan, errorOverBound(mpfr_atan, ax, 0, parts[0], parts[1], bounds[0]));
  }
  for (std::size_t i = 0; i < trig.size(); i += 5) {
    const double x = trig[i];
    double parts[4], bounds[2];
    sinCos(x, parts, bounds);
    worstSin = std::max(worstSin, errorOverBound(mpfr_sin, x, 0, parts[0], parts[1], bounds[0]));
    worstCos = std::max(worstCos, errorOverBound(mpfr_cos, x, 0, parts[2], parts[3], bounds[1]));
  }
  for (std::size_t i = 0; i < expArguments.size(); i += 5) {
    const double x = expArguments[i];
    if (!(x >= -708.0 && x <= 708.0)) continue;
    double parts[2], bounds[1];
    const int k = exp(x, parts, bounds);
    worstExp = std::max(worstExp, errorOverBound(mpfr_exp, x, k, parts[0], parts[1], bounds[0]));
  }
  std::printf("%s quick stages, largest error over bound: sin %.3g, cos %.3g, exp %.3g, atan %.3g\n", build, worstSin,
              worstCos, worstExp, worstAtan);
  EXPECT_LE(worstSin, 1.0) << build;
  EXPECT_LE(worstCos, 1.0) << build;
  EXPECT_LE(worstExp, 1.0) << build;
  EXPECT_LE(worstAtan, 1.0) << build;
}

TEST(PortableMath, QuickStagesWithinTheirBounds) {
  expectQuickStagesWithinBounds("Dekker products:", corvanta_math::dekker::sinCosQuickForTests,
                                corvanta_math::dekker::expQuickForTests, corvanta_math::dekker::atanQuickForTests);
#if defined(CORVANTA_PORTABLE_MATH_FUSED)
  if (__builtin_cpu_supports("fma")) {
    expectQuickStagesWithinBounds("fused products:", corvanta_math::fused::sinCosQuickForTests,
                                  corvanta_math::fused::expQuickForTests, corvanta_math::fused::atanQuickForTests);
  }
#endif
}

using QuickTest = bool (*)(double, double, double &, double &);

// The quick stages' rounding tests take at least the error bounds that their
// approximations are checked against above: an approximation within its bound of a
// rounding boundary (the midpoint between hi and the next double) is never decided, and
// one three bounds away always is, with the nearer double.
void expectRoundingTestHonoursBound(const char *name, QuickTest test) {
  std::mt19937_64 random(41);
  std::size_t wronglyDecided = 0, wronglyUndecided = 0;
  for (int i = 0; i < 20000; ++i) {
    const int exponent = -20 + static_cast<int>(random() % 21);
    const double hi = std::ldexp(1.0 + static_cast<double>(random() >> 12) * 0x1p-52, exponent);
    const double halfUlp = (std::nextafter(hi, 4.0) - hi) / 2.0;
    double result, bound;
    test(hi, halfUlp, result, bound);  // bound for hi
    const double u = std::uniform_real_distribution<double>(-1.0, 1.0)(random);
    if (test(hi, halfUlp + u * bound, result, bound)) ++wronglyDecided;
    const double far = (random() & 1u) ? 3.0 : -3.0;
    if (!test(hi, halfUlp + far * bound, result, bound) || result != (far > 0.0 ? std::nextafter(hi, 4.0) : hi)) {
      ++wronglyUndecided;
    }
  }
  EXPECT_EQ(wronglyDecided, 0u) << name << ": decided within the bound of a rounding boundary";
  EXPECT_EQ(wronglyUndecided, 0u) << name << ": undecided (or misrounded) three bounds away";
}

TEST(PortableMath, QuickRoundingTestsHonourTheirBounds) {
  expectRoundingTestHonoursBound("sin/cos, Dekker products", corvanta_math::dekker::sinCosQuickTestForTests);
  expectRoundingTestHonoursBound("atan, Dekker products", corvanta_math::dekker::atanQuickTestForTests);
#if defined(CORVANTA_PORTABLE_MATH_FUSED)
  if (__builtin_cpu_supports("fma")) {
    expectRoundingTestHonoursBound("sin/cos, fused products", corvanta_math::fused::sinCosQuickTestForTests);
    expectRoundingTestHonoursBound("atan, fused products", corvanta_math::fused::atanQuickTestForTests);
  }
#endif
}

using SinCosStage = bool (*)(double, double *, double *);
using AtanStage = double (*)(double, bool &);

// The double-double stages on their own: the quick stages decide all but about one
// argument in 2^6 (sin, cos) to 2^8 (atan) before them, so that the whole functions
// rarely reach them.  Every result they decide is correctly rounded, on random arguments
// and on the neighbourhoods of the atan table's points i/1024 and their reciprocals, and
// they decide nearly all.
void expectSecondStagesCorrectlyRounded(const char *build, SinCosStage sinCos, AtanStage atan) {
  const std::size_t n = std::max<std::size_t>(1, samples() / 10);
  const std::vector<double> trig = randomArguments(31, -100.0, 100.0, -26, 19, n);
  std::size_t wrong = 0, undecided = 0;
  for (const double x : trig) {
    double s = 0.0, c = 0.0;
    if (!sinCos(x, &s, &c)) {
      ++undecided;
      continue;
    }
    if (bitsOf(s) != bitsOf(oracle(mpfr_sin, x)) || bitsOf(c) != bitsOf(oracle(mpfr_cos, x))) {
      if (++wrong <= 5) ADD_FAILURE() << build << " sincos second stage (" << std::hexfloat << x << ")";
    }
  }
  EXPECT_EQ(wrong, 0u) << build << " sin/cos second stage";
  EXPECT_LT(undecided, trig.size() / 100) << build << " sin/cos second stage";
  std::vector<double> points;
  for (int i = 1; i <= 1024; ++i) {
    points.push_back(i / 1024.0);
    points.push_back(1024.0 / i);
  }
  std::vector<double> atanArguments = neighbourhoods(points);
  const std::vector<double> random = randomArguments(32, 0.0, 4.0, -27, 60, n);
  atanArguments.insert(atanArguments.end(), random.begin(), random.end());
  wrong = undecided = 0;
  std::size_t tried = 0;
  for (const double x : atanArguments) {
    const double ax = std::fabs(x);
    if (!(ax >= 0x1p-27 && ax <= 0x1p60)) continue;
    ++tried;
    bool decided = false;
    const double y = atan(ax, decided);
    if (!decided) {
      ++undecided;
      continue;
    }
    if (bitsOf(y) != bitsOf(oracle(mpfr_atan, ax)) && ++wrong <= 5) {
      ADD_FAILURE() << build << " atan second stage (" << std::hexfloat << ax << ")";
    }
  }
  EXPECT_EQ(wrong, 0u) << build << " atan second stage";
  EXPECT_LT(undecided, tried / 100) << build << " atan second stage";
  std::printf("%s second stages: sin/cos %zu arguments, atan %zu\n", build, trig.size(), tried);
}

TEST(PortableMath, SecondStagesCorrectlyRounded) {
  expectSecondStagesCorrectlyRounded("Dekker products:", corvanta_math::dekker::sinCosSecondStageForTests,
                                     corvanta_math::dekker::atanSecondStageForTests);
#if defined(CORVANTA_PORTABLE_MATH_FUSED)
  if (__builtin_cpu_supports("fma")) {
    expectSecondStagesCorrectlyRounded("fused products:", corvanta_math::fused::sinCosSecondStageForTests,
                                       corvanta_math::fused::atanSecondStageForTests);
  }
#endif
}

TEST(PortableMathRandom, Sin) { expectCorrectlyRounded(kSin, randomArguments(1, -10.0, 10.0, -30, 30)); }
TEST(PortableMathRandom, Cos) { expectCorrectlyRounded(kCos, randomArguments(2, -10.0, 10.0, -30, 30)); }
TEST(PortableMathRandom, HugeTrigArguments) {
  // Beyond the fast path's reduction: 2/pi to 1536 bits.  One in 50 of the samples.
  std::vector<double> arguments = randomArguments(6, -1e300, 1e300, 20, 1023);
  arguments.resize(arguments.size() / 50);
  expectCorrectlyRounded(kSin, arguments);
  expectCorrectlyRounded(kCos, arguments);
}
TEST(PortableMathRandom, Sincos) {
  const std::vector<double> arguments = randomArguments(3, -1e3, 1e3, -30, 40);
  expectCorrectlyRounded(kSincosSin, arguments);
  expectCorrectlyRounded(kSincosCos, arguments);
}
// The domains of the quick stages without reduction or division, and their edges: sin,
// cos and sincos below 0.8 (and log-uniform up to 1, beyond the edge), atan on [-1, 1]
// and from 1 to 64 (a reciprocal first).  A quarter of the samples of the other groups.
TEST(PortableMathRandom, QuickStageDomains) {
  const std::size_t n = std::max<std::size_t>(1, samples() / 4);
  const std::vector<double> trig = randomArguments(21, -0.8, 0.8, -26, -1, n);
  expectCorrectlyRounded(kSin, trig);
  expectCorrectlyRounded(kCos, trig);
  expectCorrectlyRounded(kSincosSin, trig);
  expectCorrectlyRounded(kSincosCos, trig);
  expectCorrectlyRounded(kAtan, randomArguments(22, -1.0, 1.0, -27, -1, n));
  expectCorrectlyRounded(kAtan, randomArguments(23, 1.0, 64.0, 0, 6, n));
}
TEST(PortableMathRandom, Atan) { expectCorrectlyRounded(kAtan, randomArguments(4, -4.0, 4.0, -30, 64)); }
TEST(PortableMathRandom, Exp) { expectCorrectlyRounded(kExp, randomArguments(5, -746.0, 710.0, -56, 9)); }

}  // namespace
