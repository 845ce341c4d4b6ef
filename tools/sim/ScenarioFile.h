// Scenario files on disk: JSON scenarios and recorded-input CSV files.
#ifndef CORVANTA_SIM_SCENARIOFILE_H
#define CORVANTA_SIM_SCENARIOFILE_H

#include <cstdint>
#include <optional>
#include <string>

#include "Schedule.h"

namespace corvanta::sim {

enum class ScenarioFormat { Json, RecordedInputs };

// The format of a file: by its extension (.json, .csv, in any case); for other names JSON
// when the first character that is not white space is '{', else recorded inputs.
ScenarioFormat scenarioFormatOf(const std::string &path, const std::string &text);

// The whole file as bytes.  Throws ScenarioError naming the file and the system's reason.
std::string readTextFile(const std::string &path);

// Reads and checks a scenario.  `durationSteps`, when given, replaces the duration of the
// file (the file's own duration must still be valid).
Schedule loadScenario(const std::string &path, std::optional<std::uint64_t> durationSteps);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_SCENARIOFILE_H
