// Parameter sets: the one list, the derived values of the built-in car, get/set/validate,
// file round trips, every parameter acting where it should, and physics of non-default
// vehicles against expectations derived from mechanics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capi/corvanta.h"
#include "tests/TestSupport.h"
#include "vehicle/Instance.h"
#include "vehicle/VehicleSet.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

struct VehicleDeleter {
  void operator()(CorvantaVehicle *v) const { corvanta_vehicle_free(v); }
};
using VehiclePtr = std::unique_ptr<CorvantaVehicle, VehicleDeleter>;

VehiclePtr builtinSet() { return VehiclePtr(corvanta_vehicle_create_builtin()); }

std::string tempPath(const std::string &name) {
  return ::testing::TempDir() + "corvanta_vehicle_" + std::to_string(::getpid()) + "_" + name;
}

// A run that drives every block: neutral run-up, full throttle through the gears while
// steering on a grade, then hard braking, then reverse.
ExtU_Corvanta_T exercise(int k) {
  ExtU_Corvanta_T u{};
  u.InitialSpeed = 3.0;
  u.GearSelector = 1.0;
  u.AccelerationDemand = 2.0;
  if (k < 3000) {
    u.GearSelector = 0.0;  // the engine runs up against the converter alone
  } else if (k < 60000) {
    u.SteeringAngle = 0.04 * std::sin(k * 0.0002);
    u.RoadGrade = k > 30000 ? 0.03 : 0.0;
  } else if (k < 75000) {
    u.AccelerationDemand = -4.0;
    u.SteeringAngle = 0.02;
  } else {
    u.GearSelector = 3.0;
    u.AccelerationDemand = 0.5;
  }
  return u;
}

std::vector<double> run(const CorvantaVehicle *vehicle, int steps, ExtU_Corvanta_T (*inputs)(int)) {
  CorvantaInstance *car = corvanta_instance_create(vehicle);
  EXPECT_NE(car, nullptr);
  std::vector<double> out;
  if (car == nullptr) return out;
  corvanta_instance_initialize(car);
  for (int k = 0; k < steps; ++k) {
    const ExtU_Corvanta_T u = inputs(k);
    corvanta_instance_set_inputs(car, &u);
    corvanta_instance_step(car);
    if (k % 50 == 0) {
      const ExtY_Corvanta_T *y = corvanta_instance_outputs(car);
      out.insert(out.end(), &y->PositionX, &y->PositionX + CORVANTA_NUM_OUTPUTS);
    }
  }
  corvanta_instance_free(car);
  return out;
}

bool sameBits(const std::vector<double> &a, const std::vector<double> &b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::isnan(a[i]) && std::isnan(b[i])) continue;
    if (bitsOf(a[i]) != bitsOf(b[i])) return false;
  }
  return true;
}

TEST(ParameterList, DescribesEveryRecordFieldWithItsBuiltInValue) {
  const std::size_t count = corvanta_vehicle_parameter_count();
  ASSERT_EQ(count, sizeof(ScalarParameters) / sizeof(double) + sizeof(TyreCoefficients) / sizeof(double) + 16);
  VehiclePtr set = builtinSet();
  std::size_t tableDoubles = 0;
  for (std::size_t i = 0; i < count; ++i) {
    CorvantaParameterInfo info{};
    ASSERT_EQ(corvanta_vehicle_parameter_info(i, &info), CORVANTA_VEHICLE_OK);
    std::vector<double> values(info.count);
    size_t n = 0;
    ASSERT_EQ(corvanta_vehicle_get(set.get(), info.name, values.data(), values.size(), &n), CORVANTA_VEHICLE_OK)
        << info.name;
    ASSERT_EQ(n, info.count);
    if (info.kind == CORVANTA_PARAMETER_TABLE) {
      tableDoubles += info.count;
    } else {
      EXPECT_SAME_BITS(info.builtin, values[0]);
      EXPECT_TRUE(info.lower_open ? values[0] > info.lower : values[0] >= info.lower) << info.name;
      EXPECT_TRUE(info.upper_open ? values[0] < info.upper : values[0] <= info.upper) << info.name;
    }
  }
  // Every table of the block but the two gear-number axes (fixed by the shift logic).
  EXPECT_EQ(tableDoubles + kGearRatioPoints + kShiftMapGears, 76240u);
  CorvantaParameterInfo info{};
  EXPECT_EQ(corvanta_vehicle_parameter_info(count, &info), CORVANTA_VEHICLE_BAD_ARGUMENT);
}

