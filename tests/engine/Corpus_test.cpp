// The scenario corpus (tests/data/scenarios) through the engine's C interface: each good
// file gives the expected rows bit for bit, each bad file its exact message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "engine/corvanta_engine.h"
#include "tests/tools/sim/SimTestSupport.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

namespace fs = simtest::fs;

std::vector<fs::path> corpusFiles(const std::string &kind) {
  std::vector<fs::path> files;
  for (const fs::directory_entry &entry : fs::directory_iterator(fs::path(CORVANTA_CORPUS_DIR) / kind)) {
    const std::string name = entry.path().filename().string();
    const bool scenario = entry.path().extension() == ".json" || entry.path().extension() == ".csv";
    if (scenario && name.find(".expected.") == std::string::npos) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The numbers of an expected CSV, row after row, without the header.
std::vector<double> expectedValues(const fs::path &file) {
  fs::path expected = file;
  expected.replace_extension(".expected.csv");
  const simtest::CsvTable table = simtest::readCsv(simtest::readFile(expected));
  std::vector<double> values;
  for (const std::vector<double> &row : table.rows) {
    values.insert(values.end(), row.begin(), row.end());
  }
  return values;
}

TEST(Corpus, GoodFilesGiveTheExpectedRowsBitForBit) {
  // The built-in car of the vehicle library, as the runner drives it: the row at time 0
  // shows the car as it starts.
  const CorvantaInstanceFunctions &f = *corvanta_instance_functions();
  const CorvantaModelFunctions model{f.create,    f.free,    f.initialize,      f.set_inputs, f.step,  f.outputs,
                                     f.terminate, f.signals, f.initial_signals, nullptr,      nullptr, nullptr,
                                     nullptr,     nullptr};
  for (const fs::path &file : corpusFiles("good")) {
    CorvantaEngineError error;
    CorvantaScenario *scenario = corvanta_scenario_load_file(file.string().c_str(), nullptr, &error);
    ASSERT_NE(nullptr, scenario) << error.message;
    std::vector<double> rows(corvanta_scenario_row_count(scenario, 100, 1) * CORVANTA_ROW_LENGTH);
    CorvantaRunOptions run{};
    run.every = 100;
    run.rows = rows.data();
    run.row_capacity = rows.size() / CORVANTA_ROW_LENGTH;
    std::uint64_t written = 0;
    EXPECT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(scenario, &model, &run, &written, &error)) << error.message;
    corvanta_scenario_free(scenario);
    // A stop condition ends a run before its duration, with fewer rows.
    rows.resize(written * CORVANTA_ROW_LENGTH);
    const std::vector<double> expected = expectedValues(file);
    ASSERT_EQ(expected.size(), rows.size()) << file;
    for (std::size_t index = 0; index < rows.size(); ++index) {
      ASSERT_EQ(bitsOf(expected[index]), bitsOf(rows[index]))
          << file << ": row " << index / CORVANTA_ROW_LENGTH << " column " << index % CORVANTA_ROW_LENGTH;
    }
  }
}

TEST(Corpus, BadFilesAreRefusedWithTheExpectedMessage) {
  for (const fs::path &file : corpusFiles("bad")) {
    std::string expected = simtest::readFile(file.string() + ".message");
    expected.erase(expected.find_last_not_of('\n') + 1);
    expected.replace(expected.find("{file}"), 6, file.string());
    CorvantaEngineError error;
    EXPECT_EQ(nullptr, corvanta_scenario_load_file(file.string().c_str(), nullptr, &error)) << file;
    EXPECT_EQ(CORVANTA_ENGINE_BAD_SCENARIO, error.status) << file;
    EXPECT_EQ(expected, error.message);
  }
}

}  // namespace
