#include "engine/sweep/EngineRun.h"

#include <array>
#include <memory>

#include "vehicle/corvanta_vehicle.h"

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

// The signals of the signal metrics, in the order RunMetricsAccumulator::afterSignals takes.
constexpr std::array<int, kMetricSignalCount> kMetricSignals = {
    CORVANTA_SIGNAL_Gear,        CORVANTA_SIGNAL_LateralAcceleration, CORVANTA_SIGNAL_SlipAngleFL,
    CORVANTA_SIGNAL_SlipAngleFR, CORVANTA_SIGNAL_SlipAngleRL,         CORVANTA_SIGNAL_SlipAngleRR};

int afterRow(void *user, const double *row) {
  // A row after every step: the signals follow the time and the outputs.
  static_cast<StepSink *>(user)->accumulator.afterSignals(row + CORVANTA_ROW_LENGTH);
  return 0;
}

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
  if (model.Signals != nullptr && model.InitialSignals != nullptr) {
    // The signal metrics see every step through a row with the signals appended.
    options.every = 1;
    options.signals = kMetricSignals.data();
    options.signal_count = kMetricSignals.size();
    options.on_row = afterRow;
    options.row_user = &sink;
  }
  CorvantaEngineError error{};
  if (corvanta_scenario_run(handle.get(), &model, &options, nullptr, &error) != CORVANTA_ENGINE_OK) {
    throw EngineRunError(error.status, label + ": " + error.message);
  }
  return sink.accumulator.metrics();
}

}  // namespace corvanta::sweep