TEST(ParameterList, DocumentationGroupsStartAtTheirFirstParameter) {
  // The groups of the list as written: the first scalar opens the body group, the first
  // tyre coefficient the tyre group; no group starts after the last entry.
  std::vector<std::string> titles;
  std::size_t firstTyre = 0;
  for (std::size_t k = 0; k < corvanta_vehicle_parameter_count(); ++k) {
    CorvantaParameterInfo info{};
    ASSERT_EQ(corvanta_vehicle_parameter_info(k, &info), CORVANTA_VEHICLE_OK);
    if (info.kind == CORVANTA_PARAMETER_TYRE && firstTyre == 0) {
      firstTyre = k;
    }
    const char *title = nullptr;
    const char *blocks = nullptr;
    if (corvanta_vehicle_parameter_group(k, &title, &blocks) == 1) {
      ASSERT_NE(title, nullptr);
      ASSERT_NE(blocks, nullptr);
      EXPECT_NE(std::strstr(blocks, "model/"), nullptr) << title;
      titles.push_back(title);
      if (std::string(title) == "Tyre (per axle)") {
        EXPECT_EQ(k, firstTyre);
      }
    }
  }
  ASSERT_EQ(titles.size(), 6u);
  EXPECT_EQ(titles.front(), "Body, wheels and geometry");
  EXPECT_EQ(titles.back(), "Tyre (per axle)");
  const char *title = "unchanged";
  const char *blocks = "unchanged";
  EXPECT_EQ(corvanta_vehicle_parameter_group(corvanta_vehicle_parameter_count(), &title, &blocks), 0);
  EXPECT_STREQ(title, "unchanged");
  EXPECT_EQ(corvanta_vehicle_parameter_group(0, nullptr, &blocks), 0);
}

TEST(ParameterList, DerivedValuesOfTheBuiltInCarAreTheStoredConstants) {
  const ModelParameters &p = builtinModelParameters();
  EXPECT_SAME_BITS(17248.0, p.VehicleWeight);
  EXPECT_SAME_BITS(1.6409999999999998, p.RearAxleDistance);
  EXPECT_SAME_BITS(3.1847133757961785, p.InvWheelRadius);
  EXPECT_SAME_BITS(1.8544, p.FrontAxleTwistZ);
  EXPECT_SAME_BITS(-2.651856, p.RearAxleTwistZ);
  EXPECT_SAME_BITS(906.3, p.SprungMassMoment);
  EXPECT_SAME_BITS(15582.000000000002, p.SprungWeight);
  EXPECT_SAME_BITS(10000.0, p.SteerOmegaSquared);
  EXPECT_SAME_BITS(141.4, p.SteerTwoZetaOmega);
  EXPECT_SAME_BITS(16.666666666666668, p.BrakeLagRate);
  EXPECT_SAME_BITS(8.55298599939821, p.BrakeInputDivisor);
  EXPECT_SAME_BITS(6.25, p.EngineInertiaInv);
  EXPECT_SAME_BITS(200.0, p.EngineTorqueLagGain);
  for (const TyreParameters &t : p.tyre) {
    EXPECT_SAME_BITS(-106312.00000000001, t.CorneringStiffnessPeak);
    EXPECT_SAME_BITS(9705.82, t.CorneringStiffnessLoad);
    EXPECT_SAME_BITS(7.092783505154639e-05, t.TrailPeakFactor);
    EXPECT_SAME_BITS(0.17004750739710467, t.TrailCurvatureFactor);
    EXPECT_TRUE(t.coefficientsFinite);
  }
  EXPECT_EQ(p.tables, &Corvanta_ConstP);
}

