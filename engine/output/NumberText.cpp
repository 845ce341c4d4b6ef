#include "engine/output/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include "runtime/DoubleText.h"

namespace corvanta::engine {

std::size_t formatShortest(double value, char *buffer) {
  if (std::isnan(value)) {
    // to_chars spells a NaN with its payload on some libraries; the payload is not part
    // of any result, the sign is kept as printf shows it.
    const char *text = std::signbit(value) ? "-nan" : "nan";
    const std::size_t length = std::strlen(text);
    std::memcpy(buffer, text, length);
    return length;
  }
  // The shortest digits, placed as Python's repr places them: positional for decimal
  // exponents from -4 to 15, else in exponent notation ("1e-05", "1e+16").
  const std::to_chars_result scientific =
      doubletext::toChars(buffer, buffer + kNumberTextCapacity, value, std::chars_format::scientific);
  const char *exponentMark = std::find(buffer, scientific.ptr, 'e');
  int exponent = 0;
  std::from_chars(exponentMark + (exponentMark[1] == '+' ? 2 : 1), scientific.ptr, exponent);
  if (exponent < -4 || exponent >= 16) {
    return static_cast<std::size_t>(scientific.ptr - buffer);
  }
  const std::to_chars_result fixed =
      doubletext::toChars(buffer, buffer + kNumberTextCapacity, value, std::chars_format::fixed);
  return static_cast<std::size_t>(fixed.ptr - buffer);
}

std::string shortestText(double value) {
  char buffer[kNumberTextCapacity];
  return std::string(buffer, formatShortest(value, buffer));
}

}  // namespace corvanta::engine
