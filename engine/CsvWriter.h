// CSV files of numbers, as the engine's hosts write them: a header line of column names,
// then one line per row, every value in the shortest form that reads back as the same
// double ("0.03", "1e-05", "-0", "nan").
//
//   time,PositionX,PositionY,Heading,LongitudinalSpeed,PitchAngle,RollAngle,TipOverIndicator
#ifndef CORVANTA_ENGINE_CSVWRITER_H
#define CORVANTA_ENGINE_CSVWRITER_H

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvanta::engine {

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A file written by a host, or standard output for the path "-".  Write errors are
// sticky in the stream and reported by close(); a file that is not closed is closed by
// the destructor without a report.
class OutputFile {
 public:
  // Throws OutputError when the file cannot be created.
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

// Writes the header on construction and a line per row.
class CsvTableWriter {
 public:
  CsvTableWriter(std::FILE *stream, std::vector<std::string> columns);

  // Writes columnCount() values.
  void writeRow(const double *values);
  std::size_t columnCount() const { return columns_.size(); }

 private:
  std::FILE *stream_;
  std::vector<std::string> columns_;
  std::string line_;
};

// The columns of output rows: "time" and the output names.
std::vector<std::string> outputColumns();
// The columns of recorded inputs: "time" and the input names.
std::vector<std::string> inputColumns();

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_CSVWRITER_H
