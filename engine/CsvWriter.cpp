#include "CsvWriter.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "NumberText.h"
#include "Schedule.h"

namespace corvanta::engine {

namespace {

std::string systemErrorText(int code) { return (code != 0) ? std::strerror(code) : "write error"; }

}  // namespace

OutputFile::OutputFile(const std::string &path) : path_(path) {
  if (isStandardOutput()) {
    stream_ = stdout;
    return;
  }
  errno = 0;
  stream_ = std::fopen(path.c_str(), "wb");
  if (stream_ == nullptr) {
    throw OutputError("cannot create '" + path + "': " + systemErrorText(errno));
  }
  // Large blocks: a run writes up to a row per step.
  std::setvbuf(stream_, nullptr, _IOFBF, 1 << 16);
}

OutputFile::~OutputFile() {
  if (stream_ != nullptr && !isStandardOutput()) {
    std::fclose(stream_);
  }
}

void OutputFile::close() {
  if (stream_ == nullptr) {
    return;
  }
  errno = 0;
  bool failed = std::fflush(stream_) != 0 || std::ferror(stream_) != 0;
  int code = errno;
  if (!isStandardOutput()) {
    if (std::fclose(stream_) != 0 && !failed) {
      failed = true;
      code = errno;
    }
  }
  stream_ = nullptr;
  if (failed) {
    throw OutputError("writing '" + (isStandardOutput() ? std::string("standard output") : path_) +
                      "' failed: " + systemErrorText(code));
  }
}

CsvTableWriter::CsvTableWriter(std::FILE *stream, std::vector<std::string> columns)
    : stream_(stream), columns_(std::move(columns)) {
  line_.clear();
  for (std::size_t index = 0; index < columns_.size(); ++index) {
    line_ += (index == 0) ? "" : ",";
    line_ += columns_[index];
  }
  line_ += '\n';
  std::fwrite(line_.data(), 1, line_.size(), stream_);
}

void CsvTableWriter::writeRow(const double *values) {
  line_.clear();
  char number[kNumberTextCapacity];
  for (std::size_t index = 0; index < columns_.size(); ++index) {
    if (index > 0) {
      line_ += ',';
    }
    line_.append(number, formatShortest(values[index], number));
  }
  line_ += '\n';
  std::fwrite(line_.data(), 1, line_.size(), stream_);
}

std::vector<std::string> outputColumns() {
  std::vector<std::string> columns{"time"};
  columns.insert(columns.end(), kOutputNames.begin(), kOutputNames.end());
  return columns;
}

std::vector<std::string> inputColumns() {
  std::vector<std::string> columns{"time"};
  columns.insert(columns.end(), kInputNames.begin(), kInputNames.end());
  return columns;
}

}  // namespace corvanta::engine
