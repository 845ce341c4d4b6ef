// The blocks behind parameter sets: one built-in block shared by every built-in set and
// never changed, copies on the first change, derived values after a change, the validity
// kept after a change of one parameter against a full validation, and the saved states'
// CRC against a bit-by-bit one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/TestSupport.h"
#include "vehicle/Instance.h"
#include "vehicle/StateChecksum.h"
#include "vehicle/VehicleSet.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

struct VehicleDeleter {
  void operator()(CorvantaVehicle *v) const { corvanta_vehicle_free(v); }
};
using VehiclePtr = std::unique_ptr<CorvantaVehicle, VehicleDeleter>;

std::vector<double> valuesOf(const CorvantaVehicle *set, const char *name) {
  std::size_t count = 0;
  EXPECT_EQ(corvanta_vehicle_get(set, name, nullptr, 0, &count), CORVANTA_VEHICLE_OK) << name;
  std::vector<double> values(count);
  EXPECT_EQ(corvanta_vehicle_get(set, name, values.data(), count, &count), CORVANTA_VEHICLE_OK) << name;
  return values;
}

double valueOf(const CorvantaVehicle *set, const char *name) { return valuesOf(set, name).at(0); }

int setValue(CorvantaVehicle *set, const char *name, double value) {
  return corvanta_vehicle_set(set, name, &value, 1, nullptr, 0);
}

// Whether the set makes an instance (the validity the set keeps).
bool makesInstance(const CorvantaVehicle *set) {
  CorvantaInstance *car = corvanta_instance_create(set);
  corvanta_instance_free(car);
  return car != nullptr;
}

