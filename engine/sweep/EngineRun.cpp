#include "engine/sweep/EngineRun.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/messages/ScenarioError.h"
#include "engine/running/Runner.h"
#include "engine/scenario/JsonDocument.h"
#include "engine/scenario/JsonScenario.h"
#include "vehicle/corvanta_vehicle.h"

namespace corvanta::sweep {

namespace {

// The signals of the signal metrics, in the order RunMetricsAccumulator::afterSignals takes.
constexpr std::array<int, kMetricSignalCount> kMetricSignals = {
    CORVANTA_SIGNAL_Gear,        CORVANTA_SIGNAL_LateralAcceleration, CORVANTA_SIGNAL_SlipAngleFL,
    CORVANTA_SIGNAL_SlipAngleFR, CORVANTA_SIGNAL_SlipAngleRL,         CORVANTA_SIGNAL_SlipAngleRR};

// Runs `work`, turning what the engine throws into an EngineRunError with the status a
// scenario file's load or run reports and its message after `prefix`.
template <typename Work>
auto asEngineRun(const std::string &prefix, Work &&work) {
  try {
    return work();
  } catch (const engine::ScenarioError &failure) {
    throw EngineRunError(CORVANTA_ENGINE_BAD_SCENARIO, prefix + failure.what());
  } catch (const engine::ModelError &failure) {
    throw EngineRunError(CORVANTA_ENGINE_MODEL_FAILED, prefix + failure.what());
  } catch (const std::bad_alloc &) {
    throw EngineRunError(CORVANTA_ENGINE_OUT_OF_MEMORY, prefix + "out of memory");
  } catch (const std::exception &failure) {
    throw EngineRunError(CORVANTA_ENGINE_BAD_ARGUMENT, prefix + failure.what());
  }
}

// Nesting of a document: 1 for a scalar, one more per array or object around it.
std::size_t depthOf(const Json &value) {
  std::size_t deepest = 0;
  if (value.is_structured()) {
    for (const Json &element : value) {
      deepest = std::max(deepest, depthOf(element));
    }
  }
  return deepest + 1;
}

// The document as a scenario file with its text would give it: a NaN or an infinity (a
// sweep's "none" or a non-finite value) is written as null in JSON, so it reads as null
// (an error for a number, "release the pedals" for a driver's speed).
Json asWritten(const Json &value) {
  if (value.is_number_float() && !std::isfinite(value.get<double>())) {
    return Json(nullptr);
  }
  if (value.is_object()) {
    Json result = Json::object();
    for (const auto &item : value.items()) {
      result[item.key()] = asWritten(item.value());
    }
    return result;
  }
  if (value.is_array()) {
    Json result = Json::array();
    for (const Json &element : value) {
      result.push_back(asWritten(element));
    }
    return result;
  }
  return value;
}

engine::Schedule scheduleOf(const Json &scenario, const std::string &source) {
  return asEngineRun(std::string(), [&] {
    if (depthOf(scenario) + 1 >= engine::kMaxJsonDepth) {
      // Near the nesting limit the text decides, as for a file.
      return engine::readJsonScenario(engine::parseJsonDocument(scenario.dump(), source), source);
    }
    return engine::readJsonScenario(asWritten(scenario), source);
  });
}

}  // namespace

void checkScenario(const Json &scenario, const std::string &source) { scheduleOf(scenario, source); }

RunMetrics runScenarioInEngine(const CorvantaModelFunctions &model, const Json &scenario, const std::string &label,
                               const std::atomic<bool> *cancel) {
  const engine::Schedule schedule = scheduleOf(scenario, label);
  RunMetricsAccumulator accumulator;
  // The signal metrics see the model's signals after every step.
  const bool withSignals = model.Signals != nullptr && model.InitialSignals != nullptr;
  std::size_t signalsRead = 0;
  for (const int signal : kMetricSignals) {
    signalsRead = std::max(signalsRead, static_cast<std::size_t>(signal) + 1);
  }
  std::vector<double> signalValues(withSignals ? signalsRead : 0);
  std::array<double, kMetricSignalCount> metricSignals{};
  const auto readSignals = [&](std::size_t (*read)(const void *, double *, std::size_t), const void *handle) {
    const std::size_t got = read(handle, signalValues.data(), signalValues.size());
    if (got != signalValues.size()) {
      throw std::invalid_argument("signals: index " + std::to_string(signalsRead - 1) +
                                  " out of range, the model has " + std::to_string(got) + " signals");
    }
    for (std::size_t k = 0; k < kMetricSignalCount; ++k) {
      metricSignals[k] = signalValues[static_cast<std::size_t>(kMetricSignals[k])];
    }
  };
  engine::RunObserver observer;
  observer.started = [&](const ExtY_Corvanta_T &, const void *handle) {
    if (withSignals) {
      readSignals(model.InitialSignals, handle);
    }
    return true;
  };
  observer.stepped = [&](const engine::StepReport &step) {
    if (withSignals) {
      readSignals(model.Signals, step.handle);
      accumulator.afterSignals(metricSignals.data());
    }
    const engine::OutputValues outputs = engine::toOutputArray(step.outputs);
    accumulator.afterStep(step.steps, step.initialized, step.inputs.data(), outputs.data());
    return !(cancel != nullptr && cancel->load(std::memory_order_relaxed));
  };
  const engine::RunEnd end = asEngineRun(label + ": ", [&] {
    if (model.CreateVehicleModel == nullptr || model.DeleteVehicleModel == nullptr || model.Initialize == nullptr ||
        model.SetInputs == nullptr || model.Step == nullptr || model.GetOutputs == nullptr ||
        model.Terminate == nullptr) {
      throw std::invalid_argument("the model functions are missing or incomplete");
    }
    return engine::runSchedule(model, schedule, observer);
  });
  if (end == engine::RunEnd::Stopped) {
    throw EngineRunError(CORVANTA_ENGINE_STOPPED, label + ": the run was stopped by a callback");
  }
  return accumulator.metrics();
}

}  // namespace corvanta::sweep
