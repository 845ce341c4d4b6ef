// A small JSON reader that keeps the line of every value, for the vehicle file's error
// messages, and a writer of JSON strings.
#ifndef CORVANTA_VEHICLE_JSONTEXT_H
#define CORVANTA_VEHICLE_JSONTEXT_H

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvanta::vehicle {

struct JsonValue {
  enum class Type { Null, Boolean, Number, String, Array, Object };
  Type type = Type::Null;
  int line = 0;
  bool boolean = false;
  double number = 0.0;
  std::string text;                                        // String
  std::vector<JsonValue> elements;                         // Array
  std::vector<std::pair<std::string, JsonValue>> members;  // Object, in file order; `line` of each is its key's
  std::vector<int> memberLines;
};

// Parses `text`; on a syntax error returns false and sets `error` to "LINE:COLUMN: what".
// Repeated keys, nesting deeper than 32 levels and numbers out of the double range are
// errors.
bool parseJson(std::string_view text, JsonValue &out, std::string &error);

// `s` as a JSON string literal with its quotes.
std::string jsonQuoted(std::string_view s);

// The name of a JSON type, for messages ("a number", "an array").
const char *jsonTypeName(JsonValue::Type type);

}  // namespace corvanta::vehicle

#endif  // CORVANTA_VEHICLE_JSONTEXT_H
