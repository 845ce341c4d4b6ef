#include "engine/running/InstanceStepping.h"

#include <algorithm>

#include "engine/output/OutputRows.h"
#include "engine/running/Runner.h"
#include "engine/running/Schedule.h"

namespace corvanta::engine {

std::uint64_t steppedRowCount(std::uint64_t steps, std::uint64_t every) { return outputRowCount(steps, every, false); }

void stepInstance(const CorvantaModelFunctions &model, void *handle, const double *inputs, std::uint64_t steps,
                  std::uint64_t every, double *outputs) {
  if (steps == 0) {
    return;
  }
  const ExtY_Corvanta_T &record = outputsOf(model, handle);
  double *row = outputs;
  for (std::uint64_t step = 0; step < steps; ++step) {
    if (inputs != nullptr) {
      InputValues values;
      std::copy(inputs + step * CORVANTA_NUM_INPUTS, inputs + (step + 1) * CORVANTA_NUM_INPUTS, values.begin());
      const ExtU_Corvanta_T input = toInputRecord(values);
      model.SetInputs(handle, &input);
    }
    model.Step(handle);
    if (isOutputRow(step + 1, every, steps)) {
      const OutputValues values = toOutputArray(record);
      row = std::copy(values.begin(), values.end(), row);
    }
  }
}

}  // namespace corvanta::engine
