// Whole text files in and out through the C library's stdio (fopen, fread, fwrite, fclose):
// the readers of vehicle and tyre property files and the writers of sets share these, and
// binaries that carry the vehicle library inside them (the FMUs) take no stream library, and
// none of the newer C-library file interfaces it would bring, with them.
#ifndef CORVANTA_VEHICLE_TEXTFILE_H
#define CORVANTA_VEHICLE_TEXTFILE_H

#include <cstddef>
#include <string>

namespace corvanta::vehicle {

enum class ReadStatus { Ok, CannotOpen, TooLarge, ReadError };

// Reads the file at `path` into `text`, at most `maxBytes` bytes: a longer file (or one that
// keeps growing) is TooLarge, and `text` holds nothing of it.  On CannotOpen and ReadError,
// `reason` is the C library's text for errno.  May throw std::bad_alloc.
ReadStatus readTextFile(const std::string &path, std::size_t maxBytes, std::string &text, std::string &reason);

// Writes `text` to `path` through a temporary file renamed into place; "" or the error.
std::string writeFileAtomically(const std::string &path, const std::string &text);

}  // namespace corvanta::vehicle

#endif  // CORVANTA_VEHICLE_TEXTFILE_H
