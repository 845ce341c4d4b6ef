#include "engine/sweep/ResultsCsv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace corvanta::sweep {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

SweepDefinition twoFieldGrid() {
  return SweepDefinition::parse(R"({"base": {"duration": 1}, "grid": {"inputs.InitialSpeed": [5], "duration": [1]}})",
                                "g.json");
}

TEST(ResultsCsv, HeaderNamesTheRunTheFieldsTheOutputsAndTheMetrics) {
  const std::vector<Column> columns = sweepColumns(SweepDefinition::parse(
      R"({"base": {"duration": 1}, "grid": {"inputs.InitialSpeed": [5], "duration": [1]}})", "g.json"));
  EXPECT_EQ(formatCsvHeader(columns),
            "run,inputs.InitialSpeed,duration,PositionX,PositionY,Heading,LongitudinalSpeed,PitchAngle,RollAngle,"
            "TipOverIndicator,distance,top_speed,stop_time,stop_distance,max_heading_rate,tip_over_time,non_finite,"
            "max_lateral_acceleration,max_slip_angle,time_in_gear_1,time_in_gear_2,time_in_gear_3,time_in_gear_4,"
            "time_in_gear_5,wall_time\n");
  EXPECT_EQ(formatCsvHeader({{"a,b", ColumnKind::Number}, {"say \"hi\"", ColumnKind::Number}}),
            "\"a,b\",\"say \"\"hi\"\"\"\n");
}

TEST(ResultsCsv, RowsPrintNoneAsEmptyFlagsAsWordsAndNonFiniteOutputs) {
  SweepRow row;
  row.run = 12;
  row.values = {0.03};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  row.metrics.finalOutputs = {nan, 1.5, -0.0, std::numeric_limits<double>::infinity(), 0.0, 0.0, -1.0};
  row.metrics.distance = 2.5;
  row.metrics.topSpeed = 20.0;
  row.metrics.maxHeadingRate = 0.1;
  row.metrics.nonFinite = true;
  row.metrics.wallTime = 0.25;
  row.metrics.tipOverTime = 1.2345;
  row.metrics.maxLateralAcceleration = 4.5;
  row.metrics.maxSlipAngle = 0.125;
  row.metrics.timeInGear = {1.0, 2.0, 0.0, 0.0, nan};
  const std::vector<Column> columns = sweepColumns(
      SweepDefinition::parse(R"({"base": {"duration": 1}, "grid": {"inputs.InitialSpeed": [5]}})", "g.json"));
  std::vector<double> values(columns.size());
  flattenRow(row, values.data());
  EXPECT_EQ(formatCsvRow(columns, values.data()),
            "12,0.03,nan,1.5,-0,inf,0,0,-1,2.5,20,,,0.1,1.2345,true,4.5,0.125,1,2,0,0,,0.25\n");
}

TEST(ResultsCsvFile, TheTargetAppearsOnlyWhenComplete) {
  const fs::path directory =
      fs::temp_directory_path() /
      ("corvanta-sweep-csv-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(directory);
  const fs::path target = directory / "results.csv";
  const SweepDefinition definition = twoFieldGrid();
  SweepRow row;
  row.values = {5.0, 1.0};
  {
    ResultsCsvFile file(target.string(), sweepColumns(definition));
    file.write(row);
    EXPECT_FALSE(fs::exists(target));
  }  // not committed: nothing is left behind
  EXPECT_TRUE(fs::is_empty(directory));

  std::ofstream(target) << "old results\n";
  {
    ResultsCsvFile file(target.string(), sweepColumns(definition));
    file.write(row);
    row.run = 1;
    file.write(row);
    EXPECT_EQ(readFile(target), "old results\n");
    file.commit();
    EXPECT_EQ(file.rowsWritten(), 2u);
  }
  const std::string text = readFile(target);
  EXPECT_EQ(text.substr(0, text.find('\n')), formatCsvHeader(sweepColumns(definition)).substr(0, text.find('\n')));
  EXPECT_NE(text.find("\n0,5,1,0,0,0,0,0,0,0,0,0,,,0,,false,,,,,,,,0\n1,5,1,"), std::string::npos) << text;
  EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 1);
  fs::remove_all(directory);
}

TEST(ResultsCsvFile, AnUnwritableTargetIsReported) {
  try {
    ResultsCsvFile file("/nonexistent-directory/results.csv", sweepColumns(twoFieldGrid()));
    FAIL() << "opened";
  } catch (const ResultsFileError &error) {
    EXPECT_EQ(std::string(error.what()),
              "cannot create '/nonexistent-directory/results.csv': No such file or directory");
  }
}

}  // namespace
}  // namespace corvanta::sweep
