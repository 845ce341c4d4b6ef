// The output CSV: which steps get a row, and the text of a row.
#include "OutputCsv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace corvanta::sim {
namespace {

std::vector<std::uint64_t> rowSteps(std::uint64_t every, std::uint64_t stepCount) {
  std::vector<std::uint64_t> steps;
  for (std::uint64_t step = 1; step <= stepCount; ++step) {
    if (isOutputRow(step, every, stepCount)) {
      steps.push_back(step);
    }
  }
  return steps;
}

TEST(OutputCsv, RowsAfterEveryNthStepAndAfterTheLast) {
  EXPECT_EQ((std::vector<std::uint64_t>{3, 6, 9, 10}), rowSteps(3, 10));
  EXPECT_EQ((std::vector<std::uint64_t>{5, 10}), rowSteps(5, 10));
  EXPECT_EQ((std::vector<std::uint64_t>{1, 2, 3}), rowSteps(1, 3));
  EXPECT_EQ((std::vector<std::uint64_t>{4}), rowSteps(100, 4));
  EXPECT_TRUE(rowSteps(2, 0).empty());
}

TEST(OutputCsv, RowsPrintTheStepTimeAndEveryOutputWith17Digits) {
  std::FILE *file = std::tmpfile();
  OutputCsvWriter writer(file, 2, 3);
  ExtY_Corvanta_T outputs{0.1, -2.5, 1e-300, 20.0, -0.0, 0.0, -1.0};
  for (std::uint64_t steps = 1; steps <= 3; ++steps) {
    writer.afterStep(steps, outputs);
    outputs.PositionX += 1.0;
  }
  EXPECT_EQ(2u, writer.rowsWritten());
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
    text += static_cast<char>(c);
  }
  std::fclose(file);
  EXPECT_EQ("time,PositionX,PositionY,Heading,LongitudinalSpeed,PitchAngle,RollAngle,TipOverIndicator\n"
            "0.00020000000000000001,1.1000000000000001,-2.5,1e-300,20,-0,0,-1\n"
            "0.00030000000000000003,2.1000000000000001,-2.5,1e-300,20,-0,0,-1\n",
            text);
}

}  // namespace
}  // namespace corvanta::sim
