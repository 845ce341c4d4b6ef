// Saved states of an instance: the records of the model in a self-checking envelope, and the
// copy of one instance into another.
//
//   offset  size  content
//   0       8     magic "CRVINSTS"
//   8       4     format version (kFormatVersion)
//   12      4     payload byte count (everything between the header and the checksum)
//   16      8     identity of the parameter set (parameterIdentityOf)
//   24      28    byte sizes of the seven sections, in their order
//   52      n     sections: inputs, outputs, block signals, continuous states, values of the
//                 last evaluation, discrete states, time base and integrator
//   52 + n  4     CRC-32 (IEEE 802.3) of bytes 0 .. 52 + n - 1
//
// Numbers in the machine's byte order.  References held by the model (the solver's view of
// its own records, the delay buffer) are not stored but wired afresh to the restoring
// instance; the caches that only save work are emptied.  A state is checked completely
// before anything of the instance changes.
#include "vehicle/InstanceState.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "vehicle/Instance.h"
#include "vehicle/ParameterIdentity.h"
#include "vehicle/StateChecksum.h"

namespace {

constexpr char kMagic[8] = {'C', 'R', 'V', 'I', 'N', 'S', 'T', 'S'};
constexpr std::uint32_t kFormatVersion = 1;
constexpr int kSections = 7;
constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + 8 + 4 * kSections;
constexpr std::size_t kChecksumBytes = 4;

// The values of the real-time model record and of the solver wiring; the rest of that record
// is references.
struct TimeBase {
  double savedStates[kNumContStates];
  double stageDerivatives[4][kNumContStates];
  std::uint64_t ticks;
  double stepSize;
  double tStart;
  double modelTime;
  double stopTime;
  std::int32_t timeStepKind;
  std::uint8_t firstInitCond;
  std::uint8_t stopRequested;
  std::uint8_t wired;         // initialize() has run: the references are to be set
  std::int8_t derivativeRow;  // the stage row derivativeBuffer points at, -1 for none
};

constexpr std::uint32_t kSectionBytes[kSections] = {
    sizeof(ExtU_Corvanta_T),
    sizeof(ExtY_Corvanta_T),
    sizeof(Signals_Corvanta_T),
    sizeof(ContStates_Corvanta_T),
    sizeof(Evaluation),
    7 * 8 + 2 * kTransportDelayEntries * 8 + 4 * 4 + 10 + 1,
    (kNumContStates + 4 * kNumContStates) * 8 + 8 + 4 * 8 + 4 + 4,
};

constexpr std::size_t payloadBytes() {
  std::size_t total = 0;
  for (std::uint32_t bytes : kSectionBytes) {
    total += bytes;
  }
  return total;
}

constexpr std::size_t kStateBytes = kHeaderBytes + payloadBytes() + kChecksumBytes;

// Writes into a buffer of kStateBytes, or reads from one, field by field: the same transfer
// code gives both directions, so that the two cannot disagree.
class Writer {
 public:
  explicit Writer(std::uint8_t *out) : out_(out) {}
  template <typename T>
  void field(const T &value) {
    std::memcpy(out_ + position_, &value, sizeof(T));
    position_ += sizeof(T);
  }
  template <typename T>
  void array(const T *values, std::size_t count) {
    std::memcpy(out_ + position_, values, count * sizeof(T));
    position_ += count * sizeof(T);
  }
  std::size_t position() const { return position_; }

 private:
  std::uint8_t *out_;
  std::size_t position_ = 0;
};

class Reader {
 public:
  explicit Reader(const std::uint8_t *in) : in_(in) {}
  template <typename T>
  void field(T &value) {
    std::memcpy(static_cast<void *>(&value), in_ + position_, sizeof(T));
    position_ += sizeof(T);
  }
  template <typename T>
  void array(T *values, std::size_t count) {
    std::memcpy(static_cast<void *>(values), in_ + position_, count * sizeof(T));
    position_ += count * sizeof(T);
  }
  std::size_t position() const { return position_; }

