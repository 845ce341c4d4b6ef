// The scenario corpus (tests/data/scenarios) through corvanta-sim: each good file gives
// exactly the expected CSV text, each bad file its exact message and exit status 2.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/sim/SimTestSupport.h"

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

std::string expectedMessage(const fs::path &file) {
  std::string message = simtest::readFile(file.string() + ".message");
  const std::string placeholder = "{file}";
  for (std::size_t at = message.find(placeholder); at != std::string::npos; at = message.find(placeholder, at)) {
    message.replace(at, placeholder.size(), file.string());
    at += file.string().size();
  }
  return message;
}

TEST(Corpus, GoodFilesGiveTheExpectedRowsToTheCharacter) {
  simtest::ScratchDirectory scratch;
  const std::vector<fs::path> files = corpusFiles("good");
  ASSERT_GE(files.size(), 5u);
  for (const fs::path &file : files) {
    const fs::path output = scratch / "out.csv";
    const simtest::ProcessResult result = simtest::runProcess(
        {CORVANTA_SIM_EXECUTABLE, file.string(), "--quiet", "--every", "100", "-o", output.string()}, scratch.path());
    ASSERT_EQ(0, result.exitCode) << file << ": " << result.err;
    fs::path expected = file;
    expected.replace_extension(".expected.csv");
    EXPECT_EQ(simtest::readFile(expected), simtest::readFile(output)) << file;
  }
}

TEST(Corpus, BadFilesAreRefusedWithTheExpectedMessage) {
  simtest::ScratchDirectory scratch;
  const std::vector<fs::path> files = corpusFiles("bad");
  ASSERT_GE(files.size(), 20u);
  for (const fs::path &file : files) {
    const simtest::ProcessResult result =
        simtest::runProcess({CORVANTA_SIM_EXECUTABLE, file.string(), "--quiet"}, scratch.path());
    EXPECT_EQ(2, result.exitCode) << file;
    EXPECT_EQ("corvanta-sim: error: " + expectedMessage(file), result.err) << file;
    EXPECT_EQ("", result.out) << file;
  }
}

}  // namespace
