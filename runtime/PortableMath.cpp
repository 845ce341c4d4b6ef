// The fast paths of the portable maths functions: argument reduction and polynomial in
// double-double arithmetic (error-free sums and Dekker products, no fused multiply-add),
// an error bound, and the rounding test: when both ends of the error interval round to
// the same double, that double is the correctly rounded result; otherwise the
// fixed-point path of PortableMathAccurate.cpp decides.
//
// The error bounds (relative unless said otherwise) leave a margin of at least 2^5 over
// the errors of the evaluations below; the test fails for about one argument in 2^13
// (atan), 2^18 (exp) and 2^26 (sin, cos) of random arguments.
#include "PortableMath.h"

#include <cstdint>
#include <cstring>

#include "PortableMathAccurate.h"
#include "PortableMathTables.h"

namespace {

using namespace corvanta_math;

double fromBits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

std::uint64_t toBits(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

double magnitude(double x) { return fromBits(toBits(x) & 0x7FFFFFFFFFFFFFFFULL); }

constexpr double kShifter = 6755399441055744.0;  // 1.5 * 2^52: x + kShifter - kShifter rounds to an integer
constexpr double kSplitter = 134217729.0;        // 2^27 + 1

// s + e = a + b exactly.
inline void twoSum(double a, double b, double &s, double &e) {
  s = a + b;
  const double bb = s - a;
  e = (a - (s - bb)) + (b - bb);
}

// s + e = a + b exactly, for |a| >= |b| or a = 0.
inline void fastTwoSum(double a, double b, double &s, double &e) {
  s = a + b;
  e = b - (s - a);
}

// p + e = a * b exactly (Dekker), for |a|, |b| below 2^995.
inline void twoProduct(double a, double b, double &p, double &e) {
  p = a * b;
  const double ca = kSplitter * a;
  const double ah = ca - (ca - a);
  const double al = a - ah;
  const double cb = kSplitter * b;
  const double bh = cb - (cb - b);
  const double bl = b - bh;
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

// The rounding test: hi + lo (|lo| <= ulp(hi)) approximates the result within error
// (absolute).  True, with the rounded result, when both ends round alike.
inline bool roundsAlike(double hi, double lo, double error, double &result) {
  const double down = hi + (lo - error);
  const double up = hi + (lo + error);
  if (down != up) return false;
  result = down;
  return true;
}

constexpr double kTwoPowerMinus27 = 7.450580596923828125e-9;
constexpr double kTwoPowerMinus26 = 1.490116119384765625e-8;

// --- sin and cos --------------------------------------------------------------------

// Relative error bound of the double-double sine and cosine of the reduced argument
// (evaluation about 2^-95), and absolute error bound of the reduction (about 2^-129).
constexpr double kSinCosRelativeBound = 0x1p-80;
constexpr double kSinCosAbsoluteBound = 0x1p-124;
constexpr double kSinCosFastLimit = 1.5e6;  // |x| * 2/pi < 2^20: exact products n * part

// sin and cos of r = rh + rl, |r| <= pi/4 (a little more), as double-doubles; only the
// ones asked for (wantSin, wantCos) are computed.
void sinCosReduced(double rh, double rl, bool wantSin, bool wantCos, double &sh, double &sl, double &ch,
                   double &cl) {
  const bool negative = rh < 0.0;
  if (negative) {
    rh = -rh;
    rl = -rl;
  }
  // r = i/64 + t, |t| <= 1/128.
  const double id = (rh * 64.0 + kShifter) - kShifter;
  const int i = static_cast<int>(id);
  double th, tl;
  twoSum(rh - id * 0.015625, rl, th, tl);
  // z = t^2.
  double zh, zl;
  twoProduct(th, th, zh, zl);
  zl += 2.0 * th * tl;
  // sin t = t + t w, w = -z/6 + z^2/120 - ...
  const double sinTail =
      (zh * zh) * (1.0 / 120.0 + zh * (-1.0 / 5040.0 + zh * (1.0 / 362880.0 + zh * (-1.0 / 39916800.0))));
  constexpr double kSixthHi = 0x1.5555555555555p-3;    // 1/6
  constexpr double kSixthLo = 0x1.5555555555555p-57;   // 1/6 - kSixthHi
  double wh, wl;
  twoProduct(zh, -kSixthHi, wh, wl);
  wl += (sinTail - zh * kSixthLo) - zl * kSixthHi;
  double twh, twl;
  twoProduct(th, wh, twh, twl);
  twl += th * wl + tl * wh;
  double sth, stl;
  twoSum(th, twh, sth, stl);
  stl += tl + twl;
  // cos t - 1 = -z/2 + z^2/24 - ...
  const double cosTail = (zh * zh) * (1.0 / 24.0 + zh * (-1.0 / 720.0 +
                                                         zh * (1.0 / 40320.0 + zh * (-1.0 / 3628800.0 + zh * (1.0 / 479001600.0)))));
  double mh, ml;
  fastTwoSum(-0.5 * zh, cosTail - 0.5 * zl, mh, ml);
  // sin r = S + S (cos t - 1) + C sin t, cos r = C + C (cos t - 1) - S sin t.
  const double *entry = kSinCosTable[i];
  const double S = entry[0], Sl = entry[1], C = entry[2], Cl = entry[3];
  double p1, e1, p2, e2, u1, v1, u2, v2;
  if (wantSin) {
    twoProduct(S, mh, p1, e1);
    e1 += S * ml + Sl * mh;
    twoProduct(C, sth, p2, e2);
    e2 += C * stl + Cl * sth;
    twoSum(S, p2, u1, v1);
    twoSum(u1, p1, u2, v2);
    fastTwoSum(u2, ((Sl + e1) + e2) + (v1 + v2), sh, sl);
  } else {
    sh = sl = 0.0;
  }
  if (wantCos) {
    twoProduct(C, mh, p1, e1);
    e1 += C * ml + Cl * mh;
    twoProduct(S, sth, p2, e2);
    e2 += S * stl + Sl * sth;
    twoSum(C, -p2, u1, v1);
    twoSum(u1, p1, u2, v2);
    fastTwoSum(u2, ((Cl + e1) - e2) + (v1 + v2), ch, cl);
  } else {
    ch = cl = 0.0;
  }
  if (negative) {
    sh = -sh;
    sl = -sl;
  }
}

// x = n pi/2 + r for |x| < kSinCosFastLimit: n modulo 4 and r = rh + rl.
unsigned reduce(double x, double &rh, double &rl) {
  const double n = (x * 0x1.45f306dc9c883p-1 + kShifter) - kShifter;  // x * 2/pi rounded
  const double u = x - n * kPiOver2Parts[0];                            // exact
  double s1, e1, s2, e2;
  twoSum(u, -(n * kPiOver2Parts[1]), s1, e1);
  twoSum(s1, -(n * kPiOver2Parts[2]), s2, e2);
  twoSum(s2, (e1 + e2) - n * kPiOver2Parts[3], rh, rl);
  return static_cast<unsigned>(static_cast<std::int64_t>(n)) & 3u;
}

// sin x and cos x (either pointer may be null) by the fast path; false when undecided.
bool sinCosFast(double x, double *sine, double *cosine) {
  double rh, rl, sh, sl, ch, cl;
  const unsigned quadrant = reduce(x, rh, rl);
  // In the odd quadrants sin x comes from cos r and cos x from sin r.
  const bool odd = (quadrant & 1u) != 0;
  const bool wantSin = odd ? cosine != nullptr : sine != nullptr;
  const bool wantCos = odd ? sine != nullptr : cosine != nullptr;
  sinCosReduced(rh, rl, wantSin, wantCos, sh, sl, ch, cl);
  double sinHi, sinLo, cosHi, cosLo;
  switch (quadrant) {
    case 0: sinHi = sh; sinLo = sl; cosHi = ch; cosLo = cl; break;
    case 1: sinHi = ch; sinLo = cl; cosHi = -sh; cosLo = -sl; break;
    case 2: sinHi = -sh; sinLo = -sl; cosHi = -ch; cosLo = -cl; break;
    default: sinHi = -ch; sinLo = -cl; cosHi = sh; cosLo = sl; break;
  }
  bool decided = true;
  if (sine != nullptr) {
    decided = roundsAlike(sinHi, sinLo, magnitude(sinHi) * kSinCosRelativeBound + kSinCosAbsoluteBound, *sine);
  }
  if (cosine != nullptr && decided) {
    decided = roundsAlike(cosHi, cosLo, magnitude(cosHi) * kSinCosRelativeBound + kSinCosAbsoluteBound, *cosine);
  }
  return decided;
}

void sinCos(double x, double *sine, double *cosine) {
  const double ax = magnitude(x);
  if (!(ax < kTwoPowerMinus26)) {
    if (!(ax <= 1.7976931348623157e308)) {  // NaN, +-inf
      if (sine != nullptr) *sine = x - x;
      if (cosine != nullptr) *cosine = x - x;
      return;
    }
    if (ax < kSinCosFastLimit && sinCosFast(x, sine, cosine)) return;
    accurateSinCos(x, sine, cosine);
    return;
  }
  // |x| < 2^-26: sin x = x (1 - x^2/6 + ...) rounds to x.
  if (sine != nullptr) *sine = x;
  if (cosine != nullptr) {
    if (ax < kTwoPowerMinus27) {
      *cosine = 1.0;  // 1 - x^2/2 with x^2/2 below half an ulp of 1 below 1
    } else {
      if (!sinCosFast(x, nullptr, cosine)) accurateSinCos(x, nullptr, cosine);
    }
  }
}

// --- atan ---------------------------------------------------------------------------

// Evaluation error about 2^-74.
constexpr double kAtanRelativeBound = 0x1p-67;

double atanFast(double ax, bool &decided) {
  // u = ax or 1/ax, |u| <= 1, as a double-double.
  double uh = ax, ul = 0.0;
  const bool reflect = ax > 1.0;
  if (reflect) {
    uh = 1.0 / ax;
    double p, pe;
    twoProduct(uh, ax, p, pe);
    ul = ((1.0 - p) - pe) / ax;
  }
  // atan u = atan c + atan t, c = i/1024, t = (u - c) / (1 + u c), |t| <= 2^-11.
  const double id = (uh * 1024.0 + kShifter) - kShifter;
  const int i = static_cast<int>(id);
  const double c = id * 0x1p-10;
  double nh, nl;
  twoSum(uh - c, ul, nh, nl);
  double dp, de, dh, dl;
  twoProduct(uh, c, dp, de);
  twoSum(1.0, dp, dh, dl);
  dl += de + ul * c;
  const double th = nh / dh;
  double p, pe;
  twoProduct(th, dh, p, pe);
  const double tl = (((nh - p) - pe) + nl - th * dl) / dh;
  // atan t = t (1 + q), q = -z/3 + z^2/5 - z^3/7 + z^4/9.
  const double z = th * th;
  const double q = z * (-1.0 / 3.0 + z * (1.0 / 5.0 + z * (-1.0 / 7.0 + z * (1.0 / 9.0))));
  double sh, sl;
  twoSum(kAtanTable[i][0], th, sh, sl);
  sl += (kAtanTable[i][1] + tl) + th * q;
  if (reflect) {
    double rh, rl;
    twoSum(kPiOver2[0], -sh, rh, rl);
    rl += kPiOver2[1] - sl;
    sh = rh;
    sl = rl;
  }
  double yh, yl, result = 0.0;
  fastTwoSum(sh, sl, yh, yl);
  decided = roundsAlike(yh, yl, yh * kAtanRelativeBound, result);
  return result;
}

// --- exp ----------------------------------------------------------------------------

// Evaluation error about 2^-77.
constexpr double kExpRelativeBound = 0x1p-72;

}  // namespace

double Corvanta_sin(double x) {
  double s;
  sinCos(x, &s, nullptr);
  return s;
}

double Corvanta_cos(double x) {
  double c;
  sinCos(x, nullptr, &c);
  return c;
}

void Corvanta_sincos(double x, double *sine, double *cosine) { sinCos(x, sine, cosine); }

double Corvanta_atan(double x) {
  const double ax = magnitude(x);
  if (!(ax >= kTwoPowerMinus27)) return x + x * 0.0;  // atan x = x (1 - x^2/3) rounds to x; NaN stays NaN
  const bool negative = x < 0.0;
  if (ax > 0x1p60) {
    // atan x = pi/2 - 1/x + ... rounds to the double nearest pi/2 above 5.8e15; also +-inf.
    return negative ? -kPiOver2[0] : kPiOver2[0];
  }
  bool decided;
  double result = atanFast(ax, decided);
  if (!decided) result = accurateAtan(ax);
  return negative ? -result : result;
}

double Corvanta_exp(double x) {
  if (!(x >= -708.0 && x <= 709.0)) {
    if (x != x) return x + x;
    if (x > 709.8) return 0x1p1023 * 2.0;       // overflow: +inf
    if (x < -745.2) return 0x1p-1022 * 0x1p-60;  // underflow: +0
    return accurateExp(x);
  }
  if (magnitude(x) < 0x1p-54) return 1.0 + x;  // rounds to 1
  // x = (128 k + j) ln2/128 + r, |r| <= ln2/256 (a little more).
  const double nd = (x * 0x1.71547652b82fep+7 + kShifter) - kShifter;  // x * 128/ln2 rounded
  const std::int64_t n = static_cast<std::int64_t>(nd);
  const int j = static_cast<int>(n & 127);
  const int k = static_cast<int>((n - j) / 128);
  const double u = x - nd * kLn2Over128[0];  // exact
  double s1, e1, rh, rl;
  twoSum(u, -(nd * kLn2Over128[1]), s1, e1);
  twoSum(s1, e1 - nd * kLn2Over128[2], rh, rl);
  // exp r - 1 = r + r^2/2 + r^3 (1/6 + r/24 + ...).
  double qh, ql;
  twoProduct(rh, rh, qh, ql);
  ql += 2.0 * rh * rl;
  const double cubic = (rh * qh) * (1.0 / 6.0 + rh * (1.0 / 24.0 + rh * (1.0 / 120.0 + rh * (1.0 / 720.0 + rh * (1.0 / 5040.0)))));
  double ph, pl;
  twoSum(rh, 0.5 * qh, ph, pl);
  pl += (rl + 0.5 * ql) + cubic;
  // 2^(j/128) (1 + p).
  const double T = kExp2Table[j][0], Tl = kExp2Table[j][1];
  double a, b, s, e, yh, yl;
  twoProduct(T, ph, a, b);
  b += (T * pl + Tl * ph) + Tl;
  twoSum(T, a, s, e);
  fastTwoSum(s, e + b, yh, yl);
  double result;
  if (!roundsAlike(yh, yl, yh * kExpRelativeBound, result)) return accurateExp(x);
  return result * fromBits(static_cast<std::uint64_t>(k + 1023) << 52);  // exact: the result is normal
}
