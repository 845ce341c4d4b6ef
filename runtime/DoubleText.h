// Doubles to text and back as std::to_chars and std::from_chars do (shortest digits that
// read back to the same bits; strict, locale-independent reading), also on standard
// libraries without their floating-point overloads (the C++ library of Emscripten's
// WebAssembly toolchain).  There the functions below are built on the C library's exactly
// rounding printf and strtod: the shortest length is the smallest precision whose
// nearest decimal (or, beside a power of two, its neighbour across the value) reads back
// exactly, which is the string the standard overloads write.  The replacement is compiled
// everywhere (detail::) so that native tests compare it with the standard overloads.
#ifndef CORVANTA_ENGINE_DOUBLETEXT_H
#define CORVANTA_ENGINE_DOUBLETEXT_H

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#if defined(_LIBCPP_VERSION) && !defined(__cpp_lib_to_chars)
#define CORVANTA_DOUBLE_TEXT_REPLACED 1
#endif

namespace corvanta::doubletext {

namespace detail {

// Shortest decimal digits of a finite, nonzero |value|: `digits` (no leading or trailing
// zeros) times 10^(exponent - digit count + 1).
struct Decimal {
  char digits[24];
  int count = 0;
  int exponent = 0;
};

inline bool readsBack(const Decimal &decimal, double value) {
  char text[48];
  int length = 0;
  text[length++] = decimal.digits[0];
  if (decimal.count > 1) {
    text[length++] = '.';
    std::memcpy(text + length, decimal.digits + 1, static_cast<std::size_t>(decimal.count - 1));
    length += decimal.count - 1;
  }
  std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "e%d", decimal.exponent);
  const double back = std::strtod(text, nullptr);
  return std::memcmp(&back, &value, sizeof back) == 0;
}

// The nearest decimal of `precision` digits (printf rounds exactly, ties to even).
inline Decimal nearest(double magnitude, int precision) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*e", precision - 1, magnitude);
  Decimal decimal;
  const char *p = text;
  for (; *p != 'e'; ++p) {
    if (*p != '.') {
      decimal.digits[decimal.count++] = *p;
    }
  }
  decimal.exponent = std::atoi(p + 1);
  return decimal;
}

// The decimal one unit in the last digit above (+1) or below (-1); false when it has
// fewer digits (such a decimal was a candidate of a smaller precision already).
inline bool neighbour(Decimal &decimal, int direction) {
  int position = decimal.count - 1;
  if (direction > 0) {
    while (position >= 0 && decimal.digits[position] == '9') {
      decimal.digits[position--] = '0';
    }
    if (position < 0) {
      decimal.digits[0] = '1';  // 99..9 + 1 = 10..0: the same count, one decade up
      ++decimal.exponent;
      return true;
    }
    ++decimal.digits[position];
    return true;
  }
  while (position >= 0 && decimal.digits[position] == '0') {
    decimal.digits[position--] = '9';
  }
  if (position < 0) {
    return false;
  }
  --decimal.digits[position];
  return decimal.digits[0] != '0';
}

// The shortest decimal of `precision` digits that reads back to `magnitude`, if any.
inline bool candidate(double magnitude, int precision, Decimal &found) {
  found = nearest(magnitude, precision);
  if (readsBack(found, magnitude)) {
    return true;
  }
  for (const int direction : {1, -1}) {
    Decimal other = found;
    if (neighbour(other, direction) && readsBack(other, magnitude)) {
      found = other;
      return true;
    }
  }
  return false;
}

// Shortest digits of a finite, nonzero magnitude.  A precision that reads back makes
// every larger one read back, so the smallest is found by bisection.
inline Decimal shortest(double magnitude) {
  int low = 1;
  int high = 17;  // 17 significant digits always read back
  Decimal best;
  candidate(magnitude, high, best);
  while (low < high) {
    const int middle = (low + high) / 2;
    Decimal found;
    if (candidate(magnitude, middle, found)) {
      high = middle;
      best = found;
    } else {
      low = middle + 1;
    }
  }
  // Trailing zeros carry no digit of their own (a neighbour can end in them).
  while (best.count > 1 && best.digits[best.count - 1] == '0') {
    --best.count;
  }
  return best;
}

inline std::string scientificText(const Decimal &decimal) {
  std::string text(1, decimal.digits[0]);
  if (decimal.count > 1) {
    text += '.';
    text.append(decimal.digits + 1, static_cast<std::size_t>(decimal.count - 1));
  }
  char exponent[16];
  std::snprintf(exponent, sizeof exponent, "e%c%02d", decimal.exponent < 0 ? '-' : '+',
                decimal.exponent < 0 ? -decimal.exponent : decimal.exponent);
  return text + exponent;
}

