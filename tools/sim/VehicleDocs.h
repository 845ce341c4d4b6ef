// The parameter tables of docs/vehicle-parameters.md, made from the one parameter list
// (`corvanta-sim vehicle docs`); a test keeps the document equal to them.
#ifndef CORVANTA_SIM_VEHICLEDOCS_H
#define CORVANTA_SIM_VEHICLEDOCS_H

#include <string>

namespace corvanta::sim {

// The lines that enclose the generated part of the document.
constexpr const char *kVehicleDocsBegin =
    "<!-- The tables below are generated from model/ParameterList.def by `corvanta-sim vehicle docs`; edit the "
    "list, not the tables. -->";
constexpr const char *kVehicleDocsEnd = "<!-- End of the generated tables. -->";

// The generated part, from kVehicleDocsBegin to kVehicleDocsEnd, each on a line of its own.
std::string vehicleParameterDocs();

}  // namespace corvanta::sim

#endif  // CORVANTA_SIM_VEHICLEDOCS_H