TEST(ParameterSet, GetSetByNameWithAxlesSizesAndSuggestions) {
  VehiclePtr set = builtinSet();
  char error[256];
  const double mass = 1900.0;
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "VehicleMass", &mass, 1, error, sizeof error), CORVANTA_VEHICLE_OK);
  double value = 0.0;
  ASSERT_EQ(corvanta_vehicle_get(set.get(), "VehicleMass", &value, 1, nullptr), CORVANTA_VEHICLE_OK);
  EXPECT_SAME_BITS(1900.0, value);

  EXPECT_EQ(corvanta_vehicle_set(set.get(), "VehicleMas", &mass, 1, error, sizeof error),
            CORVANTA_VEHICLE_UNKNOWN_NAME);
  EXPECT_STREQ(error, "unknown parameter \"VehicleMas\" (did you mean VehicleMass?)");
  EXPECT_EQ(corvanta_vehicle_set(set.get(), "GearRatio_Table", &mass, 1, error, sizeof error),
            CORVANTA_VEHICLE_WRONG_SIZE);
  EXPECT_STREQ(error, "GearRatio_Table takes 7 values, not 1");

  // Tables: all values in and out.
  const double ratios[7] = {-3.5, 0.0, 3.2, 2.0, 1.4, 1.0, 0.8};
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "GearRatio_Table", ratios, 7, nullptr, 0), CORVANTA_VEHICLE_OK);
  double back[7];
  size_t n = 0;
  ASSERT_EQ(corvanta_vehicle_get(set.get(), "GearRatio_Table", back, 7, &n), CORVANTA_VEHICLE_OK);
  EXPECT_EQ(n, 7u);
  EXPECT_EQ(std::memcmp(back, ratios, sizeof ratios), 0);

  // Tyre coefficients: both axles by the plain name, one by its prefix.
  const double rearFriction = 0.8;
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "RearTyre.PDY1", &rearFriction, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  EXPECT_EQ(corvanta_vehicle_get(set.get(), "PDY1", &value, 1, nullptr), CORVANTA_VEHICLE_AXLES_DIFFER);
  ASSERT_EQ(corvanta_vehicle_get(set.get(), "FrontTyre.PDY1", &value, 1, nullptr), CORVANTA_VEHICLE_OK);
  EXPECT_SAME_BITS(1.0489, value);
  ASSERT_EQ(corvanta_vehicle_get(set.get(), "RearTyre.PDY1", &value, 1, nullptr), CORVANTA_VEHICLE_OK);
  EXPECT_SAME_BITS(0.8, value);
  EXPECT_EQ(corvanta_vehicle_get(nullptr, "PDY1", &value, 1, nullptr), CORVANTA_VEHICLE_BAD_ARGUMENT);
}

