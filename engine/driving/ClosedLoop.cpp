#include "engine/driving/ClosedLoop.h"

#include <cmath>

namespace corvanta::driving {

ClosedLoop::ClosedLoop(const DrivingSetup &setup, const double *initialInputs, double stepSize)
    : setup_(setup), stepSize_(stepSize) {
  if (setup_.driver.updateSteps < 1) {
    throw DrivingError("driver: the update period must be at least one step");
  }
  for (int input = 0; input < kInputCount; ++input) {
    frame_[kFirstInputSignal + input] = initialInputs[input];
  }
  // Before the first step the vehicle stands where the initial conditions put it.
  frame_[kPositionX] = frame_[kInitialPositionX];
  frame_[kPositionY] = frame_[kInitialPositionY];
  frame_[kHeading] = frame_[kInitialHeading];
  frame_[kLongitudinalSpeed] = frame_[kInitialSpeed];
  frame_[kLateralDeviation] = NAN;
  frame_[kTargetSpeed] = NAN;
  derived_.restart(frame_);

  if (setup_.driver.path) {
    const Placement placement{frame_[kInitialPositionX], frame_[kInitialPositionY], frame_[kInitialHeading]};
    auto path = std::make_shared<const Path>(place(setup_.driver.path->points, placement), setup_.driver.path->closed);
    follower_ = std::make_unique<PathFollower>(std::move(path), setup_.driver.follower);
  }
  engageSpeed(setup_.driver.speed);
  for (const ConditionEvent &event : setup_.events) {
    conditions_.emplace_back(event.when);
    if (event.changesSpeed && event.speed) {
      validate(*event.speed);
    }
  }
}

void ClosedLoop::engageSpeed(const std::optional<SpeedControllerSettings> &settings) {
  speed_.reset();
  if (settings) {
    speed_.emplace(*settings);
  }
  speedEngagedTime_ = frame_[kTime];
  speedEngagedDistance_ = frame_[kDistance];
  if (speed_) {
    // Act from the next step on, not from the next driver update.
    speedCommand_ = speed_->update(frame_[kLongitudinalSpeed], 0.0, 0.0, 0.0);
  }
}

void ClosedLoop::updateDriver() {
  const double dt = static_cast<double>(setup_.driver.updateSteps) * stepSize_;
  const double speed = frame_[kLongitudinalSpeed];
  if (speed_) {
    speedCommand_ =
        speed_->update(speed, frame_[kTime] - speedEngagedTime_, frame_[kDistance] - speedEngagedDistance_, dt);
  }
  if (follower_) {
    const bool reverse = std::trunc(frame_[kGearSelector]) == kGearReverse;
    steering_ = follower_->update(Point2{frame_[kPositionX], frame_[kPositionY]}, frame_[kHeading], speed, reverse, dt);
  }
}

void ClosedLoop::beforeStep(std::uint64_t step, double *inputs) {
  if (step % setup_.driver.updateSteps == 0) {
    if (speed_) {
      // The follower reads the gear of this step, which the speed controller sets.
      frame_[kGearSelector] = speedCommand_.gear;
    }
    updateDriver();
  }
  if (speed_) {
    inputs[kAccelerationDemand - kFirstInputSignal] = speedCommand_.demand;
    inputs[kGearSelector - kFirstInputSignal] = speedCommand_.gear;
  }
  if (follower_) {
    inputs[kSteeringAngle - kFirstInputSignal] = steering_;
  }
}

void ClosedLoop::afterStep(std::uint64_t steps, const double *inputs, const double *outputs,
                           std::vector<InputSet> &changes) {
  frame_[kTime] = static_cast<double>(steps) * stepSize_;
  for (int output = 0; output < kOutputCount; ++output) {
    frame_[kFirstOutputSignal + output] = outputs[output];
  }
  for (int input = 0; input < kInputCount; ++input) {
    frame_[kFirstInputSignal + input] = inputs[input];
  }
  derived_.update(frame_, stepSize_);
  frame_[kLateralDeviation] =
      follower_ ? follower_->locate(Point2{frame_[kPositionX], frame_[kPositionY]}).lateral : NAN;
  frame_[kTargetSpeed] =
      speed_ ? speed_->targetAt(frame_[kTime] - speedEngagedTime_, frame_[kDistance] - speedEngagedDistance_) : NAN;
  frame_[kTimeInState] = frame_[kTime] - stateStart_;

  for (std::size_t index = 0; index < conditions_.size(); ++index) {
    if (!conditions_[index].crossed(frame_)) {
      continue;
    }
    const ConditionEvent &event = setup_.events[index];
    fired_.push_back(FiredEvent{index, steps});
    stateStart_ = frame_[kTime];
    changes.insert(changes.end(), event.sets.begin(), event.sets.end());
    if (event.changesSpeed) {
      engageSpeed(event.speed);
    }
    stopRequested_ = stopRequested_ || event.stop;
  }
}

void ClosedLoop::restart(const double *inputs) {
  for (int input = 0; input < kInputCount; ++input) {
    frame_[kFirstInputSignal + input] = inputs[input];
  }
  derived_.restart(frame_);
}

}  // namespace corvanta::driving
