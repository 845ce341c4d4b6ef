#include "EngineRun.h"

#include <memory>

namespace corvanta::sweep {

namespace {

struct ScenarioFree {
  void operator()(CorvantaScenario *scenario) const { corvanta_scenario_free(scenario); }
};
using ScenarioHandle = std::unique_ptr<CorvantaScenario, ScenarioFree>;

ScenarioHandle load(const Json &scenario, const std::string &source) {
  // nlohmann writes every double in a form that reads back as the same bits.
  const std::string text = scenario.dump();
  CorvantaLoadOptions options{};
  options.format = CORVANTA_FORMAT_JSON;
  CorvantaEngineError error{};
  ScenarioHandle handle(corvanta_scenario_load_text(text.data(), text.size(), source.c_str(), &options, &error));
  if (!handle) {
    throw EngineRunError(error.status, error.message);
  }
  return handle;
}

struct StepSink {
  RunMetricsAccumulator accumulator;
  const std::atomic<bool> *cancel;
};

int afterStep(void *user, std::uint64_t steps, int initialized, const double *inputs, const double *outputs) {
  StepSink &sink = *static_cast<StepSink *>(user);
  sink.accumulator.afterStep(steps, initialized != 0, inputs, outputs);
  return (sink.cancel != nullptr && sink.cancel->load(std::memory_order_relaxed)) ? 1 : 0;
}

}  // namespace

void checkScenario(const Json &scenario, const std::string &source) { load(scenario, source); }

RunMetrics runScenarioInEngine(const CorvantaModelFunctions &model, const Json &scenario, const std::string &label,
                               const std::atomic<bool> *cancel) {
  const ScenarioHandle handle = load(scenario, label);
  StepSink sink{RunMetricsAccumulator(), cancel};
  CorvantaRunOptions options{};
  options.every = UINT64_MAX;  // no rows: the metrics see every step
  options.skip_initial_row = 1;
  options.on_step = afterStep;
  options.step_user = &sink;
  CorvantaEngineError error{};
  if (corvanta_scenario_run(handle.get(), &model, &options, nullptr, &error) != CORVANTA_ENGINE_OK) {
    throw EngineRunError(error.status, label + ": " + error.message);
  }
  return sink.accumulator.metrics();
}

}  // namespace corvanta::sweep
