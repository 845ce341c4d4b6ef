// Saved states: a restored or copied instance continues bit for bit from any point of a run,
// and a foreign, truncated, corrupted or inconsistent block is refused with a reason while
// the instance stays exactly as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "model/Corvanta.h"
#include "tests/TestSupport.h"
#include "tests/vehicle/VehicleScenarios.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using InputsAt = std::function<ExtU_Corvanta_T(int step)>;

// Downhill at full throttle with a little steering: shifts, a turn, a grade.
ExtU_Corvanta_T drivingInputs(int step) {
  ExtU_Corvanta_T u = scenarioInputs(2.0, 1.0, 2.0);
  u.RoadGrade = 0.3;
  u.SteeringAngle = step > 3000 ? 0.02 : 0.0;
  return u;
}

Bytes save(const CorvantaInstance *car) {
  Bytes state(corvanta_instance_state_size(car));
  EXPECT_EQ(corvanta_instance_save_state(car, state.data(), state.size()), CORVANTA_STATE_OK);
  return state;
}

// All signals after each of `steps` steps from step `from` on.
std::vector<double> run(CorvantaInstance *car, const InputsAt &inputs, int from, int steps) {
  std::vector<double> trace;
  double s[CORVANTA_NUM_SIGNALS];
  for (int k = from; k < from + steps; ++k) {
    const ExtU_Corvanta_T u = inputs(k);
    corvanta_instance_set_inputs(car, &u);
    corvanta_instance_step(car);
    corvanta_instance_signals(car, s, CORVANTA_NUM_SIGNALS);
    trace.insert(trace.end(), s, s + CORVANTA_NUM_SIGNALS);
  }
  return trace;
}

void expectSameTrace(const std::vector<double> &expected, const std::vector<double> &actual) {
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (std::isnan(expected[i]) && std::isnan(actual[i])) continue;  // payloads are not part of the contract
    ASSERT_EQ(bitsOf(expected[i]), bitsOf(actual[i]))
        << "step " << i / CORVANTA_NUM_SIGNALS << " " << corvanta_signal_name(i % CORVANTA_NUM_SIGNALS);
  }
}

// A model driven through its class, to find the step at which something happens.
int firstStepWhere(const InputsAt &inputs, const std::function<bool(const Corvanta &)> &condition) {
  auto model = std::make_unique<Corvanta>();
  model->initialize();
  for (int k = 0; k < 200000; ++k) {
    const ExtU_Corvanta_T u = inputs(k);
    model->setExternalInputs(&u);
    model->step();
    if (condition(*model)) return k + 1;
  }
  return -1;
}

// An instance that has run something else: another grade, other inputs, so that nothing of
// its own history can help it continue.
CorvantaInstance *busyInstance() {
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  corvanta_instance_initialize(car);
  run(
      car,
      [](int) {
        ExtU_Corvanta_T u = scenarioInputs(-1.0, 3.0, 0.0);
        u.RoadGrade = -0.1;
        u.SteeringAngle = -0.1;
        return u;
      },
      0, 700);
  return car;
}

// Runs `before` steps (after `prepare`), saves, and checks that the run continues bit for
// bit on the same instance, on a restored busy instance and on a copy.
void expectContinuation(const InputsAt &inputs, int before, int after,
                        const std::function<void(CorvantaInstance *)> &prepare = nullptr) {
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  const ExtU_Corvanta_T u0 = inputs(0);
  corvanta_instance_set_inputs(car, &u0);
  corvanta_instance_initialize(car);
  if (prepare) prepare(car);
  run(car, inputs, 0, before);
  const Bytes state = save(car);
  CorvantaInstance *copy = corvanta_instance_create(nullptr);
  ASSERT_EQ(corvanta_instance_copy_state(copy, car), CORVANTA_STATE_OK);
  const std::vector<double> expected = run(car, inputs, before, after);

  CorvantaInstance *restored = busyInstance();
  char reason[200] = "";
  ASSERT_EQ(corvanta_instance_restore_state(restored, state.data(), state.size(), reason, sizeof reason),
            CORVANTA_STATE_OK)
      << reason;
  EXPECT_EQ(save(restored), state);  // the same state, byte for byte
  expectSameTrace(expected, run(restored, inputs, before, after));
  expectSameTrace(expected, run(copy, inputs, before, after));
  corvanta_instance_free(restored);
  corvanta_instance_free(copy);
  corvanta_instance_free(car);
}

