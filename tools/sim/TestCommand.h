// corvanta-sim test: runs one standard vehicle-dynamics test, or all of them, and writes
// metrics, CSV and plots into a folder.
#ifndef CORVANTA_SIM_TESTCOMMAND_H
#define CORVANTA_SIM_TESTCOMMAND_H

#include <string>
#include <vector>

namespace corvanta::sim {

// `arguments` are those after "test".  The tests run in this process through the engine
// library's C interface (corvanta_standard_tests.h), on the built-in car of the vehicle
// library unless --vehicle or --lib chooses another model.  Returns the exit status (0
// success, 2 bad usage or option, 3 library, 4 output).
int runTestCommand(const std::vector<std::string> &arguments);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_TESTCOMMAND_H
