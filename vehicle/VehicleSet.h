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
  ModelParameters model;  // model.tables is values.tables

  ParameterBlock() = default;
  ParameterBlock(const ParameterBlock &) = delete;
  ParameterBlock &operator=(const ParameterBlock &) = delete;

  // The built-in car: one block, made at the first call and shared by every set made from
  // it.  It is never changed: the function keeps a reference of its own, so a set that
  // changes a value always copies it first (CorvantaVehicle::writable()).
  static std::shared_ptr<ParameterBlock> builtin();
  // A copy of the values (sharing their tables), the derived record and the problem marks,
  // without deriving or checking anything again.
  std::shared_ptr<ParameterBlock> clone() const;
  // Recomputes the derived values after a change of `values`.
  void derive();

  // Marks every parameter (and tyre axle) that has a problem, from scratch.
  void checkAll();
  // Marks again only the parameter at `index` of parameterDescriptions() (both axles of a
  // tyre coefficient), after a change of that parameter alone.
  void recheck(std::size_t index);
  // Whether the values have no problem: no parameter marked and every combination sound.
  // The same answer as validate(values).empty(), which builds the messages too.
  bool withoutProblems() const;

  // identity(values), computed once per content: saved states carry it, so saving and
  // restoring an instance of a non-default set would otherwise hash every value each time.
  // Safe from any number of threads once the block is shared (it no longer changes then).
  std::uint64_t identity() const;
  // Forgets the identity: called by whoever changes `values` (writable(), derive()).
  void forgetIdentity() { identityKnown_.store(false, std::memory_order_relaxed); }

 private:
  explicit ParameterBlock(const ParameterBlock &source, bool);  // clone()

  void mark(std::size_t index);

  // Two marks per parameter (front and rear axle; only the first is used by parameters
  // that are not tyre coefficients), 1 where that parameter has a problem.
  std::vector<std::uint8_t> problemMarks_;
  std::size_t problemsMarked_ = 0;
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
  // Derives the model's values and checks the whole set again.
  void refresh();
  // The same after a change of the parameter at `index` of parameterDescriptions() alone:
  // only that parameter and the combinations are checked again.
  void refresh(std::size_t index);
};

#endif  // CORVANTA_VEHICLE_VEHICLESET_H