TEST(SharedBlocks, BuiltInSetsShareOneBlockThatNoChangeReaches) {
  VehiclePtr a(corvanta_vehicle_create_builtin());
  VehiclePtr b(corvanta_vehicle_create_builtin());
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->block.get(), b->block.get());
  const std::uint64_t builtinIdentity = corvanta_vehicle_identity(b.get());
  const std::vector<double> throttleMap = valuesOf(b.get(), "ThrottleMap_Table");
  CorvantaInstance *before = corvanta_instance_create(a.get());
  ASSERT_NE(before, nullptr);

  // A change of one built-in set copies the block: the other sets, the instance made
  // before and every built-in set made after keep the built-in values.
  ASSERT_EQ(setValue(a.get(), "VehicleMass", 2000.0), CORVANTA_VEHICLE_OK);
  std::vector<double> changedMap = throttleMap;
  changedMap[12345] = 0.5;
  ASSERT_EQ(corvanta_vehicle_set(b.get(), "ThrottleMap_Table", changedMap.data(), changedMap.size(), nullptr, 0),
            CORVANTA_VEHICLE_OK);
  ASSERT_EQ(setValue(b.get(), "PDY1", 0.8), CORVANTA_VEHICLE_OK);
  EXPECT_NE(a->block.get(), b->block.get());
  VehiclePtr c(corvanta_vehicle_create_builtin());
  ASSERT_TRUE(c);
  EXPECT_EQ(c->block.get(), before->parameters.get());
  EXPECT_SAME_BITS(1760.0, valueOf(c.get(), "VehicleMass"));
  EXPECT_SAME_BITS(1760.0, valueOf(b.get(), "VehicleMass"));
  EXPECT_SAME_BITS(2000.0, valueOf(a.get(), "VehicleMass"));
  EXPECT_EQ(valuesOf(c.get(), "ThrottleMap_Table"), throttleMap);
  EXPECT_EQ(valuesOf(a.get(), "ThrottleMap_Table"), throttleMap);
  EXPECT_SAME_BITS(0.5, valuesOf(b.get(), "ThrottleMap_Table")[12345]);
  EXPECT_SAME_BITS(throttleMap[12345], c->block->values.tables->ThrottleMap_Table[12345]);
  // The tables are copied only by the set that changes one: the built-in sets and the set
  // with another mass read the library's compiled tables (through a pointer that owns them
  // not, so that a change always copies them).
  EXPECT_EQ(c->block->values.tables.use_count(), 0);
  EXPECT_EQ(a->block->values.tables.get(), c->block->values.tables.get());
  EXPECT_NE(b->block->values.tables.get(), c->block->values.tables.get());
  EXPECT_EQ(corvanta_vehicle_identity(c.get()), builtinIdentity);
  EXPECT_NE(corvanta_vehicle_identity(a.get()), builtinIdentity);
  EXPECT_NE(corvanta_vehicle_identity(b.get()), builtinIdentity);
  EXPECT_SAME_BITS(1760.0, before->model.P->VehicleMass);
  corvanta_instance_free(before);

  // The copy's derived record is made from the copy's values and reads the copy's tables.
  const corvanta::vehicle::ParameterBlock &changed = *a->block;
  EXPECT_EQ(changed.model.tables, changed.values.tables.get());
  EXPECT_SAME_BITS(2000.0, changed.model.VehicleMass);
  EXPECT_SAME_BITS(2000.0 * 9.8, changed.model.VehicleWeight);
  EXPECT_EQ(b->block->model.tables, b->block->values.tables.get());
  EXPECT_SAME_BITS(0.5, b->block->model.tables->ThrottleMap_Table[12345]);
  EXPECT_SAME_BITS(1760.0 * 9.8, b->block->model.VehicleWeight);

  // A set of its own is changed in place, and a copy of it shares it until it changes.
  const corvanta::vehicle::ParameterBlock *own = a->block.get();
  ASSERT_EQ(setValue(a.get(), "VehicleMass", 2100.0), CORVANTA_VEHICLE_OK);
  EXPECT_EQ(a->block.get(), own);
  EXPECT_SAME_BITS(2100.0 * 9.8, a->block->model.VehicleWeight);
  VehiclePtr copy(corvanta_vehicle_copy(a.get()));
  EXPECT_EQ(copy->block.get(), own);
  ASSERT_EQ(setValue(copy.get(), "VehicleMass", 2200.0), CORVANTA_VEHICLE_OK);
  EXPECT_NE(copy->block.get(), own);
  EXPECT_SAME_BITS(2100.0, valueOf(a.get(), "VehicleMass"));
  EXPECT_SAME_BITS(2200.0 * 9.8, copy->block->model.VehicleWeight);

  // Tables shared by two sets are copied by the one that changes them; tables a set owns
  // alone are changed in place.
  VehiclePtr other(corvanta_vehicle_copy(b.get()));
  ASSERT_EQ(setValue(other.get(), "VehicleMass", 1800.0), CORVANTA_VEHICLE_OK);
  EXPECT_EQ(other->block->values.tables.get(), b->block->values.tables.get());
  changedMap[12345] = 0.25;
  ASSERT_EQ(corvanta_vehicle_set(other.get(), "ThrottleMap_Table", changedMap.data(), changedMap.size(), nullptr, 0),
            CORVANTA_VEHICLE_OK);
  const ConstP_Corvanta_T *otherTables = other->block->values.tables.get();
  EXPECT_NE(otherTables, b->block->values.tables.get());
  EXPECT_SAME_BITS(0.5, valuesOf(b.get(), "ThrottleMap_Table")[12345]);
  EXPECT_SAME_BITS(0.25, other->block->model.tables->ThrottleMap_Table[12345]);
  changedMap[12345] = 0.125;
  ASSERT_EQ(corvanta_vehicle_set(other.get(), "ThrottleMap_Table", changedMap.data(), changedMap.size(), nullptr, 0),
            CORVANTA_VEHICLE_OK);
  EXPECT_EQ(other->block->values.tables.get(), otherTables);
  EXPECT_SAME_BITS(0.125, other->block->model.tables->ThrottleMap_Table[12345]);
}

