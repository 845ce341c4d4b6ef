#include "engine/sweep/SweepJson.h"

#include "engine/messages/ScenarioError.h"

namespace corvanta::sweep {

Json parseSweepJson(const std::string &text, const std::string &fileName) {
  try {
    return engine::parseJsonDocument(text, fileName);
  } catch (const engine::ScenarioError &error) {
    throw SweepError(error.what());
  }
}

std::string describeJson(const Json &value) { return value.dump(); }

}  // namespace corvanta::sweep