TEST(VehicleState, ContinuesAcrossAGearShiftInProgress) {
  // A shift is pending (confirmed two major steps later) at this step.
  const int pending = firstStepWhere(drivingInputs, [](const Corvanta &m) { return m.DW.ShiftState != 0.0; });
  ASSERT_GT(pending, 0);
  expectContinuation(drivingInputs, pending, 3000);
  const int shifted = firstStepWhere(drivingInputs, [](const Corvanta &m) { return m.B.Gear == 2.0; });
  EXPECT_GT(shifted, pending);
  EXPECT_LT(shifted, pending + 3000);
}

TEST(VehicleState, ContinuesAcrossTheTransportDelayWrap) {
  // The delay's 1024 entries fill after 1023 major steps; the next write wraps the head.
  const int wrap =
      firstStepWhere(drivingInputs, [](const Corvanta &m) { return m.DW.TransportDelayHead == 0 && m.M.ticks > 1; });
  ASSERT_EQ(wrap, 1024);
  expectContinuation(drivingInputs, wrap - 2, 200);
  expectContinuation(drivingInputs, wrap, 200);
}

TEST(VehicleState, ContinuesFromTheFirstInitialisationStep) {
  // Saved between Initialize and the first Step: the first-initialisation loads still to come.
  InputsAt startMoving = [](int) {
    ExtU_Corvanta_T u = scenarioInputs(0.5, 1.0, 12.0);
    u.InitialPositionX = 10.0;
    u.InitialHeading = 0.4;
    return u;
  };
  expectContinuation(startMoving, 0, 500);
  // And after a restart in the middle of the run.
  expectContinuation(startMoving, 0, 500, [&](CorvantaInstance *car) {
    run(car, startMoving, 0, 300);
    corvanta_instance_initialize(car);
  });
}

TEST(VehicleState, ContinuesFromAPoisonedInstanceThroughItsRecovery) {
  // A NaN demand poisons the states; the saved instance recovers at the next Initialize.
  InputsAt poisonThenRecover = [](int k) {
    ExtU_Corvanta_T u = drivingInputs(k);
    if (k < 400) u.AccelerationDemand = std::numeric_limits<double>::quiet_NaN();
    return u;
  };
  expectContinuation(poisonThenRecover, 400, 1500, [](CorvantaInstance *) {});
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  corvanta_instance_initialize(car);
  run(car, poisonThenRecover, 0, 400);
  double s[CORVANTA_NUM_SIGNALS];
  corvanta_instance_signals(car, s, CORVANTA_NUM_SIGNALS);
  ASSERT_TRUE(std::isnan(s[CORVANTA_SIGNAL_PositionX]));
  const Bytes poisoned = save(car);
  CorvantaInstance *restored = busyInstance();
  ASSERT_EQ(corvanta_instance_restore_state(restored, poisoned.data(), poisoned.size(), nullptr, 0), CORVANTA_STATE_OK);
  corvanta_instance_initialize(car);  // recovery: a fresh instance
  corvanta_instance_initialize(restored);
  expectSameTrace(run(car, drivingInputs, 0, 1500), run(restored, drivingInputs, 0, 1500));
  corvanta_instance_signals(restored, s, CORVANTA_NUM_SIGNALS);
  EXPECT_SAME_BITS(1500.0 * 0.0001, s[CORVANTA_SIGNAL_ModelTime]);  // time restarted at zero
  corvanta_instance_free(restored);
  corvanta_instance_free(car);
}

TEST(VehicleState, AStateSavedBeforeInitializeMakesAnUninitialisedInstance) {
  CorvantaInstance *fresh = corvanta_instance_create(nullptr);
  const Bytes state = save(fresh);
  CorvantaInstance *car = busyInstance();
  ASSERT_EQ(corvanta_instance_restore_state(car, state.data(), state.size(), nullptr, 0), CORVANTA_STATE_OK);
  corvanta_instance_step(car);  // not initialised: nothing happens
  EXPECT_SAME_BITS(0.0, corvanta_instance_outputs(car)->PositionX);
  EXPECT_EQ(save(car), state);
  corvanta_instance_initialize(car);
  corvanta_instance_initialize(fresh);
  expectSameTrace(run(fresh, drivingInputs, 0, 300), run(car, drivingInputs, 0, 300));
  corvanta_instance_free(car);
  corvanta_instance_free(fresh);
}

