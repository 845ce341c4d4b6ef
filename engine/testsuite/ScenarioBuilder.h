// The scenarios of the standard tests, built as JSON documents.  Every run is a JSON
// scenario, read by the scenario engine like any other and written beside the run's
// CSV: `corvanta-sim DIR/RUN.json` runs it again.
#ifndef CORVANTA_TESTSUITE_SCENARIOBUILDER_H
#define CORVANTA_TESTSUITE_SCENARIOBUILDER_H

#include <string>

#include <nlohmann/json.hpp>

#include "engine/testsuite/TestRun.h"

namespace corvanta::testsuite {

using Json = nlohmann::ordered_json;

class ScenarioBuilder {
 public:
  // A run of `duration` s from `initialSpeed` m/s in drive, with a driver and no events yet.
  ScenarioBuilder(const std::string &name, const std::string &description, double duration, double initialSpeed);

  ScenarioBuilder &speed(Json setting);  // the driver's "speed"
  ScenarioBuilder &path(Json shape);     // the driver's "path"
  ScenarioBuilder &event(Json event);
  // Ramps `input` to `target` from time `from` to `until`, s.
  ScenarioBuilder &ramp(double from, double until, const char *input, double target);
  // Stops the run once `signal` `op` `value` holds.
  ScenarioBuilder &stopWhen(const char *signal, const char *op, double value);

  // The scenario, read back through the engine's JSON reader; throws on a bad document.
  TestScenario build() const;

 private:
  Json json_;
};

// Driver speed settings and paths.
Json holdSpeed(double target);                      // hold `target` m/s
Json fixedDemand(double demand, const char *gear);  // AccelerationDemand `demand` m/s^2 in `gear`
Json straightAhead();                               // a straight path along X

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_SCENARIOBUILDER_H
