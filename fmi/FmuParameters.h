// The vehicle parameters of the Corvanta FMUs: every scalar parameter and every tyre
// coefficient of the vehicle library's parameter list (corvanta_vehicle_parameter_info)
// becomes one FMI parameter of type Real / Float64.  Tables stay out of the FMUs (a vehicle
// file gives them, see VehicleFile).  Shared by the FMU binaries and the generator of the
// model descriptions, so that both number and name the variables alike.
//
// Names: scalars keep the list's name (VehicleMass, FinalDriveRatio); a tyre coefficient is
// one variable per axle, FrontTyre.NAME and RearTyre.NAME (FrontTyre.PDY1, RearTyre.PDY1), the
// names the vehicle library gives the coefficient of one axle.
//
// Value references: each is made from the variable's name, never from its place in the list,
// so that a parameter added anywhere in the list leaves every other value reference as it
// was: 0x10000000 + the low 28 bits of the 32-bit FNV-1a hash of the name, which lies above
// every value reference of FmuVariables.def.  A collision of two names, or with a listed value
// reference, stops the build: the generator of the model descriptions checks.
#ifndef CORVANTA_FMI_FMUPARAMETERS_H
#define CORVANTA_FMI_FMUPARAMETERS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vehicle/corvanta_vehicle.h"

namespace corvanta_fmi {

inline constexpr std::uint32_t kParameterReferenceBase = 0x10000000U;

// The value reference of the vehicle parameter named `name` (as in the model description).
inline std::uint32_t parameterValueReference(const std::string &name) {
  std::uint32_t hash = 2166136261U;
  for (const char c : name) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 16777619U;
  }
  return kParameterReferenceBase + (hash & 0x0FFFFFFFU);
}

// One vehicle parameter as the FMUs show it.
struct FmuParameter {
  std::string name;   // the FMI variable's name, also the name the vehicle library takes
  std::uint32_t vr;   // its value reference
  std::size_t index;  // entry of corvanta_vehicle_parameter_info
  int axle;           // -1 for a scalar, 0 front tyre, 1 rear tyre
  CorvantaParameterInfo info;
};

// Every FMU vehicle parameter, in list order (scalars and tyre coefficients of the front
// axle as they come, then the rear axle's coefficients).  May throw std::bad_alloc.
inline std::vector<FmuParameter> fmuParameters() {
  std::vector<FmuParameter> front;
  std::vector<FmuParameter> rear;
  const std::size_t count = corvanta_vehicle_parameter_count();
  for (std::size_t k = 0; k < count; ++k) {
    CorvantaParameterInfo info{};
    if (corvanta_vehicle_parameter_info(k, &info) != CORVANTA_VEHICLE_OK) {
      continue;
    }
    if (info.kind == CORVANTA_PARAMETER_SCALAR) {
      front.push_back({info.name, parameterValueReference(info.name), k, -1, info});
    } else if (info.kind == CORVANTA_PARAMETER_TYRE) {
      const std::string frontName = std::string("FrontTyre.") + info.name;
      const std::string rearName = std::string("RearTyre.") + info.name;
      front.push_back({frontName, parameterValueReference(frontName), k, 0, info});
      rear.push_back({rearName, parameterValueReference(rearName), k, 1, info});
    }
  }
  front.insert(front.end(), rear.begin(), rear.end());
  return front;
}

// Longest VehicleFile accepted, in bytes.
inline constexpr std::size_t kMaxVehicleFileName = 4096;

}  // namespace corvanta_fmi

#endif  // CORVANTA_FMI_FMUPARAMETERS_H
