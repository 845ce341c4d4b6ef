// The FMU state in serialised form: the FMU's own time base and inputs, and the model
// instance's saved state (corvanta_instance_save_state), in a self-checking envelope.
//
//   offset  size  content
//   0       8     magic "CRVSTATE"
//   8       4     format version (kFormatVersion)
//   12      4     byte count of the payload
//   16      40    instantiation token (the model and its variable list), NUL padded
//   56      32    byte sizes of the three sections (uint32 each), then five zero words
//   88      40    time base: steps taken (uint64), start time, stop-time flag (1 byte, 7 zero),
//                 stop time, FMI state (1 byte, 7 zero)
//   128     64    the inputs and initial conditions as set (the input record)
//   192     m     the model instance's saved state (the vehicle library's own format, with
//                 its identity, record sizes and checksum)
//   192 + m 4     CRC-32 (IEEE 802.3) of bytes 0 .. 192 + m - 1
//
// All numbers little-endian, as both x86-64 platforms store them.  A state is checked
// completely before anything of the instance changes: the envelope, the time base, then the
// model's state, restored into a scratch instance that replaces the model only when the
// whole state holds together (the FMI state and the model's initialisation, the FMU's step
// count and the model's clock).
//
// A state carries the FMI state it was saved in, and setting it puts the instance there: a
// state saved in step mode continues in step mode, in a fresh or reset instance too.  A state
// saved before initialisation (instantiated, initialization mode) holds what had been set by
// then (inputs, initial conditions, start and stop time); setting it returns the instance to
// that FMI state, and the initialisation that follows starts the model from those values, as
// after the same calls on a fresh instance.
//
// The vehicle: the model's state carries the identity of the parameter set its instance
// simulates, and a state is set only into an FMU instance whose model simulates the same set
// (the same values: the same vehicle file and parameters, or the built-in car on both sides);
// any other is refused with both identities.  VehicleFile and the vehicle parameters are not
// part of the state: setting one leaves them as they are.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "fmi/FmuInstance.h"
#include "vehicle/StateChecksum.h"

