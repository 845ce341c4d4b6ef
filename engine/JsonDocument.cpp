#include "JsonDocument.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "ScenarioError.h"

namespace corvanta::engine {

namespace {

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
    if (containers_.back()->contains(name)) {
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
      return ScenarioError::atPath(source, duplicatePath_, "the key \"" + duplicateKey_ + "\" appears twice");
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
    Json &slot = parent[key_];
    slot = std::move(value);
    return &slot;
  }

  bool open(Json container) {
    std::string path;
    if (!containers_.empty()) {
      const Json &parent = *containers_.back();
      path = parent.is_array() ? elementPath(paths_.back(), parent.size()) : childPath(paths_.back(), key_);
    }
    containers_.push_back(place(std::move(container)));
    paths_.push_back(std::move(path));
    return true;
  }

  bool close() {
    containers_.pop_back();
    paths_.pop_back();
    return true;
  }

  // nlohmann counts a position as the number of bytes read; the line is one more than the
  // newlines among them and the column the bytes read since the last newline.
  static std::pair<std::size_t, std::size_t> lineAndColumn(const std::string &text, std::size_t position) {
    const std::size_t scanned = std::min(position, text.size());
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(scanned), '\n'));
    const std::size_t lastNewline = (scanned == 0) ? std::string::npos : text.rfind('\n', scanned - 1);
    const std::size_t column = (lastNewline == std::string::npos) ? position : position - (lastNewline + 1);
    return {lines + 1, column};
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
  std::vector<std::string> paths_;
  std::string key_;
  std::size_t syntaxErrorPosition_ = 0;
  std::string syntaxError_;
  std::string duplicatePath_;
  std::string duplicateKey_;
};

}  // namespace

std::string childPath(const std::string &parent, const std::string &key) {
  return parent.empty() ? key : parent + "." + key;
}

std::string elementPath(const std::string &parent, std::size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

Json parseJsonDocument(const std::string &text, const std::string &source) {
  Json document;
  DocumentBuilder builder(document);
  if (!Json::sax_parse(text, &builder)) {
    throw builder.failure(text, source);
  }
  return document;
}

}  // namespace corvanta::engine
