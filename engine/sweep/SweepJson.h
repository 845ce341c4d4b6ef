// The JSON document type of sweep definitions and the parse that keeps what the sweep
// needs: keys in file order, a refusal of keys repeated in one object, and the line and
// column of a syntax error.
#ifndef CORVANTA_SWEEP_SWEEPJSON_H
#define CORVANTA_SWEEP_SWEEPJSON_H

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace corvanta::sweep {

using Json = nlohmann::ordered_json;

// A sweep definition that cannot be used.  The message names the file and the field.
class SweepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses `text`; throws SweepError "FILE:LINE:COLUMN: malformed JSON: ..." or
// "FILE: PATH: the key "K" appears twice".
Json parseSweepJson(const std::string &text, const std::string &fileName);

// A value as the user wrote it, for messages: 5, -0.05, "abc", [1, 2].
std::string describeJson(const Json &value);

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_SWEEPJSON_H
