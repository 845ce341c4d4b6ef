#include "engine/sweep/ResultsCsv.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/output/CsvWriter.h"
#include "engine/output/NumberText.h"

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
  try {
    file_ = std::make_unique<engine::OutputFile>(path_);
  } catch (const engine::OutputError &error) {
    throw ResultsFileError(error.what());
  }
  put(formatCsvHeader(columns_));
  errno = 0;
  if (std::fflush(file_->stream()) != 0) {
    throw ResultsFileError("cannot write '" + file_->displayName() + "': " + systemReason());
  }
}

ResultsCsvFile::~ResultsCsvFile() = default;

void ResultsCsvFile::put(const std::string &text) {
  std::FILE *stream = file_->stream();
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream) != text.size() || std::ferror(stream) != 0) {
    throw ResultsFileError("cannot write '" + file_->displayName() + "': " + systemReason());
  }
}

void ResultsCsvFile::write(const SweepRow &row) {
  flattenRow(row, values_.data());
  put(formatCsvRow(columns_, values_.data()));
  ++rows_;
}

void ResultsCsvFile::commit() {
  try {
    file_->close();
  } catch (const engine::OutputError &error) {
    throw ResultsFileError(error.what());
  }
}

}  // namespace corvanta::sweep
