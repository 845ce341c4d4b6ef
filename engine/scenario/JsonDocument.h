// The syntax of JSON scenario files: text in, a document out, with keys in file order.
// A key that appears twice in one object is an error (a plain parser would silently keep
// the last value), and a syntax error is reported with its line and column.
#ifndef CORVANTA_ENGINE_JSONDOCUMENT_H
#define CORVANTA_ENGINE_JSONDOCUMENT_H

#include <string>

#include <nlohmann/json.hpp>

namespace corvanta::engine {

// Objects keep their keys in file order, so that the first problem in the file is the one
// reported.
using Json = nlohmann::ordered_json;

// Deepest nesting of arrays and objects a document may have; a scenario needs four.
inline constexpr std::size_t kMaxJsonDepth = 64;

// "events[2].ramp" style paths of the values in a document; keys are quoted as bounded,
// escaped excerpts.
std::string childPath(const std::string &parent, const std::string &key);
std::string elementPath(const std::string &parent, std::size_t index);

// Parses `text` in time linear in its size; throws ScenarioError naming `source` with the
// line and column of a syntax error or of nesting deeper than kMaxJsonDepth, or the path
// of an object with a repeated key.
Json parseJsonDocument(const std::string &text, const std::string &source);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_JSONDOCUMENT_H
