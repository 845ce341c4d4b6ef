// The FMU state in serialised form: every record of the model instance and the FMU's own
// time base, in a self-checking envelope.
//
//   offset  size  content
//   0       8     magic "CRVSTATE"
//   8       4     format version (kFormatVersion)
//   12      4     byte count of the payload
//   16      40    instantiation token (the model and its variable list), NUL padded
//   56      n     payload: FMU time base and FMI state, then the model records (layout below)
//   56 + n  4     CRC-32 (IEEE 802.3) of bytes 0 .. 56 + n - 1
//
// All numbers little-endian, as both x86-64 platforms store them; the record sizes are part of
// the payload, so a state of a build with another record layout is refused.  References held
// by the model (the solver's view of its own records, the delay buffer) are not stored: they
// are wired afresh to the restoring instance.  A state is checked completely before anything of
// the instance changes: the envelope, then the contents (contentsAreConsistent).
//
// A state carries the FMI state it was saved in, and setting it puts the instance there: a
// state saved in step mode continues in step mode, in a fresh or reset instance too.  A state
// saved before initialisation (instantiated, initialization mode) holds what had been set by
// then (inputs, initial conditions, start and stop time); setting it returns the instance to
// that FMI state, and the initialisation that follows starts the model from those values, as
// after the same calls on a fresh instance.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "FmuInstance.h"

namespace corvanta_fmi {

namespace {

constexpr char kMagic[8] = {'C', 'R', 'V', 'S', 'T', 'A', 'T', 'E'};
constexpr std::uint32_t kFormatVersion = 2;
constexpr std::size_t kTokenBytes = 40;
constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + kTokenBytes;
constexpr std::size_t kChecksumBytes = 4;

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

class Writer {
 public:
  template <typename T>
  void put(const T &value) {
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(&value);
    out.insert(out.end(), bytes, bytes + sizeof(T));
  }
  std::vector<std::uint8_t> out;
};

class Reader {
 public:
  Reader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
  template <typename T>
  bool get(T *value) {
    if (size_ - position_ < sizeof(T)) {
      return false;
    }
    std::memcpy(static_cast<void *>(value), data_ + position_, sizeof(T));
    position_ += sizeof(T);
    return true;
  }
  bool atEnd() const { return position_ == size_; }

