// Scenario sources: JSON scenarios and recorded-input CSV, from a file or from text.
#ifndef CORVANTA_ENGINE_SCENARIOFILE_H
#define CORVANTA_ENGINE_SCENARIOFILE_H

#include <cstdint>
#include <optional>
#include <string>

#include "engine/running/Schedule.h"
#include "engine/scenario/RecordedInputs.h"

namespace corvanta::engine {

enum class ScenarioFormat { Json, RecordedInputs };

// The format of a source: by the extension of its name (.json, .csv, in any case); for
// other names JSON when the first character that is not white space is '{', else
// recorded inputs.
ScenarioFormat scenarioFormatOf(const std::string &name, const std::string &text);

// Largest scenario or recorded-input file read by default: 64 MiB, far more than any
// scenario needs, far less than a machine's memory (a path such as /dev/zero never ends).
inline constexpr std::uint64_t kDefaultMaxSourceBytes = std::uint64_t{64} << 20;

// The whole file as bytes, at most `maxBytes` of them.  Throws ScenarioError naming the
// file and the system's reason, or the limit when the file is larger.
std::string readTextFile(const std::string &path, std::uint64_t maxBytes = kDefaultMaxSourceBytes);

struct LoadOptions {
  std::optional<ScenarioFormat> format;                   // none: scenarioFormatOf
  std::optional<std::uint64_t> durationSteps;             // replaces the source's duration
  std::optional<Interpolation> interpolation;             // replaces the recorded inputs' own choice
  std::uint64_t maxSourceBytes = kDefaultMaxSourceBytes;  // files only
  bool allowNonFinite = false;                            // see RecordedInputsOptions
};

// Reads and checks a scenario from `text`; `source` names it in messages and, unless
// the format is given, decides the format by its extension.  A text with a NUL byte is
// refused: it is not a scenario, and the JSON parser would stop reading at it.  A JSON scenario's own
// duration must be valid even when `durationSteps` replaces it.
Schedule loadScenarioText(const std::string &text, const std::string &source, const LoadOptions &options);

// Reads and checks the scenario file at `path`.
Schedule loadScenario(const std::string &path, const LoadOptions &options);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_SCENARIOFILE_H