namespace corvanta_fmi {

namespace {

constexpr char kMagic[8] = {'C', 'R', 'V', 'S', 'T', 'A', 'T', 'E'};
constexpr std::uint32_t kFormatVersion = 3;
constexpr std::size_t kTokenBytes = 40;
constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + kTokenBytes;
constexpr std::size_t kChecksumBytes = 4;

// What the FMU itself adds to the model's state.
struct TimeBase {
  std::uint64_t stepsTaken;
  double startTime;
  std::uint8_t stopTimeDefined;
  std::uint8_t zero1[7];
  double stopTime;
  std::uint8_t phase;  // StoredPhase
  std::uint8_t zero2[7];
};
static_assert(sizeof(TimeBase) == 40, "time base without hidden padding");

// The FMI states a state can be saved in, as stored.
enum StoredPhase : std::uint8_t {
  kStoredInstantiated = 0,
  kStoredInitializationMode = 1,
  kStoredEventMode = 2,
  kStoredStepMode = 3,
  kStoredTerminated = 4,
};

std::uint8_t storedPhase(Phase phase) {
  switch (phase) {
    case Phase::Instantiated:
      return kStoredInstantiated;
    case Phase::InitializationMode:
      return kStoredInitializationMode;
    case Phase::EventMode:
      return kStoredEventMode;
    case Phase::StepMode:
      return kStoredStepMode;
    case Phase::Terminated:
    case Phase::Error:  // never saved: GetFMUstate is refused in the error state
      break;
  }
  return kStoredTerminated;
}

Phase restoredPhase(std::uint8_t stored, bool eventModeUsed) {
  switch (stored) {
    case kStoredInstantiated:
      return Phase::Instantiated;
    case kStoredInitializationMode:
      return Phase::InitializationMode;
    case kStoredEventMode:
      // An instance created without event mode continues the step in step mode.
      return eventModeUsed ? Phase::EventMode : Phase::StepMode;
    case kStoredStepMode:
      return Phase::StepMode;
    default:
      return Phase::Terminated;
  }
}

// The section sizes, so that a state of another layout is refused.
struct Layout {
  std::uint32_t sizes[8];
  bool operator==(const Layout &other) const { return std::memcmp(sizes, other.sizes, sizeof sizes) == 0; }
};

Layout expectedLayout(std::size_t modelStateBytes) {
  Layout layout{};
  layout.sizes[0] = sizeof(TimeBase);
  layout.sizes[1] = sizeof(ExtU_Corvanta_T);
  layout.sizes[2] = static_cast<std::uint32_t>(modelStateBytes);
  return layout;
}

constexpr std::size_t kModelStateOffset = kHeaderBytes + sizeof(Layout) + sizeof(TimeBase) + sizeof(ExtU_Corvanta_T);

struct InstanceDeleter {
  void operator()(CorvantaInstance *instance) const { corvanta_instance_free(instance); }
};
using OwnedInstance = std::unique_ptr<CorvantaInstance, InstanceDeleter>;

// One state, unpacked: the FMU's part and the model, restored into an instance of its own.
struct Unpacked {
  TimeBase time;
  ExtU_Corvanta_T inputs;
  OwnedInstance model;
};

bool isFlag(std::uint8_t value) { return value <= 1U; }

bool timeBaseIsPossible(const TimeBase &t, std::string *why) {
  auto reject = [why](const char *reason) {
    if (why != nullptr) {
      *why = reason;
    }
    return false;
  };
  if (!isFlag(t.stopTimeDefined)) {
    return reject("inconsistent contents (index or flag out of range)");
  }
  if (!std::isfinite(t.startTime) || (t.stopTimeDefined == 1U && !(t.stopTime >= t.startTime))) {
    return reject("impossible time base (start time not finite, or stop time before it)");
  }
  // A bound of the stored state itself (a step count that converts to a double exactly), not
  // the length limit of an engine run, though both happen to be 2^53.
  constexpr std::uint64_t kMaxExactSteps = 1ULL << 53;
  if (t.stepsTaken > kMaxExactSteps ||
      !std::isfinite(t.startTime + static_cast<double>(t.stepsTaken) * kInternalStep)) {
    return reject("impossible time base (step count out of range)");
  }
  if (t.phase > kStoredTerminated) {
    return reject("unknown FMI state");
  }
  return true;
}

// The model's state must be one the FMU can be in with that time base: initialisation wires
// the model (before it nothing has stepped; after it the FMU is in event or step mode or
// terminated), and the model's clock counts the FMU's steps.
bool modelMatchesTimeBase(const TimeBase &t, const CorvantaInstance &model, std::string *why) {
  auto reject = [why](const char *reason) {
    if (why != nullptr) {
      *why = reason;
    }
    return false;
  };
  const bool wired = corvanta_instance_is_initialized(&model) != 0;
  const bool beforeInitialisation = t.phase == kStoredInstantiated || t.phase == kStoredInitializationMode;
  const bool afterInitialisation = t.phase == kStoredEventMode || t.phase == kStoredStepMode;
  if ((wired && beforeInitialisation) || (!wired && afterInitialisation) || (!wired && t.stepsTaken != 0)) {
    return reject("the FMI state does not match the model's initialisation");
  }
  double signals[CORVANTA_NUM_SIGNALS];
  corvanta_instance_signals(&model, signals, CORVANTA_NUM_SIGNALS);
  if (!(signals[CORVANTA_SIGNAL_ModelTime] == static_cast<double>(t.stepsTaken) * kInternalStep)) {
    return reject("the model's clock does not match the FMU's time base");
  }
  return true;
}

// Checks a serialised state and unpacks it, the model's state into an instance of `vehicle`
// (nullptr: the built-in car): the vehicle library refuses a state saved from an instance of
// another parameter set.  May throw std::bad_alloc.
bool unpack(const std::uint8_t *bytes, std::size_t size, const CorvantaVehicle *vehicle, Unpacked *s,
            std::string *why) {
  auto reject = [why](const char *reason) {
    if (why != nullptr) {
      *why = reason;
    }
    return false;
  };
  if (bytes == nullptr || size < kHeaderBytes + kChecksumBytes) {
    return reject("too short to be an FMU state of this model");
  }
  if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
    return reject("not an FMU state of this model (wrong magic number)");
  }
  std::uint32_t version = 0;
  std::uint32_t payloadBytes = 0;
  std::memcpy(&version, bytes + 8, 4);
  std::memcpy(&payloadBytes, bytes + 12, 4);
  if (version != kFormatVersion) {
    return reject("unknown state format version");
  }
  if (static_cast<std::size_t>(payloadBytes) != size - kHeaderBytes - kChecksumBytes) {
    return reject("truncated or extended: the length does not match the header");
  }
  char token[kTokenBytes] = {};
  std::strncpy(token, kInstantiationToken, kTokenBytes);
  if (std::memcmp(bytes + 16, token, kTokenBytes) != 0) {
    return reject("state of another model or variable list (instantiation token differs)");
  }
  std::uint32_t stored = 0;
  std::memcpy(&stored, bytes + size - kChecksumBytes, 4);
  if (stored != stateChecksum(bytes, size - kChecksumBytes)) {
    return reject("corrupted: checksum mismatch");
  }
  s->model.reset(corvanta_instance_create(vehicle));
  if (!s->model) {
    throw std::bad_alloc();
  }
  const std::size_t modelBytes = corvanta_instance_state_size(s->model.get());
  Layout layout{};
  if (size != kModelStateOffset + modelBytes + kChecksumBytes) {
    return reject("payload does not have the expected size");
  }
  std::memcpy(&layout, bytes + kHeaderBytes, sizeof layout);
  if (!(layout == expectedLayout(modelBytes))) {
    return reject("state of a build with another record layout");
  }
  std::memcpy(&s->time, bytes + kHeaderBytes + sizeof layout, sizeof s->time);
  std::memcpy(&s->inputs, bytes + kHeaderBytes + sizeof layout + sizeof s->time, sizeof s->inputs);
  if (!timeBaseIsPossible(s->time, why)) {
    return false;
  }
  char reason[160] = "";
  if (corvanta_instance_restore_state(s->model.get(), bytes + kModelStateOffset, modelBytes, reason, sizeof reason) !=
      CORVANTA_STATE_OK) {
    if (why != nullptr) {
      *why = std::string("the model's state: ") + reason;
    }
    return false;
  }
  return modelMatchesTimeBase(s->time, *s->model, why);
}

}  // namespace

