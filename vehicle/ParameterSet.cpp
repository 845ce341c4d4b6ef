// The C functions of parameter sets.  No exception crosses the C boundary: every function
// catches and reports what can go wrong (memory, files) as a result code.
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "vehicle/TyrePropertyFile.h"
#include "vehicle/VehicleFile.h"
#include "vehicle/VehicleSet.h"

using namespace corvanta::vehicle;

namespace {

void writeText(const std::string &text, char *buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) {
    return;
  }
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

std::string joined(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines) {
    text += (text.empty() ? "" : "\n") + line;
  }
  return text;
}

CorvantaVehicle *newBuiltin() {
  std::unique_ptr<CorvantaVehicle> vehicle(new CorvantaVehicle());
  vehicle->block = ParameterBlock::builtin();
  vehicle->name = "built-in";
  vehicle->description = "the built-in rear-wheel-drive car with a five-speed automatic gearbox";
  return vehicle.release();
}

}  // namespace

extern "C" {

CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_create_builtin(void) {
  try {
    return newBuiltin();
  } catch (...) {
    return nullptr;
  }
}

CORVANTA_VEHICLE_API void corvanta_vehicle_free(CorvantaVehicle *vehicle) { delete vehicle; }

CORVANTA_VEHICLE_API size_t corvanta_vehicle_parameter_count(void) {
  return parameterDescriptions().size();  // a constant array: nothing to fail
}

CORVANTA_VEHICLE_API int corvanta_vehicle_parameter_group(size_t index, const char **title, const char **blocks) {
  if (title == nullptr || blocks == nullptr) {
    return 0;
  }
  return parameterGroupBefore(index, title, blocks) ? 1 : 0;
}

CORVANTA_VEHICLE_API int corvanta_vehicle_parameter_info(size_t index, CorvantaParameterInfo *info) {
  if (info == nullptr || index >= parameterDescriptions().size()) {
    return CORVANTA_VEHICLE_BAD_ARGUMENT;
  }
  const ParameterDescription &d = parameterDescriptions()[index];
  info->name = d.name;
  info->unit = d.unit;
  info->meaning = d.meaning;
  info->kind = d.kind == ParameterKind::Scalar  ? CORVANTA_PARAMETER_SCALAR
               : d.kind == ParameterKind::Table ? CORVANTA_PARAMETER_TABLE
                                                : CORVANTA_PARAMETER_TYRE;
  info->count = d.count;
  info->builtin = d.builtin;
  info->lower = d.lower;
  info->upper = d.upper;
  info->lower_open = d.lowerOpen ? 1 : 0;
  info->upper_open = d.upperOpen ? 1 : 0;
  info->strictly_increasing = d.axis ? 1 : 0;
  info->tir_section = d.section;
  info->dormant = d.dormant;
  return CORVANTA_VEHICLE_OK;
}

CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_copy(const CorvantaVehicle *vehicle) {
  if (vehicle == nullptr) {
    return nullptr;
  }
  try {
    return new CorvantaVehicle(*vehicle);  // shares the block until one of them changes
  } catch (...) {
    return nullptr;
  }
}

CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_parse(const char *json, size_t length,
                                                             const char *base_directory, const char *source_name,
                                                             char *error, size_t error_size) {
  if (json == nullptr) {
    writeText("no vehicle text", error, error_size);
    return nullptr;
  }
  try {
    // Owned until it is handed out: a failure while reading frees it.
    std::unique_ptr<CorvantaVehicle> vehicle(newBuiltin());
    vehicle->name.clear();
    vehicle->description.clear();
    const VehicleFileResult result =
        readVehicleText(std::string_view(json, length), source_name != nullptr ? source_name : "vehicle",
                        base_directory != nullptr ? base_directory : ".", *vehicle);
    if (!result.ok) {
      writeText(joined(result.errors), error, error_size);
      return nullptr;
    }
    vehicle->refresh();
    return vehicle.release();
  } catch (...) {
    writeText("out of memory", error, error_size);
    return nullptr;
  }
}

CORVANTA_VEHICLE_API CorvantaVehicle *corvanta_vehicle_load(const char *path, char *error, size_t error_size) {
  if (path == nullptr) {
    writeText("no vehicle file named", error, error_size);
    return nullptr;
  }
  try {
    // Owned until it is handed out: a failure while reading frees it.
    std::unique_ptr<CorvantaVehicle> vehicle(newBuiltin());
    vehicle->name.clear();
    vehicle->description.clear();
    const VehicleFileResult result = readVehicleFile(path, *vehicle);
    if (!result.ok) {
      writeText(joined(result.errors), error, error_size);
      return nullptr;
    }
    vehicle->refresh();
    return vehicle.release();
  } catch (...) {
    writeText("out of memory", error, error_size);
    return nullptr;
  }
}

CORVANTA_VEHICLE_API int corvanta_vehicle_load_tyre(CorvantaVehicle *vehicle, int axle, const char *path, char *error,
                                                    size_t error_size) {
  if (vehicle == nullptr || path == nullptr || axle < -1 || axle > 1) {
    writeText("bad argument", error, error_size);
    return CORVANTA_VEHICLE_BAD_ARGUMENT;
  }
  try {
    TyreCoefficients tyre = vehicle->block->values.tyre[axle == 1 ? kRearAxle : kFrontAxle];
    const TyreFileResult result = readTyrePropertyFile(path, tyre);
    if (!result.ok) {
      writeText(joined(result.errors), error, error_size);
      return result.errors.empty() || result.errors.front().find("cannot open") == std::string::npos
                 ? CORVANTA_VEHICLE_INVALID
                 : CORVANTA_VEHICLE_IO_ERROR;
    }
    ParameterBlock &block = vehicle->writable();
    for (int a = 0; a < 2; ++a) {
      if (axle == -1 || axle == a) block.values.tyre[a] = tyre;
    }
    vehicle->warnings = result.warning;
    vehicle->refresh();
    return CORVANTA_VEHICLE_OK;
  } catch (...) {
    writeText("out of memory", error, error_size);
    return CORVANTA_VEHICLE_NO_MEMORY;
  }
}

CORVANTA_VEHICLE_API int corvanta_vehicle_get(const CorvantaVehicle *vehicle, const char *name, double *values,
                                              size_t capacity, size_t *count) {
  if (vehicle == nullptr || name == nullptr) {
    return CORVANTA_VEHICLE_BAD_ARGUMENT;
  }
  const ParameterAddress address = resolveParameter(name);
  if (address.description == nullptr) {
    return CORVANTA_VEHICLE_UNKNOWN_NAME;
  }
  const ParameterDescription &d = *address.description;
  const int axle = address.axle[kFrontAxle] || d.kind != ParameterKind::Tyre ? kFrontAxle : kRearAxle;
  const double *source = parameterValues(vehicle->block->values, d, axle);
  if (d.kind == ParameterKind::Tyre && address.axle[0] && address.axle[1]) {
    const double *rear = parameterValues(vehicle->block->values, d, kRearAxle);
    if (std::memcmp(source, rear, sizeof(double)) != 0) {
      return CORVANTA_VEHICLE_AXLES_DIFFER;
    }
  }
  if (count != nullptr) {
    *count = d.count;
  }
  if (values != nullptr) {
    const std::size_t n = capacity < d.count ? capacity : d.count;
    std::memcpy(values, source, n * sizeof(double));
  }
  return CORVANTA_VEHICLE_OK;
}

CORVANTA_VEHICLE_API int corvanta_vehicle_set(CorvantaVehicle *vehicle, const char *name, const double *values,
                                              size_t count, char *error, size_t error_size) {
  if (vehicle == nullptr || name == nullptr || (values == nullptr && count != 0)) {
    writeText("bad argument", error, error_size);
    return CORVANTA_VEHICLE_BAD_ARGUMENT;
  }
  try {
    const ParameterAddress address = resolveParameter(name);
    if (address.description == nullptr) {
      writeText(std::string("unknown parameter \"") + std::string(name).substr(0, 64) + "\"" + suggestParameter(name),
                error, error_size);
      return CORVANTA_VEHICLE_UNKNOWN_NAME;
    }
    const ParameterDescription &d = *address.description;
    if (count != d.count) {
      writeText(std::string(d.name) + " takes " + std::to_string(d.count) + (d.count == 1 ? " value" : " values") +
                    ", not " + std::to_string(count),
                error, error_size);
      return CORVANTA_VEHICLE_WRONG_SIZE;
    }
    ParameterBlock &block = vehicle->writable();
    for (int axle = 0; axle < 2; ++axle) {
      if (d.kind == ParameterKind::Tyre && !address.axle[axle]) continue;
      std::memcpy(writableParameterValues(block.values, d, axle), values, count * sizeof(double));
      if (d.kind != ParameterKind::Tyre) break;
    }
    vehicle->refresh(static_cast<std::size_t>(&d - parameterDescriptions().begin()));
    return CORVANTA_VEHICLE_OK;
  } catch (...) {
    writeText("out of memory", error, error_size);
    return CORVANTA_VEHICLE_NO_MEMORY;
  }
}

CORVANTA_VEHICLE_API int corvanta_vehicle_validate(const CorvantaVehicle *vehicle, char *report, size_t report_size) {
  if (vehicle == nullptr) {
    writeText("no vehicle", report, report_size);
    return -1;
  }
  try {
    const std::vector<Problem> problems = validate(vehicle->block->values);
    std::vector<std::string> lines;
    for (const Problem &p : problems) lines.push_back(p.message);
    writeText(joined(lines), report, report_size);
    return static_cast<int>(problems.size());
  } catch (...) {
    writeText("out of memory", report, report_size);
    return -1;
  }
}

CORVANTA_VEHICLE_API size_t corvanta_vehicle_to_json(const CorvantaVehicle *vehicle, char *buffer, size_t size) {
  if (vehicle == nullptr) {
    writeText("", buffer, size);
    return 0;
  }
  try {
    const std::string text = vehicleText(*vehicle);
    writeText(text, buffer, size);
    return text.size();
  } catch (...) {
    writeText("", buffer, size);
    return 0;
  }
}

CORVANTA_VEHICLE_API int corvanta_vehicle_save(const CorvantaVehicle *vehicle, const char *path, char *error,
                                               size_t error_size) {
  if (vehicle == nullptr || path == nullptr) {
    writeText("bad argument", error, error_size);
    return CORVANTA_VEHICLE_BAD_ARGUMENT;
  }
  try {
    const std::string failure = writeFileAtomically(path, vehicleText(*vehicle));
    writeText(failure, error, error_size);
    return failure.empty() ? CORVANTA_VEHICLE_OK : CORVANTA_VEHICLE_IO_ERROR;
  } catch (...) {
    writeText("out of memory", error, error_size);
    return CORVANTA_VEHICLE_NO_MEMORY;
  }
}

CORVANTA_VEHICLE_API int corvanta_vehicle_export_tir(const CorvantaVehicle *vehicle, int axle, const char *path,
                                                     char *error, size_t error_size) {
  if (vehicle == nullptr || path == nullptr || axle < 0 || axle > 1) {
    writeText("bad argument", error, error_size);
    return CORVANTA_VEHICLE_BAD_ARGUMENT;
  }
  try {
    const std::string title = (axle == 0 ? "front tyre of " : "rear tyre of ") +
                              (vehicle->name.empty() ? std::string("the vehicle") : vehicle->name);
    const std::string failure = writeFileAtomically(path, tyrePropertyText(vehicle->block->values.tyre[axle], title));
    writeText(failure, error, error_size);
    return failure.empty() ? CORVANTA_VEHICLE_OK : CORVANTA_VEHICLE_IO_ERROR;
  } catch (...) {
    writeText("out of memory", error, error_size);
    return CORVANTA_VEHICLE_NO_MEMORY;
  }
}

CORVANTA_VEHICLE_API const char *corvanta_vehicle_name(const CorvantaVehicle *vehicle) {
  return vehicle != nullptr ? vehicle->name.c_str() : "";
}

CORVANTA_VEHICLE_API const char *corvanta_vehicle_description(const CorvantaVehicle *vehicle) {
  return vehicle != nullptr ? vehicle->description.c_str() : "";
}

CORVANTA_VEHICLE_API const char *corvanta_vehicle_warnings(const CorvantaVehicle *vehicle) {
  return vehicle != nullptr ? vehicle->warnings.c_str() : "";
}

CORVANTA_VEHICLE_API int corvanta_vehicle_set_name(CorvantaVehicle *vehicle, const char *name,
                                                   const char *description) {
  if (vehicle == nullptr) {
    return CORVANTA_VEHICLE_BAD_ARGUMENT;
  }
  try {
    if (name != nullptr) vehicle->name = name;
    if (description != nullptr) vehicle->description = description;
    return CORVANTA_VEHICLE_OK;
  } catch (...) {
    return CORVANTA_VEHICLE_NO_MEMORY;
  }
}

CORVANTA_VEHICLE_API uint64_t corvanta_vehicle_identity(const CorvantaVehicle *vehicle) {
  return vehicle != nullptr ? vehicle->block->identity() : 0;
}

}  // extern "C"
