// Scenario sources: JSON scenarios and recorded-input CSV, from a file or from text.
#ifndef CORVANTA_ENGINE_SCENARIOFILE_H
#define CORVANTA_ENGINE_SCENARIOFILE_H

#include <cstdint>
#include <optional>
#include <string>

#include "RecordedInputs.h"
#include "Schedule.h"

namespace corvanta::engine {

enum class ScenarioFormat { Json, RecordedInputs };

// The format of a source: by the extension of its name (.json, .csv, in any case); for
// other names JSON when the first character that is not white space is '{', else
// recorded inputs.
ScenarioFormat scenarioFormatOf(const std::string &name, const std::string &text);

// The whole file as bytes.  Throws ScenarioError naming the file and the system's reason.
std::string readTextFile(const std::string &path);

struct LoadOptions {
  std::optional<ScenarioFormat> format;        // none: scenarioFormatOf
  std::optional<std::uint64_t> durationSteps;  // replaces the source's duration
  std::optional<Interpolation> interpolation;  // replaces the recorded inputs' own choice
};

// Reads and checks a scenario from `text`; `source` names it in messages and, unless
// the format is given, decides the format by its extension.  A JSON scenario's own
// duration must be valid even when `durationSteps` replaces it.
Schedule loadScenarioText(const std::string &text, const std::string &source, const LoadOptions &options);

// Reads and checks the scenario file at `path`.
Schedule loadScenario(const std::string &path, const LoadOptions &options);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_SCENARIOFILE_H
