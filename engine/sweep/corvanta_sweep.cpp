// The sweep part of the engine's C interface: argument checks, exceptions turned into
// status codes and error records, and the opaque handle.
#include "engine/sweep/corvanta_sweep.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "engine/sweep/EngineRun.h"
#include "engine/sweep/ResultsCsv.h"
#include "engine/sweep/SweepDefinition.h"
#include "engine/sweep/SweepRunner.h"
#include "engine/sweep/SweepTable.h"

struct CorvantaSweep {
  corvanta::sweep::SweepDefinition definition;
  std::vector<corvanta::sweep::Column> columns;
};

namespace {

using namespace corvanta::sweep;

class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A callback asked the sweep to stop.
struct Stopped {};

void report(CorvantaEngineError *error, int status, const std::string &message) {
  if (error == nullptr) {
    return;
  }
  *error = CorvantaEngineError{};
  error->status = status;
  std::snprintf(error->problem, sizeof error->problem, "%s", message.c_str());
  std::snprintf(error->message, sizeof error->message, "%s", message.c_str());
}

template <typename Work>
int guarded(CorvantaEngineError *error, Work &&work) {
  report(error, CORVANTA_ENGINE_OK, std::string());
  try {
    return work();
  } catch (const SweepError &failure) {
    report(error, CORVANTA_ENGINE_BAD_SCENARIO, failure.what());
    return CORVANTA_ENGINE_BAD_SCENARIO;
  } catch (const EngineRunError &failure) {
    report(error, failure.status(), failure.what());
    return failure.status();
  } catch (const ArgumentError &failure) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, failure.what());
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  } catch (const ResultsFileError &failure) {
    report(error, CORVANTA_ENGINE_OUTPUT_FAILED, failure.what());
    return CORVANTA_ENGINE_OUTPUT_FAILED;
  } catch (const ThreadStartError &failure) {
    report(error, CORVANTA_ENGINE_OUT_OF_MEMORY, failure.what());
    return CORVANTA_ENGINE_OUT_OF_MEMORY;
  } catch (const Stopped &) {
    report(error, CORVANTA_ENGINE_STOPPED, "stopped by a callback");
    return CORVANTA_ENGINE_STOPPED;
  } catch (const std::bad_alloc &) {
    report(error, CORVANTA_ENGINE_OUT_OF_MEMORY, "out of memory");
    return CORVANTA_ENGINE_OUT_OF_MEMORY;
  } catch (const std::exception &failure) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, std::string("internal error: ") + failure.what());
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
}

std::string readFile(const char *path) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw SweepError(std::string("cannot open '") + path + "': " + (errno != 0 ? std::strerror(errno) : "open failed"));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    throw SweepError(std::string("cannot read '") + path + "'");
  }
  return text.str();
}

// The base scenario, or each scenario of a list, and the scenario of the first run are
// checked before anything runs, so that most mistakes show at once.
void checkScenarios(const SweepDefinition &definition) {
  const std::string &file = definition.fileName();
  if (definition.kind() == SweepDefinition::Kind::ScenarioList) {
    for (std::uint64_t run = 0; run < definition.runCount(); ++run) {
      checkScenario(definition.scenarioOfRun(run), file + ": [" + std::to_string(run) + "]");
    }
    return;
  }
  checkScenario(definition.base(), file + ": base");
  const std::vector<double> values = definition.valuesOfRun(0);
  checkScenario(definition.scenarioOfRun(0, values), runLabel(definition, 0, values));
}

CorvantaSweep *load(const std::string &text, const std::string &source, CorvantaEngineError *error) {
  CorvantaSweep *sweep = nullptr;
  guarded(error, [&] {
    SweepDefinition definition = SweepDefinition::parse(text, source);
    checkScenarios(definition);
    std::vector<Column> columns = sweepColumns(definition);
    sweep = new CorvantaSweep{std::move(definition), std::move(columns)};
    return CORVANTA_ENGINE_OK;
  });
  return sweep;
}

void checkModel(const CorvantaModelFunctions *model) {
  if (model == nullptr || model->CreateVehicleModel == nullptr || model->DeleteVehicleModel == nullptr ||
      model->Initialize == nullptr || model->SetInputs == nullptr || model->Step == nullptr ||
      model->GetOutputs == nullptr || model->Terminate == nullptr) {
    throw ArgumentError("the model functions are missing or incomplete");
  }
}

}  // namespace

extern "C" {

CorvantaSweep *corvanta_sweep_load_file(const char *path, CorvantaEngineError *error) {
  if (path == nullptr) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, "no path given");
    return nullptr;
  }
  std::string text;
  if (guarded(error, [&] {
        text = readFile(path);
        return CORVANTA_ENGINE_OK;
      }) != CORVANTA_ENGINE_OK) {
    return nullptr;
  }
  return load(text, path, error);
}

CorvantaSweep *corvanta_sweep_load_text(const char *text, size_t length, const char *source,
                                        CorvantaEngineError *error) {
  if (text == nullptr && length > 0) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, "no text given");
    return nullptr;
  }
  return load(std::string(text == nullptr ? "" : text, length), source == nullptr ? "<string>" : source, error);
}

void corvanta_sweep_free(CorvantaSweep *sweep) { delete sweep; }