TEST(ParameterSet, ValidateReportsEveryProblemAndInstancesRefuseAnInvalidSet) {
  VehiclePtr set = builtinSet();
  EXPECT_EQ(corvanta_vehicle_validate(set.get(), nullptr, 0), 0);
  const double negativeMass = -5.0, zeroInertia = 0.0, nan = std::nan(""), shortWheelbase = 1.0, noLoad = 0.0;
  corvanta_vehicle_set(set.get(), "VehicleMass", &negativeMass, 1, nullptr, 0);
  corvanta_vehicle_set(set.get(), "YawInertia", &zeroInertia, 1, nullptr, 0);
  corvanta_vehicle_set(set.get(), "PDX1", &nan, 1, nullptr, 0);
  corvanta_vehicle_set(set.get(), "Wheelbase", &shortWheelbase, 1, nullptr, 0);
  corvanta_vehicle_set(set.get(), "FNOMIN", &noLoad, 1, nullptr, 0);
  double axis[121];
  corvanta_vehicle_get(set.get(), "DemandMapSpeed_Axis1", axis, 121, nullptr);
  axis[40] = axis[39];
  corvanta_vehicle_set(set.get(), "DemandMapSpeed_Axis1", axis, 121, nullptr, 0);
  char report[2048];
  EXPECT_EQ(corvanta_vehicle_validate(set.get(), report, sizeof report), 7);
  EXPECT_STREQ(
      report,
      "VehicleMass = -5 is outside its range (0, 100000] kg\n"
      "YawInertia = 0 is outside its range (0, 10000000] kg*m^2\n"
      "DemandMapSpeed_Axis1 is not strictly increasing: [39] = 3.9, [40] = 3.9\n"
      "FNOMIN = 0 is outside its range (0, 1000000] N\n"
      "PDX1 = nan is outside its range (0, 10]\n"
      "Wheelbase = 1 m must exceed FrontAxleDistance = 1.159 m: the centre of mass must lie between the axles\n"
      "SprungMass = 1590 kg exceeds VehicleMass = -5 kg");
  EXPECT_EQ(corvanta_instance_create(set.get()), nullptr);
}

TEST(ParameterSet, BuiltInSetThroughItsVehicleFileRunsTheCompiledCarBitForBit) {
  VehiclePtr set = builtinSet();
  const std::string path = tempPath("builtin.json");
  ASSERT_EQ(corvanta_vehicle_save(set.get(), path.c_str(), nullptr, 0), CORVANTA_VEHICLE_OK);
  char error[1024] = "";
  VehiclePtr loaded(corvanta_vehicle_load(path.c_str(), error, sizeof error));
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(corvanta_vehicle_identity(loaded.get()), corvanta_vehicle_identity(set.get()));
  std::remove(path.c_str());

  // The same instance through the seven functions, the NULL set and the file's set.
  void *compiled = CreateVehicleModel();
  Initialize(compiled);
  std::vector<double> expected;
  for (int k = 0; k < 80000; ++k) {
    const ExtU_Corvanta_T u = exercise(k);
    SetInputs(compiled, &u);
    Step(compiled);
    if (k % 50 == 0) {
      const ExtY_Corvanta_T *y = GetOutputs(compiled);
      expected.insert(expected.end(), &y->PositionX, &y->PositionX + CORVANTA_NUM_OUTPUTS);
    }
  }
  DeleteVehicleModel(compiled);
  EXPECT_TRUE(sameBits(expected, run(nullptr, 80000, exercise)));
  EXPECT_TRUE(sameBits(expected, run(loaded.get(), 80000, exercise)));
}

TEST(ParameterSet, IdentityAndCopyOnWriteKeepInstancesOnTheValuesTheyWereMadeFrom) {
  VehiclePtr set = builtinSet();
  const std::uint64_t builtinIdentity = corvanta_vehicle_identity(set.get());
  CorvantaInstance *before = corvanta_instance_create(set.get());
  VehiclePtr copy(corvanta_vehicle_copy(set.get()));
  const double mass = 2000.0;
  corvanta_vehicle_set(copy.get(), "VehicleMass", &mass, 1, nullptr, 0);
  EXPECT_NE(corvanta_vehicle_identity(copy.get()), builtinIdentity);
  EXPECT_EQ(corvanta_vehicle_identity(set.get()), builtinIdentity);
  corvanta_vehicle_set(set.get(), "VehicleMass", &mass, 1, nullptr, 0);
  EXPECT_EQ(corvanta_vehicle_identity(set.get()), corvanta_vehicle_identity(copy.get()));
  // The instance made before the change still simulates the built-in car.
  EXPECT_SAME_BITS(1760.0, before->model.P->VehicleMass);
  corvanta_instance_free(before);
  EXPECT_EQ(corvanta_vehicle_identity(nullptr), 0u);
}

