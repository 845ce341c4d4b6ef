// The temporary files the engine is writing at this moment (outputs written under a
// temporary name and renamed into place when complete), so that a host can remove them
// when it is interrupted: corvanta_engine_remove_temporary_files() in a SIGINT or SIGTERM
// handler.  A process killed by SIGKILL leaves them (names ending in ".tmp-" and 16 hex
// digits beside the target); the target itself is never truncated.
#ifndef CORVANTA_ENGINE_TEMPORARYFILES_H
#define CORVANTA_ENGINE_TEMPORARYFILES_H

#include <string>

namespace corvanta::engine {

// Remembers `path` until the returned registration is released; -1 when every slot is in
// use (the file is then not removed on a signal; nothing else changes).
int registerTemporaryFile(const std::string &path) noexcept;
void releaseTemporaryFile(int registration) noexcept;

// Removes every registered file.  Async-signal-safe: no allocation, no locks.
void removeTemporaryFiles() noexcept;

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_TEMPORARYFILES_H
