// libFuzzer target: the FMI 2.0 and 3.0 functions of the FMUs, linked in (the FMU binaries'
// sources), with arbitrary serialised states and call sequences.
//
// Input: byte 0 chooses the FMI version (bit 0: 2.0 or 3.0) and the mode (bits 1-2):
//   0  raw bytes: the rest of the input is handed to DeSerializeFMUstate;
//   1  edited state: a valid state of a short run, with (offset, xor) byte pairs from the
//      input applied and the CRC-32 made correct again, into DeSerializeFMUstate;
//   2, 3  a call sequence on one instance: op bytes and their arguments until the input ends.
// An accepted state is set and stepped.
//
// Checked besides the sanitizers' own checks:
//   - a refused call (the error status) leaves the instance in the error state: DoStep is
//     refused until SetFMUstate restores a state or Reset;
//   - a status query the FMU cannot answer is a Discard that leaves the instance usable;
//   - a handle that was freed, or never issued, is refused, never followed.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fmi/Fmi2Api.h"
#include "fmi/Fmi3Api.h"
#include "fmi/FmuIdentity.h"

// Both versions' statuses have the same numbering: one expression picks either.
#pragma clang diagnostic ignored "-Wenum-compare-conditional"

namespace {

constexpr int kOK = 0;
constexpr int kDiscard = 2;
constexpr int kError = 3;
constexpr int kMaxStepsPerCall = 40;  // internal steps per DoStep: keeps every input cheap

void ignoreLog2(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String, ...) {}
void ignoreLog3(fmi3InstanceEnvironment, fmi3Status, fmi3String, fmi3String) {}

void require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

// One instance of either version behind one set of calls.
class Instance {
 public:
  explicit Instance(int version) : version_(version) {
    if (version_ == 2) {
      static const fmi2CallbackFunctions callbacks = {ignoreLog2, nullptr, nullptr, nullptr, nullptr};
      handle_ = fmi2Instantiate("fuzz", fmi2CoSimulation, corvanta_fmi::kInstantiationToken, "", &callbacks, fmi2False,
                                fmi2False);
    } else {
      handle_ = fmi3InstantiateCoSimulation("fuzz", corvanta_fmi::kInstantiationToken, nullptr, false, false, false,
                                            false, nullptr, 0, nullptr, ignoreLog3, nullptr);
    }
    require(handle_ != nullptr);
  }
  ~Instance() {
    if (version_ == 2) {
      fmi2FreeInstance(handle_);
    } else {
      fmi3FreeInstance(handle_);
    }
  }
  Instance(const Instance &) = delete;
  Instance &operator=(const Instance &) = delete;

  int enterInitialization(double start) {
    if (version_ == 2) {
      const int s = fmi2SetupExperiment(handle_, fmi2False, 0.0, start, fmi2False, 0.0);
      return s != kOK ? s : fmi2EnterInitializationMode(handle_);
    }
    return fmi3EnterInitializationMode(handle_, false, 0.0, start, false, 0.0);
  }
  int exitInitialization() {
    return version_ == 2 ? fmi2ExitInitializationMode(handle_) : fmi3ExitInitializationMode(handle_);
  }
  int doStep(double t, double h) {
    if (version_ == 2) {
      return fmi2DoStep(handle_, t, h, fmi2True);
    }
    bool event = false, terminate = false, early = false;
    double last = 0.0;
    return fmi3DoStep(handle_, t, h, true, &event, &terminate, &early, &last);
  }
  int setReal(unsigned vr, double value) {
    return version_ == 2 ? fmi2SetReal(handle_, &vr, 1, &value) : fmi3SetFloat64(handle_, &vr, 1, &value, 1);
  }
  int getReal(unsigned vr, double *value) {
    return version_ == 2 ? fmi2GetReal(handle_, &vr, 1, value) : fmi3GetFloat64(handle_, &vr, 1, value, 1);
  }
  int terminate() { return version_ == 2 ? fmi2Terminate(handle_) : fmi3Terminate(handle_); }
  int reset() { return version_ == 2 ? fmi2Reset(handle_) : fmi3Reset(handle_); }
  int getState(void **state) {
    return version_ == 2 ? fmi2GetFMUstate(handle_, state) : fmi3GetFMUState(handle_, state);
  }
  int setState(void *state) {
    return version_ == 2 ? fmi2SetFMUstate(handle_, state) : fmi3SetFMUState(handle_, state);
  }
  int freeState(void **state) {
    return version_ == 2 ? fmi2FreeFMUstate(handle_, state) : fmi3FreeFMUState(handle_, state);
  }
  int serialize(void *state, std::vector<std::uint8_t> *bytes) {
    std::size_t size = 0;
    const int s = version_ == 2 ? fmi2SerializedFMUstateSize(handle_, state, &size)
                                : fmi3SerializedFMUStateSize(handle_, state, &size);
    if (s != kOK) {
      return s;
    }
    bytes->assign(size, 0);
    return version_ == 2 ? fmi2SerializeFMUstate(handle_, state, reinterpret_cast<fmi2Byte *>(bytes->data()), size)
                         : fmi3SerializeFMUState(handle_, state, bytes->data(), size);
  }
  int deserialize(const std::uint8_t *bytes, std::size_t size, void **state) {
    return version_ == 2 ? fmi2DeSerializeFMUstate(handle_, reinterpret_cast<const fmi2Byte *>(bytes), size, state)
                         : fmi3DeserializeFMUState(handle_, bytes, size, state);
  }
  int statusQuery() {
    if (version_ == 2) {
      fmi2Status value = fmi2OK;
      return fmi2GetStatus(handle_, fmi2DoStepStatus, &value);
    }
    double value = 0.0;
    return fmi3GetDirectionalDerivative(handle_, nullptr, 0, nullptr, 0, nullptr, 0, &value, 0);
  }
  int version() const { return version_; }

