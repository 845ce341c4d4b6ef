// JSON scenario files: a duration, the input values at time 0 and a list of events
// (re-initialisations, held values and linear ramps), described in docs/scenario-format.md.
#ifndef CORVANTA_ENGINE_JSONSCENARIO_H
#define CORVANTA_ENGINE_JSONSCENARIO_H

#include <string>

#include "engine/running/Schedule.h"
#include "engine/scenario/JsonDocument.h"

namespace corvanta::engine {

// Reads the scenario in `text`.  Throws ScenarioError naming `fileName` and, for a
// malformed document, the line and column, or else the JSON path of the offending value
// (for example "events[2].ramp.Foo") and what was expected there.
Schedule parseJsonScenario(const std::string &text, const std::string &fileName);

// Reads a scenario already parsed (a sweep's run): the same checks and messages as for a
// file's text, without the line and column a document read from text has.
Schedule readJsonScenario(const Json &document, const std::string &fileName);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_JSONSCENARIO_H
