// Initialize after non-finite inputs: a poisoned instance restarts as a fresh one, a
// finite history is re-initialised as before (held values, time and delay history kept).
#include "model/Corvanta.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <string>

#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

constexpr int kDrivingSteps = 500;     // before the bad input arrives
constexpr int kPoisonedSteps = 2;      // the bad input lasts two steps
constexpr int kComparedSteps = 10000;  // 1 s after the restart

ExtU_Corvanta_T driving(double initialSpeed) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = 1.0;
  u.GearSelector = 1.0;
  u.InitialSpeed = initialSpeed;
  return u;
}

double *field(ExtU_Corvanta_T &u, int index) { return reinterpret_cast<double *>(&u) + index; }

struct Trigger {
  const char *name;
  int input;
  double value;
  double initialSpeed;
};

std::ostream &operator<<(std::ostream &out, const Trigger &t) { return out << t.name; }

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const Trigger kTriggers[] = {
    {"DemandNaN", CORVANTA_IN_ACCELERATION_DEMAND, kNaN, 0.0},
    {"DemandNaNAt12", CORVANTA_IN_ACCELERATION_DEMAND, kNaN, 12.0},
    {"SteeringNaN", CORVANTA_IN_STEERING_ANGLE, kNaN, 0.0},
    {"SteeringNaNAt12", CORVANTA_IN_STEERING_ANGLE, kNaN, 12.0},
    {"SteeringPlusInf", CORVANTA_IN_STEERING_ANGLE, kInf, 0.0},
    {"SteeringMinusInf", CORVANTA_IN_STEERING_ANGLE, -kInf, 12.0},
    {"SteeringHuge", CORVANTA_IN_STEERING_ANGLE, 1e308, 0.0},
    {"GradeNaN", CORVANTA_IN_ROAD_GRADE, kNaN, 0.0},
    {"GradePlusInf", CORVANTA_IN_ROAD_GRADE, kInf, 12.0},
    {"GradeMinusInf", CORVANTA_IN_ROAD_GRADE, -kInf, 0.0},
    {"InitialSpeedNaN", CORVANTA_IN_INITIAL_SPEED, kNaN, 0.0},
    {"InitialSpeedPlusInf", CORVANTA_IN_INITIAL_SPEED, kInf, 12.0},
    {"InitialSpeedMinusInf", CORVANTA_IN_INITIAL_SPEED, -kInf, 0.0},
    {"InitialSpeedHuge", CORVANTA_IN_INITIAL_SPEED, 1e308, 12.0},
};

void steps(Corvanta &model, int count) {
  for (int k = 0; k < count; ++k) {
    model.step();
  }
}

// Drives, feeds the bad value for two steps (an initial condition is sampled by a new
// Initialize), and leaves the instance poisoned.
std::unique_ptr<Corvanta> poisoned(const Trigger &t) {
  auto model = std::make_unique<Corvanta>();
  ExtU_Corvanta_T u = driving(t.initialSpeed);
  model->setExternalInputs(&u);
  model->initialize();
  steps(*model, kDrivingSteps);
  *field(u, t.input) = t.value;
  model->setExternalInputs(&u);
  if (t.input >= CORVANTA_IN_INITIAL_POSITION_X) {
    model->initialize();
  }
  steps(*model, kPoisonedSteps);
  return model;
}

// Steps both instances with the same inputs and requires the same output bits at every
// step, then the same states and time.
void expectSameRun(Corvanta &a, Corvanta &b, const ExtU_Corvanta_T &u) {
  a.setExternalInputs(&u);
  b.setExternalInputs(&u);
  for (int k = 0; k < kComparedSteps; ++k) {
    a.step();
    b.step();
    ASSERT_EQ(std::memcmp(&a.Y, &b.Y, sizeof a.Y), 0) << "outputs differ at step " << k;
  }
  EXPECT_EQ(std::memcmp(&a.X, &b.X, sizeof a.X), 0);
  EXPECT_EQ(a.M.ticks, b.M.ticks);
  EXPECT_SAME_BITS(a.M.modelTime, b.M.modelTime);
}

class PoisonedInstance : public testing::TestWithParam<Trigger> {};

