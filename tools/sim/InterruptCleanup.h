// SIGINT and SIGTERM end corvanta-sim without leaving temporary output files behind: the
// handler removes the files being written (corvanta_engine_remove_temporary_files) and
// then lets the signal end the process as it would have, so the exit status still says
// which signal it was.
#ifndef CORVANTA_SIM_INTERRUPTCLEANUP_H
#define CORVANTA_SIM_INTERRUPTCLEANUP_H

namespace corvanta::sim {

void removeTemporaryFilesOnInterrupt();

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_INTERRUPTCLEANUP_H
