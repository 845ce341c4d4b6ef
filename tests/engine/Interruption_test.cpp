// Cancelling a run from another thread (corvanta_stop_when_flagged) and removing the
// temporary files of outputs being written (corvanta_engine_remove_temporary_files), as an
// interrupted host does.
#include "engine/corvanta_engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "engine/output/CsvWriter.h"
#include "tests/tools/sim/SimTestSupport.h"

namespace {

const CorvantaModelFunctions kModel = CORVANTA_LINKED_MODEL_FUNCTIONS;

TEST(Interruption, AFlagSetByAnotherThreadStopsARunAtTheNextStep) {
  const std::string text = R"({"duration": 3600, "inputs": {"GearSelector": 1, "AccelerationDemand": 1}})";
  CorvantaEngineError error{};
  CorvantaScenario *scenario = corvanta_scenario_load_text(text.data(), text.size(), "long.json", nullptr, &error);
  ASSERT_NE(nullptr, scenario) << error.message;
  int flag = 0;
  CorvantaRunOptions run{};
  run.every = 1000000;
  run.on_step = corvanta_stop_when_flagged;
  run.step_user = &flag;
  std::uint64_t written = 0;
  std::atomic<int> status{-1};
  std::thread runner([&] { status = corvanta_scenario_run(scenario, &kModel, &run, &written, &error); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  __atomic_store_n(&flag, 1, __ATOMIC_RELAXED);
  runner.join();  // an hour of model time would take minutes
  EXPECT_EQ(CORVANTA_ENGINE_STOPPED, status.load());
  EXPECT_STREQ("the run was stopped by a callback", error.message);
  // Unset, the flag lets a run go to its end; NULL never stops.
  flag = 0;
  const std::string shortText = R"({"duration": 0.01})";
  CorvantaScenario *brief = corvanta_scenario_load_text(shortText.data(), shortText.size(), "s.json", nullptr, &error);
  EXPECT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(brief, &kModel, &run, &written, &error));
  run.step_user = nullptr;
  EXPECT_EQ(CORVANTA_ENGINE_OK, corvanta_scenario_run(brief, &kModel, &run, &written, &error));
  EXPECT_EQ(0, corvanta_stop_when_flagged(nullptr, 1, 0, nullptr, nullptr));
  corvanta_scenario_free(brief);
  corvanta_scenario_free(scenario);
}

TEST(Interruption, TheTemporaryFilesOfOpenOutputsAreRemovedOnRequest) {
  const auto folder = simtest::fs::temp_directory_path() / ("corvanta-interruption-" + std::to_string(getpid()));
  simtest::fs::create_directories(folder);
  {
    corvanta::engine::OutputFile first((folder / "a.csv").string());
    corvanta::engine::OutputFile second((folder / "b.csv").string());
    ASSERT_TRUE(simtest::fs::exists(first.temporaryPath()));
    ASSERT_TRUE(simtest::fs::exists(second.temporaryPath()));
    corvanta::engine::OutputFile done((folder / "c.csv").string());
    done.close();
    corvanta_engine_remove_temporary_files();
    EXPECT_FALSE(simtest::fs::exists(first.temporaryPath()));
    EXPECT_FALSE(simtest::fs::exists(second.temporaryPath()));
    EXPECT_TRUE(simtest::fs::exists(folder / "c.csv"));  // a finished file is no longer temporary
  }
  // The writers' own clean-up and later outputs are unaffected.
  corvanta::engine::OutputFile later((folder / "d.csv").string());
  std::fputs("x\n", later.stream());
  later.close();
  EXPECT_EQ("x\n", simtest::readFile(folder / "d.csv"));
  simtest::fs::remove_all(folder);
}

}  // namespace
