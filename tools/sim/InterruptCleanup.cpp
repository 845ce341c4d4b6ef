#include "tools/sim/InterruptCleanup.h"

#include <csignal>
#include <initializer_list>

#include "engine/corvanta_engine.h"

namespace corvanta::sim {

namespace {

extern "C" void removeAndResignal(int signal) {
  corvanta_engine_remove_temporary_files();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void removeTemporaryFilesOnInterrupt() {
  for (const int signal : {SIGINT, SIGTERM}) {
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    if (std::signal(signal, removeAndResignal) == SIG_IGN) {
      std::signal(signal, SIG_IGN);
    }
  }
}

}  // namespace corvanta::sim