// After each change of one parameter, whether the set makes an instance is exactly what a
// full validation of the set says, through problems that come and go one at a time.
TEST(SharedBlocks, ValidityAfterOneChangeIsTheFullValidation) {
  VehiclePtr set(corvanta_vehicle_create_builtin());
  ASSERT_TRUE(set);
  auto agree = [&](const char *what) {
    const bool sound = corvanta_vehicle_validate(set.get(), nullptr, 0) == 0;
    EXPECT_EQ(makesInstance(set.get()), sound) << what;
    return sound;
  };

  // Two problems; each mended alone.
  ASSERT_EQ(setValue(set.get(), "VehicleMass", -5.0), CORVANTA_VEHICLE_OK);
  EXPECT_FALSE(agree("a negative mass"));
  ASSERT_EQ(setValue(set.get(), "FrontTyre.PDX1", std::nan("")), CORVANTA_VEHICLE_OK);
  EXPECT_FALSE(agree("and a NaN front coefficient"));
  ASSERT_EQ(setValue(set.get(), "VehicleMass", 1760.0), CORVANTA_VEHICLE_OK);
  EXPECT_FALSE(agree("the mass mended, the front tyre not"));
  ASSERT_EQ(setValue(set.get(), "PDX1", 1.0), CORVANTA_VEHICLE_OK);  // both axles
  EXPECT_TRUE(agree("both axles' coefficient set"));

  // The rear axle alone, then mended by a name for both.
  ASSERT_EQ(setValue(set.get(), "RearTyre.FNOMIN", 0.0), CORVANTA_VEHICLE_OK);
  EXPECT_FALSE(agree("a rear nominal load of 0"));
  ASSERT_EQ(setValue(set.get(), "FNOMIN", 4850.0), CORVANTA_VEHICLE_OK);
  EXPECT_TRUE(agree("the nominal load of both axles mended"));

  // A combination made by one parameter and mended by the other.
  ASSERT_EQ(setValue(set.get(), "FrontAxleDistance", 3.0), CORVANTA_VEHICLE_OK);
  EXPECT_FALSE(agree("the centre of mass behind the rear axle"));
  ASSERT_EQ(setValue(set.get(), "Wheelbase", 3.5), CORVANTA_VEHICLE_OK);
  EXPECT_TRUE(agree("a longer wheelbase"));

  // A table's last value and an axis out of order.
  std::vector<double> brakeMap = valuesOf(set.get(), "BrakeMap_Table");
  const double lastBrake = brakeMap.back();
  brakeMap.back() = -std::numeric_limits<double>::infinity();
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "BrakeMap_Table", brakeMap.data(), brakeMap.size(), nullptr, 0), 0);
  EXPECT_FALSE(agree("an infinite last brake value"));
  std::vector<double> axis = valuesOf(set.get(), "BrakeMap_Axis2");
  std::swap(axis[0], axis[1]);
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "BrakeMap_Axis2", axis.data(), axis.size(), nullptr, 0), 0);
  brakeMap.back() = lastBrake;
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "BrakeMap_Table", brakeMap.data(), brakeMap.size(), nullptr, 0), 0);
  EXPECT_FALSE(agree("the brake map mended, its axis out of order"));
  std::swap(axis[0], axis[1]);
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "BrakeMap_Axis2", axis.data(), axis.size(), nullptr, 0), 0);
  EXPECT_TRUE(agree("the axis mended"));

  // A table's first non-finite value is the one named, wherever it lies.
  for (const std::size_t at : {std::size_t{0}, std::size_t{17}, std::size_t{31}, brakeMap.size() - 1}) {
    std::vector<double> map = brakeMap;
    map[at] = std::nan("");
    map.back() = at + 1 < map.size() ? HUGE_VAL : map.back();
    ASSERT_EQ(corvanta_vehicle_set(set.get(), "BrakeMap_Table", map.data(), map.size(), nullptr, 0), 0);
    EXPECT_FALSE(agree("a NaN in the brake map"));
    char report[256];
    ASSERT_EQ(corvanta_vehicle_validate(set.get(), report, sizeof report), 1);
    const std::string expected = "BrakeMap_Table[" + std::to_string(at) + "] = nan is outside its range ";
    EXPECT_EQ(std::string(report).substr(0, expected.size()), expected);
  }
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "BrakeMap_Table", brakeMap.data(), brakeMap.size(), nullptr, 0), 0);
  EXPECT_TRUE(agree("the brake map mended again"));

  // Random changes of random parameters (bounds, their neighbours, non-finite values, the
  // built-in value), with copies now and then (a copy carries what its source knew).
  std::mt19937_64 random(20261209);
  const std::size_t parameters = corvanta_vehicle_parameter_count();
  int refused = 0;
  int accepted = 0;
  for (int change = 0; change < 600; ++change) {
    CorvantaParameterInfo info;
    ASSERT_EQ(corvanta_vehicle_parameter_info(random() % parameters, &info), 0);
    std::string name = info.name;
    if (info.kind == CORVANTA_PARAMETER_TYRE) {
      const char *axles[] = {"", "FrontTyre.", "RearTyre."};
      name = axles[random() % 3] + name;
    }
    std::vector<double> values(info.count);
    std::size_t count = 0;
    if (corvanta_vehicle_get(set.get(), name.c_str(), values.data(), values.size(), &count) ==
        CORVANTA_VEHICLE_AXLES_DIFFER) {
      name = "FrontTyre." + name;
      ASSERT_EQ(corvanta_vehicle_get(set.get(), name.c_str(), values.data(), values.size(), &count), 0);
    }
    const double candidates[] = {info.builtin,
                                 info.lower,
                                 std::nextafter(info.lower, -HUGE_VAL),
                                 info.upper,
                                 std::nextafter(info.upper, HUGE_VAL),
                                 0.0,
                                 -0.0,
                                 std::nan(""),
                                 HUGE_VAL,
                                 -HUGE_VAL,
                                 values[0] * 1.01};
    const std::size_t element = random() % values.size();
    const std::size_t pick = random() % (sizeof candidates / sizeof candidates[0]);
    values[element] = info.kind == CORVANTA_PARAMETER_TABLE && pick <= 4 ? values[element] : candidates[pick];
    ASSERT_EQ(corvanta_vehicle_set(set.get(), name.c_str(), values.data(), values.size(), nullptr, 0), 0) << name;
    (agree(name.c_str()) ? accepted : refused) += 1;
    if (change % 5 == 2) {
      VehiclePtr copy(corvanta_vehicle_copy(set.get()));
      set = std::move(copy);
    }
    if (change % 10 == 9) {
      // Back to the built-in set, so that problems do not simply pile up.
      set.reset(corvanta_vehicle_create_builtin());
    }
  }
  EXPECT_GT(refused, 100);
  EXPECT_GT(accepted, 50);
}

