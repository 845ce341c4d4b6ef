// corvanta_stop_when_flagged: a step callback that lets another thread cancel a run.
#include "engine/corvanta_engine.h"

extern "C" int corvanta_stop_when_flagged(void *user, uint64_t, int, const double *, const double *) {
  if (user == nullptr) {
    return 0;
  }
  // Written by another thread while the run goes on: a relaxed atomic load of a plain int.
#if defined(__GNUC__) || defined(__clang__)
  return __atomic_load_n(static_cast<const int *>(user), __ATOMIC_RELAXED) != 0 ? 1 : 0;
#else
  return *static_cast<const volatile int *>(user) != 0 ? 1 : 0;
#endif
}
