// Closed-loop driving around the stepping loop of a scenario: the driver models, the
// derived signals and the condition events, independent of how the host steps the model.
//
// A host calls, for step index k = 0, 1, ... (k steps taken):
//   beforeStep(k, inputs)  the driver writes its inputs into the record for this step
//                          (AccelerationDemand and GearSelector from the speed controller,
//                          SteeringAngle from the path follower), updating its commands
//                          every `updateSteps` steps and holding them in between;
//   Step
//   afterStep(k + 1, inputs, outputs, changes)
//                          computes the derived signals, tests the conditions, and
//                          appends the input changes of the events that fired to
//                          `changes` (the host holds them from the next step on); after an
//                          event asks to stop, stopRequested() is true and the host ends
//                          the run after this step.
// restart(inputs) follows an Initialize the host makes during the run.
#ifndef CORVANTA_DRIVING_CLOSEDLOOP_H
#define CORVANTA_DRIVING_CLOSEDLOOP_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/driving/Condition.h"
#include "engine/driving/PathFollower.h"
#include "engine/driving/Signals.h"
#include "engine/driving/SpeedController.h"

namespace corvanta::driving {

// A path in path coordinates (x along the initial heading, y to its left, origin at the
// initial position), placed in the road plane when the run starts.
struct PathDefinition {
  std::vector<Point2> points;
  bool closed = false;
  std::string description;  // "circle of radius 30 m, left", for summaries
};

struct DriverSetup {
  std::optional<SpeedControllerSettings> speed;
  std::optional<PathDefinition> path;
  PathFollowerSettings follower;
  std::uint64_t updateSteps = 10;  // driver update period: 10 steps = 0.001 s
};

struct InputSet {
  int input = 0;  // field index of the input record
  double value = 0.0;
};

// An event that fires when its condition is crossed (see Condition).
struct ConditionEvent {
  std::vector<Comparison> when;
  std::vector<InputSet> sets;  // held from the next step on
  bool stop = false;           // end the run after this step
  bool changesSpeed = false;   // replace the speed controller by `speed` (none: release)
  std::optional<SpeedControllerSettings> speed;
};

struct DrivingSetup {
  DriverSetup driver;
  std::vector<ConditionEvent> events;
  bool empty() const { return !driver.speed && !driver.path && events.empty(); }
};

// An event that has fired: its index in DrivingSetup::events and the steps taken then.
struct FiredEvent {
  std::size_t index;
  std::uint64_t steps;
};

class ClosedLoop {
 public:
  // `initialInputs`: the input record before the first step (8 doubles, field order);
  // it places the path.  Throws DrivingError for unusable settings.
  ClosedLoop(const DrivingSetup &setup, const double *initialInputs, double stepSize);

  void beforeStep(std::uint64_t step, double *inputs);
  void afterStep(std::uint64_t steps, const double *inputs, const double *outputs, std::vector<InputSet> &changes);
  void restart(const double *inputs);

  bool stopRequested() const { return stopRequested_; }
  const SignalFrame &frame() const { return frame_; }
  const std::vector<FiredEvent> &firedEvents() const { return fired_; }
  const PathFollower *follower() const { return follower_.get(); }
  const DrivingSetup &setup() const { return setup_; }

 private:
  void engageSpeed(const std::optional<SpeedControllerSettings> &settings);
  void updateDriver();

  DrivingSetup setup_;
  double stepSize_;
  SignalFrame frame_{};
  DerivedSignals derived_;
  std::unique_ptr<PathFollower> follower_;
  std::optional<SpeedController> speed_;
  double speedEngagedTime_ = 0.0;
  double speedEngagedDistance_ = 0.0;
  SpeedCommand speedCommand_;
  double steering_ = 0.0;
  std::vector<Condition> conditions_;
  std::vector<FiredEvent> fired_;
  double stateStart_ = 0.0;
  bool stopRequested_ = false;
};

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_CLOSEDLOOP_H