// FNV-1a over the bytes of every value's bits (least significant byte first), in list
// order, a tyre coefficient front then rear: what saved states carry as the set's identity.
std::uint64_t fnvOfEveryValue(const CorvantaVehicle *set) {
  std::uint64_t hash = 14695981039346656037ULL;
  auto mix = [&hash](double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int byte = 0; byte < 8; ++byte) {
      hash = (hash ^ ((bits >> (8 * byte)) & 0xFFU)) * 1099511628211ULL;
    }
  };
  for (std::size_t index = 0; index < corvanta_vehicle_parameter_count(); ++index) {
    CorvantaParameterInfo info;
    EXPECT_EQ(corvanta_vehicle_parameter_info(index, &info), 0);
    if (info.kind == CORVANTA_PARAMETER_TYRE) {
      mix(valueOf(set, (std::string("FrontTyre.") + info.name).c_str()));
      mix(valueOf(set, (std::string("RearTyre.") + info.name).c_str()));
    } else {
      for (double value : valuesOf(set, info.name)) mix(value);
    }
  }
  return hash;
}

TEST(SharedBlocks, IdentityIsTheHashOfEveryValueInListOrder) {
  VehiclePtr set(corvanta_vehicle_create_builtin());
  ASSERT_TRUE(set);
  EXPECT_EQ(corvanta_vehicle_identity(set.get()), fnvOfEveryValue(set.get()));
  // Values in a run of a table and in its last, partial run; a rear coefficient alone.
  std::vector<double> map = valuesOf(set.get(), "BrakeMap_Table");
  map[40] = 0.75;
  map.back() = -0.0;
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "BrakeMap_Table", map.data(), map.size(), nullptr, 0), 0);
  ASSERT_EQ(setValue(set.get(), "RearTyre.PDY1", 0.9), CORVANTA_VEHICLE_OK);
  ASSERT_EQ(setValue(set.get(), "VehicleMass", 1800.0), CORVANTA_VEHICLE_OK);
  EXPECT_EQ(corvanta_vehicle_identity(set.get()), fnvOfEveryValue(set.get()));
}

// CRC-32 (IEEE 802.3) bit by bit.
std::uint32_t crcBitByBit(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (std::size_t k = 0; k < size; ++k) {
    crc ^= data[k];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
  }
  return ~crc;
}

TEST(SharedBlocks, StateChecksumIsTheCrc32OfEveryLengthAndStart) {
  const char check[] = "123456789";
  EXPECT_EQ(stateChecksum(reinterpret_cast<const std::uint8_t *>(check), 9), 0xCBF43926U);
  EXPECT_EQ(stateChecksum(nullptr, 0), 0U);
  std::mt19937 random(7);
  std::vector<std::uint8_t> bytes(300);
  for (std::uint8_t &b : bytes) b = static_cast<std::uint8_t>(random());
  for (std::size_t start = 0; start < 9; ++start) {
    for (std::size_t size = 0; start + size <= bytes.size(); size += (size < 40 ? 1 : 37)) {
      ASSERT_EQ(stateChecksum(bytes.data() + start, size), crcBitByBit(bytes.data() + start, size))
          << start << " " << size;
    }
  }
}

}  // namespace
