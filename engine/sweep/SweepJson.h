// The JSON document type of sweep definitions, the error of a definition that cannot be
// used, and the parse (the engine's own, so that a definition's syntax errors read like a
// scenario's: line and column, and keys repeated in one object refused).
#ifndef CORVANTA_SWEEP_SWEEPJSON_H
#define CORVANTA_SWEEP_SWEEPJSON_H

#include <stdexcept>
#include <string>

#include "engine/scenario/JsonDocument.h"

namespace corvanta::sweep {

using Json = engine::Json;

// A sweep definition that cannot be used.  The message names the file and the field.
class SweepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses `text`; throws SweepError "FILE:LINE:COLUMN: malformed JSON: ..." or
// "FILE: PATH: the key "K" appears twice".
Json parseSweepJson(const std::string &text, const std::string &fileName);

// A value as the user wrote it, for messages: 5, -0.05, "abc", [1,2].
std::string describeJson(const Json &value);

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_SWEEPJSON_H
