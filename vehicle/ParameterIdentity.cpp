// Identity of the parameter set an instance simulates: the set's identity (a hash of every
// value's bits in list order), the built-in set's computed once.
#include "ParameterIdentity.h"

#include "Instance.h"
#include "VehicleSet.h"

std::uint64_t parameterIdentityOf(const CorvantaInstance &instance) {
  if (instance.parameters) {
    return corvanta::vehicle::identity(instance.parameters->values);
  }
  static const std::uint64_t builtin = corvanta::vehicle::identity(corvanta::vehicle::ParameterBlock::builtin()->values);
  return builtin;
}
