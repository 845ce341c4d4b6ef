// The C interface of the standard tests (corvanta_standard_tests.h) over the C++ tests.
#include "engine/testsuite/corvanta_standard_tests.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/driving/Condition.h"
#include "engine/driving/Path.h"
#include "engine/messages/ScenarioError.h"
#include "engine/running/Runner.h"
#include "engine/testsuite/StandardTests.h"
#include "engine/testsuite/TestOutput.h"

using corvanta::testsuite::TestDefinition;
using corvanta::testsuite::TestOption;
using corvanta::testsuite::TestResult;

// A result with the C views of its texts and tables.
struct CorvantaTestResult {
  TestResult result;
  std::vector<std::pair<std::string, double>> options;
  std::string metricsJson;
  std::string summary;
  std::vector<std::vector<const char *>> tableColumns;
  std::vector<std::vector<const char *>> tableUnits;
  std::vector<std::vector<double>> tableValues;
};

namespace {

namespace ts = corvanta::testsuite;
namespace driving = corvanta::driving;

class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <std::size_t N>
void copyText(char (&target)[N], const std::string &text) {
  std::snprintf(target, N, "%s", text.c_str());
}

void report(CorvantaEngineError *error, int status, const std::string &message) {
  if (error == nullptr) {
    return;
  }
  error->status = status;
  error->line = 0;
  error->column = 0;
  copyText(error->path, std::string());
  copyText(error->problem, message);
  copyText(error->message, message);
}

// Runs `work`, turning what it throws into a status and an error record.
template <typename Work>
int guarded(CorvantaEngineError *error, Work &&work) {
  report(error, CORVANTA_ENGINE_OK, std::string());
  try {
    return work();
  } catch (const ts::TestStopped &stopped) {
    report(error, CORVANTA_ENGINE_STOPPED, stopped.what());
    return CORVANTA_ENGINE_STOPPED;
  } catch (const ts::TestOptionError &failure) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, failure.what());
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  } catch (const ArgumentError &failure) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, failure.what());
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  } catch (const driving::DrivingError &failure) {
    report(error, CORVANTA_ENGINE_BAD_SCENARIO, failure.what());
    return CORVANTA_ENGINE_BAD_SCENARIO;
  } catch (const corvanta::engine::ScenarioError &failure) {
    report(error, CORVANTA_ENGINE_BAD_SCENARIO, failure.what());
    return CORVANTA_ENGINE_BAD_SCENARIO;
  } catch (const corvanta::engine::ModelError &failure) {
    report(error, CORVANTA_ENGINE_MODEL_FAILED, failure.what());
    return CORVANTA_ENGINE_MODEL_FAILED;
  } catch (const ts::OutputError &failure) {
    report(error, CORVANTA_ENGINE_OUTPUT_FAILED, failure.what());
    return CORVANTA_ENGINE_OUTPUT_FAILED;
  } catch (const std::bad_alloc &) {
    report(error, CORVANTA_ENGINE_OUT_OF_MEMORY, "out of memory");
    return CORVANTA_ENGINE_OUT_OF_MEMORY;
  } catch (const std::exception &failure) {
    report(error, CORVANTA_ENGINE_BAD_ARGUMENT, failure.what());
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
}

const TestOption *optionAt(std::size_t test, std::size_t option) {
  const std::vector<TestDefinition> &tests = ts::standardTests();
  if (test >= tests.size() || option >= tests[test].options.size()) {
    return nullptr;
  }
  return &tests[test].options[option];
}

// The texts of the listing, made once.
struct OptionTexts {
  std::string defaultText;
  std::string minText;
  std::string maxText;
};

