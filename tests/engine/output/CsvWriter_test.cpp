// Output rows and their text: which steps get a row, the row at time 0, and numbers in
// the shortest form that reads back as the same double.
#include "engine/output/CsvWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "engine/output/NumberText.h"
#include "engine/output/OutputRows.h"
#include "tests/tools/sim/SimTestSupport.h"

namespace corvanta::engine {
namespace {

std::vector<std::uint64_t> rowSteps(std::uint64_t every, std::uint64_t stepCount) {
  std::vector<std::uint64_t> steps;
  for (std::uint64_t step = 1; step <= stepCount; ++step) {
    if (isOutputRow(step, every, stepCount)) {
      steps.push_back(step);
    }
  }
  EXPECT_EQ(steps.size(), outputRowCount(stepCount, every, false));
  EXPECT_EQ(steps.size() + 1, outputRowCount(stepCount, every, true));
  return steps;
}

TEST(OutputRows, RowsAfterEveryNthStepAndAfterTheLast) {
  EXPECT_EQ((std::vector<std::uint64_t>{3, 6, 9, 10}), rowSteps(3, 10));
  EXPECT_EQ((std::vector<std::uint64_t>{5, 10}), rowSteps(5, 10));
  EXPECT_EQ((std::vector<std::uint64_t>{1, 2, 3}), rowSteps(1, 3));
  EXPECT_EQ((std::vector<std::uint64_t>{4}), rowSteps(100, 4));
  EXPECT_TRUE(rowSteps(2, 0).empty());
}

TEST(OutputRows, InitialRowComesFirstAtTimeZero) {
  std::vector<OutputRow> rows;
  OutputRows output(2, 3, true, [&](const OutputRow &row) {
    rows.push_back(row);
    return true;
  });
  ExtY_Corvanta_T outputs{0.5, 0, 0, 0, 0, 0, -1.0};
  EXPECT_TRUE(output.started(outputs));
  for (std::uint64_t steps = 1; steps <= 3; ++steps) {
    outputs.PositionX = static_cast<double>(steps);
    EXPECT_TRUE(output.afterStep(steps, outputs));
  }
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ(3u, output.rowsWritten());
  EXPECT_SAME_BITS(0.0, rows[0][0]);
  EXPECT_SAME_BITS(0.5, rows[0][1]);
  EXPECT_SAME_BITS(-1.0, rows[0][7]);
  EXPECT_SAME_BITS(2 * 0.0001, rows[1][0]);
  EXPECT_SAME_BITS(3 * 0.0001, rows[2][0]);
  EXPECT_SAME_BITS(3.0, rows[2][1]);
}

TEST(NumberText, ShortestFormReadsBackToTheSameBits) {
  EXPECT_EQ("0.03", shortestText(0.03));
  EXPECT_EQ("0.30000000000000004", shortestText(0.1 + 0.2));
  EXPECT_EQ("0.00030000000000000003", shortestText(3 * 0.0001));
  EXPECT_EQ("-0", shortestText(-0.0));
  EXPECT_EQ("1e-300", shortestText(1e-300));
  EXPECT_EQ("0.0001", shortestText(0.0001));
  EXPECT_EQ("1e-05", shortestText(0.00001));
  EXPECT_EQ("1000000000000000", shortestText(1e15));
  EXPECT_EQ("1e+16", shortestText(1e16));
  EXPECT_EQ("-0.00012345678901234567", shortestText(-0.00012345678901234567));
  EXPECT_EQ("inf", shortestText(std::numeric_limits<double>::infinity()));
  EXPECT_EQ("-nan", shortestText(-std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ("nan", shortestText(std::numeric_limits<double>::quiet_NaN()));
  // Values that need all 17 digits, subnormals and the extremes survive the round trip.
  for (double value : {0.1 / 3.0, 2.2250738585072014e-308, 4.9406564584124654e-324, std::numeric_limits<double>::max(),
                       -123456.78901234567, 20.0}) {
    EXPECT_SAME_BITS(value, std::strtod(shortestText(value).c_str(), nullptr)) << shortestText(value);
  }
}

TEST(CsvTableWriter, HeaderAndRows) {
  std::FILE *file = std::tmpfile();
  {
    CsvTableWriter writer(file, outputColumns());
    const double row[8] = {0.0002, 1.1, -2.5, 1e-300, 20.0, -0.0, 0.0, -1.0};
    writer.writeRow(row);
  }
  std::rewind(file);
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
    text += static_cast<char>(c);
  }
  std::fclose(file);
  EXPECT_EQ(
      "time,PositionX,PositionY,Heading,LongitudinalSpeed,PitchAngle,RollAngle,TipOverIndicator\n"
      "0.0002,1.1,-2.5,1e-300,20,-0,0,-1\n",
      text);
}

}  // namespace
}  // namespace corvanta::engine