std::vector<std::uint8_t> FmuInstance::serializeState() const {
  const std::size_t modelBytes = corvanta_instance_state_size(model_);
  std::vector<std::uint8_t> out(kModelStateOffset + modelBytes + kChecksumBytes, 0);
  std::uint8_t *p = out.data();
  std::memcpy(p, kMagic, sizeof kMagic);
  std::memcpy(p + 8, &kFormatVersion, 4);
  const auto payloadBytes = static_cast<std::uint32_t>(out.size() - kHeaderBytes - kChecksumBytes);
  std::memcpy(p + 12, &payloadBytes, 4);
  std::strncpy(reinterpret_cast<char *>(p + 16), kInstantiationToken, kTokenBytes);
  const Layout layout = expectedLayout(modelBytes);
  std::memcpy(p + kHeaderBytes, &layout, sizeof layout);
  // Padding bytes are zero so that equal states serialise to equal bytes.
  TimeBase time{};
  time.stepsTaken = stepsTaken_;
  time.startTime = startTime_;
  time.stopTimeDefined = stopTimeDefined_ ? 1U : 0U;
  time.stopTime = stopTime_;
  time.phase = storedPhase(phase_);
  std::memcpy(p + kHeaderBytes + sizeof layout, &time, sizeof time);
  std::memcpy(p + kHeaderBytes + sizeof layout + sizeof time, &inputs_, sizeof inputs_);
  corvanta_instance_save_state(model_, p + kModelStateOffset, modelBytes);
  const std::uint32_t checksum = stateChecksum(p, out.size() - kChecksumBytes);
  std::memcpy(p + out.size() - kChecksumBytes, &checksum, 4);
  return out;
}

bool FmuInstance::validateState(const std::uint8_t *bytes, std::size_t size, std::string *why) const {
  Unpacked unpacked{};
  return unpack(bytes, size, modelVehicle_, &unpacked, why);
}

Status FmuInstance::restoreState(const char *function, const std::uint8_t *bytes, std::size_t size) {
  Unpacked s{};
  std::string why;
  if (!unpack(bytes, size, modelVehicle_, &s, &why)) {
    return fail(function, "FMU state rejected: %s", why.c_str());
  }
  corvanta_instance_free(model_);
  model_ = s.model.release();
  stepsTaken_ = s.time.stepsTaken;
  startTime_ = s.time.startTime;
  stopTimeDefined_ = s.time.stopTimeDefined != 0U;
  stopTime_ = s.time.stopTime;
  inputs_ = s.inputs;
  corvanta_instance_set_inputs(model_, &inputs_);
  signalsCurrent_ = false;
  phase_ = restoredPhase(s.time.phase, eventModeUsed_);
  log(LogCategory::Events, Status::OK, "%s: %s at %.17g s", function, phaseName(phase_), time());
  return Status::OK;
}

