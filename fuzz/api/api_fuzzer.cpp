// libFuzzer target: arbitrary sequences of the seven C functions on several instances,
// with arbitrary input records, and of the vehicle library's parameter-set, instance,
// signal and state functions.
//
// Input format, one command after another until the bytes run out:
//   op byte below 32: bits 0-2 the call, bits 3-4 the instance slot (0..3)
//     0 CreateVehicleModel (a slot in use is deleted first)
//     1 DeleteVehicleModel
//     2 Initialize
//     3 SetInputs with the next 64 bytes as the whole record (missing bytes are zero)
//     4 Step, 1 + (next byte mod 16) times
//     5 GetOutputs
//     6 Terminate
//     7 SetInputs after changing field (next byte mod 8) to the next 8 bytes
//   op byte from 32 on: the vehicle library (vehicle.h below), bits 5-7 the call
//     1 set one value of a parameter of the set: parameter (next 2 bytes), element (next
//       byte), value (next 8 bytes)
//     2 a new instance of the set as it is now (NULL exactly when the set has problems)
//     3 SetInputs of the instance with the next 64 bytes, or Initialize (bit 0 of op)
//     4 Step, 1 + (next byte mod 16) times
//     5 copy the first (next byte) signals
//     6 save the state, restore it into a new instance of the same set, and step both
//       (next byte mod 8 steps); then restore it into the first and step again
//     7 save the state, change one byte (offset: next 2 bytes; xor: next byte, odd) and
//       restore that
//   (at most kParameterChanges changes and kStateCommands state commands per input; more
//   are passed over)
// The four slots start as new instances (each created when first used).  The commands form
// short sequences: when a sequence has used its kSequenceSteps steps, every slot is checked
// and released and the next command starts a new sequence on four new instances, up to
// kSequences per input.
// Short sequences keep every input cheap (the model steps, and each is replayed once),
// so the fuzzer tries many more call orders per second.
//
// Checked on every input, besides the sanitizers' own checks:
//   - after every Step, TipOverIndicator is -1, 0, +1 or NaN and the transport delay's
//     indices lie in [0, 1023];
//   - GetOutputs returns the same pointer for the life of an instance;
//   - Initialize on an instance holding a non-finite state leaves it exactly as a new
//     instance after Initialize with the same inputs;
//   - replaying an instance's own calls on a new instance gives the same output bits
//     after every Step;
//   - the vehicle library: an instance is made exactly from a set without problems; the
//     signals copied are as many as asked (at most the list's), the first seven the output
//     record's bits after a Step; a saved state restored into a new instance continues
//     with the same output and signal bits as the instance it came from, and restored into
//     that instance repeats them; a changed byte is refused (the CRC sees every one) and
//     leaves the instance exactly as it was.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "model/Corvanta.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

constexpr int kSlots = 4;
// Bounds the work of one input so that every input runs in well under a millisecond.
constexpr int kSequenceSteps = 16;
constexpr int kSequences = 3;

enum Call : std::uint8_t { kCreate, kDelete, kInitialize, kSetAll, kStep, kGetOutputs, kTerminate, kSetField };

struct Command {
  Call call;
  int steps;
  ExtU_Corvanta_T inputs;
};

// FNV-1a over the bytes of the output record after each Step.
struct OutputTrace {
  std::uint64_t hash = 1469598103934665603ULL;
  void add(const ExtY_Corvanta_T &y) {
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(&y);
    for (std::size_t k = 0; k < sizeof y; ++k) {
      hash = (hash ^ bytes[k]) * 1099511628211ULL;
    }
  }
};

struct Slot {
  bool pending = false;  // stands for a new instance, created when the slot is first used
  void *handle = nullptr;
  const ExtY_Corvanta_T *outputs = nullptr;
  ExtU_Corvanta_T inputs{};
  std::vector<Command> history;
  OutputTrace trace;
};

[[noreturn]] void fail(const char *what, const char *detail = "") {
  std::fprintf(stderr, "api_fuzzer: %s%s%s\n", what, *detail ? ": " : "", detail);
  std::abort();
}

