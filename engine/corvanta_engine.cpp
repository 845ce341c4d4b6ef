// The engine's C interface: argument checks, exceptions turned into status codes and
// CorvantaEngineError records, and the opaque handles.  The work is done by the C++
// parts (ScenarioFile, Runner, OutputRows, CsvWriter, InstanceStepping).
#include "engine/corvanta_engine.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/messages/ScenarioError.h"
#include "engine/output/CsvWriter.h"
#include "engine/output/NumberText.h"
#include "engine/output/OutputRows.h"
#include "engine/running/InstanceStepping.h"
#include "engine/running/Runner.h"
#include "engine/running/Schedule.h"
#include "engine/scenario/ScenarioFile.h"

struct CorvantaScenario {
  corvanta::engine::Schedule schedule;
};

struct CorvantaCsvWriter {
  CorvantaCsvWriter(const std::string &path, std::vector<std::string> columns)
      : file(path), table(file.stream(), std::move(columns), file.displayName()) {}
  corvanta::engine::OutputFile file;
  corvanta::engine::CsvTableWriter table;
  std::string failure;  // the first failed write; later rows are refused, close reports it
};

namespace {

using namespace corvanta::engine;

// A call the caller got wrong: NULL where a value is needed, a buffer too small.
class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <std::size_t N>
void copyText(char (&target)[N], const std::string &text) {
  std::snprintf(target, N, "%s", text.c_str());
}

void report(CorvantaEngineError *error, int status, const std::string &message, const std::string &problem,
            const std::string &path = std::string(), std::size_t line = 0, std::size_t column = 0) {
  if (error == nullptr) {
    return;
  }
  error->status = status;
  error->line = line;
  error->column = column;
  copyText(error->path, path);
  copyText(error->problem, problem);
  copyText(error->message, message);
}

void clear(CorvantaEngineError *error) { report(error, CORVANTA_ENGINE_OK, std::string(), std::string()); }

// Runs `work`, turning what it throws into a status and an error record.
template <typename Work>
int guarded(CorvantaEngineError *error, Work &&work) {
  clear(error);
  try {
    return work();
  } catch (const ScenarioError &failure) {
    report(error, CORVANTA_ENGINE_BAD_SCENARIO, failure.what(), failure.problem(), failure.path(), failure.line(),
           failure.column());
    return CORVANTA_ENGINE_BAD_SCENARIO;
  } catch (const ArgumentError &failure) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, failure.what(), failure.what());
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  } catch (const ModelError &failure) {
    report(error, CORVANTA_ENGINE_MODEL_FAILED, failure.what(), failure.what());
    return CORVANTA_ENGINE_MODEL_FAILED;
  } catch (const OutputError &failure) {
    report(error, CORVANTA_ENGINE_OUTPUT_FAILED, failure.what(), failure.what());
    return CORVANTA_ENGINE_OUTPUT_FAILED;
  } catch (const std::bad_alloc &) {
    report(error, CORVANTA_ENGINE_OUT_OF_MEMORY, "out of memory", "out of memory");
    return CORVANTA_ENGINE_OUT_OF_MEMORY;
  } catch (const std::exception &failure) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, failure.what(), failure.what());
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
}

void require(bool condition, const std::string &what) {
  if (!condition) {
    throw ArgumentError(what);
  }
}

void requireModel(const CorvantaModelFunctions *model) {
  require(model != nullptr && model->CreateVehicleModel != nullptr && model->DeleteVehicleModel != nullptr &&
              model->Initialize != nullptr && model->SetInputs != nullptr && model->Step != nullptr &&
              model->GetOutputs != nullptr && model->Terminate != nullptr,
          "the model functions are missing or incomplete");
}

LoadOptions loadOptionsOf(const CorvantaLoadOptions *options) {
  LoadOptions result;
  if (options == nullptr) {
    return result;
  }
  switch (options->format) {
    case CORVANTA_FORMAT_AUTO:
      break;
    case CORVANTA_FORMAT_JSON:
      result.format = ScenarioFormat::Json;
      break;
    case CORVANTA_FORMAT_RECORDED_INPUTS:
      result.format = ScenarioFormat::RecordedInputs;
      break;
    default:
      throw ArgumentError("format: expected CORVANTA_FORMAT_AUTO, _JSON or _RECORDED_INPUTS, got " +
                          std::to_string(options->format));
  }
  switch (options->interpolation) {
    case CORVANTA_INTERPOLATION_FROM_SOURCE:
      break;
    case CORVANTA_INTERPOLATION_HOLD:
      result.interpolation = Interpolation::Hold;
      break;
    case CORVANTA_INTERPOLATION_LINEAR:
      result.interpolation = Interpolation::Linear;
      break;
    default:
      throw ArgumentError("interpolation: expected CORVANTA_INTERPOLATION_FROM_SOURCE, _HOLD or _LINEAR, got " +
                          std::to_string(options->interpolation));
  }
  if (options->has_duration != 0) {
    const StepCountResult count = checkedStepCount(options->duration);
    if (!count.error.empty()) {
      throw ArgumentError("duration: " + count.error + ", got " + shortestText(options->duration));
    }
    result.durationSteps = count.steps;
  }
  return result;
}