 private:
  int version_;
  void *handle_ = nullptr;
};

class Bytes {
 public:
  Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
  bool empty() const { return position_ >= size_; }
  std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
  double number() {
    // Mostly small values a host would send, sometimes any bit pattern.
    const std::uint8_t kind = byte();
    if (kind < 200) {
      return (static_cast<double>(kind) - 100.0) / 20.0;
    }
    std::uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) {
      bits |= static_cast<std::uint64_t>(byte()) << (8 * k);
    }
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

 private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

std::uint32_t crc32(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFU;
  for (std::size_t k = 0; k < size; ++k) {
    crc ^= data[k];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
    }
  }
  return ~crc;
}

// A valid serialised state of a short run, one per version.
const std::vector<std::uint8_t> &validState(int version) {
  static std::vector<std::uint8_t> states[2];
  std::vector<std::uint8_t> &bytes = states[version - 2];
  if (bytes.empty()) {
    Instance fmu(version);
    require(fmu.enterInitialization(0.0) == kOK && fmu.setReal(1, 1.0) == kOK && fmu.setReal(3, 0.05) == kOK &&
            fmu.setReal(8, 8.0) == kOK && fmu.exitInitialization() == kOK);
    require(fmu.doStep(0.0, 0.005) == kOK);
    void *state = nullptr;
    require(fmu.getState(&state) == kOK && fmu.serialize(state, &bytes) == kOK && fmu.freeState(&state) == kOK);
  }
  return bytes;
}

// A deserialised state that was accepted must be settable and steppable.
void setAndStep(Instance &fmu, void *state) {
  if (fmu.setState(state) != kOK) {
    return;
  }
  double t = 0.0;
  fmu.getReal(0, &t);
  double value = 0.0;
  for (unsigned vr = 0; vr <= 43; ++vr) {
    fmu.getReal(vr, &value);
  }
  fmu.doStep(t, 10 * corvanta_fmi::kInternalStep);
}

void fuzzState(int version, const std::uint8_t *data, std::size_t size, bool edited) {
  Instance fmu(version);
  std::vector<std::uint8_t> bytes;
  if (edited) {
    bytes = validState(version);
    Bytes edits(data, size);
    while (!edits.empty()) {
      const std::size_t offset =
          (static_cast<std::size_t>(edits.byte()) | (static_cast<std::size_t>(edits.byte()) << 8)) % (bytes.size() - 4);
      bytes[offset] ^= edits.byte();
    }
    const std::uint32_t crc = crc32(bytes.data(), bytes.size() - 4);
    std::memcpy(bytes.data() + bytes.size() - 4, &crc, 4);
  } else {
    bytes.assign(data, data + size);
  }
  void *state = reinterpret_cast<void *>(static_cast<std::uintptr_t>(0xDEADBEEF));  // stale on entry
  const int status = fmu.deserialize(bytes.data(), bytes.size(), &state);
  if (status == kOK) {
    setAndStep(fmu, state);
    require(fmu.freeState(&state) == kOK && state == nullptr);
  }
}

void fuzzCalls(int version, const std::uint8_t *data, std::size_t size) {
  Instance fmu(version);
  Bytes in(data, size);
  std::vector<void *> states;  // issued, possibly freed since (stale copies stay)
  std::vector<bool> live;
  bool errored = false;
  double t = 0.0;
  auto track = [&errored](int status) {
    if (status == kError) {
      errored = true;
    }
    return status;
  };
  for (int calls = 0; !in.empty() && calls < 64; ++calls) {
    const std::uint8_t op = in.byte();
    switch (op % 14) {
      case 0:
        track(fmu.enterInitialization(in.number()));
        break;
      case 1:
        track(fmu.exitInitialization());
        break;
      case 2:
        track(fmu.setReal(in.byte() % 48, in.number()));
        break;
      case 3: {
        const int steps = 1 + in.byte() % kMaxStepsPerCall;
        const double offset = (in.byte() % 8 == 0) ? in.number() * corvanta_fmi::kInternalStep : 0.0;
        const int status = fmu.doStep(t + offset, steps * corvanta_fmi::kInternalStep);
        if (errored) {
          require(status == kError);  // the error state steps no more
        }
        track(status);
        if (status == kOK) {
          t += steps * corvanta_fmi::kInternalStep;
        }
        break;
      }
      case 4: {
        double value = 0.0;
        fmu.getReal(in.byte() % 48, &value);
        break;
      }
      case 5: {
        void *state = nullptr;
        if (track(fmu.getState(&state)) == kOK) {
          states.push_back(state);
          live.push_back(true);
        }
        break;
      }
      case 6:
        if (!states.empty()) {
          const std::size_t k = in.byte() % states.size();
          const int status = fmu.setState(states[k]);
          if (live[k]) {
            require(status == kOK || status == kError);
          } else {
            require(status == kError);  // freed: refused, not followed
          }
          track(status);
          if (status == kOK) {
            errored = false;
            fmu.getReal(0, &t);
          }
        }
        break;
      case 7:
        if (!states.empty()) {
          const std::size_t k = in.byte() % states.size();
          void *copy = states[k];  // the caller's copy; the registry decides
          const int status = fmu.freeState(&copy);
          require(live[k] ? status == kOK : status == kError);
          track(status);
          live[k] = false;
        }
        break;
      case 8:
        if (!states.empty()) {
          const std::size_t k = in.byte() % states.size();
          std::vector<std::uint8_t> bytes;
          if (track(fmu.serialize(states[k], &bytes)) == kOK) {
            void *copy = nullptr;
            if (track(fmu.deserialize(bytes.data(), bytes.size(), &copy)) == kOK) {
              states.push_back(copy);
              live.push_back(true);
            }
          }
        }
        break;
      case 9:
        track(fmu.terminate());
        break;
      case 10:
        require(fmu.reset() == kOK);
        errored = false;
        t = 0.0;
        break;
      case 11: {
        const int status = fmu.statusQuery();
        if (version == 2) {
          require(status == kDiscard || status == kError);
          track(status);
        } else {
          // A function the FMU does not provide: refused, the instance left as it was.
          require(status == kError);
        }
        break;
      }
      case 12: {
        // A pointer this instance never issued.
        double notAState[8] = {};
        require(fmu.setState(notAState) == kError);
        errored = true;
        break;
      }
      default:
        fuzzState(version, data, size, true);
        break;
    }
  }
  for (std::size_t k = 0; k < states.size(); ++k) {
    if (live[k]) {
      require(fmu.freeState(&states[k]) == kOK);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const int version = (data[0] & 1U) != 0 ? 3 : 2;
  const int mode = (data[0] >> 1) & 3;
  if (mode == 0) {
    fuzzState(version, data + 1, size - 1, false);
  } else if (mode == 1) {
    fuzzState(version, data + 1, size - 1, true);
  } else {
    fuzzCalls(version, data + 1, size - 1);
  }
  return 0;
}
