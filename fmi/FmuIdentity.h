// What identifies the Corvanta FMUs: shared by the FMU binaries and the generator of their
// model descriptions, so that the two always agree.
#ifndef CORVANTA_FMI_FMUIDENTITY_H
#define CORVANTA_FMI_FMUIDENTITY_H

#include "capi/corvanta.h"

namespace corvanta_fmi {

// Instantiation token (FMI 3.0) and GUID (FMI 2.0): the model and its variable list.  Change
// it whenever FmuVariables.def changes; FMU states carry it too.
inline constexpr const char *kInstantiationToken = "{f41290db-7200-4951-8286-8d4e674dbaf4}";

inline constexpr const char *kModelIdentifier = "Corvanta";

// The model's fixed internal step, s, and the tolerance of the step rule, in internal steps.
inline constexpr double kInternalStep = CORVANTA_STEP_SIZE;
inline constexpr double kStepTolerance = 1e-3;

}  // namespace corvanta_fmi

#endif  // CORVANTA_FMI_FMUIDENTITY_H