TEST(ParameterSet, IdentityFollowsEveryChangeOfAnUnsharedSet) {
  // The identity is remembered once computed; a set that no instance shares is changed in
  // place, so each change must make it read the values again.
  VehiclePtr set = builtinSet();
  const std::uint64_t builtinIdentity = corvanta_vehicle_identity(set.get());
  const double heavy = 2000.0;
  const double builtinMass = 1760.0;
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "VehicleMass", &heavy, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  const std::uint64_t heavyIdentity = corvanta_vehicle_identity(set.get());
  EXPECT_NE(heavyIdentity, builtinIdentity);
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "VehicleMass", &builtinMass, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  EXPECT_EQ(corvanta_vehicle_identity(set.get()), builtinIdentity);

  // A state of the heavy car is refused by an instance of the set as it is now, and taken by
  // one of the heavy car made after that.
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "VehicleMass", &heavy, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  CorvantaInstance *heavyCar = corvanta_instance_create(set.get());
  ASSERT_NE(heavyCar, nullptr);
  std::vector<unsigned char> state(corvanta_instance_state_size(heavyCar));
  ASSERT_EQ(corvanta_instance_save_state(heavyCar, state.data(), state.size()), CORVANTA_STATE_OK);
  ASSERT_EQ(corvanta_vehicle_set(set.get(), "VehicleMass", &builtinMass, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  CorvantaInstance *builtinCar = corvanta_instance_create(set.get());
  EXPECT_NE(corvanta_instance_restore_state(builtinCar, state.data(), state.size(), nullptr, 0), CORVANTA_STATE_OK);
  EXPECT_EQ(corvanta_instance_restore_state(heavyCar, state.data(), state.size(), nullptr, 0), CORVANTA_STATE_OK);
  corvanta_instance_free(builtinCar);
  corvanta_instance_free(heavyCar);
}

TEST(ParameterSet, OneSetSharedByThreadsGivesTheSerialResults) {
  VehiclePtr set = builtinSet();
  const double friction = 0.7;
  corvanta_vehicle_set(set.get(), "PDY1", &friction, 1, nullptr, 0);
  const std::vector<double> serial = run(set.get(), 20000, exercise);
  std::vector<std::vector<double>> results(4);
  std::vector<std::thread> threads;
  for (auto &result : results) {
    threads.emplace_back([&set, &result] { result = run(set.get(), 20000, exercise); });
  }
  for (std::thread &t : threads) t.join();
  for (const auto &result : results) EXPECT_TRUE(sameBits(serial, result));
}

// Each parameter changed alone (a scalar by 10 %, 0 to 0.1, a table scaled by 1.1): the
// outputs change, or, for the dormant coefficients, provably stay the same bits.
TEST(ParameterSet, EveryParameterActsUnlessTheListSaysWhyItCannot) {
  VehiclePtr reference = builtinSet();
  const std::vector<double> builtin = run(reference.get(), 80000, exercise);
  for (std::size_t i = 0; i < corvanta_vehicle_parameter_count(); ++i) {
    CorvantaParameterInfo info{};
    corvanta_vehicle_parameter_info(i, &info);
    VehiclePtr set(corvanta_vehicle_copy(reference.get()));
    std::vector<double> values(info.count);
    corvanta_vehicle_get(set.get(), info.name, values.data(), values.size(), nullptr);
    for (double &v : values) v = (v == 0.0 && info.count == 1) ? 0.1 : v * 1.1;
    ASSERT_EQ(corvanta_vehicle_set(set.get(), info.name, values.data(), values.size(), nullptr, 0),
              CORVANTA_VEHICLE_OK);
    char report[512] = "";
    ASSERT_EQ(corvanta_vehicle_validate(set.get(), report, sizeof report), 0) << info.name << ": " << report;
    // Not reached by this run (the tip-over margin never changes sign, the engine never
    // reaches its upper limit, the shift maps' throttle axis scaled as a whole keeps the
    // shifts): TheParametersTheGeneralRunMissesActInRunsOfTheirOwn shows them acting.
    const std::string name = info.name;
    if (name == "OverturningLeverOffset" || name == "RestoringLever" || name == "EngineSpeedMax" ||
        name == "ShiftMap_Axis1") {
      continue;
    }
    const bool changed = !sameBits(builtin, run(set.get(), 80000, exercise));
    EXPECT_EQ(changed, info.dormant[0] == '\0')
        << info.name << (changed ? " changed the outputs though dormant" : " did not change the outputs");
  }
}

// A change of `name` to `values`, or nullptr when the set refuses it.
VehiclePtr changed(const char *name, const std::vector<double> &values) {
  VehiclePtr set = builtinSet();
  if (corvanta_vehicle_set(set.get(), name, values.data(), values.size(), nullptr, 0) != CORVANTA_VEHICLE_OK) {
    return nullptr;
  }
  return set;
}

// One signal after every step of a run.
std::vector<double> signalTrace(const CorvantaVehicle *vehicle, int steps, ExtU_Corvanta_T (*inputs)(int),
                                const char *signal) {
  const int index = corvanta_signal_index(signal);
  CorvantaInstance *car = corvanta_instance_create(vehicle);
  std::vector<double> trace;
  if (car == nullptr || index < 0) {
    ADD_FAILURE() << "no instance or no signal " << signal;
    corvanta_instance_free(car);
    return trace;
  }
  corvanta_instance_initialize(car);
  std::vector<double> all(CORVANTA_NUM_SIGNALS);
  for (int k = 0; k < steps; ++k) {
    const ExtU_Corvanta_T u = inputs(k);
    corvanta_instance_set_inputs(car, &u);
    corvanta_instance_step(car);
    corvanta_instance_signals(car, all.data(), all.size());
    trace.push_back(all[static_cast<std::size_t>(index)]);
  }
  corvanta_instance_free(car);
  return trace;
}

ExtU_Corvanta_T revvingInNeutral(int) {
  ExtU_Corvanta_T u{};
  u.GearSelector = 0.0;
  u.AccelerationDemand = 3.0;
  return u;
}

ExtU_Corvanta_T brakingFrom15(int) {
  ExtU_Corvanta_T u{};
  u.InitialSpeed = 15.0;
  u.GearSelector = 1.0;
  u.AccelerationDemand = -4.0;
  return u;
}

ExtU_Corvanta_T partThrottleFrom8(int) {
  ExtU_Corvanta_T u{};
  u.InitialSpeed = 8.0;
  u.GearSelector = 1.0;
  u.AccelerationDemand = 0.3;  // about 45 % throttle
  return u;
}

TEST(ParameterSet, TheParametersTheGeneralRunMissesActInRunsOfTheirOwn) {
  // Tip-over levers.  The margin weighs the overturning moment of the pitch excitation
  // (vy r + ax) on the sprung mass against the restoring moment of its weight (lever
  // 0.7875 m).  Braking at about 4 m/s2, (0.15 + h) m 4 stays below 0.7875 m 9.8 for any
  // height h under 1.78 m: negative throughout.  With no restoring lever the margin is
  // (offset + h cos(pitch)) m |a| + |pitch| h W, positive while the car decelerates; with an
  // overturning offset of 10 m, (10 + h) m |a| exceeds 0.7875 m 9.8 once |a| is above
  // 0.74 m/s2.
  const std::vector<double> builtinTip = signalTrace(nullptr, 30000, brakingFrom15, "TipOverIndicator");
  for (double v : builtinTip) ASSERT_EQ(v, -1.0);
  for (const auto &[name, value] : {std::pair<const char *, double>{"RestoringLever", 0.0},
                                    std::pair<const char *, double>{"OverturningLeverOffset", 10.0}}) {
    VehiclePtr set = changed(name, {value});
    ASSERT_NE(set, nullptr) << name;
    const std::vector<double> tip = signalTrace(set.get(), 30000, brakingFrom15, "TipOverIndicator");
    EXPECT_NE(std::count(tip.begin(), tip.end(), 1.0), 0) << name << " never tipped the margin over";
  }

  // Upper engine speed limit.  In neutral with the throttle open the engine runs up past
  // 200 rad/s, far below the built-in limit; with the limit at 200 rad/s the state is set back
  // to it at every step, so the speed at the end of a step exceeds it by one step's rise at
  // most (angular acceleration of a few hundred rad/s2 times 1e-4 s).
  const std::vector<double> freeRevving = signalTrace(nullptr, 20000, revvingInNeutral, "EngineSpeed");
  ASSERT_GT(*std::max_element(freeRevving.begin(), freeRevving.end()), 200.0);
  VehiclePtr limited = changed("EngineSpeedMax", {200.0});
  ASSERT_NE(limited, nullptr);
  const std::vector<double> held = signalTrace(limited.get(), 20000, revvingInNeutral, "EngineSpeed");
  EXPECT_GE(*std::max_element(held.begin(), held.end()), 200.0);
  EXPECT_LE(*std::max_element(held.begin(), held.end()), 200.1);

  // Throttle axis of the shift maps.  Squeezing the breakpoints toward 0 % (x -> x^2 / 100,
  // ends kept) reads the maps' columns of higher throttle at part throttle: higher shift
  // speeds, so the first upshift comes later.
  VehiclePtr probe = builtinSet();
  std::vector<double> axis(101);
  ASSERT_EQ(corvanta_vehicle_get(probe.get(), "ShiftMap_Axis1", axis.data(), axis.size(), nullptr),
            CORVANTA_VEHICLE_OK);
  for (double &x : axis) x = x * x / 100.0;
  VehiclePtr squeezed = changed("ShiftMap_Axis1", axis);
  ASSERT_NE(squeezed, nullptr);
  const auto firstUpshift = [](const std::vector<double> &gears) {
    return std::find_if(gears.begin(), gears.end(), [](double g) { return g >= 2.0; }) - gears.begin();
  };
  const std::vector<double> builtinGears = signalTrace(nullptr, 40000, partThrottleFrom8, "Gear");
  const std::vector<double> squeezedGears = signalTrace(squeezed.get(), 40000, partThrottleFrom8, "Gear");
  ASSERT_LT(firstUpshift(builtinGears), static_cast<std::ptrdiff_t>(builtinGears.size())) << "no upshift at all";
  EXPECT_GT(firstUpshift(squeezedGears), firstUpshift(builtinGears));
}

// Static wheel loads from the moment balance about each axle: m g (L - a) / 2L on each
// front wheel and m g a / 2L on each rear wheel.
TEST(VehiclePhysics, StaticWheelLoadsFollowTheAxlePositionsAndTheMass) {
  VehiclePtr set = builtinSet();
  const double m = 2100.0, g = 9.81, a = 1.35, L = 3.05;
  corvanta_vehicle_set(set.get(), "VehicleMass", &m, 1, nullptr, 0);
  corvanta_vehicle_set(set.get(), "Gravity", &g, 1, nullptr, 0);
  corvanta_vehicle_set(set.get(), "FrontAxleDistance", &a, 1, nullptr, 0);
  corvanta_vehicle_set(set.get(), "Wheelbase", &L, 1, nullptr, 0);
  CorvantaInstance *car = corvanta_instance_create(set.get());
  ASSERT_NE(car, nullptr);
  corvanta_instance_initialize(car);
  corvanta_instance_step(car);
  EXPECT_NEAR(car->model.E.FrontWheelLoad, m * g * (L - a) / (2.0 * L), 1e-9 * m * g);
  EXPECT_NEAR(car->model.E.RearWheelLoad, m * g * a / (2.0 * L), 1e-9 * m * g);
  corvanta_instance_free(car);
}

}  // namespace
