// Strings between the module and its JavaScript side: copies handed out with malloc (the
// caller frees them), and whole files of the in-memory file system read back.
#ifndef CORVANTA_WEB_WEBTEXT_H
#define CORVANTA_WEB_WEBTEXT_H

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace corvanta::web {

// A malloc'ed, NUL-terminated copy; nullptr when out of memory.
inline char *copyText(const std::string &text) {
  char *copy = static_cast<char *>(std::malloc(text.size() + 1));
  if (copy != nullptr) {
    std::memcpy(copy, text.c_str(), text.size() + 1);
  }
  return copy;
}

// The whole file at `path` into `text`; false when it cannot be read.
inline bool readFile(const char *path, std::string &text) {
  std::FILE *file = std::fopen(path, "rb");
  if (file == nullptr) {
    return false;
  }
  text.clear();
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, got);
  }
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

}  // namespace corvanta::web

#endif  // CORVANTA_WEB_WEBTEXT_H