// CRC-32 (IEEE 802.3) bit by bit, to re-seal a block the tests change on purpose.
std::uint32_t crc32(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (std::size_t k = 0; k < size; ++k) {
    crc ^= data[k];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
  }
  return ~crc;
}

void reseal(Bytes &state) {
  const std::uint32_t crc = crc32(state.data(), state.size() - 4);
  std::memcpy(state.data() + state.size() - 4, &crc, 4);
}

template <typename T>
void poke(Bytes &state, std::size_t offset, T value) {
  std::memcpy(state.data() + offset, &value, sizeof value);
  reseal(state);
}

constexpr std::size_t kHeader = 52;
// Offset of the delay's head index: after the inputs, outputs, signals, continuous states,
// last evaluation, seven held values, the delay buffer and its tail index.
constexpr std::size_t kDelayHeadOffset = kHeader + sizeof(ExtU_Corvanta_T) + sizeof(ExtY_Corvanta_T) +
                                         sizeof(Signals_Corvanta_T) + sizeof(ContStates_Corvanta_T) +
                                         sizeof(Evaluation) + 7 * 8 + 2 * kTransportDelayEntries * 8 + 4;

TEST(VehicleState, TheFormatIsAsDocumented) {
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  corvanta_instance_initialize(car);
  run(car, drivingInputs, 0, 1100);
  const Bytes state = save(car);
  ASSERT_EQ(state.size(), corvanta_instance_state_size(car));
  EXPECT_EQ(std::string(state.begin(), state.begin() + 8), "CRVINSTS");
  std::uint32_t version;
  std::uint32_t payload;
  std::memcpy(&version, state.data() + 8, 4);
  std::memcpy(&payload, state.data() + 12, 4);
  EXPECT_EQ(version, 1U);
  EXPECT_EQ(payload, state.size() - kHeader - 4);
  std::uint32_t sum = 0;
  for (int k = 0; k < 7; ++k) {
    std::uint32_t section;
    std::memcpy(&section, state.data() + 24 + 4 * k, 4);
    sum += section;
  }
  EXPECT_EQ(sum, payload);
  std::uint32_t crc;
  std::memcpy(&crc, state.data() + state.size() - 4, 4);
  EXPECT_EQ(crc, crc32(state.data(), state.size() - 4));
  // The inputs are the first section, the delay head where the layout puts it.
  ExtU_Corvanta_T u;
  std::memcpy(&u, state.data() + kHeader, sizeof u);
  EXPECT_SAME_BITS(0.3, u.RoadGrade);
  std::int32_t head;
  std::memcpy(&head, state.data() + kDelayHeadOffset, 4);
  EXPECT_EQ(head, 1100 - 1024);
  EXPECT_EQ(save(car), state);  // saving changes nothing
  corvanta_instance_free(car);
}