 private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// What a state carries besides the records that are copied whole.
struct TimeBase {
  std::uint64_t stepsTaken;
  double startTime;
  std::uint8_t stopTimeDefined;
  double stopTime;
  std::uint8_t phase;  // StoredPhase
};

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

struct SolverRecord {
  std::uint8_t wired;          // initialize() has run: the references are to be set
  std::int32_t derivativeRow;  // stage row derivativeBuffer refers to, -1 for none
};

// The record sizes, so that a state of another layout is refused.
struct Layout {
  std::uint32_t sizes[8] = {sizeof(ExtU_Corvanta_T),       sizeof(ExtY_Corvanta_T),
                            sizeof(Signals_Corvanta_T),    sizeof(DiscStates_Corvanta_T),
                            sizeof(ContStates_Corvanta_T), sizeof(Evaluation),
                            sizeof(RT_MODEL_Corvanta_T),   sizeof(TimeBase)};
  bool operator==(const Layout &other) const { return std::memcmp(sizes, other.sizes, sizeof sizes) == 0; }
};

// The parts of the real-time model record that are values, not references.
struct RtmValues {
  double savedStates[kNumContStates];
  double stageDerivatives[4][kNumContStates];
  decltype(RT_MODEL_Corvanta_T::ticks) ticks;
  double stepSize;
  std::uint8_t firstInitCond;
  double tStart;
  int timeStepKind;
  std::uint8_t stopRequested;
  double modelTime;
  double stopTime;
};

// One state, unpacked.  Large (the delay buffer): lives on the heap.
struct Snapshot {
  TimeBase time;
  ExtU_Corvanta_T U;
  ExtY_Corvanta_T Y;
  Signals_Corvanta_T B;
  DiscStates_Corvanta_T DW;
  ContStates_Corvanta_T X;
  Evaluation E;
  RtmValues M;
  SolverRecord solver;
};

bool isFlag(std::uint8_t value) { return value <= 1U; }

// What a state says about the instance must be a situation the instance can be in: values that
// index memory or select code in range, and the time base, the FMI state and the model's clock
// in agreement.  The model's signals and continuous states are not judged: NaN and infinities
// are values the model carries (and propagates) by design.
bool contentsAreConsistent(const Snapshot &s, std::string *why) {
  auto reject = [why](const char *reason) {
    if (why != nullptr) {
      *why = reason;
    }
    return false;
  };
  const DiscStates_Corvanta_T &dw = s.DW;
  const bool delayIndicesValid = dw.TransportDelayTail >= 0 && dw.TransportDelayTail < kTransportDelayEntries &&
                                 dw.TransportDelayHead >= 0 && dw.TransportDelayHead < kTransportDelayEntries &&
                                 dw.TransportDelayLast >= 0 && dw.TransportDelayLast < kTransportDelayEntries;
  const bool wired = s.solver.wired == 1U;
  if (!delayIndicesValid || !isFlag(s.solver.wired) ||
      (wired ? dw.TransportDelayBufferSize != kTransportDelayEntries
             : (dw.TransportDelayBufferSize != 0 && dw.TransportDelayBufferSize != kTransportDelayEntries)) ||
      (s.M.timeStepKind != kMinorTimeStep && s.M.timeStepKind != kMajorTimeStep) || s.solver.derivativeRow < -1 ||
      s.solver.derivativeRow > 3 || !isFlag(s.time.stopTimeDefined) || !isFlag(s.M.firstInitCond) ||
      !isFlag(s.M.stopRequested)) {
    return reject("inconsistent contents (index or flag out of range)");
  }
  const std::uint8_t flags[] = {dw.LongitudinalVelocity_FirstInit, dw.Heading_FirstInit,     dw.WheelSpeedFL_FirstInit,
                                dw.WheelSpeedFR_FirstInit,         dw.WheelSpeedRL_FirstInit, dw.WheelSpeedRR_FirstInit,
                                dw.GlobalVelocityX_FirstInit,      dw.GlobalVelocityY_FirstInit, dw.PositionX_FirstInit,
                                dw.PositionY_FirstInit};
  for (std::uint8_t flag : flags) {
    if (!isFlag(flag)) {
      return reject("inconsistent contents (first-initialisation flag out of range)");
    }
  }
  const TimeBase &t = s.time;
  if (!std::isfinite(t.startTime) || (t.stopTimeDefined == 1U && !(t.stopTime >= t.startTime))) {
    return reject("impossible time base (start time not finite, or stop time before it)");
  }
  constexpr std::uint64_t kMaxExactSteps = 1ULL << 53;
  if (t.stepsTaken > kMaxExactSteps ||
      !std::isfinite(t.startTime + static_cast<double>(t.stepsTaken) * kInternalStep)) {
    return reject("impossible time base (step count out of range)");
  }
  if (t.phase > kStoredTerminated) {
    return reject("unknown FMI state");
  }
  // Initialisation wires the model: before it nothing has stepped, after it the FMU is in
  // event or step mode or terminated.
  const bool beforeInitialisation = t.phase == kStoredInstantiated || t.phase == kStoredInitializationMode;
  const bool afterInitialisation = t.phase == kStoredEventMode || t.phase == kStoredStepMode;
  if ((wired && beforeInitialisation) || (!wired && afterInitialisation) || (!wired && t.stepsTaken != 0)) {
    return reject("the FMI state does not match the model's initialisation");
  }
  // The model's clock counts the same steps as the FMU's.
  const RtmValues &m = s.M;
  if (m.ticks != static_cast<decltype(m.ticks)>(t.stepsTaken) ||
      !(m.modelTime == static_cast<double>(m.ticks) * m.stepSize) || !(m.stopTime == m.modelTime) ||
      (wired && (!(m.stepSize == kInternalStep) || m.timeStepKind != kMajorTimeStep || m.firstInitCond != 0U))) {
    return reject("the model's clock does not match the FMU's time base");
  }
  return true;
}

bool unpack(const std::uint8_t *bytes, std::size_t size, Snapshot *s, std::string *why) {
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
  if (stored != crc32(bytes, size - kChecksumBytes)) {
    return reject("corrupted: checksum mismatch");
  }
  Reader in(bytes + kHeaderBytes, payloadBytes);
  Layout layout;
  Layout expected;
  if (!in.get(&layout) || !(layout == expected)) {
    return reject("state of a build with another record layout");
  }
  if (!(in.get(&s->time) && in.get(&s->U) && in.get(&s->Y) && in.get(&s->B) && in.get(&s->DW) && in.get(&s->X) &&
        in.get(&s->E) && in.get(&s->M) && in.get(&s->solver) && in.atEnd())) {
    return reject("payload does not have the expected size");
  }
  return contentsAreConsistent(*s, why);
}

// Points the model's references at its own records, as initialize() does.
void wireReferences(Corvanta &model, const SolverRecord &solver) {
  RT_MODEL_Corvanta_T &m = model.M;
  m.errorStatus = nullptr;
  if (solver.wired == 0U) {
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
    model.DW.TransportDelayBufferRef = nullptr;
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
  m.derivativeBuffer = solver.derivativeRow < 0 ? nullptr : m.stageDerivatives[solver.derivativeRow];
  model.DW.TransportDelayBufferRef = model.DW.TransportDelayBuffer;
}

}  // namespace

std::vector<std::uint8_t> FmuInstance::serializeState() const {
  const Corvanta &model = *model_;
  const RT_MODEL_Corvanta_T &m = model.M;
  Writer w;
  w.out.insert(w.out.end(), kMagic, kMagic + sizeof kMagic);
  w.put(kFormatVersion);
  w.put(std::uint32_t{0});  // payload size, filled in below
  char token[kTokenBytes] = {};
  std::strncpy(token, kInstantiationToken, kTokenBytes);
  w.out.insert(w.out.end(), token, token + kTokenBytes);

  w.put(Layout());
  // Padding bytes are zeroed so that equal states serialise to equal bytes.
  TimeBase time;
  std::memset(&time, 0, sizeof time);
  time.stepsTaken = stepsTaken_;
  time.startTime = startTime_;
  time.stopTimeDefined = stopTimeDefined_ ? 1U : 0U;
  time.stopTime = stopTime_;
  time.phase = storedPhase(phase_);
  w.put(time);
  w.put(model.U);
  w.put(model.Y);
  w.put(model.B);
  auto dw = std::make_unique<DiscStates_Corvanta_T>();
  std::memcpy(static_cast<void *>(dw.get()), &model.DW, sizeof model.DW);
  dw->TransportDelayBufferRef = nullptr;
  w.put(*dw);
  w.put(model.X);
  w.put(model.E);
  RtmValues values;
  std::memset(&values, 0, sizeof values);
  std::memcpy(values.savedStates, m.savedStates, sizeof values.savedStates);
  std::memcpy(values.stageDerivatives, m.stageDerivatives, sizeof values.stageDerivatives);
  values.ticks = m.ticks;
  values.stepSize = m.stepSize;
  values.firstInitCond = m.firstInitCond;
  values.tStart = m.tStart;
  values.timeStepKind = m.timeStepKind;
  values.stopRequested = m.stopRequested;
  values.modelTime = m.modelTime;
  values.stopTime = m.solver.stopTime;
  w.put(values);
  SolverRecord solver;
  std::memset(&solver, 0, sizeof solver);
  solver.wired = model.isInitialized() ? 1U : 0U;
  solver.derivativeRow = -1;
  for (int stage = 0; stage < 4; ++stage) {
    if (m.derivativeBuffer == m.stageDerivatives[stage]) {
      solver.derivativeRow = stage;
    }
  }
  w.put(solver);

  const auto payloadBytes = static_cast<std::uint32_t>(w.out.size() - kHeaderBytes);
  std::memcpy(w.out.data() + 12, &payloadBytes, 4);
  w.put(crc32(w.out.data(), w.out.size()));
  return w.out;
}

bool FmuInstance::validateState(const std::uint8_t *bytes, std::size_t size, std::string *why) {
  auto snapshot = std::make_unique<Snapshot>();
  return unpack(bytes, size, snapshot.get(), why);
}

Status FmuInstance::restoreState(const char *function, const std::uint8_t *bytes, std::size_t size) {
  auto s = std::make_unique<Snapshot>();
  std::string why;
  if (!unpack(bytes, size, s.get(), &why)) {
    return fail(function, "FMU state rejected: %s", why.c_str());
  }
  Corvanta &model = *model_;
  stepsTaken_ = s->time.stepsTaken;
  startTime_ = s->time.startTime;
  stopTimeDefined_ = s->time.stopTimeDefined != 0U;
  stopTime_ = s->time.stopTime;
  model.U = s->U;
  model.Y = s->Y;
  model.B = s->B;
  model.DW = s->DW;
  model.X = s->X;
  model.E = s->E;
  RT_MODEL_Corvanta_T &m = model.M;
  std::memcpy(m.savedStates, s->M.savedStates, sizeof m.savedStates);
  std::memcpy(m.stageDerivatives, s->M.stageDerivatives, sizeof m.stageDerivatives);
  m.ticks = s->M.ticks;
  m.stepSize = s->M.stepSize;
  m.firstInitCond = s->M.firstInitCond;
  m.tStart = s->M.tStart;
  m.timeStepKind = s->M.timeStepKind;
  m.stopRequested = s->M.stopRequested;
  m.modelTime = s->M.modelTime;
  m.solver.stopTime = s->M.stopTime;
  wireReferences(model, s->solver);
  phase_ = restoredPhase(s->time.phase, eventModeUsed_);
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
