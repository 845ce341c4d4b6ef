// Whole text files through stdio.
#include "vehicle/TextFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace corvanta::vehicle {

ReadStatus readTextFile(const std::string &path, std::size_t maxBytes, std::string &text, std::string &reason) {
  text.clear();
  errno = 0;
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    reason = std::strerror(errno);
    return ReadStatus::CannotOpen;
  }
  // Read in blocks rather than trusting a size asked for first: a pipe or a device has none,
  // and a file may grow while it is read.  One byte past the limit tells a file that is too
  // large.
  char block[64 * 1024];
  ReadStatus status = ReadStatus::Ok;
  for (;;) {
    const std::size_t room = maxBytes - text.size() + 1;
    const std::size_t wanted = room < sizeof block ? room : sizeof block;
    const std::size_t got = std::fread(block, 1, wanted, file);
    text.append(block, got);
    if (text.size() > maxBytes) {
      status = ReadStatus::TooLarge;
      break;
    }
    if (got < wanted) {
      if (std::ferror(file) != 0) {
        reason = std::strerror(errno != 0 ? errno : EIO);
        status = ReadStatus::ReadError;
      }
      break;
    }
  }
  std::fclose(file);
  if (status != ReadStatus::Ok) {
    text.clear();
  }
  return status;
}

std::string writeFileAtomically(const std::string &path, const std::string &text) {
  const std::string temporary = path + ".tmp-" + std::to_string(reinterpret_cast<std::uintptr_t>(&text));
  errno = 0;
  std::FILE *file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    return path + ": cannot write: " + std::strerror(errno);
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::remove(temporary.c_str());
    return path + ": write failed";
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    return path + ": cannot rename into place: " + reason;
  }
  return "";
}

}  // namespace corvanta::vehicle
