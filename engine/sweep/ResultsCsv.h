// The results of a sweep as a CSV file (columns in SweepTable.h), written to a temporary
// file beside the target and renamed onto it when complete, so that the target is either
// the whole table or untouched.  Numbers are printed in the shortest form that reads back
// as the same double; non-finite values as nan, inf and -inf.
#ifndef CORVANTA_SWEEP_RESULTSCSV_H
#define CORVANTA_SWEEP_RESULTSCSV_H

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "SweepTable.h"

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
  // Opens PATH.tmp-<process id> for writing ("-": standard output, written directly) and
  // writes the header.  Throws ResultsFileError naming the file and the system's reason.
  ResultsCsvFile(const std::string &path, std::vector<Column> columns);
  ResultsCsvFile(const ResultsCsvFile &) = delete;
  ResultsCsvFile &operator=(const ResultsCsvFile &) = delete;
  // Removes the temporary file unless commit() succeeded.
  ~ResultsCsvFile();

  void write(const SweepRow &row);
  // Flushes, closes and renames onto the target; throws ResultsFileError on failure.
  void commit();

  std::uint64_t rowsWritten() const { return rows_; }

 private:
  std::string path_;
  std::string temporaryPath_;
  std::vector<Column> columns_;
  std::vector<double> values_;
  std::FILE *stream_ = nullptr;
  std::uint64_t rows_ = 0;
};

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_RESULTSCSV_H
