// Scenario runs and standard tests for the playground, as corvanta-sim runs them: the
// engine drives instances of the vehicle library (the built-in car, or a vehicle file),
// the CSV goes through the engine's writer, the test results through the test suite's
// own JSON and CSV texts.  Vehicle files edited from the page and the names the page lists.
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "corvanta_engine.h"
#include "corvanta_vehicle.h"
#include "corvanta_web.h"
#include "engine/driving/Path.h"
#include "engine/output/NumberText.h"
#include "engine/running/Runner.h"
#include "engine/testsuite/StandardTests.h"
#include "engine/testsuite/TestOutput.h"
#include "web/module/WebText.h"

struct CorvantaWebRun {
  std::string error;
  std::string text;
  std::vector<double> rows;
  std::size_t width = 0;
};

namespace {

using Json = nlohmann::json;
namespace ts = corvanta::testsuite;

struct VehicleDeleter {
  void operator()(CorvantaVehicle *vehicle) const { corvanta_vehicle_free(vehicle); }
};
using VehicleHandle = std::unique_ptr<CorvantaVehicle, VehicleDeleter>;

struct ScenarioDeleter {
  void operator()(CorvantaScenario *scenario) const { corvanta_scenario_free(scenario); }
};
using ScenarioHandle = std::unique_ptr<CorvantaScenario, ScenarioDeleter>;

void *createFromVehicle(const void *vehicle) {
  return corvanta_instance_create(static_cast<const CorvantaVehicle *>(vehicle));
}
void *parseVehicle(const char *json, size_t length, const char *directory, const char *source, char *error,
                   size_t size) {
  return corvanta_vehicle_parse(json, length, directory, source, error, size);
}
size_t vehicleToJson(const void *vehicle, char *buffer, size_t size) {
  return corvanta_vehicle_to_json(static_cast<const CorvantaVehicle *>(vehicle), buffer, size);
}
void freeVehicle(void *vehicle) { corvanta_vehicle_free(static_cast<CorvantaVehicle *>(vehicle)); }

// The vehicle library's instances as the engine's model, as corvanta-sim drives them.
CorvantaModelFunctions vehicleModel(const CorvantaVehicle *vehicle) {
  const CorvantaInstanceFunctions &f = *corvanta_instance_functions();
  CorvantaModelFunctions model{};
  model.CreateVehicleModel = f.create;
  model.DeleteVehicleModel = f.free;
  model.Initialize = f.initialize;
  model.SetInputs = f.set_inputs;
  model.Step = f.step;
  model.GetOutputs = f.outputs;
  model.Terminate = f.terminate;
  model.Signals = f.signals;
  model.InitialSignals = f.initial_signals;
  model.Vehicle = vehicle;
  model.CreateFromVehicle = createFromVehicle;
  model.ParseVehicle = parseVehicle;
  model.VehicleToJson = vehicleToJson;
  model.FreeVehicle = freeVehicle;
  return model;
}

// A vehicle file's set; nullptr with the problems in `error` when it has any.  No text: the
// built-in car (an empty handle).
VehicleHandle parsedVehicle(const char *json, size_t length, std::string &error) {
  if (json == nullptr || length == 0) {
    return VehicleHandle();
  }
  std::vector<char> message(16384, '\0');
  VehicleHandle vehicle(corvanta_vehicle_parse(json, length, "/", "vehicle", message.data(), message.size()));
  if (!vehicle) {
    error = message.data();
    while (!error.empty() && error.back() == '\n') {
      error.pop_back();
    }
    if (error.empty()) {
      error = "the vehicle file cannot be read";
    }
  }
  return vehicle;
}

struct RowSink {
  CorvantaWebRun *run;
  CorvantaCsvWriter *csv;
};

int keepRow(void *user, const double *row) {
  RowSink &sink = *static_cast<RowSink *>(user);
  sink.run->rows.insert(sink.run->rows.end(), row, row + sink.run->width);
  return corvanta_csv_row_callback(sink.csv, row);
}

void runScenario(CorvantaWebRun &run, const char *text, size_t length, const char *source, const char *vehicleJson,
                 size_t vehicleLength, uint32_t every, bool csvSignals) {
  CorvantaLoadOptions load{};
  CorvantaSourceLimits limits{};
  CorvantaEngineError error;
  const ScenarioHandle scenario(corvanta_scenario_load_text_ex(text, length, source, &load, &limits, &error));
  if (!scenario) {
    run.error = error.message;
    return;
  }
  std::string problem;
  const bool hasVehicle = vehicleJson != nullptr && vehicleLength > 0;
  if (hasVehicle && corvanta_scenario_names_vehicle(scenario.get()) != 0) {
    run.error = std::string(source) +
                " names its own vehicle (its \"vehicle\" key); give either that or a vehicle, "
                "not both";
    return;
  }
  const VehicleHandle vehicle = parsedVehicle(vehicleJson, vehicleLength, problem);
  if (hasVehicle && !vehicle) {
    run.error = problem;
    return;
  }
  const CorvantaModelFunctions model = vehicleModel(vehicle.get());

  std::vector<int> signals;
  for (int index = CORVANTA_NUM_OUTPUTS; index < static_cast<int>(corvanta_signal_count()); ++index) {
    signals.push_back(index);
  }
  std::vector<const char *> columns{"time"};
  for (int index = 0; index < CORVANTA_NUM_OUTPUTS; ++index) {
    columns.push_back(corvanta_engine_output_name(index));
  }
  if (csvSignals) {
    for (const int index : signals) {
      columns.push_back(corvanta_signal_name(static_cast<size_t>(index)));
    }
  }
  const char *path = "/tmp/corvanta-web-run.csv";
  CorvantaCsvWriter *csv = corvanta_csv_open(path, columns.data(), columns.size(), &error);
  if (csv == nullptr) {
    run.error = error.message;
    return;
  }
  run.width = CORVANTA_ROW_LENGTH + signals.size();
  RowSink sink{&run, csv};
  CorvantaRunOptions options{};
  options.every = every == 0 ? 100 : every;
  options.on_row = keepRow;
  options.row_user = &sink;
  options.signals = signals.data();
  options.signal_count = signals.size();
  const std::uint64_t expected = corvanta_scenario_row_count(scenario.get(), options.every, 1);
  if (expected < (std::uint64_t{1} << 32) / run.width) {
    run.rows.reserve(static_cast<std::size_t>(expected) * run.width);
  }
  std::uint64_t written = 0;
  if (corvanta_scenario_run(scenario.get(), &model, &options, &written, &error) != CORVANTA_ENGINE_OK) {
    corvanta_csv_discard(csv);
    run.error = error.message;
    return;
  }
  if (corvanta_csv_close(csv, &error) != CORVANTA_ENGINE_OK) {
    run.error = error.message;
    return;
  }
  if (!corvanta::web::readFile(path, run.text)) {
    run.error = "the CSV of the run cannot be read back";
  }
  std::remove(path);
}

void runTest(CorvantaWebRun &run, const char *name, const char *optionsJson, size_t optionsLength,
             const char *vehicleJson, size_t vehicleLength, uint32_t every) {
  const ts::TestDefinition &test = ts::findTest(name != nullptr ? name : "");
  std::vector<std::pair<std::string, std::string>> given;
  if (optionsJson != nullptr && optionsLength > 0) {
    const Json options = Json::parse(optionsJson, optionsJson + optionsLength);
    if (!options.is_object()) {
      run.error = "the test options must be a JSON object of numbers";
      return;
    }
    for (const auto &[option, value] : options.items()) {
      if (!value.is_number()) {
        run.error = "test option '" + option + "': expected a number";
        return;
      }
      given.emplace_back(option, corvanta::engine::shortestText(value.get<double>()));
    }
  }
  const ts::OptionValues values = ts::resolveOptions(test, given);
  std::string problem;
  const VehicleHandle vehicle = parsedVehicle(vehicleJson, vehicleLength, problem);
  if (vehicleJson != nullptr && vehicleLength > 0 && !vehicle) {
    run.error = problem;
    return;
  }
  const ts::TestResult result =
      ts::runStandardTest(test, values, ts::TestContext{vehicleModel(vehicle.get()), nullptr});

  Json root;
  root["result"] = Json::parse(ts::metricsJson(result));
  // The metrics in the test's order (metrics.json keys them by name).
  root["metrics"] = Json::array();
  for (const ts::Metric &metric : result.metrics) {
    root["metrics"].push_back(Json{{"name", metric.name},
                                   {"value", std::isfinite(metric.value) ? Json(metric.value) : Json()},
                                   {"unit", metric.unit},
                                   {"definition", metric.definition}});
  }
  root["runs"] = Json::array();
  for (const ts::RunRecord &record : result.runs) {
    Json path = Json::array();
    for (const auto &point : record.path) {
      path.push_back(Json::array({point.x, point.y}));
    }
    root["runs"].push_back(Json{{"name", record.name},
                                {"scenario", record.scenarioJson},
                                {"csv", ts::runCsv(record, every == 0 ? 1 : every)},
                                {"path", path}});
  }
  root["markers"] = Json::array();
  std::set<std::string> seen;
  for (const ts::Plot &plot : result.plots) {
    for (const ts::Panel &panel : plot.panels) {
      for (const ts::Series &series : panel.series) {
        if (series.markers && plot.equalAxes && seen.insert(series.label).second) {
          root["markers"].push_back(Json{{"label", series.label}, {"x", series.x}, {"y", series.y}});
        }
      }
    }
  }
  run.text = root.dump();
}

template <typename Body>
CorvantaWebRun *guardedRun(Body body) {
  CorvantaWebRun *run = new (std::nothrow) CorvantaWebRun;
  if (run == nullptr) {
    return nullptr;
  }
  try {
    body(*run);
  } catch (const std::bad_alloc &) {
    run->error = "out of memory";
  } catch (const std::exception &failure) {
    run->error = failure.what();
  }
  if (!run->error.empty()) {
    run->text.clear();
    run->rows.clear();
  }
  return run;
}

}  // namespace

