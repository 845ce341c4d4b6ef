#include "engine/scenario/ScenarioFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/messages/ScenarioError.h"
#include "engine/scenario/JsonScenario.h"

namespace corvanta::engine {

namespace {

std::string lowerCaseExtension(const std::string &path) {
  std::string extension = std::filesystem::u8path(path).extension().u8string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

std::string reasonFor(int code) { return (code != 0) ? std::strerror(code) : "read error"; }

}  // namespace

ScenarioFormat scenarioFormatOf(const std::string &name, const std::string &text) {
  const std::string extension = lowerCaseExtension(name);
  if (extension == ".json") {
    return ScenarioFormat::Json;
  }
  if (extension == ".csv") {
    return ScenarioFormat::RecordedInputs;
  }
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  return (first != std::string::npos && text[first] == '{') ? ScenarioFormat::Json : ScenarioFormat::RecordedInputs;
}

std::string readTextFile(const std::string &path, std::uint64_t maxBytes) {
  errno = 0;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw ScenarioError::plain("cannot open '" + path + "': " + reasonFor(errno));
  }
  std::string text;
  char buffer[1 << 16];
  std::size_t count = 0;
  bool tooLarge = false;
  errno = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    if (count > maxBytes - text.size()) {
      tooLarge = true;
      break;
    }
    text.append(buffer, count);
  }
  const bool failed = !tooLarge && std::ferror(file) != 0;
  const int code = errno;
  std::fclose(file);
  if (tooLarge) {
    throw ScenarioError::forSource(
        path, "larger than the limit of " + std::to_string(maxBytes) + " bytes for a scenario or recorded-input file");
  }
  if (failed) {
    throw ScenarioError::plain("cannot read '" + path + "': " + reasonFor(code));
  }
  return text;
}

Schedule loadScenarioText(const std::string &text, const std::string &source, const LoadOptions &options) {
  if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
    const std::size_t line =
        1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n'));
    throw ScenarioError::atLine(source, line,
                                "a NUL byte (at byte " + std::to_string(nul) + "); a scenario is text, JSON or CSV");
  }
  const ScenarioFormat format = options.format.value_or(scenarioFormatOf(source, text));
  if (format == ScenarioFormat::RecordedInputs) {
    return parseRecordedInputs(
        text, source, RecordedInputsOptions{options.durationSteps, options.interpolation, options.allowNonFinite});
  }
  Schedule schedule = parseJsonScenario(text, source);
  if (options.durationSteps) {
    schedule.stepCount = *options.durationSteps;
  }
  return schedule;
}

Schedule loadScenario(const std::string &path, const LoadOptions &options) {
  return loadScenarioText(readTextFile(path, options.maxSourceBytes), path, options);
}

}  // namespace corvanta::engine
