// Sweep definitions: a base scenario and the variation of some of its fields, or a plain
// list of scenarios.
//
//   {"base": {scenario}, "grid": {"inputs.InitialSpeed": [5, 10, 20], "inputs.RoadGrade": [-0.05, 0]}}
//   {"base": {scenario}, "monte_carlo": {"count": 1000, "seed": 7, "fields": {
//       "inputs.InitialSpeed": {"uniform": [5, 35]},
//       "events.0.set.SteeringAngle": {"normal": [0, 0.02], "bounds": [-0.1, 0.1]},
//       "inputs.GearSelector": {"choice": [1, 3]}}}}
//   [{scenario}, {scenario}, ...]
//
// A grid runs the full product of its value lists in definition order: the first field
// changes slowest, the last fastest (run 0 takes every first value).  A Monte-Carlo sweep
// draws each field of each run from its own random stream (Sampling.h), so the runs depend
// only on the file.  The scenarios themselves are checked by the scenario reader.
#ifndef CORVANTA_SWEEP_SWEEPDEFINITION_H
#define CORVANTA_SWEEP_SWEEPDEFINITION_H

#include <cstdint>
#include <string>
#include <vector>

#include "engine/sweep/ScenarioPath.h"
#include "engine/sweep/SweepJson.h"

namespace corvanta::sweep {

// How one field of a Monte-Carlo sweep is drawn.
struct Distribution {
  enum class Kind { Uniform, Normal, Choice };
  Kind kind = Kind::Uniform;
  // Uniform: [first, second).  Normal: mean, standard deviation.
  double first = 0.0;
  double second = 0.0;
  // Normal only: draws outside [lower, upper] are drawn again (a truncated normal).
  bool bounded = false;
  double lower = 0.0;
  double upper = 0.0;
  std::vector<double> choices;  // Choice: one of these, each equally likely

  // The value of field `field` in run `run` of a sweep with this seed.  Throws SweepError
  // when the bounds of a normal keep rejecting draws.
  double sample(std::uint64_t seed, std::uint64_t run, std::uint64_t field) const;
};

struct VariedField {
  ScenarioPath path;
  std::vector<double> gridValues;  // grid sweeps
  Distribution distribution;       // Monte-Carlo sweeps
};

class SweepDefinition {
 public:
  enum class Kind { Grid, MonteCarlo, ScenarioList };

  // Reads a definition from its text; `fileName` prefixes every message, which names the
  // field at fault: `sweep.json: monte_carlo.fields["inputs.Speed"]: unknown path: ...`.
  static SweepDefinition parse(const std::string &text, const std::string &fileName);
  // The same for a parsed document.
  static SweepDefinition fromJson(const Json &document, const std::string &fileName);

  Kind kind() const { return kind_; }
  const std::string &fileName() const { return fileName_; }
  std::uint64_t runCount() const { return runCount_; }
  const std::vector<VariedField> &fields() const { return fields_; }
  std::uint64_t seed() const { return seed_; }

  // The varied values of one run, in field order (empty for a scenario list).
  std::vector<double> valuesOfRun(std::uint64_t run) const;
  // The scenario of one run: the base with the varied values written in.
  Json scenarioOfRun(std::uint64_t run, const std::vector<double> &values) const;
  Json scenarioOfRun(std::uint64_t run) const { return scenarioOfRun(run, valuesOfRun(run)); }
  // The base scenario (grid and Monte-Carlo sweeps).
  const Json &base() const { return base_; }

 private:
  Kind kind_ = Kind::Grid;
  std::string fileName_;
  Json base_;
  std::vector<Json> scenarios_;  // scenario lists
  std::vector<VariedField> fields_;
  std::uint64_t runCount_ = 0;
  std::uint64_t seed_ = 0;
};

}  // namespace corvanta::sweep

#endif  // CORVANTA_SWEEP_SWEEPDEFINITION_H
