// Recursive-descent JSON reader with line numbers.
#include "vehicle/JsonText.h"
#include "runtime/DoubleText.h"

#include <charconv>
#include <cstdio>
#include <system_error>

namespace corvanta::vehicle {

namespace {

constexpr int kMaxDepth = 32;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool document(JsonValue &out) {
    skipSpace();
    if (!value(out, 0)) {
      return false;
    }
    skipSpace();
    if (pos_ != text_.size()) {
      return fail("unexpected text after the end of the document");
    }
    return true;
  }

  std::string error;

 private:
  bool fail(const std::string &what) {
    if (error.empty()) {
      error = std::to_string(line_) + ":" + std::to_string(pos_ - lineStart_ + 1) + ": " + what;
    }
    return false;
  }

  void skipSpace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        lineStart_ = pos_ + 1;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
      ++pos_;
    }
  }

  bool literal(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) {
      return fail("invalid literal");
    }
    pos_ += word.size();
    return true;
  }

  bool value(JsonValue &out, int depth) {
    if (depth > kMaxDepth) {
      return fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
    }
    out.line = line_;
    if (pos_ >= text_.size()) {
      return fail("unexpected end of the document");
    }
    const char c = text_[pos_];
    switch (c) {
      case '{':
        return object(out, depth);
      case '[':
        return array(out, depth);
      case '"':
        out.type = JsonValue::Type::String;
        return string(out.text);
      case 't':
        out.type = JsonValue::Type::Boolean;
        out.boolean = true;
        return literal("true");
      case 'f':
        out.type = JsonValue::Type::Boolean;
        return literal("false");
      case 'n':
        out.type = JsonValue::Type::Null;
        return literal("null");
      default:
        if (c == '-' || (c >= '0' && c <= '9')) {
          out.type = JsonValue::Type::Number;
          return number(out.number);
        }
        return fail(std::string("unexpected character '") + (c >= 32 && c < 127 ? std::string(1, c) : "?") + "'");
    }
  }

  bool number(double &out) {
    const std::size_t start = pos_;
    if (text_[pos_] == '-') ++pos_;
    auto digits = [this] {
      const std::size_t from = pos_;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
      return pos_ > from;
    };
    if (!digits()) return fail("invalid number");
    if (text_[start + (text_[start] == '-' ? 1 : 0)] == '0' && pos_ - start > 1 + (text_[start] == '-' ? 1u : 0u)) {
      return fail("invalid number (leading zero)");
    }
    if (pos_ < text_.size() && text_[pos_] == '.') {
      ++pos_;
      if (!digits()) return fail("invalid number");
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!digits()) return fail("invalid number");
    }
    const std::from_chars_result r = doubletext::fromChars(text_.data() + start, text_.data() + pos_, out);
    if (r.ec == std::errc::result_out_of_range) {
      // Underflow to a subnormal or zero is fine; overflow is not.
      const std::string copy(text_.substr(start, pos_ - start));
      out = std::strtod(copy.c_str(), nullptr);
      if (out > 1.0 || out < -1.0) {
        return fail("number " + copy.substr(0, 40) + " is outside the range of a double");
      }
      return true;
    }
    if (r.ec != std::errc() || r.ptr != text_.data() + pos_) return fail("invalid number");
    return true;
  }

  bool string(std::string &out) {
    ++pos_;  // opening quote
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) break;
      const char e = text_[pos_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          if (pos_ + 4 > text_.size()) return fail("invalid \\u escape");
          unsigned code = 0;
          const std::from_chars_result r = std::from_chars(text_.data() + pos_, text_.data() + pos_ + 4, code, 16);
          if (r.ec != std::errc() || r.ptr != text_.data() + pos_ + 4) return fail("invalid \\u escape");
          pos_ += 4;
          if (code == 0) return fail("NUL character in a string");
          if (code >= 0xD800 && code <= 0xDFFF) return fail("surrogate \\u escapes are not supported");
          if (code < 0x80) {
            out += static_cast<char>(code);
          } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default:
          return fail("invalid escape in a string");
      }
    }
    return fail("unterminated string");
  }

  bool array(JsonValue &out, int depth) {
    out.type = JsonValue::Type::Array;
    ++pos_;
    skipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') {
      ++pos_;
      return true;
    }
    while (true) {
      skipSpace();
      out.elements.emplace_back();
      if (!value(out.elements.back(), depth + 1)) return false;
      skipSpace();
      if (pos_ >= text_.size()) return fail("unterminated array");
      if (text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (text_[pos_] == ']') {
        ++pos_;
        return true;
      }
      return fail("expected ',' or ']' in an array");
    }
  }

  bool object(JsonValue &out, int depth) {
    out.type = JsonValue::Type::Object;
    ++pos_;
    skipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') {
      ++pos_;
      return true;
    }
    while (true) {
      skipSpace();
      if (pos_ >= text_.size() || text_[pos_] != '"') return fail("expected a key in quotes");
      const int keyLine = line_;
      std::string key;
      if (!string(key)) return false;
      for (const auto &member : out.members) {
        if (member.first == key) {
          return fail("key \"" + key.substr(0, 64) + "\" appears twice in one object");
        }
      }
      skipSpace();
      if (pos_ >= text_.size() || text_[pos_] != ':') return fail("expected ':' after a key");
      ++pos_;
      skipSpace();
      out.members.emplace_back(std::move(key), JsonValue());
      out.memberLines.push_back(keyLine);
      if (!value(out.members.back().second, depth + 1)) return false;
      skipSpace();
      if (pos_ >= text_.size()) return fail("unterminated object");
      if (text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (text_[pos_] == '}') {
        ++pos_;
        return true;
      }
      return fail("expected ',' or '}' in an object");
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  std::size_t lineStart_ = 0;
};

}  // namespace

bool parseJson(std::string_view text, JsonValue &out, std::string &error) {
  Parser parser(text);
  out = JsonValue();
  if (!parser.document(out)) {
    error = parser.error;
    return false;
  }
  return true;
}

std::string jsonQuoted(std::string_view s) {
  std::string out = "\"";
  for (const char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

const char *jsonTypeName(JsonValue::Type type) {
  switch (type) {
    case JsonValue::Type::Null:
      return "null";
    case JsonValue::Type::Boolean:
      return "a boolean";
    case JsonValue::Type::Number:
      return "a number";
    case JsonValue::Type::String:
      return "a string";
    case JsonValue::Type::Array:
      return "an array";
    case JsonValue::Type::Object:
      return "an object";
  }
  return "a value";
}

}  // namespace corvanta::vehicle
