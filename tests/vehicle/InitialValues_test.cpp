// The values at the start of a run: the car as it starts, from the initial inputs, without
// changing any bit of the run that follows.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/vehicle/VehicleScenarios.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

ExtU_Corvanta_T startInputs() {
  ExtU_Corvanta_T u = scenarioInputs(1.0, 1.0, 5.0);
  u.InitialPositionX = 10.0;
  u.InitialPositionY = -3.0;
  u.InitialHeading = 0.4;
  return u;
}

std::vector<double> initialSignals(const CorvantaInstance *car) {
  std::vector<double> s(CORVANTA_NUM_SIGNALS);
  EXPECT_EQ(corvanta_instance_initial_signals(car, s.data(), s.size()), s.size());
  return s;
}

std::vector<double> trace(CorvantaInstance *car, const ExtU_Corvanta_T &u, int steps) {
  std::vector<double> out;
  double s[CORVANTA_NUM_SIGNALS];
  for (int k = 0; k < steps; ++k) {
    corvanta_instance_set_inputs(car, &u);
    corvanta_instance_step(car);
    corvanta_instance_signals(car, s, CORVANTA_NUM_SIGNALS);
    out.insert(out.end(), s, s + CORVANTA_NUM_SIGNALS);
  }
  return out;
}

TEST(VehicleInitialValues, ShowTheCarAsItStarts) {
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  const ExtU_Corvanta_T u = startInputs();
  corvanta_instance_initialize(car);
  corvanta_instance_set_inputs(car, &u);
  const std::vector<double> s = initialSignals(car);
  EXPECT_SAME_BITS(10.0, s[CORVANTA_SIGNAL_PositionX]);
  EXPECT_SAME_BITS(-3.0, s[CORVANTA_SIGNAL_PositionY]);
  EXPECT_SAME_BITS(0.4, s[CORVANTA_SIGNAL_Heading]);
  EXPECT_SAME_BITS(5.0, s[CORVANTA_SIGNAL_LongitudinalSpeed]);
  EXPECT_SAME_BITS(0.0, s[CORVANTA_SIGNAL_PitchAngle]);
  EXPECT_SAME_BITS(0.0, s[CORVANTA_SIGNAL_RollAngle]);
  EXPECT_SAME_BITS(-1.0, s[CORVANTA_SIGNAL_TipOverIndicator]);  // the standing car is stable
  EXPECT_SAME_BITS(0.0, s[CORVANTA_SIGNAL_ModelTime]);
  EXPECT_SAME_BITS(1.0, s[CORVANTA_SIGNAL_Gear]);
  EXPECT_SAME_BITS(0.0, s[CORVANTA_SIGNAL_YawRate]);
  EXPECT_SAME_BITS(0.0, s[CORVANTA_SIGNAL_SlipRatioFL]);  // rolling without slip
  EXPECT_NEAR(s[CORVANTA_SIGNAL_WheelSpeedRR], 5.0 / 0.314, 1e-12);
  // Static loads: the weight 1760 kg x 9.8 m/s^2 split by the axle distances 1.159 m and
  // 1.641 m of the 2.8 m wheelbase.
  EXPECT_NEAR(s[CORVANTA_SIGNAL_TyreLoadFL], 17248.0 * 1.641 / 2.8 / 2.0, 1e-6);
  EXPECT_NEAR(s[CORVANTA_SIGNAL_TyreLoadRR], 17248.0 * 1.159 / 2.8 / 2.0, 1e-6);
  ExtY_Corvanta_T y{};
  ASSERT_EQ(corvanta_instance_initial_outputs(car, &y), 1);
  EXPECT_SAME_BITS(10.0, y.PositionX);
  EXPECT_SAME_BITS(5.0, y.LongitudinalSpeed);
  EXPECT_SAME_BITS(-1.0, y.TipOverIndicator);
  // The output record itself keeps its zeros until the first Step.
  EXPECT_SAME_BITS(0.0, corvanta_instance_outputs(car)->PositionX);
  EXPECT_SAME_BITS(0.0, corvanta_instance_outputs(car)->LongitudinalSpeed);
  // Changed inputs show at once.
  ExtU_Corvanta_T moved = u;
  moved.InitialPositionX = -7.5;
  corvanta_instance_set_inputs(car, &moved);
  EXPECT_SAME_BITS(-7.5, initialSignals(car)[CORVANTA_SIGNAL_PositionX]);
  corvanta_instance_free(car);
}

