// A vehicle parameter set behind the opaque CorvantaVehicle of the C interface.
//
// The values live in one block shared, read-only, by the set and every instance made from
// it; a change to a set whose block is shared first copies the block (copy on write), so
// instances never see a change.
#ifndef CORVANTA_VEHICLE_VEHICLESET_H
#define CORVANTA_VEHICLE_VEHICLESET_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vehicle/ParameterTable.h"
#include "vehicle/corvanta_vehicle.h"

namespace corvanta::vehicle {

// The values of a set and the model's parameter record made from them.
struct ParameterBlock {
  VehicleValues values;
  ModelParameters model;  // model.tables points at values.tables

  ParameterBlock() = default;
  ParameterBlock(const ParameterBlock &) = delete;
  ParameterBlock &operator=(const ParameterBlock &) = delete;

  // The built-in car.
  static std::shared_ptr<ParameterBlock> builtin();
  std::shared_ptr<ParameterBlock> clone() const;
  // Recomputes the derived values after a change of `values`.
  void derive();

  // identity(values), computed once per content: saved states carry it, so saving and
  // restoring an instance of a non-default set would otherwise hash every value each time.
  // Safe from any number of threads once the block is shared (it no longer changes then).
  std::uint64_t identity() const;
  // Forgets the identity: called by whoever changes `values` (writable(), derive()).
  void forgetIdentity() { identityKnown_.store(false, std::memory_order_relaxed); }

 private:
  mutable std::atomic<std::uint64_t> identity_{0};
  mutable std::atomic<bool> identityKnown_{false};
};

// One problem of a set: the parameter it concerns (for the line of a file) and the text.
struct Problem {
  std::string parameter;  // as named in a file: "VehicleMass", "FrontTyre.PDY1"
  std::string message;
};

// Every problem of the values: bounds, non-finite values, axes that are not strictly
// increasing, and physically inconsistent combinations.
std::vector<Problem> validate(const VehicleValues &values);

// A 64-bit hash of every value's bits, in list order (front tyre, then rear).
std::uint64_t identity(const VehicleValues &values);

// Whether both axles carry the same tyre coefficients, bit for bit.
bool sameTyreOnBothAxles(const VehicleValues &values);

}  // namespace corvanta::vehicle

struct CorvantaVehicle {
  std::shared_ptr<corvanta::vehicle::ParameterBlock> block;
  std::string name;
  std::string description;
  std::string warnings;  // from the files the set was read from
  bool valid = true;     // no problems: instances may be made from it

  // The block, unshared, ready to be changed; refresh() after the change.
  corvanta::vehicle::ParameterBlock &writable();
  // Derives the model's values and checks the set again.
  void refresh();
};

#endif  // CORVANTA_VEHICLE_VEHICLESET_H
