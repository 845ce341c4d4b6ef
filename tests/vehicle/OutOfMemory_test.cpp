// Memory exhaustion at the C boundaries of the model library and the vehicle library: with
// every allocation failing, each exported function answers with its documented failure
// value (NULL, a result code, 0) and lets no exception out.  The process starts with
// nothing initialised, so that first uses of the libraries' lists and constants happen
// while memory is exhausted.  A plain program (no test framework that allocates on its own).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "capi/corvanta.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

bool allocationsFail = false;
unsigned long refusedAllocations = 0;
int failures = 0;

void *allocate(std::size_t size) {
  if (allocationsFail) {
    ++refusedAllocations;
    return nullptr;
  }
  return std::malloc(size == 0 ? 1 : size);
}

void check(bool condition, const char *what) {
  if (!condition) {
    ++failures;
    std::fprintf(stderr, "FAIL %s\n", what);
  }
}

// Runs `call`; an exception that leaves it is a failure.
template <typename Call>
void noException(const char *what, Call call) {
  try {
    call();
  } catch (...) {
    ++failures;
    std::fprintf(stderr, "FAIL %s: an exception crossed the C boundary\n", what);
  }
}

}  // namespace

void *operator new(std::size_t size) {
  void *p = allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void *operator new[](std::size_t size) {
  void *p = allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept { return allocate(size); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
void operator delete[](void *p, std::size_t) noexcept { std::free(p); }

int main() {
  // Nothing of either library has run yet.
  allocationsFail = true;
  noException("CreateVehicleModel", [] { check(CreateVehicleModel() == nullptr, "CreateVehicleModel gives NULL"); });
  noException("corvanta_vehicle_parameter_count",
              [] { check(corvanta_vehicle_parameter_count() > 0, "the parameter list is readable without memory"); });
  noException("corvanta_vehicle_parameter_info", [] {
    CorvantaParameterInfo info;
    check(corvanta_vehicle_parameter_info(0, &info) == CORVANTA_VEHICLE_OK && std::strcmp(info.name, "") != 0,
          "parameter_info without memory");
  });
  noException("corvanta_vehicle_create_builtin",
              [] { check(corvanta_vehicle_create_builtin() == nullptr, "create_builtin gives NULL"); });
  noException("corvanta_vehicle_parse", [] {
    char error[64] = "";
    const char text[] = "{\"parameters\": {\"VehicleMass\": 1900}}";
    check(corvanta_vehicle_parse(text, sizeof text - 1, nullptr, nullptr, error, sizeof error) == nullptr,
          "parse gives NULL");
    check(std::strcmp(error, "out of memory") == 0, "parse says why");
  });
  noException("corvanta_vehicle_load", [] {
    char error[64] = "";
    check(corvanta_vehicle_load("no-such-vehicle.json", error, sizeof error) == nullptr, "load gives NULL");
  });
  noException("corvanta_instance_create",
              [] { check(corvanta_instance_create(nullptr) == nullptr, "instance_create gives NULL"); });
  check(refusedAllocations > 0, "the libraries asked for memory and were refused");

  // Objects made while memory lasts, then used while it is exhausted.
  allocationsFail = false;
  CorvantaVehicle *vehicle = corvanta_vehicle_create_builtin();
  // A set with a problem, whose report needs memory for its text.
  CorvantaVehicle *invalid = corvanta_vehicle_create_builtin();
  const double negativeMass = -1.0;
  check(invalid != nullptr && corvanta_vehicle_set(invalid, "VehicleMass", &negativeMass, 1, nullptr, 0) == 0,
        "an invalid set made with memory");
  CorvantaInstance *instance = corvanta_instance_create(nullptr);
  CorvantaInstance *other = corvanta_instance_create(nullptr);
  void *model = CreateVehicleModel();
  check(vehicle != nullptr && instance != nullptr && other != nullptr && model != nullptr, "made with memory");
  if (vehicle == nullptr || instance == nullptr || other == nullptr || model == nullptr) {
    return 1;
  }
  static unsigned char state[1 << 20];
  allocationsFail = true;
  noException("the seven functions", [model] {
    Initialize(model);
    Step(model);
    check(GetOutputs(model) != nullptr, "GetOutputs");
  });
  noException("instance functions", [instance] {
    corvanta_instance_initialize(instance);
    double signals[CORVANTA_NUM_SIGNALS];
    check(corvanta_instance_initial_signals(instance, signals, CORVANTA_NUM_SIGNALS) == 0,
          "initial signals need a scratch instance: 0 without memory");
    corvanta_instance_step(instance);
    check(corvanta_instance_signals(instance, signals, CORVANTA_NUM_SIGNALS) == CORVANTA_NUM_SIGNALS, "signals");
  });
  noException("state functions", [instance, other] {
    const size_t size = corvanta_instance_state_size(instance);
    check(size > 0 && size <= sizeof state, "state size");
    check(corvanta_instance_save_state(instance, state, sizeof state) == CORVANTA_STATE_OK, "save without memory");
    char reason[128];
    check(corvanta_instance_check_state(other, state, size, reason, sizeof reason) == CORVANTA_STATE_OK, "check");
    check(corvanta_instance_restore_state(other, state, size, reason, sizeof reason) == CORVANTA_STATE_OK, "restore");
    check(corvanta_instance_copy_state(other, instance) == CORVANTA_STATE_OK, "copy");
  });
  noException("parameter functions", [vehicle, invalid] {
    double mass = 0.0;
    size_t count = 0;
    check(corvanta_vehicle_get(vehicle, "VehicleMass", &mass, 1, &count) == CORVANTA_VEHICLE_OK && mass == 1760.0,
          "get without memory");
    check(corvanta_vehicle_get(vehicle, "VehicleMas", &mass, 1, &count) == CORVANTA_VEHICLE_UNKNOWN_NAME,
          "unknown name without memory");
    char text[64];
    const double heavier = 1900.0;
    const int set = corvanta_vehicle_set(vehicle, "VehicleMas", &heavier, 1, text, sizeof text);
    check(set == CORVANTA_VEHICLE_NO_MEMORY || set == CORVANTA_VEHICLE_UNKNOWN_NAME, "set: a result code");
    // A set without problems has nothing to describe: its check needs no memory.
    std::strcpy(text, "stale");
    check(corvanta_vehicle_validate(vehicle, text, sizeof text) == 0 && text[0] == '\0',
          "validate: 0 and an empty report for a sound set without memory");
    check(corvanta_vehicle_validate(invalid, text, sizeof text) == -1, "validate: -1 without memory for the report");
    // A change of a scalar of a set of its own copies nothing: it needs no memory either,
    // and mends the set.
    const double soundMass = 1700.0;
    check(corvanta_vehicle_set(invalid, "VehicleMass", &soundMass, 1, text, sizeof text) == CORVANTA_VEHICLE_OK,
          "set on an unshared set without memory");
    check(corvanta_vehicle_validate(invalid, text, sizeof text) == 0, "the mended set validates without memory");
    check(corvanta_instance_create(invalid) == nullptr, "instance_create of a sound set gives NULL without memory");
    check(corvanta_vehicle_to_json(vehicle, text, sizeof text) == 0, "to_json: 0 without memory");
    check(corvanta_vehicle_copy(vehicle) == nullptr, "copy: NULL without memory");
    check(corvanta_vehicle_set_name(vehicle, "a name too long for any short-string storage of the library", nullptr) ==
              CORVANTA_VEHICLE_NO_MEMORY,
          "set_name: NO_MEMORY");
    check(corvanta_vehicle_save(vehicle, "/nonexistent/vehicle.json", text, sizeof text) != CORVANTA_VEHICLE_OK,
          "save fails");
    check(corvanta_vehicle_identity(vehicle) != 0, "identity");
  });
  allocationsFail = false;

  corvanta_instance_free(other);
  corvanta_instance_free(instance);
  corvanta_vehicle_free(vehicle);
  corvanta_vehicle_free(invalid);
  DeleteVehicleModel(model);
  if (failures == 0) {
    std::printf("no exception crossed a C boundary; %lu allocations refused\n", refusedAllocations);
  }
  return failures == 0 ? 0 : 1;
}
