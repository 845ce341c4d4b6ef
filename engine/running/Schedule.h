// A driving scenario turned into step counts: the input values at time 0 and the changes
// the driver makes at given steps.  Scenario files (JSON or recorded-input CSV) are read
// into a Schedule; the InputSequencer plays it back step by step.
#ifndef CORVANTA_ENGINE_SCHEDULE_H
#define CORVANTA_ENGINE_SCHEDULE_H

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capi/corvanta.h"
#include "engine/driving/ClosedLoop.h"
#include "engine/running/StepCount.h"

namespace corvanta::engine {

// The input record as an array indexed like the record's fields.
using InputValues = std::array<double, CORVANTA_NUM_INPUTS>;
using OutputValues = std::array<double, CORVANTA_NUM_OUTPUTS>;

// Field names of the input and output records, in field order.
inline constexpr std::array<std::string_view, CORVANTA_NUM_INPUTS> kInputNames = {
#define CORVANTA_ENGINE_NAME(name, unit, text) #name,
    CORVANTA_INPUT_FIELDS(CORVANTA_ENGINE_NAME)
#undef CORVANTA_ENGINE_NAME
};
inline constexpr std::array<std::string_view, CORVANTA_NUM_OUTPUTS> kOutputNames = {
#define CORVANTA_ENGINE_NAME(name, unit, text) #name,
    CORVANTA_OUTPUT_FIELDS(CORVANTA_ENGINE_NAME)
#undef CORVANTA_ENGINE_NAME
};

// Index of the input called `name`, if there is one.
std::optional<int> findInput(std::string_view name);

// "AccelerationDemand, GearSelector, ... or InitialSpeed", for error messages.
std::string listOfInputNames();

// The record passed to SetInputs for the given values.
ExtU_Corvanta_T toInputRecord(const InputValues &values);

// Output record as an array in field order.
OutputValues toOutputArray(const ExtY_Corvanta_T &outputs);

struct InputChange {
  int input = 0;  // field index
  double value = 0.0;
};

// A ramp as scheduled: the start value is the value the input holds when it starts.
struct RampStart {
  int input = 0;
  double target = 0.0;
  std::uint64_t endStep = 0;  // k(until)
};

struct ScheduledEvent {
  std::uint64_t step = 0;  // k(time)
  bool initialize = false;
  std::vector<InputChange> sets;
  std::vector<RampStart> ramps;
};

// The vehicle a scenario names (its "vehicle" key, VehicleChoice.h), paths resolved.
struct VehicleChoice {
  std::string file;      // the vehicle file the set starts from; "" none
  std::string document;  // an inline vehicle document without "base" (JSON text); "" none
  std::string source;    // names the vehicle in messages
};

struct Schedule {
  std::string name;
  std::string description;
  std::optional<VehicleChoice> vehicle;  // none: the host's vehicle
  std::uint64_t stepCount = 0;           // N = k(duration)
  InputValues initialInputs{};           // the record before the first step; unnamed inputs are 0
  std::vector<ScheduledEvent> events;    // in file order, steps non-decreasing
  driving::DrivingSetup driving;         // the closed-loop driver and the condition events
  // Whether the run may pass NaN or infinite inputs to the model; otherwise the run
  // fails at the first one (a valid scenario never has any: values are finite and ramps
  // cannot overflow).
  bool allowNonFinite = false;

  // Whether an event restarts the model during the run (after the first step, before the
  // end), which recorded inputs cannot express.
  bool reinitializesDuringRun() const;
};

}  // namespace corvanta::engine

#endif  // CORVANTA_ENGINE_SCHEDULE_H