TEST(VehicleState, RefusesBadBlocksWithAReasonAndChangesNothing) {
  CorvantaInstance *source = corvanta_instance_create(nullptr);
  corvanta_instance_initialize(source);
  run(source, drivingInputs, 0, 600);
  const Bytes good = save(source);
  CorvantaInstance *target = busyInstance();
  const Bytes before = save(target);

  struct Case {
    const char *what;
    Bytes bytes;
    int status;
    const char *reasonPart;
  };
  std::vector<Case> cases;
  cases.push_back({"foreign", Bytes(good.size(), 0x41), CORVANTA_STATE_NOT_A_STATE, "not a saved state"});
  cases.push_back({"empty", Bytes(), CORVANTA_STATE_NOT_A_STATE, "not a saved state"});
  cases.push_back({"header only", Bytes(good.begin(), good.begin() + 30), CORVANTA_STATE_WRONG_SIZE, "truncated"});
  cases.push_back({"truncated", Bytes(good.begin(), good.end() - 1), CORVANTA_STATE_WRONG_SIZE, "truncated"});
  Bytes extended = good;
  extended.push_back(0);
  cases.push_back({"extended", extended, CORVANTA_STATE_WRONG_SIZE, "extended"});
  Bytes corrupt = good;
  corrupt[good.size() / 2] ^= 0x10;
  cases.push_back({"corrupt", corrupt, CORVANTA_STATE_CORRUPT, "checksum"});
  Bytes corruptChecksum = good;
  corruptChecksum.back() ^= 1;
  cases.push_back({"corrupt checksum", corruptChecksum, CORVANTA_STATE_CORRUPT, "checksum"});
  Bytes version = good;
  poke<std::uint32_t>(version, 8, 2);
  cases.push_back({"version", version, CORVANTA_STATE_WRONG_VERSION, "version 2"});
  Bytes vehicle = good;
  poke<std::uint64_t>(vehicle, 16, 0x1234);
  cases.push_back({"other vehicle", vehicle, CORVANTA_STATE_OTHER_VEHICLE, "another parameter set"});
  Bytes layout = good;
  poke<std::uint32_t>(layout, 24 + 4 * 2, static_cast<std::uint32_t>(sizeof(Signals_Corvanta_T) + 8));
  cases.push_back({"layout", layout, CORVANTA_STATE_OTHER_LAYOUT, "record layout"});
  Bytes head = good;
  poke<std::int32_t>(head, kDelayHeadOffset, kTransportDelayEntries);
  cases.push_back({"delay index", head, CORVANTA_STATE_INCONSISTENT, "out of range"});
  Bytes negative = good;
  poke<std::int32_t>(negative, kDelayHeadOffset, -1);
  cases.push_back({"negative delay index", negative, CORVANTA_STATE_INCONSISTENT, "out of range"});

  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    char reason[200] = "";
    const void *data = c.bytes.empty() ? static_cast<const void *>("") : c.bytes.data();
    EXPECT_EQ(corvanta_instance_check_state(target, data, c.bytes.size(), reason, sizeof reason), c.status);
    EXPECT_NE(std::string(reason).find(c.reasonPart), std::string::npos) << reason;
    reason[0] = '\0';
    EXPECT_EQ(corvanta_instance_restore_state(target, data, c.bytes.size(), reason, sizeof reason), c.status);
    EXPECT_NE(std::string(reason).find(c.reasonPart), std::string::npos) << reason;
    EXPECT_STRNE(corvanta_state_status_text(c.status), "unknown status");
    EXPECT_EQ(save(target), before);
  }
  // A reason is cut to the caller's buffer, always terminated.
  char shortReason[8];
  std::memset(shortReason, 'x', sizeof shortReason);
  EXPECT_EQ(corvanta_instance_restore_state(target, corrupt.data(), corrupt.size(), shortReason, sizeof shortReason),
            CORVANTA_STATE_CORRUPT);
  EXPECT_EQ(std::strlen(shortReason), sizeof shortReason - 1);

  // Arguments.
  Bytes small(good.size() - 1);
  EXPECT_EQ(corvanta_instance_save_state(source, small.data(), small.size()), CORVANTA_STATE_BUFFER_TOO_SMALL);
  EXPECT_EQ(corvanta_instance_save_state(nullptr, small.data(), small.size()), CORVANTA_STATE_INVALID_ARGUMENT);
  EXPECT_EQ(corvanta_instance_save_state(source, nullptr, good.size()), CORVANTA_STATE_INVALID_ARGUMENT);
  EXPECT_EQ(corvanta_instance_restore_state(nullptr, good.data(), good.size(), nullptr, 0),
            CORVANTA_STATE_INVALID_ARGUMENT);
  EXPECT_EQ(corvanta_instance_restore_state(target, nullptr, 0, nullptr, 0), CORVANTA_STATE_INVALID_ARGUMENT);
  EXPECT_EQ(corvanta_instance_copy_state(nullptr, source), CORVANTA_STATE_INVALID_ARGUMENT);
  EXPECT_EQ(corvanta_instance_copy_state(target, nullptr), CORVANTA_STATE_INVALID_ARGUMENT);
  EXPECT_EQ(corvanta_instance_state_size(nullptr), 0U);
  EXPECT_EQ(save(target), before);
  // Copying an instance onto itself changes nothing.
  EXPECT_EQ(corvanta_instance_copy_state(source, source), CORVANTA_STATE_OK);
  EXPECT_EQ(save(source), good);
  // The good block restores.
  EXPECT_EQ(corvanta_instance_restore_state(target, good.data(), good.size(), nullptr, 0), CORVANTA_STATE_OK);
  EXPECT_EQ(save(target), good);
  corvanta_instance_free(target);
  corvanta_instance_free(source);
}

}  // namespace
