// The FMU states one instance has issued (GetFMUstate, DeSerializeFMUstate): the handles a
// host may pass back.  A handle is looked up here before anything is read through it, so a
// stale, foreign or already freed handle is refused instead of dereferenced; the instance
// owns its states and frees those the host left when it is freed itself.
#ifndef CORVANTA_FMI_FMUSTATEREGISTRY_H
#define CORVANTA_FMI_FMUSTATEREGISTRY_H

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace corvanta_fmi {

class FmuStateRegistry {
 public:
  using Bytes = std::vector<std::uint8_t>;

  // A new handle holding BYTES (moved in).  May throw std::bad_alloc; nothing changes then.
  void *issue(Bytes &&bytes);
  // The bytes behind a handle this registry issued and has not released; null otherwise.
  const Bytes *find(const void *handle) const;
  // Replaces the bytes of an issued handle; false when the handle is not one of ours.
  bool replace(const void *handle, Bytes &&bytes);
  // Frees an issued handle; false when it is not one of ours (already freed, foreign).
  bool release(const void *handle);
  std::size_t size() const { return states_.size(); }

 private:
  struct State {
    Bytes bytes;
  };
  std::unordered_map<const void *, std::unique_ptr<State>> states_;
};

}  // namespace corvanta_fmi

#endif  // CORVANTA_FMI_FMUSTATEREGISTRY_H
