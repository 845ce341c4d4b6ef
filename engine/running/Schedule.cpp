#include "engine/running/Schedule.h"

namespace corvanta::engine {

std::optional<int> findInput(std::string_view name) {
  for (std::size_t index = 0; index < kInputNames.size(); ++index) {
    if (kInputNames[index] == name) {
      return static_cast<int>(index);
    }
  }
  return std::nullopt;
}

std::string listOfInputNames() {
  std::string list;
  for (std::size_t index = 0; index < kInputNames.size(); ++index) {
    if (index > 0) {
      list += (index + 1 == kInputNames.size()) ? " or " : ", ";
    }
    list += kInputNames[index];
  }
  return list;
}

ExtU_Corvanta_T toInputRecord(const InputValues &values) {
  ExtU_Corvanta_T record{};
  std::size_t index = 0;
#define CORVANTA_ENGINE_ASSIGN(name, unit, text) record.name = values[index++];
  CORVANTA_INPUT_FIELDS(CORVANTA_ENGINE_ASSIGN)
#undef CORVANTA_ENGINE_ASSIGN
  return record;
}

OutputValues toOutputArray(const ExtY_Corvanta_T &outputs) {
  OutputValues values{};
  std::size_t index = 0;
#define CORVANTA_ENGINE_READ(name, unit, text) values[index++] = outputs.name;
  CORVANTA_OUTPUT_FIELDS(CORVANTA_ENGINE_READ)
#undef CORVANTA_ENGINE_READ
  return values;
}

bool Schedule::reinitializesDuringRun() const {
  for (const ScheduledEvent &event : events) {
    if (event.initialize && event.step > 0 && event.step < stepCount) {
      return true;
    }
  }
  return false;
}

}  // namespace corvanta::engine
