// The results of a sweep as a CSV file (columns in SweepTable.h), written as the engine
// writes every output file (engine::OutputFile): under a temporary name beside the target,
// renamed onto it when complete, so that the target is either the whole table or
// untouched; a device or a pipe is written directly, a symbolic link through to its
// target.  Numbers are printed in the shortest form that reads back as the same double;
// non-finite values as nan, inf and -inf.
#ifndef CORVANTA_SWEEP_RESULTSCSV_H
#define CORVANTA_SWEEP_RESULTSCSV_H

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/sweep/SweepTable.h"

namespace corvanta::engine {
class OutputFile;
}

namespace corvanta::sweep {

class ResultsFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One CSV line (with '\n') for a flattened row.
std::string formatCsvRow(const std::vector<Column> &columns, const double *values);
// The header line; names containing a comma or a quote are quoted.
std::string formatCsvHeader(const std::vector<Column> &columns);

class ResultsCsvFile {
 public:
  // Opens the file ("-": standard output) and writes the header, so that a destination
  // that cannot be written is refused before any run.  Throws ResultsFileError naming the
  // file and the system's reason.
  ResultsCsvFile(const std::string &path, std::vector<Column> columns);
  ResultsCsvFile(const ResultsCsvFile &) = delete;
  ResultsCsvFile &operator=(const ResultsCsvFile &) = delete;
  // Removes the temporary file unless commit() succeeded.
  ~ResultsCsvFile();

  // Throws ResultsFileError at the first write that fails (a full disk is noticed within
  // one buffer of 64 KiB).
  void write(const SweepRow &row);
  // Flushes, closes and renames onto the target; throws ResultsFileError on failure.
  void commit();

  std::uint64_t rowsWritten() const { return rows_; }

 private:
  void put(const std::string &text);

  std::string path_;
  std::vector<Column> columns_;
  std::vector<double> values_;
  std::unique_ptr<engine::OutputFile> file_;
  std::uint64_t rows_ = 0;
};

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_RESULTSCSV_H