TEST_P(PoisonedInstance, RestartsExactlyAsAFreshOne) {
  const Trigger &t = GetParam();
  const auto recovered = poisoned(t);
  ASSERT_TRUE(recovered->holdsNonFiniteState()) << "the bad input did not reach a state";

  const ExtU_Corvanta_T u = driving(t.initialSpeed);
  recovered->setExternalInputs(&u);
  recovered->initialize();
  EXPECT_FALSE(recovered->holdsNonFiniteState());
  EXPECT_EQ(recovered->M.ticks, 0U);
  EXPECT_SAME_BITS(0.0, recovered->M.modelTime);

  const auto fresh = std::make_unique<Corvanta>();
  fresh->setExternalInputs(&u);
  fresh->initialize();
  expectSameRun(*recovered, *fresh, u);
  // The restarted car really drives (from rest it covers 0.48 m in this second).
  EXPECT_GT(recovered->Y.PositionX, 0.4);
  EXPECT_GT(recovered->Y.LongitudinalSpeed, 0.9);
  const double *y = reinterpret_cast<const double *>(&recovered->Y);
  for (int k = 0; k < CORVANTA_NUM_OUTPUTS; ++k) {
    EXPECT_TRUE(std::isfinite(y[k])) << "output " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(Triggers, PoisonedInstance, testing::ValuesIn(kTriggers),
                         [](const testing::TestParamInfo<Trigger> &param) { return std::string(param.param.name); });

TEST(Recovery, InputsWrittenBeforeInitializeAreKept) {
  // A host may call SetInputs before Initialize; the restart keeps that record.
  const auto recovered = poisoned(kTriggers[2]);
  const ExtU_Corvanta_T u = driving(7.0);
  recovered->setExternalInputs(&u);
  recovered->initialize();
  EXPECT_EQ(std::memcmp(&recovered->U, &u, sizeof u), 0);
  recovered->step();
  EXPECT_NEAR(recovered->Y.LongitudinalSpeed, 7.0, 0.01);
}

TEST(Recovery, FreshOutputsAndSignalsUntilTheFirstStep) {
  const auto recovered = poisoned(kTriggers[0]);
  recovered->initialize();
  const auto fresh = std::make_unique<Corvanta>();
  fresh->initialize();
  EXPECT_EQ(std::memcmp(&recovered->Y, &fresh->Y, sizeof fresh->Y), 0);
  EXPECT_EQ(std::memcmp(&recovered->B, &fresh->B, sizeof fresh->B), 0);
  EXPECT_EQ(std::memcmp(&recovered->X, &fresh->X, sizeof fresh->X), 0);
  EXPECT_EQ(std::memcmp(recovered->DW.TransportDelayBuffer, fresh->DW.TransportDelayBuffer,
                        sizeof fresh->DW.TransportDelayBuffer),
            0);
}

// Each kind of persistent value is enough on its own to trigger the restart.
TEST(Recovery, AnyHeldDiscreteOrContinuousStateTriggers) {
  const auto check = [](void (*poison)(Corvanta &), const char *what) {
    Corvanta model;
    model.initialize();
    steps(model, 100);
    poison(model);
    model.initialize();
    EXPECT_EQ(model.M.ticks, 0U) << what;
  };
  check([](Corvanta &m) { m.DW.TurbineSpeedPrevState = rtNaN; }, "held turbine speed");
  check([](Corvanta &m) { m.DW.ImpellerTorquePrevState = rtInf; }, "held pump torque");
  check([](Corvanta &m) { m.DW.GearPrevState = rtMinusInf; }, "held gear");
  check([](Corvanta &m) { m.DW.ShiftState = rtNaN; }, "shift state");
  check([](Corvanta &m) { m.DW.ShiftTimer = rtInf; }, "shift timer");
  check([](Corvanta &m) { m.DW.GearState = rtNaN; }, "gear");
  check([](Corvanta &m) { m.DW.TransportDelayBuffer[700] = rtNaN; }, "delayed torque entry");
  check([](Corvanta &m) { m.DW.TransportDelayBuffer[2047] = rtInf; }, "delay time stamp");
  check([](Corvanta &m) { m.X.EngineTorqueLag_State = rtNaN; }, "last continuous state");
  check([](Corvanta &m) { m.X.EngineSpeed_State = rtMinusInf; }, "first continuous state");
}

TEST(Recovery, NonFiniteBlockSignalsDoNotTrigger) {
  // Signals are recomputed at every evaluation; a shift-map lookup outside its grid is
  // NaN by design.
  Corvanta model;
  model.initialize();
  steps(model, 100);
  model.B.EngineTorque = rtNaN;
  model.B.TurbineSpeed = rtInf;
  model.Y.PositionX = rtNaN;
  model.initialize();
  EXPECT_EQ(model.M.ticks, 100U);
}

TEST(Recovery, FiniteHistoryKeepsHeldValuesTimeAndDelayHistory) {
  Corvanta model;
  ExtU_Corvanta_T u = driving(3.0);
  u.SteeringAngle = 0.05;
  model.setExternalInputs(&u);
  model.initialize();
  steps(model, 3000);
  ASSERT_FALSE(model.holdsNonFiniteState());
  const DiscStates_Corvanta_T before = model.DW;
  const ExtY_Corvanta_T outputs = model.Y;
  const Signals_Corvanta_T signals = model.B;

  model.initialize();

  EXPECT_EQ(model.M.ticks, 3000U);
  EXPECT_SAME_BITS(3000.0 * 0.0001, model.M.modelTime);
  EXPECT_SAME_BITS(before.TurbineSpeedPrevState, model.DW.TurbineSpeedPrevState);
  EXPECT_SAME_BITS(before.ImpellerTorquePrevState, model.DW.ImpellerTorquePrevState);
  EXPECT_SAME_BITS(before.GearPrevState, model.DW.GearPrevState);
  EXPECT_SAME_BITS(before.ShiftState, model.DW.ShiftState);
  EXPECT_SAME_BITS(before.ShiftTimer, model.DW.ShiftTimer);
  EXPECT_SAME_BITS(1.0, model.DW.GearState);
  EXPECT_EQ(std::memcmp(&model.Y, &outputs, sizeof outputs), 0);
  EXPECT_EQ(std::memcmp(&model.B, &signals, sizeof signals), 0);
  // Only entry 0 of the delay restarts: (0.0, current time).
  EXPECT_EQ(std::memcmp(before.TransportDelayBuffer + 1, model.DW.TransportDelayBuffer + 1,
                        (kTransportDelayEntries - 1) * sizeof(double)),
            0);
  EXPECT_EQ(std::memcmp(before.TransportDelayBuffer + kTransportDelayEntries + 1,
                        model.DW.TransportDelayBuffer + kTransportDelayEntries + 1,
                        (kTransportDelayEntries - 1) * sizeof(double)),
            0);
  EXPECT_SAME_BITS(0.0, model.DW.TransportDelayBuffer[0]);
  EXPECT_SAME_BITS(model.M.modelTime, model.DW.TransportDelayBuffer[kTransportDelayEntries]);
}

}  // namespace
