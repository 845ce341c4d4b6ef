// Longitudinal driver: a PI speed controller on AccelerationDemand.
//
// The target speed is a constant or a profile (piecewise linear over the time or the
// distance travelled since the controller was engaged).  A negative target selects
// reverse; the controller then works on the speed along the direction of travel of the
// selected gear:
//     direction d = +1 (drive, GearSelector 1) or -1 (reverse, GearSelector 3),
//     e = |target| - d * v,
//     demand = clamp(kp * e + ki * I, minDemand, maxDemand),
//     I += e * dt, only while |e| <= integralBand and unless the demand is at a limit
//                  and e pushes it further (anti-windup by conditional integration).
// The band keeps the integral out of long accelerations and decelerations, which the
// proportional part handles alone: the car's brakes barely act on small negative demands,
// so an integral wound up on the way to the target would take many seconds to unwind.
// A positive demand drives in the selected direction; a negative one brakes, whatever
// the direction.  The limits default to the demand range the model's throttle and brake
// maps cover, -4.204974631199062 to 1.9924867053765989 m/s^2.
//
// Instead of a target the controller may hold a fixed demand (open loop), in drive,
// reverse or neutral.
#ifndef CORVANTA_DRIVING_SPEEDCONTROLLER_H
#define CORVANTA_DRIVING_SPEEDCONTROLLER_H

#include <cstddef>
#include <vector>

#include "engine/driving/Path.h"

namespace corvanta::driving {

inline constexpr double kMinDemand = -4.204974631199062;  // m/s^2, first brake-map demand
inline constexpr double kMaxDemand = 1.9924867053765989;  // m/s^2, last throttle-map demand

// GearSelector codes of the model's input record.
inline constexpr double kGearDrive = 1.0;
inline constexpr double kGearNeutral = 0.0;
inline constexpr double kGearReverse = 3.0;

// A piecewise-linear target: speeds (m/s) at increasing times (s) or distances (m),
// held constant before the first and after the last knot.
struct SpeedProfile {
  bool overDistance = false;
  std::vector<double> at;
  std::vector<double> speed;
  double valueAt(double where) const;
  // The same, searching from `hint` (any value; the last search's knot on return).
  double valueAt(double where, std::size_t &hint) const;
};

struct SpeedControllerSettings {
  enum class Mode { Target, Profile, Demand };
  Mode mode = Mode::Target;
  double target = 0.0;            // m/s, Mode::Target
  SpeedProfile profile;           // Mode::Profile
  double demand = 0.0;            // m/s^2, Mode::Demand
  double gear = kGearDrive;       // Mode::Demand: the GearSelector code held
  double kp = 2.0;                // (m/s^2) per (m/s)
  double ki = 0.5;                // (m/s^2) per (m/s) per s
  double integralBand = 0.5;      // m/s: |e| within which the integral acts
  double minDemand = kMinDemand;  // m/s^2
  double maxDemand = kMaxDemand;  // m/s^2
};

// Throws DrivingError for gains that are negative or not finite, a limit range that is
// empty, or a profile that is empty, of unequal lengths or not increasing.
void validate(const SpeedControllerSettings &settings);

struct SpeedCommand {
  double demand = 0.0;       // AccelerationDemand, m/s^2
  double gear = kGearDrive;  // GearSelector code
};

class SpeedController {
 public:
  explicit SpeedController(const SpeedControllerSettings &settings);

  // One update: longitudinal speed (m/s), time and distance since the controller was
  // engaged (s, m), and the time since the last update (s).
  SpeedCommand update(double speed, double elapsed, double distance, double dt);

  // The target speed (signed) at this time and distance; NaN in Mode::Demand.
  double targetAt(double elapsed, double distance) const;

  double integral() const { return integral_; }
  const SpeedControllerSettings &settings() const { return settings_; }

 private:
  double targetAt(double elapsed, double distance, std::size_t &hint) const;

  SpeedControllerSettings settings_;
  double integral_ = 0.0;
  std::size_t profileHint_ = 0;  // where the last profile lookup ended
};

}  // namespace corvanta::driving

#endif  // CORVANTA_DRIVING_SPEEDCONTROLLER_H