LoadOptions withLimits(LoadOptions options, const CorvantaSourceLimits *limits) {
  if (limits != nullptr) {
    if (limits->max_bytes != 0) {
      options.maxSourceBytes = limits->max_bytes;
    }
    options.allowNonFinite = limits->allow_nonfinite != 0;
  }
  return options;
}

static_assert(CORVANTA_ENGINE_DEFAULT_MAX_BYTES == kDefaultMaxSourceBytes, "one default file-size limit");

CorvantaScenario *loaded(Schedule schedule) { return new CorvantaScenario{std::move(schedule)}; }

std::uint64_t everyOrDefault(std::uint64_t every) { return every == 0 ? kDefaultEvery : every; }

}  // namespace

extern "C" {

CorvantaScenario *corvanta_scenario_load_file(const char *path, const CorvantaLoadOptions *options,
                                              CorvantaEngineError *error) {
  return corvanta_scenario_load_file_ex(path, options, nullptr, error);
}

CorvantaScenario *corvanta_scenario_load_file_ex(const char *path, const CorvantaLoadOptions *options,
                                                 const CorvantaSourceLimits *limits, CorvantaEngineError *error) {
  CorvantaScenario *scenario = nullptr;
  guarded(error, [&] {
    require(path != nullptr, "path: NULL");
    scenario = loaded(loadScenario(path, withLimits(loadOptionsOf(options), limits)));
    return CORVANTA_ENGINE_OK;
  });
  return scenario;
}

CorvantaScenario *corvanta_scenario_load_text(const char *text, size_t length, const char *source,
                                              const CorvantaLoadOptions *options, CorvantaEngineError *error) {
  return corvanta_scenario_load_text_ex(text, length, source, options, nullptr, error);
}

CorvantaScenario *corvanta_scenario_load_text_ex(const char *text, size_t length, const char *source,
                                                 const CorvantaLoadOptions *options, const CorvantaSourceLimits *limits,
                                                 CorvantaEngineError *error) {
  CorvantaScenario *scenario = nullptr;
  guarded(error, [&] {
    require(text != nullptr || length == 0, "text: NULL");
    const std::string name = (source != nullptr) ? source : "<string>";
    scenario = loaded(loadScenarioText(std::string(text == nullptr ? "" : text, length), name,
                                       withLimits(loadOptionsOf(options), limits)));
    return CORVANTA_ENGINE_OK;
  });
  return scenario;
}

void corvanta_scenario_free(CorvantaScenario *scenario) { delete scenario; }

uint64_t corvanta_scenario_step_count(const CorvantaScenario *scenario) {
  return scenario != nullptr ? scenario->schedule.stepCount : 0;
}

const char *corvanta_scenario_name(const CorvantaScenario *scenario) {
  return scenario != nullptr ? scenario->schedule.name.c_str() : "";
}

const char *corvanta_scenario_description(const CorvantaScenario *scenario) {
  return scenario != nullptr ? scenario->schedule.description.c_str() : "";
}

int corvanta_scenario_names_vehicle(const CorvantaScenario *scenario) {
  return (scenario != nullptr && scenario->schedule.vehicle) ? 1 : 0;
}

int corvanta_scenario_reinitializes(const CorvantaScenario *scenario) {
  return (scenario != nullptr && scenario->schedule.reinitializesDuringRun()) ? 1 : 0;
}

void corvanta_scenario_initial_inputs(const CorvantaScenario *scenario, double *inputs) {
  if (scenario != nullptr && inputs != nullptr) {
    std::copy(scenario->schedule.initialInputs.begin(), scenario->schedule.initialInputs.end(), inputs);
  }
}

uint64_t corvanta_scenario_row_count(const CorvantaScenario *scenario, uint64_t every, int initial_row) {
  if (scenario == nullptr) {
    return 0;
  }
  return outputRowCount(scenario->schedule.stepCount, everyOrDefault(every), initial_row != 0);
}

int corvanta_scenario_run(const CorvantaScenario *scenario, const CorvantaModelFunctions *model,
                          const CorvantaRunOptions *options, uint64_t *rows_written, CorvantaEngineError *error) {
  std::uint64_t rows = 0;
  const int status = guarded(error, [&] {
    require(scenario != nullptr, "scenario: NULL");
    requireModel(model);
    const CorvantaRunOptions none{};
    const CorvantaRunOptions &run = (options != nullptr) ? *options : none;
    const std::uint64_t every = everyOrDefault(run.every);
    const bool initialRow = run.skip_initial_row == 0;
    const Schedule &schedule = scenario->schedule;
    if (run.rows != nullptr) {
      const std::uint64_t needed = outputRowCount(schedule.stepCount, every, initialRow);
      require(run.row_capacity >= needed,
              "rows: room for " + std::to_string(run.row_capacity) + " rows, the run writes " + std::to_string(needed));
    }
    // Signal columns: the model's signals after each step (at the start: its start values),
    // the chosen ones appended to each row.
    const std::size_t signalCount = run.signal_count;
    std::size_t signalsRead = 0;
    if (signalCount > 0) {
      require(run.signals != nullptr, "signals: NULL with signal_count " + std::to_string(signalCount));
      require(model->Signals != nullptr && model->InitialSignals != nullptr,
              "signals: the model functions have no Signals and InitialSignals (a library with signals, such as "
              "libcorvanta_vehicle, provides them)");
      for (std::size_t k = 0; k < signalCount; ++k) {
        require(run.signals[k] >= 0,
                "signals[" + std::to_string(k) + "]: negative index " + std::to_string(run.signals[k]));
        signalsRead = std::max(signalsRead, static_cast<std::size_t>(run.signals[k]) + 1);
      }
    }
    std::vector<double> signalValues(signalsRead);
    std::vector<double> fullRow(CORVANTA_ROW_LENGTH + signalCount);
    const auto readSignals = [&](std::size_t (*read)(const void *, double *, std::size_t), const void *handle) {
      if (signalCount > 0) {
        const std::size_t got = read(handle, signalValues.data(), signalValues.size());
        require(got == signalValues.size(), "signals: index " + std::to_string(signalsRead - 1) +
                                                " out of range, the model has " + std::to_string(got) + " signals");
      }
    };
    bool stoppedByCallback = false;
    OutputRows output(every, schedule.stepCount, initialRow, [&](const OutputRow &row) {
      std::copy(row.begin(), row.end(), fullRow.begin());
      for (std::size_t k = 0; k < signalCount; ++k) {
        fullRow[CORVANTA_ROW_LENGTH + k] = signalValues[static_cast<std::size_t>(run.signals[k])];
      }
      if (run.rows != nullptr) {
        std::copy(fullRow.begin(), fullRow.end(), run.rows + rows * fullRow.size());
      }
      ++rows;
      if (run.on_row != nullptr && run.on_row(run.row_user, fullRow.data()) != 0) {
        stoppedByCallback = true;
      }
      return !stoppedByCallback;
    });
    RunObserver observer;
    observer.started = [&](const ExtY_Corvanta_T &outputs, const void *handle) {
      readSignals(model->InitialSignals, handle);
      return output.started(outputs);
    };
    observer.stepped = [&](const StepReport &step) {
      readSignals(model->Signals, step.handle);
      if (!output.afterStep(step.steps, step.outputs, step.last)) {
        return false;
      }
      if (run.on_step != nullptr) {
        const OutputValues outputs = toOutputArray(step.outputs);
        if (run.on_step(run.step_user, step.steps, step.initialized ? 1 : 0, step.inputs.data(), outputs.data()) != 0) {
          return false;
        }
      }
      return true;
    };
    if (runSchedule(*model, schedule, observer) == RunEnd::Stopped) {
      const std::string stopped = "the run was stopped by a callback";
      report(error, CORVANTA_ENGINE_STOPPED, stopped, stopped);
      return CORVANTA_ENGINE_STOPPED;
    }
    return CORVANTA_ENGINE_OK;
  });
  if (rows_written != nullptr) {
    *rows_written = rows;
  }
  return status;
}

int corvanta_scenario_input_rows(const CorvantaScenario *scenario, uint64_t every, int initial_row, double *rows,
                                 uint64_t row_capacity, CorvantaEngineError *error) {
  return guarded(error, [&] {
    require(scenario != nullptr, "scenario: NULL");
    const std::uint64_t step = everyOrDefault(every);
    const std::uint64_t needed = outputRowCount(scenario->schedule.stepCount, step, initial_row != 0);
    require(rows != nullptr || needed == 0, "rows: NULL");
    require(row_capacity >= needed,
            "rows: room for " + std::to_string(row_capacity) + " rows, the run has " + std::to_string(needed));
    // A buffer of that size fits a 32-bit address space only when its size does.
    require(needed <= SIZE_MAX / CORVANTA_INPUT_ROW_LENGTH / sizeof(double),
            "rows: " + std::to_string(needed) + " rows do not fit in memory");
    std::vector<double> values;
    values.reserve(static_cast<std::size_t>(needed) * CORVANTA_INPUT_ROW_LENGTH);
    inputRows(scenario->schedule, step, initial_row != 0, values);
    std::copy(values.begin(), values.end(), rows);
    return CORVANTA_ENGINE_OK;
  });
}

int corvanta_model_step(const CorvantaModelFunctions *model, void *handle, uint64_t steps, uint64_t every,
                        double *outputs, CorvantaEngineError *error) {
  return corvanta_model_run_inputs(model, handle, nullptr, steps, every, outputs, error);
}

int corvanta_model_run_inputs(const CorvantaModelFunctions *model, void *handle, const double *inputs, uint64_t steps,
                              uint64_t every, double *outputs, CorvantaEngineError *error) {
  return guarded(error, [&] {
    requireModel(model);
    require(handle != nullptr, "handle: NULL");
    require(outputs != nullptr || steps == 0, "outputs: NULL");
    stepInstance(*model, handle, inputs, steps, every == 0 ? 1 : every, outputs);
    return CORVANTA_ENGINE_OK;
  });
}

CorvantaCsvWriter *corvanta_csv_open(const char *path, const char *const *columns, size_t column_count,
                                     CorvantaEngineError *error) {
  CorvantaCsvWriter *writer = nullptr;
  guarded(error, [&] {
    require(path != nullptr, "path: NULL");
    require(columns != nullptr && column_count > 0, "columns: none given");
    std::vector<std::string> names;
    for (std::size_t index = 0; index < column_count; ++index) {
      require(columns[index] != nullptr, "columns: a NULL name");
      names.emplace_back(columns[index]);
    }
    writer = new CorvantaCsvWriter(path, std::move(names));
    return CORVANTA_ENGINE_OK;
  });
  return writer;
}

int corvanta_csv_write_row(CorvantaCsvWriter *writer, const double *values) {
  if (writer == nullptr || values == nullptr) {
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
  if (!writer->failure.empty()) {
    return CORVANTA_ENGINE_OUTPUT_FAILED;
  }
  // Keeping the reason may itself need memory: without it the writer still counts as failed
  // (corvanta_csv_close then reports that memory ran out).
  const auto keep = [writer](const char *reason) {
    try {
      writer->failure = reason;
    } catch (...) {
      writer->failure.assign("out of memory");  // fits the string's own storage
    }
  };
  try {
    writer->table.writeRow(values);
  } catch (const OutputError &failure) {
    keep(failure.what());
    return CORVANTA_ENGINE_OUTPUT_FAILED;
  } catch (const std::bad_alloc &) {
    keep("out of memory");
    return CORVANTA_ENGINE_OUT_OF_MEMORY;
  } catch (...) {
    keep("unexpected error while writing a row");
    return CORVANTA_ENGINE_OUTPUT_FAILED;
  }
  return CORVANTA_ENGINE_OK;
}

int corvanta_csv_row_callback(void *user, const double *row) {
  return corvanta_csv_write_row(static_cast<CorvantaCsvWriter *>(user), row) == CORVANTA_ENGINE_OK ? 0 : 1;
}

int corvanta_csv_close(CorvantaCsvWriter *writer, CorvantaEngineError *error) {
  const int status = guarded(error, [&] {
    if (writer != nullptr) {
      if (!writer->failure.empty()) {
        throw OutputError(writer->failure);  // the destructor discards the partial file
      }
      writer->file.close();
    }
    return CORVANTA_ENGINE_OK;
  });
  delete writer;
  return status;
}

void corvanta_csv_discard(CorvantaCsvWriter *writer) { delete writer; }

int corvanta_csv_failed(const CorvantaCsvWriter *writer) {
  return (writer != nullptr && !writer->failure.empty()) ? 1 : 0;
}

const char *corvanta_engine_input_name(int index) {
  return (index >= 0 && index < CORVANTA_NUM_INPUTS) ? kInputNames[static_cast<std::size_t>(index)].data() : nullptr;
}

const char *corvanta_engine_output_name(int index) {
  return (index >= 0 && index < CORVANTA_NUM_OUTPUTS) ? kOutputNames[static_cast<std::size_t>(index)].data() : nullptr;
}

const char *corvanta_engine_version(void) { return CORVANTA_ENGINE_VERSION_STRING; }

}  // extern "C"
