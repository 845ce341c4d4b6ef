// Identity of the parameter set an instance simulates: the set's identity (a hash of every
// value's bits in list order), the built-in set's computed once.
#include "vehicle/ParameterIdentity.h"

#include "vehicle/Instance.h"
#include "vehicle/VehicleSet.h"

namespace {

// The built-in values, assembled without allocating: the state functions that ask for the
// identity cannot fail on memory.
std::uint64_t builtinIdentity() {
  // The compiled tables through a pointer that owns nothing (it allocates nothing).
  const std::shared_ptr<const ConstP_Corvanta_T> tables(std::shared_ptr<const ConstP_Corvanta_T>(), &Corvanta_ConstP);
  const corvanta::vehicle::VehicleValues local{ScalarParameters{}, {TyreCoefficients{}, TyreCoefficients{}}, tables};
  return corvanta::vehicle::identity(local);
}

}  // namespace

std::uint64_t parameterIdentityOf(const CorvantaInstance &instance) {
  if (instance.parameters) {
    return instance.parameters->identity();
  }
  static const std::uint64_t builtin = builtinIdentity();
  return builtin;
}
