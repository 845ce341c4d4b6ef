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

// A file written by a host, or standard output for the path "-".  A regular file is
// written under a temporary name in the same folder and renamed into place by close(), so
// that the path holds either the complete file or what it held before, never a truncated
// one; an existing path that is not a regular file (a device, a pipe) is written
// directly, and a symbolic link is written through: its target is replaced (atomically,
// beside the target), the link stays.  A directory is refused at once.  A file that is not
// closed is discarded by the destructor without a report; while it is being written its
// temporary name is known to removeTemporaryFiles() (TemporaryFiles.h).
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
  // "standard output" or the path, for messages.
  std::string displayName() const;
  // The temporary name being written, or "" when the path is written directly.
  const std::string &temporaryPath() const { return temporaryPath_; }

  // Flushes, closes and renames into place; throws OutputError when any write failed.
  void close();

 private:
  void forgetTemporary();

  std::string path_;
  std::string target_;  // the file renamed onto: the path, or where its links lead
  std::string temporaryPath_;
  int registration_ = -1;
  std::FILE *stream_ = nullptr;
};

// Writes the header on construction and a line per row.  A write that fails throws
// OutputError at once, naming `name` and the system's reason (a full disk is noticed at
// the row that meets it, within one buffer of 64 KiB, not at the end of a long run).
class CsvTableWriter {
 public:
  CsvTableWriter(std::FILE *stream, std::vector<std::string> columns, std::string name = "the output");

  // Writes columnCount() values.
  void writeRow(const double *values);
  std::size_t columnCount() const { return columns_.size(); }

 private:
  void writeLine();

  std::FILE *stream_;
  std::vector<std::string> columns_;
  std::string name_;
  std::string line_;
};

// The columns of output rows: "time" and the output names.
std::vector<std::string> outputColumns();
// The columns of recorded inputs: "time" and the input names.
std::vector<std::string> inputColumns();

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_CSVWRITER_H
