// Helpers for the tests of corvanta-sim: scratch directories, files, CSV tables and
// running the built executable.
#ifndef CORVANTA_TESTS_TOOLS_SIMTESTSUPPORT_H
#define CORVANTA_TESTS_TOOLS_SIMTESTSUPPORT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "tests/TestSupport.h"

namespace simtest {

namespace fs = std::filesystem;

inline std::string readFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeFile(const fs::path &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

// A directory of its own for each test, removed afterwards.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / ("corvanta-sim-" + std::string(test->test_suite_name()) + "-" + test->name() +
                                         "-" + std::to_string(getpid()));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ScratchDirectory(const ScratchDirectory &) = delete;
  ScratchDirectory &operator=(const ScratchDirectory &) = delete;
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }

  fs::path operator/(const std::string &name) const { return path_ / name; }
  const fs::path &path() const { return path_; }

 private:
  fs::path path_;
};

// A CSV file read back: the header fields and every row, as text and as doubles.
struct CsvTable {
  std::vector<std::string> header;
  std::vector<std::string> lines;  // the rows as written, without the header
  std::vector<std::vector<double>> rows;
};

inline std::vector<std::string> splitComma(const std::string &line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, ',')) {
    fields.push_back(field);
  }
  return fields;
}

inline CsvTable readCsv(const std::string &text) {
  CsvTable table;
  std::stringstream stream(text);
  std::string line;
  if (std::getline(stream, line)) {
    table.header = splitComma(line);
  }
  while (std::getline(stream, line)) {
    table.lines.push_back(line);
    std::vector<double> row;
    for (const std::string &field : splitComma(line)) {
      row.push_back(std::strtod(field.c_str(), nullptr));
    }
    table.rows.push_back(row);
  }
  return table;
}

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string shellQuoted(const std::string &argument) {
  std::string quoted = "'";
  for (char c : argument) {
    quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

// Runs a command with its standard output and error captured through files in `scratch`.
inline ProcessResult runProcess(const std::vector<std::string> &command, const fs::path &scratch,
                                const std::string &environment = std::string()) {
  const fs::path out = scratch / "process.stdout";
  const fs::path err = scratch / "process.stderr";
  std::string line = environment.empty() ? std::string() : environment + " ";
  for (const std::string &argument : command) {
    line += shellQuoted(argument) + " ";
  }
  line += "> " + shellQuoted(out.string()) + " 2> " + shellQuoted(err.string()) + " < /dev/null";
  const int status = std::system(line.c_str());
  ProcessResult result;
  result.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  result.out = readFile(out);
  result.err = readFile(err);
  return result;
}

}  // namespace simtest

#endif  // CORVANTA_TESTS_TOOLS_SIMTESTSUPPORT_H
