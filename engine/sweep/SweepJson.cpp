#include "SweepJson.h"

#include <set>
#include <vector>

namespace corvanta::sweep {

namespace {

std::string lineAndColumn(const std::string &text, std::size_t position) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t index = 0; index < position && index < text.size(); ++index) {
    if (text[index] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

// "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error while
// parsing value - invalid literal; last read: 'tru,'" -> the part after "parse error ...: ".
std::string reasonOf(const nlohmann::json::parse_error &error) {
  const std::string text = error.what();
  const std::size_t colon = text.find(": ");
  return (colon == std::string::npos) ? text : text.substr(colon + 2);
}

}  // namespace

Json parseSweepJson(const std::string &text, const std::string &fileName) {
  // The parser callback sees every key with the depth of its object; one set of keys per
  // open object catches repeats, which nlohmann would otherwise resolve silently.
  std::vector<std::set<std::string>> keysOfOpenObjects;
  std::string repeatedKey;
  const Json::parser_callback_t callback = [&](int, Json::parse_event_t event, Json &parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        keysOfOpenObjects.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        keysOfOpenObjects.pop_back();
        break;
      case Json::parse_event_t::key: {
        const std::string key = parsed.get<std::string>();
        if (!keysOfOpenObjects.back().insert(key).second && repeatedKey.empty()) {
          repeatedKey = key;
        }
        break;
      }
      default:
        break;
    }
    return true;
  };
  Json document;
  try {
    document = Json::parse(text, callback, /*allow_exceptions=*/true, /*ignore_comments=*/false);
  } catch (const nlohmann::json::parse_error &error) {
    throw SweepError(fileName + ":" + lineAndColumn(text, error.byte == 0 ? 0 : error.byte - 1) +
                     ": malformed JSON: " + reasonOf(error));
  }
  if (!repeatedKey.empty()) {
    throw SweepError(fileName + ": the key \"" + repeatedKey + "\" appears twice in one object");
  }
  return document;
}

std::string describeJson(const Json &value) { return value.dump(); }

}  // namespace corvanta::sweep