Corvanta &model(void *handle) { return *static_cast<Corvanta *>(handle); }

void checkAfterStep(void *handle) {
  const Corvanta &m = model(handle);
  const double tip = m.Y.TipOverIndicator;
  if (!(tip == -1.0 || tip == 0.0 || tip == 1.0 || std::isnan(tip))) {
    fail("TipOverIndicator is not -1, 0, +1 or NaN");
  }
  const std::int32_t indices[] = {m.DW.TransportDelayTail, m.DW.TransportDelayHead, m.DW.TransportDelayLast};
  for (std::int32_t index : indices) {
    if (index < 0 || index >= kTransportDelayEntries) {
      fail("transport-delay index out of range");
    }
  }
}

void checkRestartedAsNew(void *handle) {
  Corvanta &restarted = model(handle);
  Corvanta fresh;
  fresh.setExternalInputs(&restarted.U);
  fresh.initialize();
  const bool same = std::memcmp(&restarted.X, &fresh.X, sizeof fresh.X) == 0 &&
                    std::memcmp(&restarted.Y, &fresh.Y, sizeof fresh.Y) == 0 &&
                    std::memcmp(&restarted.B, &fresh.B, sizeof fresh.B) == 0 &&
                    std::memcmp(restarted.DW.TransportDelayBuffer, fresh.DW.TransportDelayBuffer,
                                sizeof fresh.DW.TransportDelayBuffer) == 0 &&
                    restarted.DW.GearState == fresh.DW.GearState &&
                    restarted.DW.TurbineSpeedPrevState == fresh.DW.TurbineSpeedPrevState &&
                    restarted.DW.ImpellerTorquePrevState == fresh.DW.ImpellerTorquePrevState &&
                    restarted.DW.GearPrevState == fresh.DW.GearPrevState &&
                    restarted.DW.ShiftState == fresh.DW.ShiftState && restarted.DW.ShiftTimer == fresh.DW.ShiftTimer &&
                    restarted.M.ticks == fresh.M.ticks && restarted.M.modelTime == fresh.M.modelTime;
  if (!same) {
    fail("Initialize did not restart a poisoned instance as a new one");
  }
}

// Applies one call to an instance (handle may be NULL: every function must accept it).
void apply(const Command &c, void *handle, OutputTrace &trace) {
  switch (c.call) {
    case kInitialize:
      if (handle != nullptr && model(handle).holdsNonFiniteState()) {
        Initialize(handle);
        checkRestartedAsNew(handle);
      } else {
        Initialize(handle);
      }
      break;
    case kSetAll:
    case kSetField:
      SetInputs(handle, &c.inputs);
      break;
    case kStep:
      for (int k = 0; k < c.steps; ++k) {
        Step(handle);
        if (handle != nullptr) {
          checkAfterStep(handle);
          trace.add(*GetOutputs(handle));
        }
      }
      break;
    case kTerminate:
      Terminate(handle);
      break;
    default:
      break;
  }
}

// Replays an instance's calls on a new instance; its outputs must be the same bits.
void checkReplay(const Slot &slot) {
  void *handle = CreateVehicleModel();
  if (handle == nullptr) {
    return;
  }
  OutputTrace trace;
  for (const Command &c : slot.history) {
    apply(c, handle, trace);
  }
  const bool same =
      trace.hash == slot.trace.hash && std::memcmp(GetOutputs(handle), slot.outputs, sizeof(ExtY_Corvanta_T)) == 0;
  DeleteVehicleModel(handle);
  if (!same) {
    fail("replay on a new instance gave different output bits");
  }
}

void create(Slot &slot) {
  slot = Slot();
  slot.handle = CreateVehicleModel();
  slot.outputs = GetOutputs(slot.handle);
}

void release(Slot &slot) {
  if (slot.handle != nullptr) {
    checkReplay(slot);
    DeleteVehicleModel(slot.handle);
  }
  slot = Slot();
}

