// Identity of the built-in parameter set: an FNV-1a digest of the compiled tables, the
// brake constant and the vehicle constants, computed once.
#include "ParameterIdentity.h"

#include <cstddef>

#include "VehicleConstants.h"
#include "data/ConstantBlocks.h"

namespace {

class Fnv1a {
 public:
  void add(const void *data, std::size_t size) {
    const auto *bytes = static_cast<const unsigned char *>(data);
    for (std::size_t k = 0; k < size; ++k) {
      hash_ = (hash_ ^ bytes[k]) * 0x100000001b3ULL;
    }
  }
  void add(double value) { add(&value, sizeof value); }
  std::uint64_t value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

std::uint64_t builtinIdentity() {
  Fnv1a digest;
  digest.add(&Corvanta_ConstP, sizeof Corvanta_ConstP);
  digest.add(Corvanta_ConstB);
  const double constants[] = {kStepSize,    kEngineSpeedMin, kEngineSpeedMax,  kRadPerSecToRpm, kVehicleMass,
                              kVehicleWeight, kYawInertia,   kWheelRadius,     kInvWheelRadius, kWheelInertia,
                              kFrontAxleX,  kRearAxleX,      kFrontHalfTrack,  kRearHalfTrack};
  digest.add(constants, sizeof constants);
  return digest.value();
}

}  // namespace

std::uint64_t parameterIdentityOf(const CorvantaInstance &instance) {
  static_cast<void>(instance);  // every instance simulates the built-in set so far
  static const std::uint64_t identity = builtinIdentity();
  return identity;
}
