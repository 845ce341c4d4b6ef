// A varied field of a sweep: a dotted path into the scenario, such as
// "inputs.InitialSpeed", "duration" or "events.0.set.SteeringAngle".  Object members are
// named by key and array elements by index (0 for the first; no leading zeros).
// "vehicle.NAME" is a parameter of the vehicle ("vehicle.VehicleMass",
// "vehicle.FrontTyre.PDY1"): the run's scenario gets it in its vehicle's "parameters",
// over the base's vehicle (a file, an inline vehicle, or the host's vehicle when the base
// names none); the vehicle library checks the name when a run starts.
#ifndef CORVANTA_SWEEP_SCENARIOPATH_H
#define CORVANTA_SWEEP_SCENARIOPATH_H

#include <optional>
#include <string>
#include <vector>

#include "engine/sweep/SweepJson.h"

namespace corvanta::sweep {

class ScenarioPath {
 public:
  // Resolves `text` against the base scenario.  The path must lead to a number of the
  // base, or name an input the base leaves at its default: a key of the top-level
  // "inputs" object (which may itself be missing) or of an event's "set" or "ramp"
  // object.  Returns the reason otherwise, e.g. `events.3: the base has 2 events`.
  static ScenarioPath resolve(const std::string &text, const Json &base, std::string &error);

  const std::string &text() const { return text_; }

  // Writes `value` at the path into a copy of the base it was resolved against.
  void apply(Json &scenario, double value) const;

 private:
  struct Segment {
    std::string key;                   // for an object member
    std::optional<std::size_t> index;  // for an array element
  };

  std::string text_;
  std::vector<Segment> segments_;
  std::string vehicleParameter_;  // "vehicle.NAME": NAME; else empty
};

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_SCENARIOPATH_H
