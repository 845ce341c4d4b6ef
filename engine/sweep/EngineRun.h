// One run of a sweep in the scenario engine: the run's scenario (a document, not text) goes
// through the same reader and checks as a scenario file, runs in the engine's runner on a
// fresh model instance, and every step feeds the run's metrics.
#ifndef CORVANTA_SWEEP_ENGINERUN_H
#define CORVANTA_SWEEP_ENGINERUN_H

#include <atomic>
#include <stdexcept>
#include <string>

#include "engine/corvanta_engine.h"
#include "engine/sweep/RunMetrics.h"
#include "engine/sweep/SweepJson.h"

namespace corvanta::sweep {

// A run the engine refused or could not finish; keeps the engine's status and message.
class EngineRunError : public std::runtime_error {
 public:
  EngineRunError(int status, const std::string &message) : std::runtime_error(message), status_(status) {}
  int status() const { return status_; }

 private:
  int status_;
};

// Checks `scenario` as the engine reads JSON scenarios; `source` names it in the message
// ("sweep.json: base: duration: expected a number").  Throws EngineRunError.
void checkScenario(const Json &scenario, const std::string &source);

// Runs `scenario` with the model's functions and returns its metrics (wall_time 0).
// Throws EngineRunError naming `label` when the scenario is invalid or the model fails,
// or with CORVANTA_ENGINE_STOPPED when `cancel` (may be NULL) becomes true during the run:
// a sweep that stops ends its runs in flight that way.
RunMetrics runScenarioInEngine(const CorvantaModelFunctions &model, const Json &scenario, const std::string &label,
                               const std::atomic<bool> *cancel = nullptr);

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_ENGINERUN_H
