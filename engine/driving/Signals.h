// The signals of a closed-loop run that conditions can test and that runs record: the
// model time, the seven outputs, the eight inputs as applied to the step, and the derived
// signals computed from the outputs after every step.
//
// Derived signals (h = 0.0001 s, k = steps taken, p = (PositionX, PositionY), psi = Heading):
//   Distance                  sum of |p_k - p_(k-1)|, m: path length travelled
//   YawRate                   (psi_k - psi_(k-1)) / h, rad/s, > 0 turning left
//   GroundVelocity V_k        (p_k - p_(k-1)) / h, m/s (not recorded; used below)
//   LongitudinalAcceleration  (V_k - V_(k-1)) / h resolved on the body x axis at psi_(k-1), m/s^2
//   LateralAcceleration       the same resolved on the body y axis (> 0 to the left), m/s^2
//   PathRadius                |V|^3 / (V x A), m: radius of curvature of the travelled path,
//                             > 0 turning left, +-inf on a straight
//   LateralDeviation          signed distance from the driver's path, m, > 0 left of it
//                             (NaN without a path)
//   TargetSpeed               the speed controller's target, m/s (NaN without one)
//   time_in_state             model time since the last condition event fired (or the start), s
// The differences start from the initial-condition inputs (InitialPositionX/Y,
// InitialHeading and a velocity of InitialSpeed along it, which holds at time 0 where the
// first difference velocity holds half a step later), so every signal is defined from
// the first step on.  Being backward differences they lag by half a step (velocities and
// yaw rate) or one step (accelerations), 0.05 ms or 0.1 ms.
#ifndef CORVANTA_DRIVING_SIGNALS_H
#define CORVANTA_DRIVING_SIGNALS_H

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace corvanta::driving {

enum Signal : int {
  kTime,
  kPositionX,
  kPositionY,
  kHeading,
  kLongitudinalSpeed,
  kPitchAngle,
  kRollAngle,
  kTipOverIndicator,
  kAccelerationDemand,
  kGearSelector,
  kSteeringAngle,
  kRoadGrade,
  kInitialPositionX,
  kInitialPositionY,
  kInitialHeading,
  kInitialSpeed,
  kDistance,
  kYawRate,
  kLongitudinalAcceleration,
  kLateralAcceleration,
  kPathRadius,
  kLateralDeviation,
  kTargetSpeed,
  kTimeInState,
  kSignalCount
};

inline constexpr int kFirstOutputSignal = kPositionX;
inline constexpr int kFirstInputSignal = kAccelerationDemand;
inline constexpr int kOutputCount = 7;
inline constexpr int kInputCount = 8;

inline constexpr std::array<std::string_view, kSignalCount> kSignalNames = {"time",
                                                                            "PositionX",
                                                                            "PositionY",
                                                                            "Heading",
                                                                            "LongitudinalSpeed",
                                                                            "PitchAngle",
                                                                            "RollAngle",
                                                                            "TipOverIndicator",
                                                                            "AccelerationDemand",
                                                                            "GearSelector",
                                                                            "SteeringAngle",
                                                                            "RoadGrade",
                                                                            "InitialPositionX",
                                                                            "InitialPositionY",
                                                                            "InitialHeading",
                                                                            "InitialSpeed",
                                                                            "Distance",
                                                                            "YawRate",
                                                                            "LongitudinalAcceleration",
                                                                            "LateralAcceleration",
                                                                            "PathRadius",
                                                                            "LateralDeviation",
                                                                            "TargetSpeed",
                                                                            "time_in_state"};

inline constexpr std::array<std::string_view, kSignalCount> kSignalUnits = {
    "s", "m", "m",   "rad", "m/s", "rad",   "rad",   "1",     "m/s^2", "code", "rad", "rad",
    "m", "m", "rad", "m/s", "m",   "rad/s", "m/s^2", "m/s^2", "m",     "m",    "m/s", "s"};

// The signal called `name`, if there is one.
std::optional<Signal> findSignal(std::string_view name);

// "time, PositionX, ... or time_in_state", for error messages.
std::string listOfSignalNames();

using SignalFrame = std::array<double, kSignalCount>;

// Computes the derived signals from one step's outputs to the next.
class DerivedSignals {
 public:
  // Starts (or restarts, after an Initialize) the differences from the initial-condition
  // inputs of `frame`.
  void restart(const SignalFrame &frame);

  // Fills Distance, YawRate, the accelerations and PathRadius of `frame`, whose time,
  // outputs and inputs hold the step just taken.
  void update(SignalFrame &frame, double stepSize);

 private:
  double x_ = 0.0, y_ = 0.0, heading_ = 0.0;
  double vx_ = 0.0, vy_ = 0.0;
  double distance_ = 0.0;
  bool firstStep_ = true;
};

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_SIGNALS_H
