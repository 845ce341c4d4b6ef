// corvanta-sim sweep FILE -o results.csv [--threads N]: runs a sweep definition in the
// scenario engine on N threads and writes one row of figures per run.
#ifndef CORVANTA_SIM_SWEEPCOMMAND_H
#define CORVANTA_SIM_SWEEPCOMMAND_H

#include <string>

namespace corvanta::sim {

// `argv[0]` is "sweep"; returns the exit status (the runner's codes).  The runs drive the
// vehicle library the runner is linked with, or the library --lib names.
int runSweepCommand(int argc, char **argv);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_SWEEPCOMMAND_H