extern "C" {

CorvantaWebRun *corvanta_web_run_scenario(const char *text, size_t length, const char *source, const char *vehicle_json,
                                          size_t vehicle_length, uint32_t every, int csv_signals) {
  return guardedRun([&](CorvantaWebRun &run) {
    runScenario(run, text, length, source != nullptr ? source : "<scenario>", vehicle_json, vehicle_length, every,
                csv_signals != 0);
  });
}

CorvantaWebRun *corvanta_web_run_test(const char *name, const char *options_json, size_t options_length,
                                      const char *vehicle_json, size_t vehicle_length, uint32_t every) {
  return guardedRun([&](CorvantaWebRun &run) {
    runTest(run, name, options_json, options_length, vehicle_json, vehicle_length, every);
  });
}

void corvanta_web_run_free(CorvantaWebRun *run) { delete run; }
const char *corvanta_web_run_error(const CorvantaWebRun *run) { return run != nullptr ? run->error.c_str() : ""; }
const char *corvanta_web_run_text(const CorvantaWebRun *run) { return run != nullptr ? run->text.c_str() : ""; }
size_t corvanta_web_run_text_length(const CorvantaWebRun *run) { return run != nullptr ? run->text.size() : 0; }
const double *corvanta_web_run_rows(const CorvantaWebRun *run) { return run != nullptr ? run->rows.data() : nullptr; }
size_t corvanta_web_run_row_count(const CorvantaWebRun *run) {
  return run != nullptr && run->width > 0 ? run->rows.size() / run->width : 0;
}
size_t corvanta_web_run_row_width(const CorvantaWebRun *run) { return run != nullptr ? run->width : 0; }

char *corvanta_web_vehicle_json(const char *base_json, size_t base_length, const char *changes_json,
                                size_t changes_length, char **error) {
  std::string problem;
  try {
    VehicleHandle vehicle = parsedVehicle(base_json, base_length, problem);
    if (!vehicle && !problem.empty()) {
      *error = corvanta::web::copyText(problem);
      return nullptr;
    }
    if (!vehicle) {
      vehicle.reset(corvanta_vehicle_create_builtin());
    }
    if (changes_json != nullptr && changes_length > 0) {
      const Json changes = Json::parse(changes_json, changes_json + changes_length);
      if (!changes.is_object()) {
        throw std::invalid_argument("the parameter changes must be a JSON object of numbers");
      }
      for (const auto &[name, value] : changes.items()) {
        if (!value.is_number()) {
          throw std::invalid_argument("parameter '" + name + "': expected a number");
        }
        const double number = value.get<double>();
        char message[1024] = "";
        if (corvanta_vehicle_set(vehicle.get(), name.c_str(), &number, 1, message, sizeof message) !=
            CORVANTA_VEHICLE_OK) {
          throw std::invalid_argument(message);
        }
      }
    }
    std::vector<char> report(16384, '\0');
    if (corvanta_vehicle_validate(vehicle.get(), report.data(), report.size()) != 0) {
      throw std::invalid_argument(report.data());
    }
    corvanta_vehicle_set_name(vehicle.get(), "playground",
                              "the built-in car with the parameters set in the playground");
    const size_t size = corvanta_vehicle_to_json(vehicle.get(), nullptr, 0) + 1;
    std::string text(size, '\0');
    corvanta_vehicle_to_json(vehicle.get(), text.data(), size);
    text.resize(size - 1);
    return corvanta::web::copyText(text);
  } catch (const std::exception &failure) {
    if (error != nullptr) {
      *error = corvanta::web::copyText(failure.what());
    }
    return nullptr;
  }
}

double corvanta_web_builtin_parameter(const char *name) {
  CorvantaVehicle *vehicle = corvanta_vehicle_create_builtin();
  double values[2] = {0.0, 0.0};
  size_t count = 0;
  const int status = corvanta_vehicle_get(vehicle, name, values, 2, &count);
  corvanta_vehicle_free(vehicle);
  return status == CORVANTA_VEHICLE_OK && count == 1 ? values[0] : std::numeric_limits<double>::quiet_NaN();
}

char *corvanta_web_standard_tests(void) {
  try {
    Json tests = Json::array();
    for (const ts::TestDefinition &test : ts::standardTests()) {
      Json options = Json::array();
      for (const ts::TestOption &option : test.options) {
        options.push_back(Json{{"name", option.name},
                               {"value", option.value},
                               {"unit", option.unit},
                               {"help", option.help},
                               {"min", option.min},
                               {"max", option.max}});
      }
      tests.push_back(Json{{"name", test.name}, {"summary", test.summary}, {"options", options}});
    }
    return corvanta::web::copyText(tests.dump());
  } catch (const std::exception &) {
    return nullptr;
  }
}

const char *corvanta_web_maths(void) {
#if defined(CORVANTA_PORTABLE_MATH)
  return "portable";
#else
  return "platform";
#endif
}

}  // extern "C"
