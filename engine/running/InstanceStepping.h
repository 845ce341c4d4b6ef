// Stepping an instance the host owns, many steps per call: the loop a binding would
// otherwise run one foreign call per step.
#ifndef CORVANTA_ENGINE_INSTANCESTEPPING_H
#define CORVANTA_ENGINE_INSTANCESTEPPING_H

#include <cstdint>

#include "engine/corvanta_engine.h"

namespace corvanta::engine {

// Rows that stepping `steps` times keeps: after every `every`-th step and after the last.
std::uint64_t steppedRowCount(std::uint64_t steps, std::uint64_t every);

// Steps `steps` times; after every `every`-th step and after the last, copies the seven
// outputs to the next row of `outputs`.  With `inputs` (a record of CORVANTA_NUM_INPUTS
// doubles per step) each step first passes its record to SetInputs.  Throws ModelError
// when GetOutputs gives NULL.
void stepInstance(const CorvantaModelFunctions &model, void *handle, const double *inputs, std::uint64_t steps,
                  std::uint64_t every, double *outputs);

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_INSTANCESTEPPING_H
