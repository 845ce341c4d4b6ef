#include "engine/messages/ScenarioError.h"

#include <utility>

namespace corvanta::engine {

namespace {

// Length of the valid UTF-8 sequence at text[index] (2 to 4 bytes; no overlong forms,
// surrogates or code points above U+10FFFF), or 0.
std::size_t utf8SequenceLength(const std::string &text, std::size_t index) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(index);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = (lead == 0xE0) ? 0xA0 : 0x80;
    high = (lead == 0xED) ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = (lead == 0xF0) ? 0x90 : 0x80;
    high = (lead == 0xF4) ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (index + length > text.size() || byte(index + 1) < low || byte(index + 1) > high) {
    return 0;
  }
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(index + k) < 0x80 || byte(index + k) > 0xBF) {
      return 0;
    }
  }
  return length;
}

}  // namespace

std::string boundedExcerpt(const std::string &text, std::size_t limit, std::size_t outputLimit) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  std::size_t index = 0;
  while (index < text.size() && index < limit && out.size() < outputLimit) {
    const auto c = static_cast<unsigned char>(text[index]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
      ++index;
    } else if (const std::size_t length = (c >= 0x80) ? utf8SequenceLength(text, index) : 0; length > 0) {
      out.append(text, index, length);
      index += length;
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
      ++index;
    }
  }
  if (index < text.size()) {
    out += "...";
  }
  return out;
}

std::string quotedExcerpt(const std::string &text, std::size_t limit) {
  return "\"" + boundedExcerpt(text, limit) + "\"";
}

ScenarioError::ScenarioError(const std::string &message, std::string problem, std::string path, std::size_t line,
                             std::size_t column)
    : std::runtime_error(boundedExcerpt(message, 3 * kMessagePartBytes, 3 * kMessagePartBytes)),
      problem_(boundedExcerpt(problem, kMessagePartBytes)),
      path_(boundedExcerpt(path, kMessagePartBytes)),
      line_(line),
      column_(column) {}

ScenarioError ScenarioError::atPosition(const std::string &source, std::size_t line, std::size_t column,
                                        const std::string &problem) {
  return ScenarioError(source + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + problem, problem,
                       std::string(), line, column);
}

ScenarioError ScenarioError::atPath(const std::string &source, const std::string &path, const std::string &problem) {
  const std::string place = path.empty() ? std::string("top level") : path;
  return ScenarioError(source + ": " + place + ": " + problem, problem, place, 0, 0);
}

ScenarioError ScenarioError::atLine(const std::string &source, std::size_t line, const std::string &problem) {
  return ScenarioError(source + ":" + std::to_string(line) + ": " + problem, problem, std::string(), line, 0);
}

ScenarioError ScenarioError::forSource(const std::string &source, const std::string &problem) {
  return ScenarioError(source + ": " + problem, problem, std::string(), 0, 0);
}

ScenarioError ScenarioError::plain(const std::string &message) {
  return ScenarioError(message, message, std::string(), 0, 0);
}

}  // namespace corvanta::engine
