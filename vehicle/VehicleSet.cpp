// Parameter blocks: the built-in car, copies, derived values, validation and identity.
#include "vehicle/VehicleSet.h"

#include <cmath>
#include <cstring>
#include <new>

namespace corvanta::vehicle {

std::shared_ptr<ParameterBlock> ParameterBlock::builtin() {
  auto block = std::make_shared<ParameterBlock>();
  block->values.scalars = ScalarParameters{};
  block->values.tyre[kFrontAxle] = TyreCoefficients{};
  block->values.tyre[kRearAxle] = TyreCoefficients{};
  block->values.tables = Corvanta_ConstP;
  block->derive();
  return block;
}

std::shared_ptr<ParameterBlock> ParameterBlock::clone() const {
  auto block = std::make_shared<ParameterBlock>();
  block->values = values;
  block->derive();
  return block;
}

void ParameterBlock::derive() {
  model = deriveModelParameters(values.scalars, values.tyre[kFrontAxle], values.tyre[kRearAxle], &values.tables);
  forgetIdentity();
}

std::uint64_t ParameterBlock::identity() const {
  if (identityKnown_.load(std::memory_order_acquire)) {
    return identity_.load(std::memory_order_relaxed);
  }
  // Threads that meet an unknown identity all compute the same value; storing it twice is harmless.
  const std::uint64_t value = corvanta::vehicle::identity(values);
  identity_.store(value, std::memory_order_relaxed);
  identityKnown_.store(true, std::memory_order_release);
  return value;
}

namespace {

constexpr const char *kAxleName[2] = {"FrontTyre.", "RearTyre."};

std::string fileName(const ParameterDescription &d, int axle, bool bothAxlesAlike) {
  if (d.kind != ParameterKind::Tyre || bothAxlesAlike) {
    return d.name;
  }
  return std::string(kAxleName[axle]) + d.name;
}

void checkValues(const VehicleValues &values, const ParameterDescription &d, int axle, bool bothAlike,
                 std::vector<Problem> &problems) {
  const double *v = parameterValues(values, d, axle);
  const std::string name = fileName(d, axle, bothAlike);
  for (std::size_t i = 0; i < d.count; ++i) {
    if (!withinBounds(d, v[i])) {
      std::string where = d.count > 1 ? name + "[" + std::to_string(i) + "]" : name;
      problems.push_back({name, where + " = " + shortestText(v[i]) + " is outside its range " + rangeText(d)});
      if (d.count > 1) {
        return;  // one problem per table is enough to find it
      }
    }
  }
  if (d.axis) {
    for (std::size_t i = 1; i < d.count; ++i) {
      if (!(v[i] > v[i - 1])) {
        problems.push_back({name, name + " is not strictly increasing: [" + std::to_string(i - 1) + "] = " +
                                      shortestText(v[i - 1]) + ", [" + std::to_string(i) + "] = " +
                                      shortestText(v[i])});
        return;
      }
    }
  }
}

}  // namespace

bool sameTyreOnBothAxles(const VehicleValues &values) {
  return std::memcmp(&values.tyre[0], &values.tyre[1], sizeof(TyreCoefficients)) == 0;
}

std::vector<Problem> validate(const VehicleValues &values) {
  std::vector<Problem> problems;
  const bool bothAlike = sameTyreOnBothAxles(values);
  for (const ParameterDescription &d : parameterDescriptions()) {
    if (d.kind == ParameterKind::Tyre) {
      checkValues(values, d, 0, bothAlike, problems);
      if (!bothAlike) {
        checkValues(values, d, 1, bothAlike, problems);
      }
    } else {
      checkValues(values, d, 0, bothAlike, problems);
    }
  }

  // Combinations no real car has.
  const ScalarParameters &s = values.scalars;
  if (!(s.Wheelbase > s.FrontAxleDistance)) {
    problems.push_back({"Wheelbase", "Wheelbase = " + shortestText(s.Wheelbase) +
                                         " m must exceed FrontAxleDistance = " + shortestText(s.FrontAxleDistance) +
                                         " m: the centre of mass must lie between the axles"});
  }
  if (!(s.SprungMass <= s.VehicleMass)) {
    problems.push_back({"SprungMass", "SprungMass = " + shortestText(s.SprungMass) +
                                          " kg exceeds VehicleMass = " + shortestText(s.VehicleMass) + " kg"});
  }
  if (!(s.EngineSpeedMin < s.EngineSpeedMax)) {
    problems.push_back({"EngineSpeedMin", "EngineSpeedMin = " + shortestText(s.EngineSpeedMin) +
                                              " rad/s must be below EngineSpeedMax = " +
                                              shortestText(s.EngineSpeedMax) + " rad/s"});
  }
  const double *ratios = values.tables.GearRatio_Table;
  if (!(ratios[0] < 0.0) || ratios[1] != 0.0) {
    problems.push_back({"GearRatio_Table", "GearRatio_Table: reverse (first value, " + shortestText(ratios[0]) +
                                               ") must be negative and neutral (second, " +
                                               shortestText(ratios[1]) + ") zero"});
  }
  for (int gear = 2; gear < kGearRatioPoints; ++gear) {
    if (!(ratios[gear] > 0.0)) {
      problems.push_back({"GearRatio_Table", "GearRatio_Table: gear " + std::to_string(gear - 1) + " has ratio " +
                                                 shortestText(ratios[gear]) + "; forward gears need positive ratios"});
      break;
    }
  }
  return problems;
}

std::uint64_t identity(const VehicleValues &values) {
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the value bits
  auto mix = [&hash](const double *v, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint64_t bits;
      std::memcpy(&bits, &v[i], sizeof bits);
      for (int byte = 0; byte < 8; ++byte) {
        hash ^= (bits >> (8 * byte)) & 0xFFU;
        hash *= 1099511628211ULL;
      }
    }
  };
  for (const ParameterDescription &d : parameterDescriptions()) {
    if (d.kind == ParameterKind::Tyre) {
      mix(parameterValues(values, d, 0), 1);
      mix(parameterValues(values, d, 1), 1);
    } else {
      mix(parameterValues(values, d, 0), d.count);
    }
  }
  return hash;
}

}  // namespace corvanta::vehicle

corvanta::vehicle::ParameterBlock &CorvantaVehicle::writable() {
  if (block.use_count() > 1) {
    block = block->clone();
  }
  block->forgetIdentity();
  return *block;
}

void CorvantaVehicle::refresh() {
  block->derive();
  valid = corvanta::vehicle::validate(block->values).empty();
}