class Reader {
 public:
  Reader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return pos_ >= size_; }
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Copies up to n bytes into out; missing bytes stay as they were.
  void bytes(void *out, std::size_t n) {
    const std::size_t take = (size_ - pos_ < n) ? size_ - pos_ : n;
    std::memcpy(out, data_ + pos_, take);
    pos_ += take;
  }

 private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A slot that stands for a new instance gets one when it is used (creating an instance
// is a large part of a short sequence's cost, and most sequences use few slots).
Slot &used(Slot &slot) {
  if (slot.pending) {
    create(slot);
  }
  return slot;
}

void startSequence(Slot (&slots)[kSlots]) {
  for (Slot &slot : slots) {
    release(slot);
    slot.pending = true;
  }
}

// ---- The vehicle library ----

// Work of the vehicle-library commands per input: steps (each round trip steps three
// times), parameter changes (each followed by a full validation when an instance is made,
// the check of the set's own validity) and state commands (each saves and restores states,
// checksummed whole), so that an input stays cheap.
constexpr int kVehicleSteps = 24;
constexpr int kParameterChanges = 1;
constexpr int kStateCommands = 1;

struct Bits {
  std::vector<unsigned char> bytes;
  bool operator==(const Bits &other) const { return bytes == other.bytes; }
};

// The output record and every signal of an instance, as bytes.
Bits observe(const CorvantaInstance *instance) {
  Bits seen;
  const auto *y = reinterpret_cast<const unsigned char *>(corvanta_instance_outputs(instance));
  seen.bytes.assign(y, y + sizeof(ExtY_Corvanta_T));
  double signals[CORVANTA_NUM_SIGNALS];
  if (corvanta_instance_signals(instance, signals, CORVANTA_NUM_SIGNALS) != CORVANTA_NUM_SIGNALS) {
    fail("corvanta_instance_signals wrote fewer than all signals");
  }
  const auto *s = reinterpret_cast<const unsigned char *>(signals);
  seen.bytes.insert(seen.bytes.end(), s, s + sizeof signals);
  return seen;
}

std::vector<unsigned char> saved(const CorvantaInstance *instance) {
  std::vector<unsigned char> state(corvanta_instance_state_size(instance));
  if (state.empty() || corvanta_instance_save_state(instance, state.data(), state.size()) != CORVANTA_STATE_OK) {
    fail("an instance's state could not be saved");
  }
  return state;
}

// The built-in set, made once.
const CorvantaVehicle *builtinSet() {
  static CorvantaVehicle *const set = corvanta_vehicle_create_builtin();
  return set;
}

class VehicleSession {
 public:
  VehicleSession() = default;
  ~VehicleSession() {
    corvanta_instance_free(instance_);
    corvanta_vehicle_free(instanceSet_);
    corvanta_vehicle_free(set_);
  }
  VehicleSession(const VehicleSession &) = delete;
  VehicleSession &operator=(const VehicleSession &) = delete;

  void command(std::uint8_t op, Reader &in) {
    if (set_ == nullptr) {
      set_ = corvanta_vehicle_copy(builtinSet());
      if (set_ == nullptr) {
        fail("the built-in set could not be copied");
      }
    }
    switch (op >> 5) {
      case 1:
        if (parameterChangesLeft_ > 0) {
          --parameterChangesLeft_;
          setParameter(in);
        }
        break;
      case 2:
        makeInstance();
        break;
      case 3:
        if ((op & 1) != 0) {
          corvanta_instance_initialize(instance());
          stepped_ = false;
        } else {
          std::memset(&inputs_, 0, sizeof inputs_);
          in.bytes(&inputs_, sizeof inputs_);
          corvanta_instance_set_inputs(instance(), &inputs_);
        }
        break;
      case 4:
        step(instance(), 1 + in.byte() % 16);
        break;
      case 5:
        copySignals(in.byte());
        break;
      case 6:
        if (stateCommandsLeft_ > 0) {
          --stateCommandsLeft_;
          roundTrip(in.byte() % 8);
        }
        break;
      default:
        if (stateCommandsLeft_ > 0) {
          --stateCommandsLeft_;
          corrupt(in);
        }
        break;
    }
  }

 private:
  CorvantaInstance *instance() {
    if (instance_ == nullptr) {
      makeInstance();
    }
    return instance_;
  }

  void step(CorvantaInstance *instance, int steps) {
    if (instance == nullptr) {
      return;
    }
    for (int k = 0; k < steps && stepsLeft_ > 0; ++k, --stepsLeft_) {
      corvanta_instance_step(instance);
      stepped_ = true;
    }
  }

  void setParameter(Reader &in) {
    CorvantaParameterInfo info;
    const std::size_t index =
        (in.byte() | (static_cast<std::size_t>(in.byte()) << 8)) % corvanta_vehicle_parameter_count();
    if (corvanta_vehicle_parameter_info(index, &info) != 0) {
      fail("corvanta_vehicle_parameter_info refused an index below the count");
    }
    // A tyre coefficient of one axle, or of both (given the front's values).
    const std::uint8_t element = in.byte();
    std::string name = info.name;
    std::string source = name;
    if (info.kind == CORVANTA_PARAMETER_TYRE) {
      source = std::string(element % 2 == 0 ? "FrontTyre." : "RearTyre.") + info.name;
      name = element % 4 == 3 ? name : source;
    }
    std::vector<double> values(info.count);
    std::size_t count = 0;
    if (corvanta_vehicle_get(set_, source.c_str(), values.data(), values.size(), &count) != 0 || count != info.count ||
        count == 0) {
      fail("corvanta_vehicle_get refused a listed parameter", source.c_str());
    }
    in.bytes(&values[element % count], sizeof(double));
    char error[256];
    if (corvanta_vehicle_set(set_, name.c_str(), values.data(), count, error, sizeof error) != 0) {
      fail("corvanta_vehicle_set refused its own count of values", error);
    }
    changed_ = true;
    modified_ = true;
  }

  void makeInstance() {
    corvanta_instance_free(instance_);
    corvanta_vehicle_free(instanceSet_);
    // A full validation (it reads every value) only after a change: the built-in set has no
    // problem.  It checks the validity the set keeps from change to change.
    if (changed_) {
      char report[64];
      valid_ = corvanta_vehicle_validate(set_, report, sizeof report) == 0;
      changed_ = false;
    }
    // An unchanged set makes its instances as the built-in car (NULL): their states carry
    // the built-in identity, computed once, where a changed set's is hashed from all its
    // values (once per change).
    instanceSet_ = modified_ ? corvanta_vehicle_copy(set_) : nullptr;
    instance_ = corvanta_instance_create(instanceSet_);
    if ((instance_ != nullptr) != valid_) {
      fail(valid_ ? "a set without problems made no instance" : "a set with problems made an instance");
    }
    stepped_ = false;
  }

  void copySignals(std::uint8_t asked) {
    if (instance() == nullptr) {
      return;
    }
    double signals[CORVANTA_NUM_SIGNALS + 8];
    const std::size_t wrote = corvanta_instance_signals(instance_, signals, asked);
    if (wrote != std::min<std::size_t>(asked, CORVANTA_NUM_SIGNALS)) {
      fail("corvanta_instance_signals wrote another count than asked");
    }
    if (stepped_ && wrote >= 7) {
      const double *y = reinterpret_cast<const double *>(corvanta_instance_outputs(instance_));
      if (std::memcmp(signals, y, 7 * sizeof(double)) != 0) {
        fail("the first seven signals are not the outputs");
      }
    }
  }

  void roundTrip(int steps) {
    if (instance() == nullptr) {
      return;
    }
    const std::vector<unsigned char> state = saved(instance_);
    CorvantaInstance *other = corvanta_instance_create(instanceSet_);
    if (other == nullptr) {
      fail("the instance's own set made no second instance");
    }
    char reason[256];
    if (corvanta_instance_restore_state(other, state.data(), state.size(), reason, sizeof reason) !=
        CORVANTA_STATE_OK) {
      fail("a saved state was refused by an instance of the same set", reason);
    }
    if (!(observe(other) == observe(instance_))) {
      fail("a restored instance shows other bits than the saved one");
    }
    const int budget = stepsLeft_;
    step(instance_, steps);
    const Bits first = observe(instance_);
    stepsLeft_ = budget;
    step(other, steps);
    if (!(observe(other) == first)) {
      fail("a restored instance did not continue as the saved one");
    }
    corvanta_instance_free(other);
    if (corvanta_instance_restore_state(instance_, state.data(), state.size(), reason, sizeof reason) !=
        CORVANTA_STATE_OK) {
      fail("an instance refused its own saved state", reason);
    }
    stepsLeft_ = budget;
    step(instance_, steps);
    if (!(observe(instance_) == first)) {
      fail("an instance restored to its saved state did not repeat its continuation");
    }
  }

  void corrupt(Reader &in) {
    if (instance() == nullptr) {
      return;
    }
    const std::vector<unsigned char> before = saved(instance_);
    std::vector<unsigned char> state = before;
    const std::size_t offset = (in.byte() | (static_cast<std::size_t>(in.byte()) << 8)) % state.size();
    state[offset] ^= static_cast<unsigned char>(in.byte() | 1);
    const Bits seen = observe(instance_);
    char reason[256];
    if (corvanta_instance_restore_state(instance_, state.data(), state.size(), reason, sizeof reason) ==
        CORVANTA_STATE_OK) {
      fail("a state with a changed byte was restored");
    }
    if (saved(instance_) != before || !(observe(instance_) == seen)) {
      fail("a refused state changed the instance");
    }
  }

  CorvantaVehicle *set_ = nullptr;  // copied from the built-in set at the first command
  bool changed_ = false;            // since the last validation
  bool modified_ = false;           // since the session began
  bool valid_ = true;
  CorvantaVehicle *instanceSet_ = nullptr;  // the set as the instance was made from it (NULL: built-in)
  CorvantaInstance *instance_ = nullptr;
  ExtU_Corvanta_T inputs_{};
  bool stepped_ = false;
  int stepsLeft_ = kVehicleSteps;
  int parameterChangesLeft_ = kParameterChanges;
  int stateCommandsLeft_ = kStateCommands;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  Slot slots[kSlots];
  startSequence(slots);
  Reader in(data, size);
  VehicleSession vehicle;
  int stepsLeft = kSequenceSteps;
  int sequencesLeft = kSequences - 1;
  while (!in.done()) {
    if (stepsLeft == 0) {
      if (sequencesLeft-- == 0) {
        break;
      }
      startSequence(slots);
      stepsLeft = kSequenceSteps;
    }
    const std::uint8_t op = in.byte();
    if (op >= 32) {
      vehicle.command(op, in);
      continue;
    }
    const auto call = static_cast<Call>(op & 7);
    if (call == kCreate || call == kDelete) {
      Slot &slot = slots[(op >> 3) & 3];
      release(slot);
      if (call == kCreate) {
        create(slot);
      }
      continue;
    }
    Slot &slot = used(slots[(op >> 3) & 3]);
    Command c{call, 0, slot.inputs};
    switch (c.call) {
      case kSetAll:
        std::memset(&c.inputs, 0, sizeof c.inputs);
        in.bytes(&c.inputs, sizeof c.inputs);
        break;
      case kSetField: {
        double *fields = reinterpret_cast<double *>(&c.inputs);
        in.bytes(&fields[in.byte() % CORVANTA_NUM_INPUTS], sizeof(double));
        break;
      }
      case kStep:
        c.steps = 1 + in.byte() % 16;
        if (c.steps > stepsLeft) {
          c.steps = stepsLeft;
        }
        stepsLeft -= c.steps;
        break;
      case kGetOutputs:
        if (GetOutputs(slot.handle) != slot.outputs) {
          fail("GetOutputs returned another pointer");
        }
        continue;
      default:
        break;
    }
    if (c.call == kSetAll || c.call == kSetField) {
      slot.inputs = c.inputs;
    }
    apply(c, slot.handle, slot.trace);
    if (slot.handle != nullptr) {
      slot.history.push_back(c);
    }
  }
  for (Slot &slot : slots) {
    release(slot);
  }
  return 0;
}
