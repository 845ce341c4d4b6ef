// What a standard test leaves in its output folder, and the table it prints:
//   metrics.json   test, description, options, metrics (value, unit, definition),
//                  tables, runs (CSV file names), plots (SVG file names), notes
//   RUN.csv        one per run: time and every signal, one row every `every` steps
//   RUN.json       one per run: its scenario, which corvanta-sim and simulate() run as is
//   *.svg          the plots
// Every file is written under a temporary name and renamed into place, so that a file
// is either complete or absent.
#ifndef CORVANTA_TESTSUITE_TESTOUTPUT_H
#define CORVANTA_TESTSUITE_TESTOUTPUT_H

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/testsuite/StandardTests.h"

namespace corvanta::testsuite {

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes `text` to `path` through a temporary file in the same folder; throws OutputError.
void writeFileAtomically(const std::string &path, const std::string &text);

// The CSV of a run, a row for every `every`-th recorded frame (frames are 0.001 s
// apart) and the last one; NaN is written as "nan", infinities as "inf"/"-inf".
std::string runCsv(const RunRecord &run, std::size_t every);

// metrics.json.
std::string metricsJson(const TestResult &result);

// Writes metrics.json, the runs' CSV and the plots into `folder` (created if missing).
void writeTestOutput(const TestResult &result, const std::string &folder, std::size_t csvEvery);

// The short table printed after a test: one line per metric, value and unit.
std::string metricsTable(const TestResult &result);

// A one-page Markdown report of several tests whose outputs lie in subfolders named
// after the tests: a metrics table per test and its plots.
std::string markdownReport(const std::vector<TestResult> &results);

}  // namespace corvanta::testsuite

#endif  // CORVANTA_TESTSUITE_TESTOUTPUT_H
