// libFuzzer target: sweep definitions (grid, Monte-Carlo, scenario list) on arbitrary
// bytes, with a few of their runs built and checked as the engine reads scenarios.
//
// Input: the definition's text.  Checked on every input, besides the sanitizers' own
// checks: parsing either gives a definition or throws SweepError with a bounded message
// free of control characters; for the first, the last and a middle run the varied values
// are finite, the run's scenario is built, and checking it as a scenario either passes or
// throws EngineRunError with such a message.  Nothing else escapes, and no run count,
// however large, is walked.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/messages/ScenarioError.h"
#include "engine/sweep/EngineRun.h"
#include "engine/sweep/SweepDefinition.h"
#include "engine/sweep/SweepRunner.h"

namespace {

using namespace corvanta::sweep;

[[noreturn]] void fail(const char *what) {
  std::fprintf(stderr, "sweep_fuzzer: %s\n", what);
  std::abort();
}

void checkMessage(const std::string &message) {
  // Messages quote short excerpts and name a path; a few KiB at most.
  if (message.empty() || message.size() > 8 * corvanta::engine::kMessagePartBytes) {
    fail("error message empty or unbounded");
  }
  for (unsigned char c : message) {
    if (c < 0x20 || c == 0x7F) {
      fail("control character in an error message");
    }
  }
}

void checkRun(const SweepDefinition &definition, std::uint64_t run) {
  std::vector<double> values;
  try {
    values = definition.valuesOfRun(run);
  } catch (const SweepError &error) {
    checkMessage(error.what());  // a normal whose bounds hold nothing, a draw that overflows
    return;
  }
  if (values.size() != definition.fields().size()) {
    fail("a run has not one value per varied field");
  }
  for (double value : values) {
    if (!std::isfinite(value)) {
      fail("a varied value is not finite");
    }
  }
  const Json scenario = definition.scenarioOfRun(run, values);
  try {
    checkScenario(scenario, runLabel(definition, run, values));
  } catch (const EngineRunError &error) {
    checkMessage(error.what());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  try {
    const SweepDefinition definition = SweepDefinition::parse(text, "fuzz.json");
    const std::uint64_t runs = definition.runCount();
    if (runs == 0) {
      return 0;
    }
    for (const std::uint64_t run : {std::uint64_t{0}, runs / 2, runs - 1}) {
      checkRun(definition, run);
    }
  } catch (const SweepError &error) {
    checkMessage(error.what());
  }
  return 0;
}
