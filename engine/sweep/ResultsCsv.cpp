#include "ResultsCsv.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "NumberText.h"

#if defined(_WIN32)
#include <process.h>
#define CORVANTA_SWEEP_PROCESS_ID _getpid()
#else
#include <unistd.h>
#define CORVANTA_SWEEP_PROCESS_ID getpid()
#endif

namespace corvanta::sweep {

namespace {

std::string csvField(const std::string &text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (char c : text) {
    quoted += (c == '"') ? std::string("\"\"") : std::string(1, c);
  }
  return quoted + "\"";
}

std::string formatValue(ColumnKind kind, double value) {
  switch (kind) {
    case ColumnKind::Optional:
      return std::isnan(value) ? std::string() : engine::shortestText(value);
    case ColumnKind::Flag:
      return value != 0.0 ? "true" : "false";
    case ColumnKind::RunIndex:
    case ColumnKind::Number:
      break;
  }
  // A NaN's sign and payload mean nothing: every NaN prints alike.
  return std::isnan(value) ? std::string("nan") : engine::shortestText(value);
}

std::string systemReason() { return errno != 0 ? std::strerror(errno) : "write error"; }

}  // namespace

std::string formatCsvHeader(const std::vector<Column> &columns) {
  std::string line;
  for (std::size_t index = 0; index < columns.size(); ++index) {
    line += (index == 0 ? "" : ",") + csvField(columns[index].name);
  }
  return line + "\n";
}

std::string formatCsvRow(const std::vector<Column> &columns, const double *values) {
  std::string line;
  for (std::size_t index = 0; index < columns.size(); ++index) {
    if (index > 0) {
      line += ',';
    }
    line += formatValue(columns[index].kind, values[index]);
  }
  return line + "\n";
}

ResultsCsvFile::ResultsCsvFile(const std::string &path, std::vector<Column> columns)
    : path_(path), columns_(std::move(columns)), values_(columns_.size()) {
  if (path_ == "-") {
    stream_ = stdout;
  } else {
    temporaryPath_ = path_ + ".tmp-" + std::to_string(CORVANTA_SWEEP_PROCESS_ID);
    errno = 0;
    stream_ = std::fopen(temporaryPath_.c_str(), "wb");
    if (stream_ == nullptr) {
      throw ResultsFileError("cannot write '" + path_ + "': " + systemReason());
    }
  }
  std::fputs(formatCsvHeader(columns_).c_str(), stream_);
}

ResultsCsvFile::~ResultsCsvFile() {
  if (stream_ != nullptr && stream_ != stdout) {
    std::fclose(stream_);
    std::remove(temporaryPath_.c_str());
  }
}

void ResultsCsvFile::write(const SweepRow &row) {
  flattenRow(row, values_.data());
  const std::string line = formatCsvRow(columns_, values_.data());
  std::fwrite(line.data(), 1, line.size(), stream_);
  ++rows_;
}

void ResultsCsvFile::commit() {
  errno = 0;
  if (stream_ == stdout) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
      throw ResultsFileError("cannot write the results to standard output: " + systemReason());
    }
    stream_ = nullptr;
    return;
  }
  const bool failed = std::ferror(stream_) != 0;
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (failed || closed != 0) {
    const std::string reason = systemReason();
    std::remove(temporaryPath_.c_str());
    throw ResultsFileError("cannot write '" + path_ + "': " + reason);
  }
  std::error_code error;
  std::filesystem::rename(std::filesystem::u8path(temporaryPath_), std::filesystem::u8path(path_), error);
  if (error) {
    std::remove(temporaryPath_.c_str());
    throw ResultsFileError("cannot move the results onto '" + path_ + "': " + error.message());
  }
}

}  // namespace corvanta::sweep
