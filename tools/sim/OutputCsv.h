// The output CSV of a run and the files it goes to.
//
//   time,PositionX,PositionY,Heading,LongitudinalSpeed,PitchAngle,RollAngle,TipOverIndicator
//
// One row after every `every`-th step and one after the last step; time is
// (double)steps * 0.0001 and every value is printed with %.17g, which reads back exactly.
#ifndef CORVANTA_SIM_OUTPUTCSV_H
#define CORVANTA_SIM_OUTPUTCSV_H

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "corvanta.h"

namespace corvanta::sim {

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file written by the runner, or standard output for the path "-".  Write errors are
// sticky in the stream and reported by close(); a file that is not closed is closed by
// the destructor without a report.
class OutputFile {
 public:
  explicit OutputFile(const std::string &path);
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;
  ~OutputFile();

  std::FILE *stream() const { return stream_; }
  const std::string &path() const { return path_; }
  bool isStandardOutput() const { return path_ == "-"; }

  // Flushes and closes; throws OutputError when any write failed.
  void close();

 private:
  std::string path_;
  std::FILE *stream_ = nullptr;
};

// Whether a row follows the step that brings the count to `steps`.
inline bool isOutputRow(std::uint64_t steps, std::uint64_t every, std::uint64_t stepCount) {
  return steps % every == 0 || steps == stepCount;
}

class OutputCsvWriter {
 public:
  // Writes the header.  `every` must be at least 1.
  OutputCsvWriter(std::FILE *stream, std::uint64_t every, std::uint64_t stepCount);

  void afterStep(std::uint64_t steps, const ExtY_Corvanta_T &outputs);
  std::uint64_t rowsWritten() const { return rows_; }

 private:
  std::FILE *stream_;
  std::uint64_t every_;
  std::uint64_t stepCount_;
  std::uint64_t rows_ = 0;
};

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_OUTPUTCSV_H