// The fixed form of `magnitude` with the shortest digits `decimal`.  A whole number whose
// shortest digits stop before the units is written with all its exact digits (as "%.0f"
// writes it), not with zeros in their place: the standard overloads do the same.
inline std::string fixedText(const Decimal &decimal, double magnitude) {
  const std::string digits(decimal.digits, static_cast<std::size_t>(decimal.count));
  if (decimal.exponent < 0) {
    return "0." + std::string(static_cast<std::size_t>(-decimal.exponent - 1), '0') + digits;
  }
  const std::size_t whole = static_cast<std::size_t>(decimal.exponent) + 1;
  if (whole > digits.size()) {
    const int length = std::snprintf(nullptr, 0, "%.0f", magnitude);
    std::string exact(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(exact.data(), exact.size(), "%.0f", magnitude);
    exact.resize(static_cast<std::size_t>(length));
    return exact;
  }
  if (whole == digits.size()) {
    return digits;
  }
  return digits.substr(0, whole) + "." + digits.substr(whole);
}

// The text std::to_chars writes for `value` in `format` (0: plain, the shorter of fixed
// and scientific, fixed on a tie).
inline std::string text(double value, int format) {
  const std::string sign = std::signbit(value) ? "-" : "";
  if (std::isnan(value)) {
    return sign + "nan";
  }
  if (std::isinf(value)) {
    return sign + "inf";
  }
  if (value == 0.0) {
    return sign + (format == static_cast<int>(std::chars_format::scientific) ? "0e+00" : "0");
  }
  const double magnitude = std::fabs(value);
  const Decimal decimal = shortest(magnitude);
  if (format == static_cast<int>(std::chars_format::scientific)) {
    return sign + scientificText(decimal);
  }
  if (format == static_cast<int>(std::chars_format::fixed)) {
    return sign + fixedText(decimal, magnitude);
  }
  const std::string scientific = scientificText(decimal);
  const std::string fixed = fixedText(decimal, magnitude);
  return sign + (fixed.size() <= scientific.size() ? fixed : scientific);
}

inline std::to_chars_result write(char *first, char *last, const std::string &text) {
  if (static_cast<std::size_t>(last - first) < text.size()) {
    return {last, std::errc::value_too_large};
  }
  std::memcpy(first, text.data(), text.size());
  return {first + text.size(), std::errc()};
}

inline bool letterIs(char c, char lower) { return c == lower || c == static_cast<char>(lower - 'a' + 'A'); }

// std::from_chars for a double in the general format: an optional '-', then "inf",
// "infinity", "nan", "nan(...)" or decimal digits with an optional point and exponent.
inline std::from_chars_result fromChars(const char *first, const char *last, double &value) {
  const char *p = first;
  if (p != last && *p == '-') {
    ++p;
  }
  const bool startsNumber =
      p != last && ((*p >= '0' && *p <= '9') || (*p == '.' && p + 1 != last && p[1] >= '0' && p[1] <= '9') ||
                    letterIs(*p, 'i') || letterIs(*p, 'n'));
  if (!startsNumber) {
    return {first, std::errc::invalid_argument};
  }
  // Hexadecimal is not the general format: "0x1" reads as 0 followed by "x1".
  std::string copy(first, last);
  const std::size_t digitsAt = static_cast<std::size_t>(p - first);
  if (copy.size() > digitsAt + 1 && copy[digitsAt] == '0' && letterIs(copy[digitsAt + 1], 'x')) {
    copy.resize(digitsAt + 1);
  }
  errno = 0;
  char *end = nullptr;
  const double parsed = std::strtod(copy.c_str(), &end);
  if (end == copy.c_str()) {
    return {first, std::errc::invalid_argument};
  }
  const char *stop = first + (end - copy.c_str());
  if (errno == ERANGE && (std::isinf(parsed) || parsed == 0.0)) {
    return {stop, std::errc::result_out_of_range};
  }
  value = parsed;
  return {stop, std::errc()};
}

}  // namespace detail

// std::to_chars(first, last, value[, format]), shortest form.
inline std::to_chars_result toChars(char *first, char *last, double value) {
#if defined(CORVANTA_DOUBLE_TEXT_REPLACED)
  return detail::write(first, last, detail::text(value, 0));
#else
  return std::to_chars(first, last, value);
#endif
}
inline std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format) {
#if defined(CORVANTA_DOUBLE_TEXT_REPLACED)
  return detail::write(first, last, detail::text(value, static_cast<int>(format)));
#else
  return std::to_chars(first, last, value, format);
#endif
}
// std::from_chars(first, last, value) for a double.
inline std::from_chars_result fromChars(const char *first, const char *last, double &value) {
#if defined(CORVANTA_DOUBLE_TEXT_REPLACED)
  return detail::fromChars(first, last, value);
#else
  return std::from_chars(first, last, value);
#endif
}

}  // namespace corvanta::doubletext

#endif  // CORVANTA_ENGINE_DOUBLETEXT_H
