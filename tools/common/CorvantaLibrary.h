// Run-time binding of the Corvanta shared library, as any host does it: open the library
// file with the platform loader (dlopen on Linux, LoadLibraryW on Windows) and look up the
// seven C functions by name, casting each to its function type from corvanta.h.
//
// A library or function that cannot be found raises LibraryError with the path that was
// tried and the loader's own explanation (dlerror() or the text of GetLastError()).
#ifndef CORVANTA_TOOLS_CORVANTALIBRARY_H
#define CORVANTA_TOOLS_CORVANTALIBRARY_H

#include <stdexcept>
#include <string>
#include <vector>

#include "capi/corvanta.h"

// The seven exported functions, in the order of corvanta.h.
#define CORVANTA_TOOLS_API_FUNCTIONS(X) \
  X(CreateVehicleModel)                 \
  X(DeleteVehicleModel)                 \
  X(Initialize)                         \
  X(SetInputs)                          \
  X(Step)                               \
  X(GetOutputs)                         \
  X(Terminate)

namespace corvanta::tools {

class LibraryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bound functions; every member is non-null in a loaded library.
struct CorvantaApi {
#define CORVANTA_TOOLS_API_MEMBER(name) name##TYPE name = nullptr;
  CORVANTA_TOOLS_API_FUNCTIONS(CORVANTA_TOOLS_API_MEMBER)
#undef CORVANTA_TOOLS_API_MEMBER
};

// An opened library; closing it (on destruction) invalidates the function pointers and
// every instance created through them.
class CorvantaLibrary {
 public:
  // Opens the library at `path` (UTF-8) and binds the seven functions.  A path without a
  // directory separator is looked up by the system loader's search.
  static CorvantaLibrary open(const std::string &path);

  // Opens the first candidate file that exists; when none exists, asks the system loader
  // for `systemName`.  A candidate that exists but fails to load is reported, not skipped,
  // so that a broken installation does not silently pick up another build.
  static CorvantaLibrary openFirstAvailable(const std::vector<std::string> &candidates, const std::string &systemName);

  CorvantaLibrary(CorvantaLibrary &&other) noexcept;
  CorvantaLibrary &operator=(CorvantaLibrary &&other) noexcept;
  CorvantaLibrary(const CorvantaLibrary &) = delete;
  CorvantaLibrary &operator=(const CorvantaLibrary &) = delete;
  ~CorvantaLibrary();

  const CorvantaApi &api() const { return api_; }
  const std::string &path() const { return path_; }

 private:
  CorvantaLibrary(void *handle, std::string path, const CorvantaApi &api);
  void close() noexcept;

  void *handle_ = nullptr;
  std::string path_;
  CorvantaApi api_;
};

// File name of the library for the system loader: "libcorvanta.so.1" (the soname of this
// major version) on Linux, "Corvanta.dll" on Windows.
std::string libraryFileName();

// Directory of the running executable (UTF-8, no trailing separator), or "" when the
// platform cannot tell.
std::string executableDirectory();

// The places a tool looks for the library by default, in order: the installed layout
// (bin/../lib, and on Windows also the executable's own directory), then `buildTreeLibrary`
// when it is not empty.
std::vector<std::string> defaultLibraryCandidates(const std::string &executableDir,
                                                  const std::string &buildTreeLibrary);

// The one search order of the tools: the library at `explicitPath` when it is not empty
// (nothing else is tried), else the first of defaultLibraryCandidates(executableDirectory(),
// buildTreeLibrary) that exists, else libraryFileName() through the system loader's search.
CorvantaLibrary findCorvantaLibrary(const std::string &explicitPath, const std::string &buildTreeLibrary);

}  // namespace corvanta::tools

#endif  // CORVANTA_TOOLS_CORVANTALIBRARY_H
