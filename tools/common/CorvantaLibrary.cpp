#include "tools/common/CorvantaLibrary.h"

#include <filesystem>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace corvanta::tools {

namespace {

#define CORVANTA_TOOLS_STRINGIFY_VALUE(x) #x
#define CORVANTA_TOOLS_STRINGIFY(x) CORVANTA_TOOLS_STRINGIFY_VALUE(x)

#if defined(_WIN32)

std::wstring widen(const std::string &text) {
  if (text.empty()) {
    return std::wstring();
  }
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string narrow(const wchar_t *text, std::size_t size) {
  if (size == 0) {
    return std::string();
  }
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(size), utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// The system's text for the calling thread's last error, without the trailing newline.
std::string lastErrorText() {
  const DWORD code = GetLastError();
  wchar_t *buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
  std::string text = (length > 0) ? narrow(buffer, length) : std::string();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
    text.pop_back();
  }
  return "error " + std::to_string(code) + (text.empty() ? "" : ": " + text);
}

void *openNative(const std::string &path, std::string &error) {
  HMODULE module = LoadLibraryW(widen(path).c_str());
  if (module == nullptr) {
    error = lastErrorText();
  }
  return reinterpret_cast<void *>(module);
}

void closeNative(void *handle) { FreeLibrary(reinterpret_cast<HMODULE>(handle)); }

// GetProcAddress returns a generic function pointer; it is converted through void (*)(void),
// which GCC accepts as a match for every function type.
template <typename Function>
Function lookUpNative(void *handle, const char *name, std::string &error) {
  const FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(handle), name);
  if (address == nullptr) {
    error = lastErrorText();
    return nullptr;
  }
  return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(address));
}

#else

std::string dlerrorText() {
  const char *text = dlerror();
  return (text != nullptr) ? std::string(text) : std::string("unknown loader error");
}

void *openNative(const std::string &path, std::string &error) {
  void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    error = dlerrorText();
  }
  return handle;
}

void closeNative(void *handle) { dlclose(handle); }

template <typename Function>
Function lookUpNative(void *handle, const char *name, std::string &error) {
  dlerror();  // clears an earlier error, so that a null result can be told from a failure
  void *address = dlsym(handle, name);
  if (address == nullptr) {
    error = dlerrorText();
    return nullptr;
  }
  return reinterpret_cast<Function>(address);
}

#endif

bool fileExists(const std::string &path) {
  std::error_code ignored;
  return std::filesystem::is_regular_file(std::filesystem::u8path(path), ignored);
}

std::string joinPath(const std::string &directory, const std::string &name) {
  return (std::filesystem::u8path(directory) / std::filesystem::u8path(name)).lexically_normal().u8string();
}

}  // namespace

CorvantaLibrary CorvantaLibrary::open(const std::string &path) {
  std::string error;
  void *handle = openNative(path, error);
  if (handle == nullptr) {
    throw LibraryError("cannot load the Corvanta library '" + path + "': " + error);
  }
  CorvantaApi api;
#define CORVANTA_TOOLS_BIND(name)                                                                      \
  api.name = lookUpNative<name##TYPE>(handle, #name, error);                                           \
  if (api.name == nullptr) {                                                                           \
    closeNative(handle);                                                                               \
    throw LibraryError("the library '" + path + "' does not export the function " #name ": " + error); \
  }
  CORVANTA_TOOLS_API_FUNCTIONS(CORVANTA_TOOLS_BIND)
#undef CORVANTA_TOOLS_BIND
  return CorvantaLibrary(handle, path, api);
}

CorvantaLibrary CorvantaLibrary::openFirstAvailable(const std::vector<std::string> &candidates,
                                                    const std::string &systemName) {
  for (const std::string &candidate : candidates) {
    if (fileExists(candidate)) {
      return open(candidate);
    }
  }
  try {
    return open(systemName);
  } catch (const LibraryError &error) {
    std::string message = error.what();
    if (!candidates.empty()) {
      message += " (not found either:";
      for (const std::string &candidate : candidates) {
        message += " " + candidate;
      }
      message += ")";
    }
    throw LibraryError(message);
  }
}

CorvantaLibrary::CorvantaLibrary(void *handle, std::string path, const CorvantaApi &api)
    : handle_(handle), path_(std::move(path)), api_(api) {}

CorvantaLibrary::CorvantaLibrary(CorvantaLibrary &&other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      path_(std::move(other.path_)),
      api_(std::exchange(other.api_, {})) {}

CorvantaLibrary &CorvantaLibrary::operator=(CorvantaLibrary &&other) noexcept {
  if (this != &other) {
    close();
    handle_ = std::exchange(other.handle_, nullptr);
    path_ = std::move(other.path_);
    api_ = std::exchange(other.api_, {});
  }
  return *this;
}

CorvantaLibrary::~CorvantaLibrary() { close(); }

void CorvantaLibrary::close() noexcept {
  if (handle_ != nullptr) {
    closeNative(handle_);
    handle_ = nullptr;
  }
}

std::string libraryFileName() {
#if defined(_WIN32)
  return "Corvanta.dll";
#else
  return "libcorvanta.so." CORVANTA_TOOLS_STRINGIFY(CORVANTA_VERSION_MAJOR);
#endif
}

std::string executableDirectory() {
#if defined(_WIN32)
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return std::string();
    }
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::filesystem::path(buffer).parent_path().u8string();
#elif defined(__linux__)
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) {
      return std::string();
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return std::filesystem::path(buffer).parent_path().u8string();
#else
  return std::string();
#endif
}

std::vector<std::string> defaultLibraryCandidates(const std::string &executableDir,
                                                  const std::string &buildTreeLibrary) {
  std::vector<std::string> candidates;
  if (!executableDir.empty()) {
    candidates.push_back(joinPath(executableDir, "../lib/" + libraryFileName()));
#if defined(_WIN32)
    // Windows installs DLLs beside the executables that use them.
    candidates.push_back(joinPath(executableDir, libraryFileName()));
#endif
  }
  if (!buildTreeLibrary.empty()) {
    candidates.push_back(buildTreeLibrary);
  }
  return candidates;
}

CorvantaLibrary findCorvantaLibrary(const std::string &explicitPath, const std::string &buildTreeLibrary) {
  if (!explicitPath.empty()) {
    return CorvantaLibrary::open(explicitPath);
  }
  return CorvantaLibrary::openFirstAvailable(defaultLibraryCandidates(executableDirectory(), buildTreeLibrary),
                                             libraryFileName());
}

}  // namespace corvanta::tools