uint64_t corvanta_sweep_run_count(const CorvantaSweep *sweep) {
  return sweep == nullptr ? 0 : sweep->definition.runCount();
}

size_t corvanta_sweep_column_count(const CorvantaSweep *sweep) { return sweep == nullptr ? 0 : sweep->columns.size(); }

const char *corvanta_sweep_column_name(const CorvantaSweep *sweep, size_t column) {
  return (sweep == nullptr || column >= sweep->columns.size()) ? nullptr : sweep->columns[column].name.c_str();
}

int corvanta_sweep_column_kind(const CorvantaSweep *sweep, size_t column) {
  if (sweep == nullptr || column >= sweep->columns.size()) {
    return -1;
  }
  switch (sweep->columns[column].kind) {
    case ColumnKind::RunIndex:
      return CORVANTA_SWEEP_COLUMN_RUN;
    case ColumnKind::Optional:
      return CORVANTA_SWEEP_COLUMN_OPTIONAL;
    case ColumnKind::Flag:
      return CORVANTA_SWEEP_COLUMN_FLAG;
    case ColumnKind::Number:
      break;
  }
  return CORVANTA_SWEEP_COLUMN_NUMBER;
}

int corvanta_sweep_scenario_text(const CorvantaSweep *sweep, uint64_t run, char *buffer, size_t capacity,
                                 size_t *length, CorvantaEngineError *error) {
  return guarded(error, [&] {
    if (sweep == nullptr || length == nullptr || (buffer == nullptr && capacity > 0)) {
      throw ArgumentError("no sweep, length or buffer given");
    }
    if (run >= sweep->definition.runCount()) {
      throw ArgumentError("run " + std::to_string(run) + " is out of range: the sweep has " +
                          std::to_string(sweep->definition.runCount()) + " runs");
    }
    const std::string text = sweep->definition.scenarioOfRun(run).dump();
    *length = text.size();
    if (capacity > text.size()) {
      std::memcpy(buffer, text.c_str(), text.size() + 1);
    }
    return CORVANTA_ENGINE_OK;
  });
}

int corvanta_sweep_run(const CorvantaSweep *sweep, const CorvantaModelFunctions *model,
                       const CorvantaSweepOptions *options, CorvantaSweepTotals *totals, CorvantaEngineError *error) {
  if (totals != nullptr) {
    *totals = CorvantaSweepTotals{};
  }
  return guarded(error, [&] {
    if (sweep == nullptr) {
      throw ArgumentError("no sweep given");
    }
    checkModel(model);
    const CorvantaSweepOptions settings = options != nullptr ? *options : CorvantaSweepOptions{};
    const std::uint64_t total = sweep->definition.runCount();
    const std::uint64_t first = settings.first_run < total ? settings.first_run : total;
    const std::uint64_t available = total - first;
    const std::uint64_t count =
        (settings.run_count == 0 || settings.run_count > available) ? available : settings.run_count;
    if (settings.rows != nullptr && settings.row_capacity < count) {
      throw ArgumentError("the row buffer holds " + std::to_string(settings.row_capacity) + " rows; the sweep needs " +
                          std::to_string(count));
    }
    const std::size_t width = sweep->columns.size();
    std::optional<ResultsCsvFile> csv;
    if (settings.csv_path != nullptr) {
      csv.emplace(settings.csv_path, sweep->columns);
    }
    std::vector<double> scratch(width);
    // Set when the sweep stops on this thread (a callback, a failed write), so that the
    // runs in flight end at their next step instead of running to their end.
    std::atomic<bool> cancel{false};
    const auto cancelling = [&cancel](auto &&work) {
      try {
        work();
      } catch (...) {
        cancel = true;
        throw;
      }
    };
    const RowSink sink = [&](const SweepRow &row) {
      cancelling([&] {
        double *values = settings.rows != nullptr ? settings.rows + (row.run - first) * width : scratch.data();
        flattenRow(row, values);
        if (csv) {
          csv->write(row);
        }
        if (settings.on_row != nullptr && settings.on_row(settings.row_user, values) != 0) {
          throw Stopped{};
        }
      });
    };
    ProgressSink progress;
    if (settings.on_progress != nullptr) {
      progress = [&](const SweepProgress &status) {
        cancelling([&] {
          if (settings.on_progress(settings.progress_user, status.runsDone, status.runsTotal, status.stepsDone,
                                   status.wallSeconds) != 0) {
            throw Stopped{};
          }
        });
      };
    }
    const RunScenario run = [model, &cancel](const Json &scenario, const std::string &label) {
      return runScenarioInEngine(*model, scenario, label, &cancel);
    };
    const unsigned threads = threadCountFor(settings.threads);
    const SweepProgress done = runSweep(sweep->definition, run, SweepOptions{threads, first, count}, sink, progress);
    if (csv) {
      csv->commit();
    }
    if (totals != nullptr) {
      *totals = CorvantaSweepTotals{done.runsDone, done.stepsDone, done.wallSeconds,
                                    static_cast<unsigned>(std::min<std::uint64_t>(threads, count > 0 ? count : 1))};
    }
    return CORVANTA_ENGINE_OK;
  });
}

}  // extern "C"
