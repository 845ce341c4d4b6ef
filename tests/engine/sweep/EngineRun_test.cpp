// A sweep's runs read and run in the engine without going through text: the outcome is the
// one the same scenario written as a file has.
#include "engine/sweep/EngineRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <limits>
#include <string>

namespace {

using corvanta::sweep::EngineRunError;
using corvanta::sweep::Json;
using corvanta::sweep::RunMetrics;

const CorvantaModelFunctions kModel = CORVANTA_LINKED_MODEL_FUNCTIONS;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The status and message checkScenario (or the run, when `run`) gives, or {OK, ""}.
std::pair<int, std::string> failureOf(const Json &scenario, bool run = false,
                                      const CorvantaModelFunctions &model = kModel,
                                      const std::atomic<bool> *cancel = nullptr) {
  try {
    if (run) {
      corvanta::sweep::runScenarioInEngine(model, scenario, "s", cancel);
    } else {
      corvanta::sweep::checkScenario(scenario, "s");
    }
  } catch (const EngineRunError &failure) {
    return {failure.status(), failure.what()};
  }
  return {CORVANTA_ENGINE_OK, ""};
}

Json drivenScenario(const Json &releasedSpeed) {
  Json scenario = Json::parse(R"({"duration": 0.6, "inputs": {"GearSelector": 1, "InitialSpeed": 5},
      "driver": {"speed": {"target": 8}}, "events": [{"when": {"time": {">=": 0.3}}, "driver": {"speed": null}}]})");
  scenario["events"][0]["driver"]["speed"] = releasedSpeed;
  return scenario;
}

bool sameBits(const RunMetrics &a, const RunMetrics &b) {
  return std::memcmp(a.finalOutputs.data(), b.finalOutputs.data(), sizeof a.finalOutputs) == 0 &&
         std::memcmp(&a.distance, &b.distance, sizeof a.distance) == 0 && a.steps == b.steps;
}

TEST(EngineRun, NonFiniteValuesReadAsNullLikeTheScenarioWrittenAsAFile) {
  // A number field: null is not a number.
  for (const double value : {kNaN, kInf, -kInf}) {
    Json scenario = Json::parse(R"({"duration": 0.1, "inputs": {"InitialSpeed": 1}})");
    scenario["inputs"]["InitialSpeed"] = value;
    EXPECT_EQ(failureOf(scenario), std::make_pair(int{CORVANTA_ENGINE_BAD_SCENARIO},
                                                  std::string("s: inputs.InitialSpeed: expected a number, got null")));
  }
  // A driver's speed: null releases the pedals, so a NaN there runs as null does.
  const RunMetrics released = corvanta::sweep::runScenarioInEngine(kModel, drivenScenario(nullptr), "s");
  const RunMetrics fromNaN = corvanta::sweep::runScenarioInEngine(kModel, drivenScenario(kNaN), "s");
  const RunMetrics braking =
      corvanta::sweep::runScenarioInEngine(kModel, drivenScenario(Json::parse(R"({"demand": -3})")), "s");
  EXPECT_EQ(6000U, released.steps);
  EXPECT_TRUE(sameBits(released, fromNaN));
  EXPECT_FALSE(sameBits(released, braking));
}

TEST(EngineRun, FailuresKeepTheStatusAndMessageOfARunThroughTheCInterface) {
  const Json valid = Json::parse(R"({"duration": 0.01, "inputs": {"InitialSpeed": 1}})");
  EXPECT_EQ(
      failureOf(Json::parse(R"({"duration": -1})")),
      std::make_pair(int{CORVANTA_ENGINE_BAD_SCENARIO}, std::string("s: duration: expected a time >= 0, got -1")));
  const std::atomic<bool> cancelled{true};
  EXPECT_EQ(failureOf(valid, true, kModel, &cancelled),
            std::make_pair(int{CORVANTA_ENGINE_STOPPED}, std::string("s: the run was stopped by a callback")));
  CorvantaModelFunctions incomplete = kModel;
  incomplete.Step = nullptr;
  EXPECT_EQ(failureOf(valid, true, incomplete),
            std::make_pair(int{CORVANTA_ENGINE_BAD_ARGUMENT},
                           std::string("s: the model functions are missing or incomplete")));
  EXPECT_EQ(failureOf(valid, true), std::make_pair(int{CORVANTA_ENGINE_OK}, std::string()));
}

}  // namespace