const std::vector<std::vector<OptionTexts>> &optionTexts() {
  static const std::vector<std::vector<OptionTexts>> texts = [] {
    std::vector<std::vector<OptionTexts>> made;
    for (const TestDefinition &test : ts::standardTests()) {
      made.emplace_back();
      for (const TestOption &option : test.options) {
        made.back().push_back({option.vehicleParameter.empty() ? driving::shortestText(option.value)
                                                               : "the vehicle's " + option.vehicleParameter,
                               driving::shortestText(option.min), driving::shortestText(option.max)});
      }
    }
    return made;
  }();
  return texts;
}

// (name, text) pairs of the options given by name and in options_json.
std::vector<std::pair<std::string, std::string>> givenOptions(const TestDefinition &test,
                                                              const CorvantaTestRunOptions &options) {
  std::vector<std::pair<std::string, std::string>> given;
  if (options.option_count > 0 && (options.option_names == nullptr || options.option_values == nullptr)) {
    throw ArgumentError(test.name + ": option_count is " + std::to_string(options.option_count) +
                        " but option_names or option_values is NULL");
  }
  for (std::size_t i = 0; i < options.option_count; ++i) {
    if (options.option_names[i] == nullptr || options.option_values[i] == nullptr) {
      throw ArgumentError(test.name + ": option " + std::to_string(i) + " has a NULL name or value");
    }
    given.emplace_back(options.option_names[i], options.option_values[i]);
  }
  if (options.options_json != nullptr) {
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(options.options_json, nullptr, false);
    if (!document.is_object()) {
      throw ArgumentError(test.name + ": options_json is not a JSON object of option names and numbers");
    }
    for (const auto &[name, value] : document.items()) {
      // A number goes on in its shortest form, which reads back as the same double;
      // anything else is quoted in the refusal.
      given.emplace_back(name, value.is_number() ? driving::shortestText(value.get<double>()) : value.dump());
    }
  }
  return given;
}

CorvantaTestResult *wrapped(TestResult result) {
  auto *made = new CorvantaTestResult{};
  made->result = std::move(result);
  const TestResult &kept = made->result;
  for (const auto &[name, value] : kept.options) {
    made->options.emplace_back(name, value);
  }
  made->metricsJson = ts::metricsJson(kept);
  made->summary = ts::metricsTable(kept);
  for (const ts::Table &table : kept.tables) {
    std::vector<const char *> columns, units;
    for (const std::string &column : table.columns) {
      columns.push_back(column.c_str());
    }
    for (const std::string &unit : table.units) {
      units.push_back(unit.c_str());
    }
    std::vector<double> values;
    for (const std::vector<double> &row : table.rows) {
      values.insert(values.end(), row.begin(), row.end());
    }
    made->tableColumns.push_back(std::move(columns));
    made->tableUnits.push_back(std::move(units));
    made->tableValues.push_back(std::move(values));
  }
  return made;
}

bool stopFlagged(const int *flag) {
#if defined(__GNUC__) || defined(__clang__)
  return __atomic_load_n(flag, __ATOMIC_RELAXED) != 0;
#else
  return *static_cast<const volatile int *>(flag) != 0;
#endif
}

const ts::RunRecord *runAt(const CorvantaTestResult *result, std::size_t run) {
  return result != nullptr && run < result->result.runs.size() ? &result->result.runs[run] : nullptr;
}

// Indices of the run columns among the closed loop's signals.
const std::vector<int> &runColumns() {
  static const std::vector<int> columns = [] {
    std::vector<int> made;
    for (int signal = 0; signal < driving::kSignalCount; ++signal) {
      if (ts::inRunCsv(signal)) {
        made.push_back(signal);
      }
    }
    return made;
  }();
  return columns;
}

std::uint64_t frameEvery(std::uint64_t every) { return every == 0 ? 1 : every; }

std::uint64_t rowCount(const ts::RunRecord &run, std::uint64_t every) {
  const std::uint64_t frames = run.frames.size();
  return frames == 0 ? 0 : (frames - 1) / every + ((frames - 1) % every == 0 ? 1 : 2);
}

}  // namespace

