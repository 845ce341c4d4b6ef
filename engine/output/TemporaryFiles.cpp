#include "engine/output/TemporaryFiles.h"

#include <atomic>
#include <cstring>

#include "engine/corvanta_engine.h"

#if defined(_WIN32)
#include <io.h>
#define CORVANTA_UNLINK _unlink
#else
#include <unistd.h>
#define CORVANTA_UNLINK unlink
#endif

namespace corvanta::engine {

namespace {

// A fixed table, so that the signal handler needs no allocation: each slot is free,
// being filled or released, or holds a name.
enum SlotState : int { kFree = 0, kBusy = 1, kHeld = 2 };
constexpr int kSlots = 256;
constexpr std::size_t kPathCapacity = 4096;

struct Slot {
  std::atomic<int> state{kFree};
  char path[kPathCapacity];
};

Slot slots[kSlots];

}  // namespace

int registerTemporaryFile(const std::string &path) noexcept {
  if (path.empty() || path.size() >= kPathCapacity) {
    return -1;
  }
  for (int index = 0; index < kSlots; ++index) {
    int expected = kFree;
    if (slots[index].state.compare_exchange_strong(expected, kBusy)) {
      std::memcpy(slots[index].path, path.c_str(), path.size() + 1);
      slots[index].state.store(kHeld);
      return index;
    }
  }
  return -1;
}

void releaseTemporaryFile(int registration) noexcept {
  if (registration >= 0 && registration < kSlots) {
    slots[registration].state.store(kFree);
  }
}

void removeTemporaryFiles() noexcept {
  for (Slot &slot : slots) {
    if (slot.state.load() == kHeld) {
      CORVANTA_UNLINK(slot.path);
    }
  }
}

}  // namespace corvanta::engine

extern "C" void corvanta_engine_remove_temporary_files(void) { corvanta::engine::removeTemporaryFiles(); }