// ---------------------------------------------------------------------------------------
// The state functions.  Where each is accepted (the FMI 2.0 and 3.0 state tables):
//   GetFMUstate                       instantiated, initialization mode, event and step mode,
//                                     terminated; not in the error state
//   SetFMUstate                       in every state, the error state included (restart from
//                                     a state saved before the error)
//   FreeFMUstate, SerializedFMUstateSize, SerializeFMUstate, DeSerializeFMUstate
//                                     in every state: they touch the states, not the instance
// A handle must be one this instance issued and has not freed (FmuStateRegistry); any other
// value is refused with the error status before anything is read through it.

namespace {

constexpr const char *kNotIssued = "not an FMU state issued by this instance (freed, stale copy or foreign)";

}  // namespace

Status FmuInstance::getState(const char *function, void **state) {
  if (!requirePhase(function, {Phase::Instantiated, Phase::InitializationMode, Phase::EventMode, Phase::StepMode,
                               Phase::Terminated})) {
    return Status::Error;
  }
  if (state == nullptr) {
    return fail(function, "null state pointer");
  }
  if (*state != nullptr && states_.find(*state) == nullptr) {
    return fail(function, "the state to overwrite is %s", kNotIssued);
  }
  try {
    std::vector<std::uint8_t> bytes = serializeState();
    if (*state != nullptr) {
      states_.replace(*state, std::move(bytes));
    } else {
      *state = states_.issue(std::move(bytes));
    }
  } catch (const std::bad_alloc &) {
    return outOfMemory(function);
  }
  return Status::OK;
}

Status FmuInstance::setState(const char *function, void *state) {
  const std::vector<std::uint8_t> *bytes = states_.find(state);
  if (bytes == nullptr) {
    return fail(function, "%s", kNotIssued);
  }
  try {
    return restoreState(function, bytes->data(), bytes->size());
  } catch (const std::bad_alloc &) {
    return outOfMemory(function);
  }
}

Status FmuInstance::freeState(const char *function, void **state) {
  if (state == nullptr || *state == nullptr) {
    return Status::OK;  // nothing to free
  }
  if (!states_.release(*state)) {
    return fail(function, "%s", kNotIssued);
  }
  *state = nullptr;
  return Status::OK;
}

Status FmuInstance::serializedStateSize(const char *function, void *state, std::size_t *size) {
  const std::vector<std::uint8_t> *bytes = states_.find(state);
  if (bytes == nullptr) {
    return fail(function, "%s", kNotIssued);
  }
  if (size == nullptr) {
    return fail(function, "null size pointer");
  }
  *size = bytes->size();
  return Status::OK;
}

Status FmuInstance::serializeStateTo(const char *function, void *state, std::uint8_t *buffer, std::size_t size) {
  const std::vector<std::uint8_t> *bytes = states_.find(state);
  if (bytes == nullptr) {
    return fail(function, "%s", kNotIssued);
  }
  if (buffer == nullptr || size < bytes->size()) {
    return fail(function, "buffer of %lu bytes too small for the state of %lu bytes", static_cast<unsigned long>(size),
                static_cast<unsigned long>(bytes->size()));
  }
  std::memcpy(buffer, bytes->data(), bytes->size());
  return Status::OK;
}

Status FmuInstance::deserializeState(const char *function, const std::uint8_t *buffer, std::size_t size, void **state) {
  // *state is an output only: whatever it holds on entry is neither read nor freed.
  if (state == nullptr) {
    return fail(function, "null state pointer");
  }
  try {
    std::string why;
    if (!validateState(buffer, size, &why)) {
      return fail(function, "serialised state rejected: %s", why.c_str());
    }
    *state = states_.issue(std::vector<std::uint8_t>(buffer, buffer + size));
  } catch (const std::bad_alloc &) {
    return outOfMemory(function);
  }
  return Status::OK;
}

}  // namespace corvanta_fmi
