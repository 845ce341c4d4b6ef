#include "OutputCsv.h"

#include <cerrno>
#include <cstring>

#include "Schedule.h"

namespace corvanta::sim {

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

OutputCsvWriter::OutputCsvWriter(std::FILE *stream, std::uint64_t every, std::uint64_t stepCount)
    : stream_(stream), every_(every), stepCount_(stepCount) {
  std::fputs("time", stream_);
  for (std::string_view name : kOutputNames) {
    std::fprintf(stream_, ",%.*s", static_cast<int>(name.size()), name.data());
  }
  std::fputc('\n', stream_);
}

void OutputCsvWriter::afterStep(std::uint64_t steps, const ExtY_Corvanta_T &outputs) {
  if (!isOutputRow(steps, every_, stepCount_)) {
    return;
  }
  std::fprintf(stream_, "%.17g", static_cast<double>(steps) * kStepSize);
  for (double value : toOutputArray(outputs)) {
    std::fprintf(stream_, ",%.17g", value);
  }
  std::fputc('\n', stream_);
  ++rows_;
}

}  // namespace corvanta::sim
