#include "engine/driving/SpeedController.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "engine/driving/HintedSearch.h"

namespace corvanta::driving {

double SpeedProfile::valueAt(double where) const {
  std::size_t hint = 0;
  return valueAt(where, hint);
}

double SpeedProfile::valueAt(double where, std::size_t &hint) const {
  if (where <= at.front()) {
    return speed.front();
  }
  // The first knot beyond `where`, searched from the last one found.
  const std::size_t i =
      hintedPartitionPoint(at.size(), hint, [&](std::size_t k) { return k == 0 || !(where < at[k]); });
  if (i == at.size()) {
    return speed.back();
  }
  const double fraction = (where - at[i - 1]) / (at[i] - at[i - 1]);
  return speed[i - 1] + (speed[i] - speed[i - 1]) * fraction;
}

namespace {

void requireFinite(double value, const std::string &name) {
  if (!std::isfinite(value)) {
    throw DrivingError("speed controller: " + name + " must be a finite number");
  }
}

void validateProfile(const SpeedProfile &profile) {
  const char *axis = profile.overDistance ? "distance" : "time";
  if (profile.at.empty() || profile.at.size() != profile.speed.size()) {
    throw DrivingError(std::string("speed profile: '") + axis +
                       "' and 'speed' must be non-empty lists of the same length");
  }
  for (std::size_t i = 0; i < profile.at.size(); ++i) {
    requireFinite(profile.at[i], std::string("profile ") + axis);
    requireFinite(profile.speed[i], "profile speed");
    if (i > 0 && !(profile.at[i] > profile.at[i - 1])) {
      throw DrivingError(std::string("speed profile: the ") + axis + " values must increase");
    }
  }
  const auto [low, high] = std::minmax_element(profile.speed.begin(), profile.speed.end());
  if (*low < 0.0 && *high > 0.0) {
    throw DrivingError("speed profile: speeds must not change sign (drive and reverse need separate profiles)");
  }
}

}  // namespace

void validate(const SpeedControllerSettings &settings) {
  requireFinite(settings.kp, "kp");
  requireFinite(settings.ki, "ki");
  if (settings.kp < 0.0 || settings.ki < 0.0) {
    throw DrivingError("speed controller: kp and ki must be >= 0");
  }
  if (!(settings.integralBand > 0.0)) {
    throw DrivingError("speed controller: integral_band must be > 0");
  }
  requireFinite(settings.minDemand, "min_demand");
  requireFinite(settings.maxDemand, "max_demand");
  if (!(settings.minDemand < settings.maxDemand)) {
    throw DrivingError("speed controller: min_demand must be less than max_demand");
  }
  switch (settings.mode) {
    case SpeedControllerSettings::Mode::Target:
      requireFinite(settings.target, "target");
      break;
    case SpeedControllerSettings::Mode::Profile:
      validateProfile(settings.profile);
      break;
    case SpeedControllerSettings::Mode::Demand:
      requireFinite(settings.demand, "demand");
      break;
  }
}

SpeedController::SpeedController(const SpeedControllerSettings &settings) : settings_(settings) { validate(settings_); }

double SpeedController::targetAt(double elapsed, double distance) const {
  std::size_t hint = profileHint_;
  return targetAt(elapsed, distance, hint);
}

double SpeedController::targetAt(double elapsed, double distance, std::size_t &hint) const {
  switch (settings_.mode) {
    case SpeedControllerSettings::Mode::Target:
      return settings_.target;
    case SpeedControllerSettings::Mode::Profile:
      return settings_.profile.valueAt(settings_.profile.overDistance ? distance : elapsed, hint);
    case SpeedControllerSettings::Mode::Demand:
      break;
  }
  return NAN;
}

SpeedCommand SpeedController::update(double speed, double elapsed, double distance, double dt) {
  if (settings_.mode == SpeedControllerSettings::Mode::Demand) {
    return SpeedCommand{settings_.demand, settings_.gear};
  }
  const double target = targetAt(elapsed, distance, profileHint_);
  const bool reverse = target < 0.0;
  const double direction = reverse ? -1.0 : 1.0;
  const double error = std::fabs(target) - direction * speed;
  const double unclamped = settings_.kp * error + settings_.ki * integral_;
  const double demand = std::clamp(unclamped, settings_.minDemand, settings_.maxDemand);
  const bool pushingHigh = unclamped >= settings_.maxDemand && error > 0.0;
  const bool pushingLow = unclamped <= settings_.minDemand && error < 0.0;
  if (!pushingHigh && !pushingLow && std::fabs(error) <= settings_.integralBand) {
    integral_ += error * dt;
  }
  return SpeedCommand{demand, reverse ? kGearReverse : kGearDrive};
}

}  // namespace corvanta::driving
