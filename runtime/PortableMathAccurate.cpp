// Fixed-point evaluation of exp, sin, cos and atan: numbers of kFixedWords 32-bit words
// (two's complement, value = integer / 2^352), exact argument reduction (the argument's
// 53-bit significand times up to 1536 bits of 2/pi, or minus k ln 2), Taylor series and
// CORDIC, and one final rounding of the fixed-point value to a double.
#include "runtime/PortableMathAccurate.h"

#include <cstdint>
#include <cstring>

#include "runtime/PortableMathTables.h"

namespace corvanta_math {
namespace {

constexpr int kWords = kFixedWords;
constexpr int kBits = 32 * kWords;

struct Fixed {
  std::uint32_t w[kWords];
};

Fixed zero() {
  Fixed r;
  for (auto &word : r.w) word = 0;
  return r;
}

Fixed fromWords(const std::uint32_t *words) {
  Fixed r;
  for (int i = 0; i < kWords; ++i) r.w[i] = words[i];
  return r;
}

// 2^(bit - 352): a single set bit.
Fixed powerOfTwo(int bit) {
  Fixed r = zero();
  r.w[bit / 32] = 1u << (bit % 32);
  return r;
}

// m * 2^shift in units of 2^-352, truncated towards zero; bits beyond the top are lost.
Fixed fromScaled(std::uint64_t m, int shift) {
  Fixed r = zero();
  if (shift < 0) {
    if (shift <= -64) return r;
    m >>= -shift;
    shift = 0;
  }
  const int word = shift / 32;
  const int bit = shift % 32;
  const std::uint32_t parts[3] = {static_cast<std::uint32_t>(m << bit),
                                  static_cast<std::uint32_t>(bit == 0 ? (m >> 32) : (m >> (32 - bit))),
                                  static_cast<std::uint32_t>(bit == 0 ? 0 : (m >> (64 - bit)))};
  for (int i = 0; i < 3; ++i) {
    if (word + i < kWords) r.w[word + i] = parts[i];
  }
  return r;
}

bool isNegative(const Fixed &a) { return (a.w[kWords - 1] >> 31) != 0; }

bool isZero(const Fixed &a) {
  for (const auto word : a.w) {
    if (word != 0) return false;
  }
  return true;
}

void add(Fixed &a, const Fixed &b) {
  std::uint64_t carry = 0;
  for (int i = 0; i < kWords; ++i) {
    const std::uint64_t t = std::uint64_t{a.w[i]} + b.w[i] + carry;
    a.w[i] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
}

void subtract(Fixed &a, const Fixed &b) {
  std::uint64_t borrow = 0;
  for (int i = 0; i < kWords; ++i) {
    const std::uint64_t t = std::uint64_t{a.w[i]} - b.w[i] - borrow;
    a.w[i] = static_cast<std::uint32_t>(t);
    borrow = (t >> 32) & 1u;
  }
}

void negate(Fixed &a) {
  Fixed r = zero();
  subtract(r, a);
  a = r;
}

// Arithmetic shift right by k >= 0 bits (floor division by 2^k).
Fixed shiftedRight(const Fixed &a, int k) {
  const std::uint32_t fill = isNegative(a) ? 0xFFFFFFFFu : 0u;
  Fixed r;
  const int words = k / 32;
  const int bits = k % 32;
  for (int i = 0; i < kWords; ++i) {
    const int j = i + words;
    const std::uint32_t lo = j < kWords ? a.w[j] : fill;
    const std::uint32_t hi = j + 1 < kWords ? a.w[j + 1] : fill;
    r.w[i] = bits == 0 ? lo : ((lo >> bits) | (hi << (32 - bits)));
  }
  return r;
}

// a * b for non-negative a and b, truncated to 352 fraction bits.  Partial products
// below word 9 of the 24-word product are left out: together they are below 2^-378.
Fixed multiply(const Fixed &a, const Fixed &b) {
  constexpr int kFirstWord = 9;
  std::uint32_t p[2 * kWords] = {};
  for (int i = 0; i < kWords; ++i) {
    if (a.w[i] == 0) continue;
    std::uint64_t carry = 0;
    for (int j = i < kFirstWord ? kFirstWord - i : 0; j < kWords; ++j) {
      const std::uint64_t t = std::uint64_t{a.w[i]} * b.w[j] + p[i + j] + carry;
      p[i + j] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    p[i + kWords] = static_cast<std::uint32_t>(carry);
  }
  Fixed r;
  for (int i = 0; i < kWords; ++i) r.w[i] = p[i + kFixedFractionBits / 32];
  return r;
}

// a * m for non-negative a.
void multiplySmall(Fixed &a, std::uint32_t m) {
  std::uint64_t carry = 0;
  for (int i = 0; i < kWords; ++i) {
    const std::uint64_t t = std::uint64_t{a.w[i]} * m + carry;
    a.w[i] = static_cast<std::uint32_t>(t);
    carry = t >> 32;
  }
}

// a / d for non-negative a, truncated.
void divideSmall(Fixed &a, std::uint32_t d) {
  std::uint64_t rest = 0;
  for (int i = kWords - 1; i >= 0; --i) {
    const std::uint64_t t = (rest << 32) | a.w[i];
    a.w[i] = static_cast<std::uint32_t>(t / d);
    rest = t % d;
  }
}

int bitAt(const Fixed &a, int i) {
  if (i < 0 || i >= kBits) return 0;
  return static_cast<int>((a.w[i / 32] >> (i % 32)) & 1u);
}

bool anyBitBelow(const Fixed &a, int i) {
  if (i > kBits) i = kBits;
  for (int k = 0; k < i; ++k) {
    if (bitAt(a, k)) return true;
  }
  return false;
}

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

// a * 2^scale for non-negative a, rounded to the nearest double (ties to even), with
// gradual underflow and overflow to +inf.
double roundToDouble(const Fixed &a, int scale) {
  int top = kBits - 1;
  while (top >= 0 && !bitAt(a, top)) --top;
  if (top < 0) return 0.0;
  const int lowestAllowed = -1074 + kFixedFractionBits - scale;  // bit of weight 2^-1074
  const int low = top - 52 > lowestAllowed ? top - 52 : lowestAllowed;
  std::uint64_t m = 0;
  for (int i = top; i >= low; --i) m = (m << 1) | static_cast<std::uint64_t>(bitAt(a, i));
  const bool roundBit = bitAt(a, low - 1) != 0;
  const bool sticky = anyBitBelow(a, low - 1);
  if (roundBit && (sticky || (m & 1u))) ++m;
  int exponent = low - kFixedFractionBits + scale;  // weight of m's unit bit
  if (m == (std::uint64_t{1} << 53)) {
    m >>= 1;
    ++exponent;
  }
  if (m >= (std::uint64_t{1} << 52)) {
    const int biased = exponent + 52 + 1023;
    if (biased >= 2047) return fromBits(0x7FF0000000000000ULL);
    return fromBits((static_cast<std::uint64_t>(biased) << 52) | (m & ((std::uint64_t{1} << 52) - 1)));
  }
  return fromBits(m);  // subnormal or zero: exponent is -1074
}

// |x| = m * 2^e for finite non-zero x.
void decompose(double x, std::uint64_t &m, int &e) {
  const std::uint64_t bits = toBits(x) & 0x7FFFFFFFFFFFFFFFULL;
  const int biased = static_cast<int>(bits >> 52);
  m = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) {
    e = -1074;
  } else {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }
}

double withSign(double magnitude, bool negative) { return negative ? -magnitude : magnitude; }

}  // namespace

double accurateExp(double x) {
  // x = k ln 2 + r, |r| <= 0.35; exp(r) = exp(r / 256)^256.
  const double shifter = 6755399441055744.0;  // 1.5 * 2^52: rounds to an integer
  const double kd = (x * 1.4426950408889634 + shifter) - shifter;
  const int k = static_cast<int>(kd);
  std::uint64_t m;
  int e;
  decompose(x, m, e);
  Fixed r = fromScaled(m, e + kFixedFractionBits);
  if (x < 0.0) negate(r);
  Fixed kLn2 = fromWords(kFixedLn2);
  multiplySmall(kLn2, static_cast<std::uint32_t>(k < 0 ? -k : k));
  if (k < 0) {
    add(r, kLn2);
  } else {
    subtract(r, kLn2);
  }
  const bool negative = isNegative(r);
  if (negative) negate(r);
  r = shiftedRight(r, 8);
  Fixed sum = powerOfTwo(kFixedFractionBits);
  Fixed term = sum;
  for (std::uint32_t n = 1; n < 64; ++n) {
    term = multiply(term, r);
    divideSmall(term, n);
    if (isZero(term)) break;
    if (negative && (n & 1u)) {
      subtract(sum, term);
    } else {
      add(sum, term);
    }
  }
  for (int i = 0; i < 8; ++i) sum = multiply(sum, sum);
  return roundToDouble(sum, k);
}

void accurateSinCos(double x, double *sine, double *cosine) {
  std::uint64_t m;
  int e;
  decompose(x, m, e);
  // |x| * 2/pi modulo 4: the words of 2/pi whose products with m are multiples of 4 are
  // left out; 15 words from there leave an error below 2^-390.
  const int first = e - 2 >= 0 ? (e - 2) / 32 : 0;
  constexpr int kSpan = 15;
  std::uint32_t product[kSpan + 2] = {};
  const std::uint32_t mWords[2] = {static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(m >> 32)};
  for (int i = 0; i < 2; ++i) {
    std::uint64_t carry = 0;
    for (int j = 0; j < kSpan; ++j) {
      const std::uint32_t word = kTwoOverPiWords[first + kSpan - 1 - j];
      const std::uint64_t t = std::uint64_t{mWords[i]} * word + product[i + j] + carry;
      product[i + j] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    product[i + kSpan] = static_cast<std::uint32_t>(carry);
  }
  // product * 2^(e - 32 (first + kSpan)) in units of 2^-352: a right shift by 94 to 208 bits.
  const int shift = 32 * (first + kSpan) - e - kFixedFractionBits;
  Fixed f;
  for (int i = 0; i < kWords; ++i) {
    const int bit = shift + 32 * i;
    const int word = bit / 32;
    const int offset = bit % 32;
    const std::uint32_t lo = word < kSpan + 2 ? product[word] : 0u;
    const std::uint32_t hi = word + 1 < kSpan + 2 ? product[word + 1] : 0u;
    f.w[i] = offset == 0 ? lo : ((lo >> offset) | (hi << (32 - offset)));
  }
  unsigned quadrant = f.w[kWords - 1] & 3u;
  f.w[kWords - 1] = 0;
  if (bitAt(f, kFixedFractionBits - 1)) {  // fraction >= 1/2: take fraction - 1
    f.w[kWords - 1] = 0xFFFFFFFFu;
    quadrant = (quadrant + 1) & 3u;
  }
  const bool negativeR = isNegative(f);
  if (negativeR) negate(f);
  const Fixed r = multiply(f, fromWords(kFixedPiOver2));  // |r| <= pi/4
  const Fixed z = multiply(r, r);
  // sin x takes sin r for an even quadrant and cos r for an odd one; cos x the other.
  const bool odd = (quadrant & 1u) != 0;
  const bool needSin = (sine != nullptr && !odd) || (cosine != nullptr && odd);
  const bool needCos = (sine != nullptr && odd) || (cosine != nullptr && !odd);

  Fixed s = r;
  Fixed term = r;
  for (std::uint32_t n = 1; needSin && n < 64; ++n) {
    term = multiply(term, z);
    divideSmall(term, (2 * n) * (2 * n + 1));
    if (isZero(term)) break;
    if (n & 1u) {
      subtract(s, term);
    } else {
      add(s, term);
    }
  }
  Fixed c = powerOfTwo(kFixedFractionBits);
  term = c;
  for (std::uint32_t n = 1; needCos && n < 64; ++n) {
    term = multiply(term, z);
    divideSmall(term, (2 * n - 1) * (2 * n));
    if (isZero(term)) break;
    if (n & 1u) {
      subtract(c, term);
    } else {
      add(c, term);
    }
  }
  const double sinR = needSin ? withSign(roundToDouble(s, 0), negativeR) : 0.0;
  const double cosR = needCos ? roundToDouble(c, 0) : 0.0;
  double sinX, cosX;
  switch (quadrant) {
    case 0:
      sinX = sinR;
      cosX = cosR;
      break;
    case 1:
      sinX = cosR;
      cosX = -sinR;
      break;
    case 2:
      sinX = -sinR;
      cosX = -cosR;
      break;
    default:
      sinX = -cosR;
      cosX = sinR;
      break;
  }
  if (sine != nullptr) *sine = x < 0.0 ? -sinX : sinX;
  if (cosine != nullptr) *cosine = cosX;
}

double accurateAtan(double x) {
  // CORDIC in vectoring mode: rotate (a, b), a vector at angle atan|x|, towards the
  // axis by +-atan(2^-k), k = 0 .. 63, adding up the rotations; the remaining angle
  // atan(b/a), |b/a| < 2^-62, is b/a - (b/a)^3/3 + (b/a)^5/5 to 2^-430.
  std::uint64_t m;
  int e;
  decompose(x, m, e);
  const int exponent = e + 52;  // |x| in [2^exponent, 2^(exponent + 1))
  Fixed a, b;
  if (exponent < 0) {
    a = powerOfTwo(kFixedFractionBits - 1);         // 1/2
    b = fromScaled(m, e - 1 + kFixedFractionBits);  // |x| / 2
  } else {
    a = powerOfTwo(kFixedFractionBits - exponent - 2);  // 2^-(exponent + 2)
    b = fromScaled(m, kFixedFractionBits - 54);         // |x| 2^-(exponent + 2)
  }
  Fixed angle = zero();
  for (int k = 0; k < kAtanPowerCount; ++k) {
    const Fixed da = shiftedRight(b, k);
    const Fixed db = shiftedRight(a, k);
    const Fixed step = fromWords(kFixedAtanPowers[k]);
    if (!isNegative(b)) {
      add(a, da);
      subtract(b, db);
      add(angle, step);
    } else {
      subtract(a, da);
      add(b, db);
      subtract(angle, step);
    }
  }
  // 1/a by Newton's iteration y <- y (2 - a y) from the double reciprocal (a in [1/4, 2)).
  const double aApprox = static_cast<double>(a.w[kWords - 1]) + static_cast<double>(a.w[kWords - 2]) * 0x1p-32 +
                         static_cast<double>(a.w[kWords - 3]) * 0x1p-64;
  std::uint64_t ym;
  int ye;
  decompose(1.0 / aApprox, ym, ye);
  Fixed y = fromScaled(ym, ye + kFixedFractionBits);
  const Fixed two = powerOfTwo(kFixedFractionBits + 1);
  for (int i = 0; i < 3; ++i) {
    Fixed correction = two;
    subtract(correction, multiply(a, y));
    y = multiply(y, correction);
  }
  const bool negativeT = isNegative(b);
  if (negativeT) negate(b);
  const Fixed t = multiply(b, y);
  const Fixed t2 = multiply(t, t);
  Fixed t3 = multiply(t2, t);
  Fixed t5 = multiply(t3, t2);
  divideSmall(t3, 3);
  divideSmall(t5, 5);
  Fixed rest = t;
  subtract(rest, t3);
  add(rest, t5);
  if (negativeT) {
    subtract(angle, rest);
  } else {
    add(angle, rest);
  }
  return withSign(roundToDouble(angle, 0), x < 0.0);
}

}  // namespace corvanta_math
