// The FMU state in serialised form: every record of the model instance and the FMU's own
// time base, in a self-checking envelope.
//
//   offset  size  content
//   0       8     magic "CRVSTATE"
//   8       4     format version (kFormatVersion)
//   12      4     byte count of the payload
//   16      40    instantiation token (the model and its variable list), NUL padded
//   56      n     payload: FMU time base, then the model records (layout below)
//   56 + n  4     CRC-32 (IEEE 802.3) of bytes 0 .. 56 + n - 1
//
// All numbers little-endian, as both x86-64 platforms store them; the record sizes are part of
// the payload, so a state of a build with another record layout is refused.  References held
// by the model (the solver's view of its own records, the delay buffer) are not stored: they
// are wired afresh to the restoring instance.  A state is checked completely before anything of
// the instance changes.
#include <cstring>
#include <memory>
#include <new>

#include "FmuInstance.h"

namespace corvanta_fmi {

namespace {

constexpr char kMagic[8] = {'C', 'R', 'V', 'S', 'T', 'A', 'T', 'E'};
constexpr std::uint32_t kFormatVersion = 1;
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
};

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
  // Values that index memory or select code must be in range.
  const DiscStates_Corvanta_T &dw = s->DW;
  const bool delayIndicesValid = dw.TransportDelayTail >= 0 && dw.TransportDelayTail < kTransportDelayEntries &&
                                 dw.TransportDelayHead >= 0 && dw.TransportDelayHead < kTransportDelayEntries &&
                                 dw.TransportDelayLast >= 0 && dw.TransportDelayLast < kTransportDelayEntries;
  const bool wired = s->solver.wired == 1U;
  if (!delayIndicesValid || s->solver.wired > 1U ||
      (wired ? dw.TransportDelayBufferSize != kTransportDelayEntries
             : (dw.TransportDelayBufferSize != 0 && dw.TransportDelayBufferSize != kTransportDelayEntries)) ||
      (s->M.timeStepKind != kMinorTimeStep && s->M.timeStepKind != kMajorTimeStep) || s->solver.derivativeRow < -1 ||
      s->solver.derivativeRow > 3 || s->time.stopTimeDefined > 1U) {
    return reject("inconsistent contents (index or flag out of range)");
  }
  return true;
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
  return Status::OK;
}

namespace {

// What an FMU state handle points to; the tag catches a handle that is not one of ours.
struct StateObject {
  static constexpr std::uint64_t kTag = 0x43525653544f424aULL;
  std::uint64_t tag = kTag;
  std::vector<std::uint8_t> bytes;
};

StateObject *stateObject(void *state) {
  auto *object = static_cast<StateObject *>(state);
  return (object != nullptr && object->tag == StateObject::kTag) ? object : nullptr;
}

}  // namespace

Status FmuInstance::getState(const char *function, void **state) {
  if (stateAccess(function) != Status::OK) {
    return Status::Error;
  }
  if (state == nullptr) {
    return fail(function, "null state pointer");
  }
  StateObject *object = stateObject(*state);
  if (object == nullptr) {
    if (*state != nullptr) {
      return fail(function, "the state handle to overwrite is not an FMU state of this model");
    }
    object = new (std::nothrow) StateObject();
    if (object == nullptr) {
      return fail(function, "out of memory");
    }
  }
  object->bytes = serializeState();
  *state = object;
  return Status::OK;
}

Status FmuInstance::setState(const char *function, void *state) {
  if (stateAccess(function) != Status::OK) {
    return Status::Error;
  }
  const StateObject *object = stateObject(state);
  if (object == nullptr) {
    return fail(function, "not an FMU state of this model");
  }
  return restoreState(function, object->bytes.data(), object->bytes.size());
}

Status FmuInstance::freeState(const char *function, void **state) {
  if (state == nullptr || *state == nullptr) {
    return Status::OK;
  }
  StateObject *object = stateObject(*state);
  if (object == nullptr) {
    return fail(function, "not an FMU state of this model");
  }
  object->tag = 0;
  delete object;
  *state = nullptr;
  return Status::OK;
}

Status FmuInstance::serializedStateSize(const char *function, void *state, std::size_t *size) {
  const StateObject *object = stateObject(state);
  if (object == nullptr || size == nullptr) {
    return fail(function, "not an FMU state of this model, or null size pointer");
  }
  *size = object->bytes.size();
  return Status::OK;
}

Status FmuInstance::serializeStateTo(const char *function, void *state, std::uint8_t *buffer, std::size_t size) {
  const StateObject *object = stateObject(state);
  if (object == nullptr) {
    return fail(function, "not an FMU state of this model");
  }
  if (buffer == nullptr || size < object->bytes.size()) {
    return fail(function, "buffer of %lu bytes too small for the state of %lu bytes", static_cast<unsigned long>(size),
                static_cast<unsigned long>(object->bytes.size()));
  }
  std::memcpy(buffer, object->bytes.data(), object->bytes.size());
  return Status::OK;
}

Status FmuInstance::deserializeState(const char *function, const std::uint8_t *buffer, std::size_t size, void **state) {
  if (stateAccess(function) != Status::OK) {
    return Status::Error;
  }
  if (state == nullptr) {
    return fail(function, "null state pointer");
  }
  std::string why;
  if (!validateState(buffer, size, &why)) {
    return fail(function, "serialised state rejected: %s", why.c_str());
  }
  StateObject *object = stateObject(*state);
  if (object == nullptr) {
    object = new (std::nothrow) StateObject();
    if (object == nullptr) {
      return fail(function, "out of memory");
    }
  }
  object->bytes.assign(buffer, buffer + size);
  *state = object;
  return Status::OK;
}

}  // namespace corvanta_fmi
