// What a standard test produces: metrics with units and definitions, tables, the runs
// it recorded, plots to draw and notes.  The tests measure; none of them judges a result.
#ifndef CORVANTA_TESTSUITE_TESTRESULT_H
#define CORVANTA_TESTSUITE_TESTRESULT_H

#include <map>
#include <string>
#include <vector>

#include "engine/testsuite/TestRun.h"

namespace corvanta::testsuite {

struct Metric {
  std::string name;
  double value = 0.0;  // NaN: could not be determined (see the definition)
  std::string unit;
  std::string definition;
};

struct Table {
  std::string name;
  std::vector<std::string> columns;
  std::vector<std::string> units;
  std::vector<std::vector<double>> rows;
};

struct Series {
  std::string label;
  std::vector<double> x;
  std::vector<double> y;
  bool markers = false;  // points instead of a line
};

struct Panel {
  std::string yLabel;
  std::vector<Series> series;
};

struct Plot {
  std::string file;  // file name in the output folder, *.svg
  std::string title;
  std::string xLabel;
  bool logX = false;
  bool equalAxes = false;
  std::vector<Panel> panels;  // stacked, sharing the x axis
};

struct TestResult {
  std::string test;
  std::string description;
  std::map<std::string, double> options;  // every option, defaults filled in
  std::vector<Metric> metrics;
  std::vector<Table> tables;
  std::vector<RunRecord> runs;
  std::vector<Plot> plots;
  std::vector<std::string> notes;
};

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_TESTRESULT_H