 private:
  const std::uint8_t *in_;
  std::size_t position_ = 0;
};

// The records of one state; the model's own records when saving, a staging copy when
// restoring.
struct Records {
  ExtU_Corvanta_T U;
  ExtY_Corvanta_T Y;
  Signals_Corvanta_T B;
  ContStates_Corvanta_T X;
  Evaluation E;
  DiscStates_Corvanta_T DW;
  TimeBase time;
  std::uint8_t delayWired;
};

template <typename IO, typename R>
void transferSections(IO &io, R &r) {
  io.field(r.U);
  io.field(r.Y);
  io.field(r.B);
  io.field(r.X);
  io.field(r.E);
  // Discrete states, without the buffer reference.
  io.field(r.DW.GearPrevState);
  io.field(r.DW.TurbineSpeedPrevState);
  io.field(r.DW.ImpellerTorquePrevState);
  io.field(r.DW.ShiftState);
  io.field(r.DW.ShiftTimer);
  io.field(r.DW.GearState);
  io.field(r.DW.TransportDelayStartTime);
  io.array(r.DW.TransportDelayBuffer, 2 * kTransportDelayEntries);
  io.field(r.DW.TransportDelayTail);
  io.field(r.DW.TransportDelayHead);
  io.field(r.DW.TransportDelayLast);
  io.field(r.DW.TransportDelayBufferSize);
  io.field(r.DW.LongitudinalVelocity_FirstInit);
  io.field(r.DW.Heading_FirstInit);
  io.field(r.DW.WheelSpeedFL_FirstInit);
  io.field(r.DW.WheelSpeedFR_FirstInit);
  io.field(r.DW.WheelSpeedRL_FirstInit);
  io.field(r.DW.WheelSpeedRR_FirstInit);
  io.field(r.DW.GlobalVelocityX_FirstInit);
  io.field(r.DW.GlobalVelocityY_FirstInit);
  io.field(r.DW.PositionX_FirstInit);
  io.field(r.DW.PositionY_FirstInit);
  io.field(r.delayWired);
  // Time base and integrator.
  io.array(&r.time.savedStates[0], kNumContStates);
  io.array(&r.time.stageDerivatives[0][0], 4 * kNumContStates);
  io.field(r.time.ticks);
  io.field(r.time.stepSize);
  io.field(r.time.tStart);
  io.field(r.time.modelTime);
  io.field(r.time.stopTime);
  io.field(r.time.timeStepKind);
  io.field(r.time.firstInitCond);
  io.field(r.time.stopRequested);
  io.field(r.time.wired);
  io.field(r.time.derivativeRow);
}

TimeBase timeBaseOf(const Corvanta &model) {
  const RT_MODEL_Corvanta_T &m = model.M;
  TimeBase t{};
  std::memcpy(t.savedStates, m.savedStates, sizeof t.savedStates);
  std::memcpy(t.stageDerivatives, m.stageDerivatives, sizeof t.stageDerivatives);
  t.ticks = m.ticks;
  t.stepSize = m.stepSize;
  t.tStart = m.tStart;
  t.modelTime = m.modelTime;
  t.stopTime = m.solver.stopTime;
  t.timeStepKind = static_cast<std::int32_t>(m.timeStepKind);
  t.firstInitCond = m.firstInitCond;
  t.stopRequested = m.stopRequested;
  t.wired = model.isInitialized() ? 1U : 0U;
  t.derivativeRow = -1;
  for (int stage = 0; stage < 4; ++stage) {
    if (m.derivativeBuffer == m.stageDerivatives[stage]) {
      t.derivativeRow = static_cast<std::int8_t>(stage);
    }
  }
  return t;
}

// Points the model's references at its own records, as initialize() does, or clears them
// for a model that was never initialised.
void wireReferences(Corvanta &model, bool wired, int derivativeRow, bool delayWired) {
  RT_MODEL_Corvanta_T &m = model.M;
  m.errorStatus = nullptr;
  model.DW.TransportDelayBufferRef = delayWired ? model.DW.TransportDelayBuffer : nullptr;
  if (!wired) {
    m.solver.timeStepKindRef = nullptr;
    m.solver.timeRef = nullptr;
    m.solver.stepSizeRef = nullptr;
    m.solver.derivativesRef = nullptr;
    m.solver.statesRef = nullptr;
    m.solver.integrationData = nullptr;
    m.solver.solverName = nullptr;
    m.workRefs.y = nullptr;
    for (double *&row : m.workRefs.f) {
      row = nullptr;
    }
    m.stateVector = nullptr;
    m.tPtr = nullptr;
    m.derivativeBuffer = nullptr;
    return;
  }
  m.solver.timeStepKindRef = &m.timeStepKind;
  m.solver.timeRef = &m.tPtr;
  m.solver.stepSizeRef = &m.stepSize;
  m.solver.derivativesRef = &m.derivativeBuffer;
  m.solver.statesRef = &m.stateVector;
  m.solver.integrationData = &m.workRefs;
  m.solver.solverName = "ode4";
  m.workRefs.y = m.savedStates;
  for (int stage = 0; stage < 4; ++stage) {
    m.workRefs.f[stage] = m.stageDerivatives[stage];
  }
  m.stateVector = &model.X;
  m.setTPtr(&m.modelTime);
  m.derivativeBuffer = derivativeRow < 0 ? nullptr : m.stageDerivatives[derivativeRow];
}

void applyTimeBase(const TimeBase &t, Corvanta &model) {
  RT_MODEL_Corvanta_T &m = model.M;
  std::memcpy(m.savedStates, t.savedStates, sizeof m.savedStates);
  std::memcpy(m.stageDerivatives, t.stageDerivatives, sizeof m.stageDerivatives);
  m.ticks = t.ticks;
  m.stepSize = t.stepSize;
  m.tStart = t.tStart;
  m.modelTime = t.modelTime;
  m.solver.stopTime = t.stopTime;
  m.timeStepKind = t.timeStepKind;
  m.firstInitCond = t.firstInitCond;
  m.stopRequested = t.stopRequested;
}

std::uint32_t readU32(const std::uint8_t *at) {
  std::uint32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

int refuse(int status, char *reason, std::size_t reasonSize, const char *format, unsigned long long a = 0,
           unsigned long long b = 0) {
  if (reason != nullptr && reasonSize > 0) {
    std::snprintf(reason, reasonSize, format, a, b);
  }
  return status;
}

bool isFlag(std::uint8_t value) { return value <= 1U; }

// Checks a state and unpacks it into `r`; nothing else is touched.
int unpack(const CorvantaInstance &instance, const std::uint8_t *bytes, std::size_t size, Records &r, char *reason,
           std::size_t reasonSize) {
  if (size < 8 || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
    return refuse(CORVANTA_STATE_NOT_A_STATE, reason, reasonSize, "not a saved state of a Corvanta instance");
  }
  if (size < kHeaderBytes) {
    return refuse(CORVANTA_STATE_WRONG_SIZE, reason, reasonSize,
                  "truncated: %llu bytes, shorter than the header of a saved state", size);
  }
  const std::uint32_t version = readU32(bytes + 8);
  if (version != kFormatVersion) {
    return refuse(CORVANTA_STATE_WRONG_VERSION, reason, reasonSize,
                  "saved in state format version %llu; this build reads version %llu", version, kFormatVersion);
  }
  std::uint64_t identity;
  std::memcpy(&identity, bytes + 16, sizeof identity);
  const std::uint64_t expectedIdentity = parameterIdentityOf(instance);
  if (identity != expectedIdentity) {
    return refuse(CORVANTA_STATE_OTHER_VEHICLE, reason, reasonSize,
                  "saved from an instance of another parameter set (identity %016llx, this instance %016llx)", identity,
                  expectedIdentity);
  }
  for (int k = 0; k < kSections; ++k) {
    const std::uint32_t bytesOfSection = readU32(bytes + 24 + 4 * k);
    if (bytesOfSection != kSectionBytes[k]) {
      return refuse(CORVANTA_STATE_OTHER_LAYOUT, reason, reasonSize,
                    "saved by a build with another record layout (section %llu holds %llu bytes)",
                    static_cast<unsigned long long>(k), bytesOfSection);
    }
  }
  const std::uint32_t payload = readU32(bytes + 12);
  if (payload != payloadBytes() || size != kStateBytes) {
    return refuse(CORVANTA_STATE_WRONG_SIZE, reason, reasonSize,
                  "truncated or extended: %llu bytes, a saved state has %llu", size, kStateBytes);
  }
  if (stateChecksum(bytes, size - kChecksumBytes) != readU32(bytes + size - kChecksumBytes)) {
    return refuse(CORVANTA_STATE_CORRUPT, reason, reasonSize, "corrupted: the checksum does not match the contents");
  }
  Reader in(bytes + kHeaderBytes);
  transferSections(in, r);
  // Values that index memory or select code must be in range.
  const DiscStates_Corvanta_T &dw = r.DW;
  const auto inDelay = [](std::int32_t index) { return index >= 0 && index < kTransportDelayEntries; };
  const bool flagsValid = isFlag(dw.LongitudinalVelocity_FirstInit) && isFlag(dw.Heading_FirstInit) &&
                          isFlag(dw.WheelSpeedFL_FirstInit) && isFlag(dw.WheelSpeedFR_FirstInit) &&
                          isFlag(dw.WheelSpeedRL_FirstInit) && isFlag(dw.WheelSpeedRR_FirstInit) &&
                          isFlag(dw.GlobalVelocityX_FirstInit) && isFlag(dw.GlobalVelocityY_FirstInit) &&
                          isFlag(dw.PositionX_FirstInit) && isFlag(dw.PositionY_FirstInit) && isFlag(r.delayWired) &&
                          isFlag(r.time.wired) && isFlag(r.time.firstInitCond) && isFlag(r.time.stopRequested);
  const bool wired = r.time.wired == 1U;
  const bool delayValid = inDelay(dw.TransportDelayTail) && inDelay(dw.TransportDelayHead) &&
                          inDelay(dw.TransportDelayLast) &&
                          (r.delayWired == 1U ? dw.TransportDelayBufferSize == kTransportDelayEntries
                                              : (!wired && dw.TransportDelayBufferSize == 0));
  if (!flagsValid || !delayValid || (wired && r.delayWired != 1U) ||
      (r.time.timeStepKind != kMinorTimeStep && r.time.timeStepKind != kMajorTimeStep) || r.time.derivativeRow < -1 ||
      r.time.derivativeRow > 3) {
    return refuse(CORVANTA_STATE_INCONSISTENT, reason, reasonSize,
                  "inconsistent contents: an index or flag out of range");
  }
  return CORVANTA_STATE_OK;
}

void resetCaches(Corvanta &model) {
  model.gradeCache = GradeCache();
  model.lookupHints = LookupHints();
  model.lateralMemo[0] = TyreLateralMemo();
  model.lateralMemo[1] = TyreLateralMemo();
}

}  // namespace

void copyModel(const Corvanta &from, Corvanta &to) {
  if (&from == &to) {
    return;
  }
  to.U = from.U;
  to.Y = from.Y;
  to.B = from.B;
  to.DW = from.DW;
  to.X = from.X;
  to.E = from.E;
  to.gradeCache = from.gradeCache;
  to.lookupHints = from.lookupHints;
  to.lateralMemo[0] = from.lateralMemo[0];
  to.lateralMemo[1] = from.lateralMemo[1];
  const TimeBase t = timeBaseOf(from);
  applyTimeBase(t, to);
  wireReferences(to, t.wired == 1U, t.derivativeRow, from.DW.TransportDelayBufferRef != nullptr);
}

extern "C" {

CORVANTA_VEHICLE_API size_t corvanta_instance_state_size(const CorvantaInstance *instance) {
  return instance != nullptr ? kStateBytes : 0;
}

CORVANTA_VEHICLE_API int corvanta_instance_save_state(const CorvantaInstance *instance, void *buffer, size_t size) {
  if (instance == nullptr || buffer == nullptr) {
    return CORVANTA_STATE_INVALID_ARGUMENT;
  }
  if (size < kStateBytes) {
    return CORVANTA_STATE_BUFFER_TOO_SMALL;
  }
  auto *out = static_cast<std::uint8_t *>(buffer);
  const Corvanta &model = instance->model;
  Writer w(out);
  w.array(kMagic, sizeof kMagic);
  w.field(kFormatVersion);
  w.field(static_cast<std::uint32_t>(payloadBytes()));
  w.field(parameterIdentityOf(*instance));
  w.array(kSectionBytes, kSections);
  // The writer reads the model's records in place; only the time base is gathered.
  struct View {
    const ExtU_Corvanta_T &U;
    const ExtY_Corvanta_T &Y;
    const Signals_Corvanta_T &B;
    const ContStates_Corvanta_T &X;
    const Evaluation &E;
    const DiscStates_Corvanta_T &DW;
    TimeBase time;
    std::uint8_t delayWired;
  } view{model.U,           model.Y,
         model.B,           model.X,
         model.E,           model.DW,
         timeBaseOf(model), static_cast<std::uint8_t>(model.DW.TransportDelayBufferRef != nullptr ? 1U : 0U)};
  Writer sections(out + kHeaderBytes);
  transferSections(sections, view);
  const std::uint32_t checksum = stateChecksum(out, kStateBytes - kChecksumBytes);
  std::memcpy(out + kStateBytes - kChecksumBytes, &checksum, sizeof checksum);
  return CORVANTA_STATE_OK;
}

CORVANTA_VEHICLE_API int corvanta_instance_check_state(const CorvantaInstance *instance, const void *state, size_t size,
                                                       char *reason, size_t reasonSize) {
  if (instance == nullptr || state == nullptr) {
    return refuse(CORVANTA_STATE_INVALID_ARGUMENT, reason, reasonSize, "no instance or no state given");
  }
  Records staged;
  return unpack(*instance, static_cast<const std::uint8_t *>(state), size, staged, reason, reasonSize);
}

CORVANTA_VEHICLE_API int corvanta_instance_restore_state(CorvantaInstance *instance, const void *state, size_t size,
                                                         char *reason, size_t reasonSize) {
  if (instance == nullptr || state == nullptr) {
    return refuse(CORVANTA_STATE_INVALID_ARGUMENT, reason, reasonSize, "no instance or no state given");
  }
  Records staged;
  const int status = unpack(*instance, static_cast<const std::uint8_t *>(state), size, staged, reason, reasonSize);
  if (status != CORVANTA_STATE_OK) {
    return status;
  }
  Corvanta &model = instance->model;
  model.U = staged.U;
  model.Y = staged.Y;
  model.B = staged.B;
  model.X = staged.X;
  model.E = staged.E;
  model.DW = staged.DW;
  applyTimeBase(staged.time, model);
  wireReferences(model, staged.time.wired == 1U, staged.time.derivativeRow, staged.delayWired == 1U);
  resetCaches(model);
  return CORVANTA_STATE_OK;
}

CORVANTA_VEHICLE_API int corvanta_instance_copy_state(CorvantaInstance *to, const CorvantaInstance *from) {
  if (to == nullptr || from == nullptr) {
    return CORVANTA_STATE_INVALID_ARGUMENT;
  }
  if (parameterIdentityOf(*to) != parameterIdentityOf(*from)) {
    return CORVANTA_STATE_OTHER_VEHICLE;
  }
  copyModel(from->model, to->model);
  return CORVANTA_STATE_OK;
}

CORVANTA_VEHICLE_API int corvanta_instance_is_initialized(const CorvantaInstance *instance) {
  return (instance != nullptr && instance->model.isInitialized()) ? 1 : 0;
}

CORVANTA_VEHICLE_API const char *corvanta_state_status_text(int status) {
  switch (status) {
    case CORVANTA_STATE_OK:
      return "ok";
    case CORVANTA_STATE_INVALID_ARGUMENT:
      return "no instance or no buffer given";
    case CORVANTA_STATE_BUFFER_TOO_SMALL:
      return "buffer too small for the state";
    case CORVANTA_STATE_NOT_A_STATE:
      return "not a saved state of a Corvanta instance";
    case CORVANTA_STATE_WRONG_VERSION:
      return "state of another format version";
    case CORVANTA_STATE_OTHER_VEHICLE:
      return "state of an instance of another parameter set";
    case CORVANTA_STATE_OTHER_LAYOUT:
      return "state of a build with another record layout";
    case CORVANTA_STATE_WRONG_SIZE:
      return "state truncated or extended";
    case CORVANTA_STATE_CORRUPT:
      return "state corrupted (checksum mismatch)";
    case CORVANTA_STATE_INCONSISTENT:
      return "state with an index or flag out of range";
    default:
      return "unknown status";
  }
}

}  // extern "C"
