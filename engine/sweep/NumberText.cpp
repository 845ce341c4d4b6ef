#include "NumberText.h"

#include <charconv>
#include <cmath>

namespace corvanta::sweep {

std::string shortestText(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  char text[32];
  const std::to_chars_result result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace corvanta::sweep
