#include "engine/output/CsvWriter.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "engine/output/NumberText.h"
#include "engine/output/TemporaryFiles.h"
#include "engine/running/Schedule.h"

namespace corvanta::engine {

namespace {

std::string systemErrorText(int code) { return (code != 0) ? std::strerror(code) : "write error"; }

// Where a chain of symbolic links ends (the path itself when it is no link); a link whose
// target does not exist ends at that target.
std::filesystem::path followLinks(std::filesystem::path path) {
  namespace fs = std::filesystem;
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      break;
    }
    const fs::path next = fs::read_symlink(path, error);
    if (error) {
      break;
    }
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

}  // namespace

OutputFile::OutputFile(const std::string &path) : path_(path) {
  if (isStandardOutput()) {
    stream_ = stdout;
    return;
  }
  namespace fs = std::filesystem;
  std::error_code status;
  // What the path leads to, through any links: a device or a pipe is written directly
  // (and a directory refused by fopen), anything else beside where the links end.
  const fs::file_status kind = fs::status(fs::u8path(path), status);
  const bool special = fs::exists(kind) && !fs::is_regular_file(kind);
  if (!special) {
    target_ = followLinks(fs::u8path(path)).u8string();
    std::random_device random;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".tmp-%08x%08x", random(), random());
    temporaryPath_ = target_ + suffix;
    registration_ = registerTemporaryFile(temporaryPath_);
  }
  const std::string &opened = special ? path : temporaryPath_;
  errno = 0;
  stream_ = std::fopen(opened.c_str(), "wb");
  if (stream_ == nullptr) {
    const int code = errno;
    forgetTemporary();
    throw OutputError("cannot create '" + path + "': " + systemErrorText(code));
  }
  // Large blocks: a run writes up to a row per step.
  std::setvbuf(stream_, nullptr, _IOFBF, 1 << 16);
}

OutputFile::~OutputFile() {
  if (stream_ != nullptr && !isStandardOutput()) {
    std::fclose(stream_);
  }
  if (!temporaryPath_.empty()) {
    std::remove(temporaryPath_.c_str());
  }
  forgetTemporary();
}

void OutputFile::forgetTemporary() {
  releaseTemporaryFile(registration_);
  registration_ = -1;
  temporaryPath_.clear();
}

std::string OutputFile::displayName() const { return isStandardOutput() ? std::string("standard output") : path_; }

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
    throw OutputError("writing '" + displayName() + "' failed: " + systemErrorText(code));
  }
  if (!temporaryPath_.empty()) {
    std::error_code renamed;
    std::filesystem::rename(std::filesystem::u8path(temporaryPath_), std::filesystem::u8path(target_), renamed);
    if (renamed) {
      throw OutputError("cannot move the finished '" + temporaryPath_ + "' to '" + target_ + "': " + renamed.message());
    }
    forgetTemporary();
  }
}

CsvTableWriter::CsvTableWriter(std::FILE *stream, std::vector<std::string> columns, std::string name)
    : stream_(stream), columns_(std::move(columns)), name_(std::move(name)) {
  line_.clear();
  for (std::size_t index = 0; index < columns_.size(); ++index) {
    line_ += (index == 0) ? "" : ",";
    line_ += columns_[index];
  }
  line_ += '\n';
  writeLine();
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
  writeLine();
}

void CsvTableWriter::writeLine() {
  errno = 0;
  if (std::fwrite(line_.data(), 1, line_.size(), stream_) != line_.size() || std::ferror(stream_) != 0) {
    throw OutputError("writing '" + name_ + "' failed: " + systemErrorText(errno));
  }
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
