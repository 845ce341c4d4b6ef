// Resource folders and vehicle file paths.
#include "fmi/FmuResources.h"

#include <cstring>

namespace corvanta_fmi {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool withSeparator(std::string &directory) {
  if (directory.empty()) {
    return false;
  }
  const char last = directory.back();
  if (last != '/' && last != '\\') {
    directory += '/';
  }
  return true;
}

}  // namespace

std::string resourceDirectoryFromUri(const char *uri) {
  if (uri == nullptr) {
    return "";
  }
  const std::string text = uri;
  std::string rest;
  if (text.compare(0, 7, "file://") == 0) {
    rest = text.substr(7);
    if (rest.compare(0, 10, "localhost/") == 0) {
      rest = rest.substr(9);
    } else if (!rest.empty() && rest.front() != '/') {
      rest = "//" + rest;  // file://server/share/...: a network share
    }
  } else if (text.compare(0, 6, "file:/") == 0) {
    rest = text.substr(5);
  } else {
    return "";
  }
  std::string path;
  for (std::size_t k = 0; k < rest.size(); ++k) {
    if (rest[k] != '%') {
      path += rest[k];
      continue;
    }
    const int high = k + 2 < rest.size() ? hexDigit(rest[k + 1]) : -1;
    const int low = k + 2 < rest.size() ? hexDigit(rest[k + 2]) : -1;
    if (high < 0 || low < 0 || (high == 0 && low == 0)) {
      return "";
    }
    path += static_cast<char>(high * 16 + low);
    k += 2;
  }
#if defined(_WIN32)
  // "/C:/fmu/resources" names the drive.
  if (path.size() >= 3 && path[0] == '/' && path[2] == ':') {
    path.erase(0, 1);
  }
#endif
  return withSeparator(path) ? path : "";
}

std::string resourceDirectoryFromPath(const char *path) {
  if (path == nullptr) {
    return "";
  }
  std::string directory = path;
  return withSeparator(directory) ? directory : "";
}

bool isAbsolutePath(const std::string &path) {
  if (!path.empty() && path.front() == '/') {
    return true;
  }
#if defined(_WIN32)
  if (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) {
    return true;
  }
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    return true;
  }
#endif
  return false;
}

}  // namespace corvanta_fmi