extern "C" {

size_t corvanta_test_count(void) { return ts::standardTests().size(); }

const char *corvanta_test_name(size_t index) {
  const std::vector<TestDefinition> &tests = ts::standardTests();
  return index < tests.size() ? tests[index].name.c_str() : nullptr;
}

const char *corvanta_test_summary(size_t index) {
  const std::vector<TestDefinition> &tests = ts::standardTests();
  return index < tests.size() ? tests[index].summary.c_str() : nullptr;
}

int corvanta_test_find(const char *name) {
  if (name == nullptr) {
    return -1;
  }
  const std::vector<TestDefinition> &tests = ts::standardTests();
  for (std::size_t i = 0; i < tests.size(); ++i) {
    if (tests[i].name == name) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

size_t corvanta_test_option_count(size_t test) {
  const std::vector<TestDefinition> &tests = ts::standardTests();
  return test < tests.size() ? tests[test].options.size() : 0;
}

int corvanta_test_option_info(size_t test, size_t option, CorvantaTestOptionInfo *info) {
  const TestOption *found = optionAt(test, option);
  if (found == nullptr || info == nullptr) {
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
  const OptionTexts &texts = optionTexts()[test][option];
  info->name = found->name.c_str();
  info->unit = found->unit.c_str();
  info->help = found->help.c_str();
  info->default_value = found->vehicleParameter.empty() ? found->value : NAN;
  info->default_parameter = found->vehicleParameter.c_str();
  info->default_text = texts.defaultText.c_str();
  info->min = found->min;
  info->max = found->max;
  info->min_text = texts.minText.c_str();
  info->max_text = texts.maxText.c_str();
  return CORVANTA_ENGINE_OK;
}

CorvantaTestResult *corvanta_test_run(const char *test, const CorvantaTestRunOptions *options,
                                      const CorvantaModelFunctions *model, CorvantaEngineError *error) {
  CorvantaTestResult *made = nullptr;
  guarded(error, [&] {
    if (test == nullptr) {
      throw ArgumentError("no test named (NULL)");
    }
    const TestDefinition &definition = ts::findTest(test);
    if (model == nullptr || model->CreateVehicleModel == nullptr || model->DeleteVehicleModel == nullptr ||
        model->Initialize == nullptr || model->SetInputs == nullptr || model->Step == nullptr ||
        model->GetOutputs == nullptr || model->Terminate == nullptr) {
      throw ArgumentError("the model functions are missing or incomplete");
    }
    const CorvantaTestRunOptions none{};
    const CorvantaTestRunOptions &chosen = options != nullptr ? *options : none;
    // Every option, the vehicle's defaults included, is checked before the first run.
    const ts::OptionValues values =
        ts::withVehicleDefaults(definition, ts::resolveOptions(definition, givenOptions(definition, chosen)), *model);
    ts::TestContext context{*model, nullptr};
    std::size_t run = 0;
    bool started = false;
    if (chosen.on_progress != nullptr || chosen.stop_flag != nullptr) {
      context.progress = [&](std::uint64_t steps, std::uint64_t total) {
        if (steps == 1 && started) {
          ++run;
        }
        started = true;
        if (chosen.stop_flag != nullptr && stopFlagged(chosen.stop_flag)) {
          return false;
        }
        return chosen.on_progress == nullptr || chosen.on_progress(chosen.progress_user, run, steps, total) == 0;
      };
    }
    made = wrapped(ts::runStandardTest(definition, values, context));
    return CORVANTA_ENGINE_OK;
  });
  return made;
}

int corvanta_test_check(const char *test, const CorvantaTestRunOptions *options, CorvantaEngineError *error) {
  return guarded(error, [&] {
    if (test == nullptr) {
      throw ArgumentError("no test named (NULL)");
    }
    const TestDefinition &definition = ts::findTest(test);
    const CorvantaTestRunOptions none{};
    ts::resolveOptions(definition, givenOptions(definition, options != nullptr ? *options : none));
    return CORVANTA_ENGINE_OK;
  });
}

void corvanta_test_result_free(CorvantaTestResult *result) { delete result; }

const char *corvanta_test_result_name(const CorvantaTestResult *result) {
  return result != nullptr ? result->result.test.c_str() : nullptr;
}

const char *corvanta_test_result_description(const CorvantaTestResult *result) {
  return result != nullptr ? result->result.description.c_str() : nullptr;
}

size_t corvanta_test_result_option_count(const CorvantaTestResult *result) {
  return result != nullptr ? result->options.size() : 0;
}

int corvanta_test_result_option(const CorvantaTestResult *result, size_t index, const char **name, double *value) {
  if (result == nullptr || index >= result->options.size()) {
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
  if (name != nullptr) {
    *name = result->options[index].first.c_str();
  }
  if (value != nullptr) {
    *value = result->options[index].second;
  }
  return CORVANTA_ENGINE_OK;
}

size_t corvanta_test_result_metric_count(const CorvantaTestResult *result) {
  return result != nullptr ? result->result.metrics.size() : 0;
}

int corvanta_test_result_metric(const CorvantaTestResult *result, size_t index, CorvantaTestMetric *metric) {
  if (result == nullptr || metric == nullptr || index >= result->result.metrics.size()) {
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
  const ts::Metric &found = result->result.metrics[index];
  metric->name = found.name.c_str();
  metric->value = found.value;
  metric->unit = found.unit.c_str();
  metric->definition = found.definition.c_str();
  return CORVANTA_ENGINE_OK;
}

size_t corvanta_test_result_table_count(const CorvantaTestResult *result) {
  return result != nullptr ? result->result.tables.size() : 0;
}

int corvanta_test_result_table(const CorvantaTestResult *result, size_t index, CorvantaTestTable *table) {
  if (result == nullptr || table == nullptr || index >= result->result.tables.size()) {
    return CORVANTA_ENGINE_BAD_ARGUMENT;
  }
  const ts::Table &found = result->result.tables[index];
  table->name = found.name.c_str();
  table->column_count = found.columns.size();
  table->columns = result->tableColumns[index].data();
  table->units = result->tableUnits[index].data();
  table->row_count = found.rows.size();
  table->values = result->tableValues[index].data();
  return CORVANTA_ENGINE_OK;
}

size_t corvanta_test_result_note_count(const CorvantaTestResult *result) {
  return result != nullptr ? result->result.notes.size() : 0;
}

const char *corvanta_test_result_note(const CorvantaTestResult *result, size_t index) {
  return result != nullptr && index < result->result.notes.size() ? result->result.notes[index].c_str() : nullptr;
}

size_t corvanta_test_result_plot_count(const CorvantaTestResult *result) {
  return result != nullptr ? result->result.plots.size() : 0;
}

const char *corvanta_test_result_plot_file(const CorvantaTestResult *result, size_t index) {
  return result != nullptr && index < result->result.plots.size() ? result->result.plots[index].file.c_str() : nullptr;
}

const char *corvanta_test_result_plot_title(const CorvantaTestResult *result, size_t index) {
  return result != nullptr && index < result->result.plots.size() ? result->result.plots[index].title.c_str() : nullptr;
}

size_t corvanta_test_result_run_count(const CorvantaTestResult *result) {
  return result != nullptr ? result->result.runs.size() : 0;
}

const char *corvanta_test_result_run_name(const CorvantaTestResult *result, size_t run) {
  const ts::RunRecord *found = runAt(result, run);
  return found != nullptr ? found->name.c_str() : nullptr;
}

const char *corvanta_test_result_run_scenario(const CorvantaTestResult *result, size_t run) {
  const ts::RunRecord *found = runAt(result, run);
  return found != nullptr ? found->scenarioJson.c_str() : nullptr;
}

size_t corvanta_test_run_column_count(void) { return runColumns().size(); }

const char *corvanta_test_run_column_name(size_t column) {
  // The names are string_views of literals: NUL-terminated.
  return column < runColumns().size() ? driving::kSignalNames[runColumns()[column]].data() : nullptr;
}

const char *corvanta_test_run_column_unit(size_t column) {
  return column < runColumns().size() ? driving::kSignalUnits[runColumns()[column]].data() : nullptr;
}

uint64_t corvanta_test_result_run_row_count(const CorvantaTestResult *result, size_t run, uint64_t every) {
  const ts::RunRecord *found = runAt(result, run);
  return found != nullptr ? rowCount(*found, frameEvery(every)) : 0;
}

int corvanta_test_result_run_rows(const CorvantaTestResult *result, size_t run, uint64_t every, double *rows,
                                  uint64_t row_capacity, CorvantaEngineError *error) {
  return guarded(error, [&] {
    const ts::RunRecord *found = runAt(result, run);
    if (found == nullptr) {
      throw ArgumentError(result == nullptr ? "no result (NULL)" : "no run " + std::to_string(run));
    }
    const std::uint64_t step = frameEvery(every);
    const std::uint64_t count = rowCount(*found, step);
    if (rows == nullptr && count > 0) {
      throw ArgumentError("no rows buffer (NULL)");
    }
    if (row_capacity < count) {
      throw ArgumentError("the rows buffer holds " + std::to_string(row_capacity) + " rows; the run has " +
                          std::to_string(count));
    }
    const std::vector<int> &columns = runColumns();
    double *out = rows;
    for (std::size_t frame = 0; frame < found->frames.size(); ++frame) {
      if (frame % step != 0 && frame + 1 != found->frames.size()) {
        continue;
      }
      for (const int signal : columns) {
        *out++ = found->frames[frame][signal];
      }
    }
    return CORVANTA_ENGINE_OK;
  });
}

const char *corvanta_test_result_metrics_json(const CorvantaTestResult *result) {
  return result != nullptr ? result->metricsJson.c_str() : nullptr;
}

const char *corvanta_test_result_summary(const CorvantaTestResult *result) {
  return result != nullptr ? result->summary.c_str() : nullptr;
}

int corvanta_test_result_write(const CorvantaTestResult *result, const char *folder, uint64_t every,
                               CorvantaEngineError *error) {
  return guarded(error, [&] {
    if (result == nullptr || folder == nullptr || *folder == '\0') {
      throw ArgumentError(result == nullptr ? "no result (NULL)" : "no folder named");
    }
    // Every frame past the last is the last alone: a larger `every` changes nothing (and
    // fits std::size_t on 32-bit hosts).
    const std::uint64_t step = every == 0 ? 10 : std::min<std::uint64_t>(every, SIZE_MAX);
    ts::writeTestOutput(result->result, folder, static_cast<std::size_t>(step));
    return CORVANTA_ENGINE_OK;
  });
}

int corvanta_test_write_report(const CorvantaTestResult *const *results, size_t count, const char *path,
                               CorvantaEngineError *error) {
  return guarded(error, [&] {
    if ((results == nullptr && count > 0) || path == nullptr || *path == '\0') {
      throw ArgumentError(path == nullptr || *path == '\0' ? "no report path named" : "no results (NULL)");
    }
    std::vector<TestResult> all;
    for (std::size_t i = 0; i < count; ++i) {
      if (results[i] == nullptr) {
        throw ArgumentError("result " + std::to_string(i) + " is NULL");
      }
      // The report reads metrics and plots only: the runs stay where they are.
      const TestResult &kept = results[i]->result;
      TestResult summary;
      summary.test = kept.test;
      summary.description = kept.description;
      summary.options = kept.options;
      summary.metrics = kept.metrics;
      summary.tables = kept.tables;
      summary.plots = kept.plots;
      summary.notes = kept.notes;
      all.push_back(std::move(summary));
    }
    ts::writeFileAtomically(path, ts::markdownReport(all));
    return CORVANTA_ENGINE_OK;
  });
}

}  // extern "C"
