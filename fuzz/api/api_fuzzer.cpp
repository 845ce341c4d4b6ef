// libFuzzer target: arbitrary sequences of the seven C functions on several instances,
// with arbitrary input records.
//
// Input format, one command after another until the bytes run out:
//   op byte: bits 0-2 the call, bits 3-4 the instance slot (0..3)
//     0 CreateVehicleModel (a slot in use is deleted first)
//     1 DeleteVehicleModel
//     2 Initialize
//     3 SetInputs with the next 64 bytes as the whole record (missing bytes are zero)
//     4 Step, 1 + (next byte mod 16) times
//     5 GetOutputs
//     6 Terminate
//     7 SetInputs after changing field (next byte mod 8) to the next 8 bytes
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
//     after every Step.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Corvanta.h"
#include "corvanta.h"

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

[[noreturn]] void fail(const char *what) {
  std::fprintf(stderr, "api_fuzzer: %s\n", what);
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
  const bool same = trace.hash == slot.trace.hash &&
                    std::memcmp(GetOutputs(handle), slot.outputs, sizeof(ExtY_Corvanta_T)) == 0;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  Slot slots[kSlots];
  startSequence(slots);
  Reader in(data, size);
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
