// Lifecycle, time base and integrator of the model instance.
#include "model/Corvanta.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "model/VehicleConstants.h"
#include "runtime/NonFinite.h"
#include "tests/TestSupport.h"

namespace {

// Runs one evaluation of the outputs (the output phase only: no discrete update and no
// integration), as the integrator's minor evaluations do, but with the time-step kind
// chosen by the caller.  First-initialisation loads happen while their flags are set.
void evaluateOnce(Corvanta &model, bool major) {
  const int kind = model.M.timeStepKind;
  model.M.timeStepKind = major ? kMajorTimeStep : kMinorTimeStep;
  model.limitEngineSpeed();
  model.outputPhase();
  model.M.timeStepKind = kind;
}

std::unique_ptr<Corvanta> initialised() {
  auto model = std::make_unique<Corvanta>();
  model->initialize();
  return model;
}

TEST(Construction, EveryRecordIsZero) {
  const auto model = std::make_unique<Corvanta>();
  const unsigned char *bytes = reinterpret_cast<const unsigned char *>(&model->U);
  const std::size_t recordBytes = sizeof model->U + sizeof model->Y;
  for (std::size_t k = 0; k < recordBytes; ++k) {
    ASSERT_EQ(bytes[k], 0U);
  }
  EXPECT_EQ(model->DW.TransportDelayBufferRef, nullptr);
  EXPECT_EQ(model->M.stepSize, 0.0);
  EXPECT_TRUE(model->M.isMinorTimeStep());
  EXPECT_EQ(model->M.solver.statesRef, nullptr);
  EXPECT_EQ(model->X.EngineSpeed_State, 0.0);
  EXPECT_EQ(model->DW.GearState, 0.0);
  EXPECT_FALSE(model->isInitialized());
}

TEST(Initialize, SetsTheStartingConditions) {
  const auto model = initialised();
  EXPECT_TRUE(model->M.isMajorTimeStep());
  EXPECT_SAME_BITS(kEngineSpeedMin, model->X.EngineSpeed_State);
  EXPECT_SAME_BITS(1.0, model->DW.GearState);
  EXPECT_SAME_BITS(0.0001, model->M.stepSize);
  EXPECT_EQ(model->DW.TransportDelayBufferSize, 1024);
  EXPECT_EQ(model->DW.TransportDelayBufferRef, model->DW.TransportDelayBuffer);
  EXPECT_EQ(model->DW.PositionY_FirstInit, 1U);
  EXPECT_EQ(model->DW.LongitudinalVelocity_FirstInit, 1U);
  EXPECT_EQ(model->M.isFirstInitCond(), 0U);
  EXPECT_STREQ(model->M.solver.solverName, "ode4");
  EXPECT_EQ(model->M.getErrorStatus(), nullptr);
}

TEST(TimeBase, IsACountTimesTheStepSize) {
  const auto model = initialised();
  for (int k = 0; k < 3; ++k) {
    model->step();
  }
  EXPECT_SAME_BITS(0.00030000000000000003, model->M.modelTime);
  for (int k = 3; k < 10; ++k) {
    model->step();
  }
  EXPECT_SAME_BITS(0.001, model->M.modelTime);
  EXPECT_EQ(model->M.ticks, 10U);
  EXPECT_TRUE(model->M.isMajorTimeStep());
}

TEST(TimeBase, DoesNotWrapAfterTwoToTheThirtyTwoSteps) {
  const auto model = initialised();
  model->step();
  model->M.ticks = 0xFFFFFFFFULL;
  model->step();
  EXPECT_EQ(model->M.ticks, 0x100000000ULL);
  EXPECT_SAME_BITS(4294967296.0 * 0.0001, model->M.modelTime);
  model->step();
  EXPECT_SAME_BITS(4294967297.0 * 0.0001, model->M.modelTime);
}

TEST(TimeBase, SecondInitializeKeepsTheTimeAndRestartsTheDelay) {
  const auto model = initialised();
  for (int k = 0; k < 200; ++k) {
    model->step();
  }
  const double t = model->M.modelTime;
  model->initialize();
  EXPECT_SAME_BITS(t, model->M.modelTime);
  EXPECT_EQ(model->DW.TransportDelayHead, 0);
  EXPECT_EQ(model->DW.TransportDelayTail, 0);
  EXPECT_SAME_BITS(t, model->DW.TransportDelayBuffer[kTransportDelayEntries]);
  model->step();
  EXPECT_SAME_BITS(201.0 * 0.0001, model->M.modelTime);
  EXPECT_SAME_BITS(0.0, model->B.EngineTorqueDelayed);
}

TEST(EngineSpeedLimit, ClampsTheStateBeforeAnyUse) {
  Corvanta model;
  model.X.EngineSpeed_State = 700.0;
  model.limitEngineSpeed();
  EXPECT_SAME_BITS(kEngineSpeedMax, model.X.EngineSpeed_State);
  model.X.EngineSpeed_State = 10.0;
  model.limitEngineSpeed();
  EXPECT_SAME_BITS(kEngineSpeedMin, model.X.EngineSpeed_State);
  model.X.EngineSpeed_State = 300.0;
  model.limitEngineSpeed();
  EXPECT_SAME_BITS(300.0, model.X.EngineSpeed_State);
  model.X.EngineSpeed_State = rtNaN;
  model.limitEngineSpeed();
  EXPECT_TRUE(std::isnan(model.X.EngineSpeed_State));
}

TEST(Integrator, SteeringActuatorStepMatchesTheStageFormula) {
  // The steering actuator is linear in its own states and the input, so one step of the
  // integrator can be followed by hand.
  const auto model = initialised();
  model->U.SteeringAngle = 0.1;
  const double h = 0.0001;
  auto f = [](double x9, double x10) {
    return std::pair<double, double>{((-141.4 * x9) + (-10000.0 * x10)) + 0.1, x9};
  };
  const auto k0 = f(0.0, 0.0);
  const auto k1 = f(k0.first * (0.5 * h), k0.second * (0.5 * h));
  const auto k2 = f(k1.first * (0.5 * h), k1.second * (0.5 * h));
  const auto k3 = f(k2.first * h, k2.second * h);
  model->step();
  EXPECT_SAME_BITS(((((k0.first + 2.0 * k1.first) + 2.0 * k2.first) + k3.first) * (h / 6.0)) + 0.0,
                   model->X.SteeringActuator_State[0]);
  EXPECT_SAME_BITS(((((k0.second + 2.0 * k1.second) + 2.0 * k2.second) + k3.second) * (h / 6.0)) + 0.0,
                   model->X.SteeringActuator_State[1]);
}

TEST(Integrator, SteeringActuatorSettlesWithSmallOvershoot) {
  const auto model = initialised();
  model->U.SteeringAngle = 0.1;
  double peak = 0.0;
  for (int k = 0; k < 3000; ++k) {
    model->step();
    peak = std::fmax(peak, 10000.0 * model->X.SteeringActuator_State[1]);
  }
  EXPECT_NEAR(10000.0 * model->X.SteeringActuator_State[1], 0.1, 1e-8);
  EXPECT_NEAR(peak / 0.1 - 1.0, 0.043, 0.005);
}

TEST(Integrator, OutputsHoldTheLastStageEvaluation) {
  // The outputs are written by the stage at t + h from the states y + h·f2, not from the
  // final states.
  const auto model = initialised();
  model->U.InitialSpeed = 10.0;
  model->step();
  EXPECT_NE(model->Y.PositionX, model->X.PositionX_State);
  EXPECT_NEAR(model->Y.PositionX, model->X.PositionX_State, 1e-9);
}

TEST(Integrator, FirstStepLoadsTheInitialConditionsOnce) {
  const auto model = initialised();
  model->U.InitialSpeed = 10.0;
  model->U.InitialHeading = 1.5707963267948966;
  model->U.InitialPositionX = 5.0;
  model->U.InitialPositionY = -3.0;
  evaluateOnce(*model, true);
  EXPECT_SAME_BITS(5.0, model->Y.PositionX);
  EXPECT_SAME_BITS(-3.0, model->Y.PositionY);
  EXPECT_SAME_BITS(1.5707963267948966, model->Y.Heading);
  EXPECT_SAME_BITS(10.0, model->Y.LongitudinalSpeed);
  EXPECT_SAME_BITS(31.847133757961785, model->X.WheelSpeedRR_State);
  EXPECT_SAME_BITS(std::cos(1.5707963267948966) * 10.0, model->X.GlobalVelocityX_State);
  EXPECT_SAME_BITS(10.0, model->X.GlobalVelocityY_State);

  // After the first major step the inputs no longer reach the states.
  model->step();
  model->U.InitialPositionX = 100.0;
  model->U.InitialSpeed = 0.0;
  model->step();
  EXPECT_NEAR(model->Y.PositionX, 5.0, 1e-6);
  EXPECT_NEAR(model->Y.PositionY, -3.0 + 10.0 * 0.0002, 1e-6);
  EXPECT_GT(model->Y.LongitudinalSpeed, 9.9);
}

TEST(Integrator, TwoInstancesAreIndependentAndIdentical) {
  const auto a = initialised();
  const auto b = initialised();
  a->U.AccelerationDemand = 1.0;
  a->U.GearSelector = 1.0;
  b->U = a->U;
  for (int k = 0; k < 500; ++k) {
    a->step();
  }
  const ExtY_Corvanta_T halfway = a->Y;
  for (int k = 0; k < 500; ++k) {
    b->step();
  }
  EXPECT_EQ(std::memcmp(&halfway, &b->Y, sizeof halfway), 0);
}

}  // namespace
