// corvanta-sim test: runs one standard vehicle-dynamics test, or all of them, and writes
// metrics, CSV and plots into a folder.
#ifndef CORVANTA_SIM_TESTCOMMAND_H
#define CORVANTA_SIM_TESTCOMMAND_H

#include <string>
#include <vector>

namespace corvanta::sim {

// `arguments` are those after "test".  `buildTreeLibrary` is the fallback library path.
// Returns the exit status (0 success, 2 bad usage or option, 3 library, 4 output).
int runTestCommand(const std::vector<std::string> &arguments, const std::string &buildTreeLibrary);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_TESTCOMMAND_H
