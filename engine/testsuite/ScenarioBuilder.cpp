#include "engine/testsuite/ScenarioBuilder.h"

#include <utility>

#include "engine/scenario/JsonScenario.h"

namespace corvanta::testsuite {

ScenarioBuilder::ScenarioBuilder(const std::string &name, const std::string &description, double duration,
                                 double initialSpeed) {
  json_["name"] = name;
  json_["description"] = description;
  json_["duration"] = duration;
  json_["inputs"] = {{"GearSelector", 1}, {"InitialSpeed", initialSpeed}};
  json_["driver"] = Json::object();
  json_["events"] = Json::array();
}

ScenarioBuilder &ScenarioBuilder::speed(Json setting) {
  json_["driver"]["speed"] = std::move(setting);
  return *this;
}

ScenarioBuilder &ScenarioBuilder::path(Json shape) {
  json_["driver"]["path"] = std::move(shape);
  return *this;
}

ScenarioBuilder &ScenarioBuilder::event(Json event) {
  json_["events"].push_back(std::move(event));
  return *this;
}

ScenarioBuilder &ScenarioBuilder::ramp(double from, double until, const char *input, double target) {
  return event({{"time", from}, {"until", until}, {"ramp", {{input, target}}}});
}

ScenarioBuilder &ScenarioBuilder::stopWhen(const char *signal, const char *op, double value) {
  return event({{"when", {{signal, {{op, value}}}}}, {"stop", true}});
}

TestScenario ScenarioBuilder::build() const {
  const std::string name = json_["name"].get<std::string>();
  std::string text = json_.dump(2) + "\n";
  return TestScenario{name, engine::parseJsonScenario(text, name + ".json"), std::move(text)};
}

Json holdSpeed(double target) { return {{"target", target}}; }

Json fixedDemand(double demand, const char *gear) { return {{"demand", demand}, {"gear", gear}}; }

Json straightAhead() { return {{"straight", Json::object()}}; }

}  // namespace corvanta::testsuite
