// The closed-loop parts of a JSON scenario: the "driver" object and the condition events
// ({"when": ...}), read into the driving types, every problem reported with its JSON path.
#ifndef CORVANTA_ENGINE_DRIVINGJSON_H
#define CORVANTA_ENGINE_DRIVINGJSON_H

#include <string>

#include "engine/driving/ClosedLoop.h"
#include "engine/scenario/JsonDocument.h"

namespace corvanta::engine {

// Throws ScenarioError naming `source` and the path of the offending value.
driving::DriverSetup readDriver(const Json &driver, const std::string &path, const std::string &source);
driving::ConditionEvent readConditionEvent(const Json &event, const std::string &path, const std::string &source);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_DRIVINGJSON_H
