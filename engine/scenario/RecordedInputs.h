// Recorded inputs: a CSV file with a header line naming a `time` column and any of the
// inputs, in any order, followed by one row per change.  Inputs without a column are 0.
// Each row holds its values until the next row, or, with linear interpolation, moves
// them linearly to the next row's values (the ramp rule of the scenario files).
//
//   # interpolate: linear          optional, before the header; "hold" is the default
//   time,AccelerationDemand,GearSelector
//   0,1.5,1
//   2.5,-3,1
//
// Lines whose first character that is not a blank is '#' are comments.
#ifndef CORVANTA_ENGINE_RECORDEDINPUTS_H
#define CORVANTA_ENGINE_RECORDEDINPUTS_H

#include <cstdint>
#include <optional>
#include <string>

#include "engine/running/Schedule.h"

namespace corvanta::engine {

enum class Interpolation { Hold, Linear };

// "hold" or "linear"; nothing for other text.
std::optional<Interpolation> interpolationNamed(const std::string &name);

struct RecordedInputsOptions {
  // Replaces the duration (the time of the last row) when given.
  std::optional<std::uint64_t> durationSteps;
  // Replaces the file's own "# interpolate:" choice when given.
  std::optional<Interpolation> interpolation;
  // Accepts nan, inf and -inf as input values (never as times).
  bool allowNonFinite = false;
};

// Reads recorded inputs.  Throws ScenarioError naming `fileName`, the line and what was
// expected.
Schedule parseRecordedInputs(const std::string &text, const std::string &fileName,
                             const RecordedInputsOptions &options = {});

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_RECORDEDINPUTS_H
