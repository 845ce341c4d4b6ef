// Where the FMU finds a vehicle file: the resources folder the importer names at
// instantiation (FMI 2.0: fmuResourceLocation, a file URI; FMI 3.0: resourcePath, a native
// path ending in a separator), and VehicleFile resolved against it.
#ifndef CORVANTA_FMI_FMURESOURCES_H
#define CORVANTA_FMI_FMURESOURCES_H

#include <string>

namespace corvanta_fmi {

// The folder of a file URI ("file:///C:/fmu/resources", "file:/tmp/fmu/resources/",
// "file://localhost/tmp/...", "file://server/share/..." for a network share on Windows), with
// %XX escapes decoded and a trailing '/'; "" for NULL, an empty location, any other scheme, or
// an escape that is malformed or decodes to a NUL byte.  May throw std::bad_alloc.
std::string resourceDirectoryFromUri(const char *uri);

// A native folder path with a trailing separator ("" for NULL or empty).
std::string resourceDirectoryFromPath(const char *path);

// Whether `path` is absolute on this platform: "/..." everywhere; on Windows also "C:\...",
// "C:/..." and "\\server\share".
bool isAbsolutePath(const std::string &path);

}  // namespace corvanta_fmi

#endif  // CORVANTA_FMI_FMURESOURCES_H
