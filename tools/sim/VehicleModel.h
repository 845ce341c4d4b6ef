// The model the runner drives by default: the built-in car of the vehicle library, which
// also reports the signals and the values at the start of a run.
#ifndef CORVANTA_SIM_VEHICLEMODEL_H
#define CORVANTA_SIM_VEHICLEMODEL_H

#include <optional>
#include <string>
#include <vector>

#include "corvanta_engine.h"

namespace corvanta::sim {

// The vehicle library's instance functions as the engine's model functions.
CorvantaModelFunctions vehicleModelFunctions();

// The file the vehicle library was loaded from ("" when the platform cannot tell).
std::string vehicleLibraryPath();

// The signal columns of --signals: "all" (every signal beyond the seven outputs, which are
// columns anyway) or names separated by commas, in the order given; an output named again
// adds no column.  Returns the problem for an unknown, empty or repeated name.
std::optional<std::string> parseSignalColumns(const std::string &text, std::vector<int> &columns);

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_VEHICLEMODEL_H
