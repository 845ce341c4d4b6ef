// The FMU states one instance has issued.
#include "fmi/FmuStateRegistry.h"

#include <utility>

namespace corvanta_fmi {

void *FmuStateRegistry::issue(Bytes &&bytes) {
  auto state = std::make_unique<State>();
  void *handle = state.get();
  auto inserted = states_.emplace(handle, std::move(state));
  // Moved in only once the entry exists, so a failed insertion leaves the caller's bytes.
  inserted.first->second->bytes = std::move(bytes);
  return handle;
}

const FmuStateRegistry::Bytes *FmuStateRegistry::find(const void *handle) const {
  const auto it = states_.find(handle);
  return it == states_.end() ? nullptr : &it->second->bytes;
}

bool FmuStateRegistry::replace(const void *handle, Bytes &&bytes) {
  const auto it = states_.find(handle);
  if (it == states_.end()) {
    return false;
  }
  it->second->bytes = std::move(bytes);
  return true;
}

bool FmuStateRegistry::release(const void *handle) { return states_.erase(handle) == 1; }

}  // namespace corvanta_fmi