TEST(VehicleInitialValues, AreTheFirstStepsStartAndChangeNothingLater) {
  const ExtU_Corvanta_T u = startInputs();
  CorvantaInstance *asked = corvanta_instance_create(nullptr);
  CorvantaInstance *plain = corvanta_instance_create(nullptr);
  corvanta_instance_set_inputs(asked, &u);
  corvanta_instance_set_inputs(plain, &u);
  corvanta_instance_initialize(asked);
  corvanta_instance_initialize(plain);
  initialSignals(asked);
  initialSignals(asked);
  const std::vector<double> a = trace(asked, u, 1500);
  const std::vector<double> b = trace(plain, u, 1500);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(bitsOf(b[i]), bitsOf(a[i]))
        << i / CORVANTA_NUM_SIGNALS << " " << corvanta_signal_name(i % CORVANTA_NUM_SIGNALS);
  }
  // After a Step there is no start to show; before Initialize neither.
  double s[CORVANTA_NUM_SIGNALS] = {};
  EXPECT_EQ(corvanta_instance_initial_signals(asked, s, CORVANTA_NUM_SIGNALS), 0U);
  ExtY_Corvanta_T y{};
  EXPECT_EQ(corvanta_instance_initial_outputs(asked, &y), 0);
  CorvantaInstance *fresh = corvanta_instance_create(nullptr);
  EXPECT_EQ(corvanta_instance_initial_signals(fresh, s, CORVANTA_NUM_SIGNALS), 0U);
  EXPECT_EQ(corvanta_instance_initial_signals(nullptr, s, CORVANTA_NUM_SIGNALS), 0U);
  EXPECT_EQ(corvanta_instance_initial_signals(asked, nullptr, CORVANTA_NUM_SIGNALS), 0U);
  EXPECT_EQ(corvanta_instance_initial_outputs(asked, nullptr), 0);
  // A restart shows the start again, at the time of the restart.
  corvanta_instance_initialize(asked);
  const std::vector<double> restart = initialSignals(asked);
  EXPECT_SAME_BITS(10.0, restart[CORVANTA_SIGNAL_PositionX]);
  EXPECT_SAME_BITS(1.0, restart[CORVANTA_SIGNAL_Gear]);
  EXPECT_SAME_BITS(1500.0 * 0.0001, restart[CORVANTA_SIGNAL_ModelTime]);
  corvanta_instance_free(fresh);
  corvanta_instance_free(plain);
  corvanta_instance_free(asked);
}

TEST(VehicleInitialValues, AreThoseOfTheInstancesOwnVehicle) {
  // A heavier car with the front axle further back: the standing loads say so at once, and
  // equal the loads after the first step of the same instance.
  CorvantaVehicle *set = corvanta_vehicle_create_builtin();
  const double mass = 1900.0, frontAxle = 1.3;
  ASSERT_EQ(corvanta_vehicle_set(set, "VehicleMass", &mass, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  ASSERT_EQ(corvanta_vehicle_set(set, "FrontAxleDistance", &frontAxle, 1, nullptr, 0), CORVANTA_VEHICLE_OK);
  CorvantaInstance *car = corvanta_instance_create(set);
  ASSERT_NE(car, nullptr);
  const ExtU_Corvanta_T u = scenarioInputs(0.0, 0.0, 0.0);
  corvanta_instance_set_inputs(car, &u);
  corvanta_instance_initialize(car);
  const std::vector<double> start = initialSignals(car);
  const std::vector<double> first = trace(car, u, 1);
  for (int wheel = 0; wheel < 4; ++wheel) {
    EXPECT_SAME_BITS(start[CORVANTA_SIGNAL_TyreLoadFL + wheel], first[CORVANTA_SIGNAL_TyreLoadFL + wheel]) << wheel;
  }
  const double front = start[CORVANTA_SIGNAL_TyreLoadFL] + start[CORVANTA_SIGNAL_TyreLoadFR];
  const double rear = start[CORVANTA_SIGNAL_TyreLoadRL] + start[CORVANTA_SIGNAL_TyreLoadRR];
  EXPECT_NEAR(front + rear, mass * 9.8, 1e-9);
  EXPECT_NEAR(front, mass * 9.8 * (2.8 - frontAxle) / 2.8, 1e-9);
  corvanta_instance_free(car);
  corvanta_vehicle_free(set);
}

}  // namespace
