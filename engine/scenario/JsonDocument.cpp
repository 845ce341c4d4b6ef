#include "engine/scenario/JsonDocument.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/messages/ScenarioError.h"

namespace corvanta::engine {

namespace {

// nlohmann counts a position as the number of bytes read; the line is one more than the
// newlines among them and the column the bytes read since the last newline.
std::pair<std::size_t, std::size_t> lineAndColumn(const std::string &text, std::size_t position) {
  const std::size_t scanned = std::min(position, text.size());
  const std::size_t lines =
      static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(scanned), '\n'));
  const std::size_t lastNewline = (scanned == 0) ? std::string::npos : text.rfind('\n', scanned - 1);
  const std::size_t column = (lastNewline == std::string::npos) ? position : position - (lastNewline + 1);
  return {lines + 1, column};
}

// Builds the document like nlohmann's own parser, and in addition rejects a key that
// appears twice in one object (the parser would silently keep the last value) and keeps
// the byte position of a syntax error.
class DocumentBuilder final : public nlohmann::json_sax<Json> {
 public:
  explicit DocumentBuilder(Json &root) : root_(root) {}

  bool null() override { return place(Json(nullptr)) != nullptr; }
  bool boolean(bool value) override { return place(Json(value)) != nullptr; }
  bool number_integer(number_integer_t value) override { return place(Json(value)) != nullptr; }
  bool number_unsigned(number_unsigned_t value) override { return place(Json(value)) != nullptr; }
  bool number_float(number_float_t value, const string_t &) override { return place(Json(value)) != nullptr; }
  bool string(string_t &value) override { return place(Json(std::move(value))) != nullptr; }
  bool binary(binary_t &value) override { return place(Json::binary(std::move(value))) != nullptr; }
  bool start_object(std::size_t) override { return open(Json::object()); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(Json::array()); }
  bool end_array() override { return close(); }

  bool key(string_t &name) override {
    // A set per open object keeps the check for repeated keys linear in the file size.
    if (!keys_.back().insert(name).second) {
      duplicatePath_ = paths_.back();
      duplicateKey_ = name;
      return false;
    }
    key_ = std::move(name);
    return true;
  }

  bool parse_error(std::size_t position, const std::string &, const Json::exception &error) override {
    syntaxErrorPosition_ = position;
    syntaxError_ = error.what();
    return false;
  }

  // The reason the parse stopped: a repeated key at its object's path, or a syntax error
  // at its line and column.
  ScenarioError failure(const std::string &text, const std::string &source) const {
    if (!duplicateKey_.empty()) {
      return ScenarioError::atPath(source, duplicatePath_,
                                   "the key " + quotedExcerpt(duplicateKey_) + " appears twice");
    }

    const auto [line, column] = lineAndColumn(text, syntaxErrorPosition_);
    return ScenarioError::atPosition(source, line, column, "malformed JSON: " + withoutLibraryPrefix(syntaxError_));
  }

 private:
  // Inserts a value at the current position and returns where it now lives.  Pointers to
  // the open containers stay valid: a container only grows while it is the innermost.
  Json *place(Json value) {
    if (containers_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json &parent = *containers_.back();
    if (parent.is_array()) {
      parent.push_back(std::move(value));
      return &parent.back();
    }
    // The key is new (key() checked it): append without ordered_map's linear search.
    auto &members = static_cast<Json::object_t::Container &>(parent.get_ref<Json::object_t &>());
    members.emplace_back(key_, std::move(value));
    return &members.back().second;
  }

  bool open(Json container) {
    std::string path;
    if (!containers_.empty()) {
      const Json &parent = *containers_.back();
      path = parent.is_array() ? elementPath(paths_.back(), parent.size()) : childPath(paths_.back(), key_);
    }
    containers_.push_back(place(std::move(container)));
    paths_.push_back(std::move(path));
    keys_.emplace_back();
    return true;
  }

  bool close() {
    containers_.pop_back();
    paths_.pop_back();
    keys_.pop_back();
    return true;
  }

  // "[json.exception.parse_error.101] parse error at line 3, column 5: syntax error ..." ->
  // "syntax error ..."; the position is reported separately.
  static std::string withoutLibraryPrefix(const std::string &message) {
    std::string text = message;
    if (!text.empty() && text.front() == '[') {
      const std::size_t end = text.find("] ");
      if (end != std::string::npos) {
        text.erase(0, end + 2);
      }
    }
    if (text.rfind("parse error", 0) == 0) {
      const std::size_t colon = text.find(": ");
      if (colon != std::string::npos) {
        text.erase(0, colon + 2);
      }
    }
    return text;
  }

  Json &root_;
  std::vector<Json *> containers_;
  std::vector<std::unordered_set<std::string>> keys_;
  std::vector<std::string> paths_;
  std::string key_;
  std::size_t syntaxErrorPosition_ = 0;
  std::string syntaxError_;
  std::string duplicatePath_;
  std::string duplicateKey_;
};

// The byte offset at which arrays and objects nest deeper than kMaxJsonDepth, or npos.
// One pass over the text, skipping strings; keeps the parser's memory and the paths of
// messages bounded whatever the file holds.
std::size_t tooDeepAt(const std::string &text) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char c = text[index];
    if (inString) {
      if (c == '\\') {
        ++index;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) {
        return index;
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return std::string::npos;
}

}  // namespace

std::string childPath(const std::string &parent, const std::string &key) {
  const std::string name = boundedExcerpt(key);
  return parent.empty() ? name : parent + "." + name;
}

std::string elementPath(const std::string &parent, std::size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

Json parseJsonDocument(const std::string &text, const std::string &source) {
  if (const std::size_t at = tooDeepAt(text); at != std::string::npos) {
    const auto [line, column] = lineAndColumn(text, at + 1);
    throw ScenarioError::atPosition(
        source, line, column, "arrays and objects nested more than " + std::to_string(kMaxJsonDepth) + " levels deep");
  }
  Json document;
  DocumentBuilder builder(document);
  if (!Json::sax_parse(text, &builder)) {
    throw builder.failure(text, source);
  }
  return document;
}

}  // namespace corvanta::engine
