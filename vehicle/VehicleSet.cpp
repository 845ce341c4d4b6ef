// Parameter blocks: the built-in car, copies, derived values, validation and identity.
#include "vehicle/VehicleSet.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

namespace corvanta::vehicle {

std::shared_ptr<ParameterBlock> ParameterBlock::builtin() {
  // Made once, by the first caller (a throw leaves it unmade for the next one).
  static const std::shared_ptr<ParameterBlock> shared = [] {
    auto block = std::make_shared<ParameterBlock>();
    block->values.scalars = ScalarParameters{};
    block->values.tyre[kFrontAxle] = TyreCoefficients{};
    block->values.tyre[kRearAxle] = TyreCoefficients{};
    // The compiled tables themselves, through a pointer that owns nothing: a set that
    // changes a table copies them first.
    block->values.tables =
        std::shared_ptr<const ConstP_Corvanta_T>(std::shared_ptr<const ConstP_Corvanta_T>(), &Corvanta_ConstP);
    block->derive();
    block->checkAll();
    return block;
  }();
  return shared;
}

ParameterBlock::ParameterBlock(const ParameterBlock &source, bool)
    : values(source.values),
      model(source.model),
      problemMarks_(source.problemMarks_),
      problemsMarked_(source.problemsMarked_) {}

std::shared_ptr<ParameterBlock> ParameterBlock::clone() const {
  return std::shared_ptr<ParameterBlock>(new ParameterBlock(*this, true));
}

void ParameterBlock::derive() {
  model = deriveModelParameters(values.scalars, values.tyre[kFrontAxle], values.tyre[kRearAxle], values.tables.get());
  forgetIdentity();
}

std::uint64_t ParameterBlock::identity() const {
  if (identityKnown_.load(std::memory_order_acquire)) {
    return identity_.load(std::memory_order_relaxed);
  }
  // Threads that meet an unknown identity all compute the same value; storing it twice is harmless.
  const std::uint64_t value = corvanta::vehicle::identity(values);
  identity_.store(value, std::memory_order_relaxed);
  identityKnown_.store(true, std::memory_order_release);
  return value;
}

namespace {

constexpr const char *kAxleName[2] = {"FrontTyre.", "RearTyre."};

std::string fileName(const ParameterDescription &d, int axle, bool bothAxlesAlike) {
  if (d.kind != ParameterKind::Tyre || bothAxlesAlike) {
    return d.name;
  }
  return std::string(kAxleName[axle]) + d.name;
}

// 1 where x is not finite, else 0 (inf - inf and NaN - NaN are NaN, every other x - x is 0).
inline unsigned nonFinite(double x) { return x - x == 0.0 ? 0U : 1U; }

// The index of the first of the n values that is not finite, or n.  The values are taken
// in runs of kRun into a block of their own (a build that checks pointer arithmetic checks
// once per run, not once per value), each run tested at once; the run that holds one is
// then looked at value by value.
std::size_t firstNonFinite(const double *v, std::size_t n) {
  constexpr std::size_t kRun = 16;
  double run[kRun];
  std::size_t start = 0;
  for (; n - start >= kRun; start += kRun) {
    std::memcpy(run, v + start, sizeof run);
    unsigned any = 0;
    for (std::size_t k = 0; k < kRun; ++k) {
      any |= nonFinite(run[k]);
    }
    if (any != 0U) {
      break;
    }
  }
  for (; start < n; ++start) {
    if (nonFinite(v[start]) != 0U) {
      return start;
    }
  }
  return n;
}

// The index of the first value of the parameter outside its bounds, or d.count.
std::size_t firstOutOfBounds(const ParameterDescription &d, const double *v) {
  if (d.kind == ParameterKind::Table) {
    return firstNonFinite(v, d.count);  // a table's bounds: finite values
  }
  for (std::size_t i = 0; i < d.count; ++i) {
    if (!withinBounds(d, v[i])) {
      return i;
    }
  }
  return d.count;
}

// Checks the values of one parameter (a tyre coefficient on one axle): whether it has no
// problem.  With `problems`, each problem is added to it (a table's first one only); its
// name is made only then.
bool checkValues(const VehicleValues &values, const ParameterDescription &d, int axle, bool bothAlike,
                 std::vector<Problem> *problems) {
  const double *v = parameterValues(values, d, axle);
  const std::size_t outside = firstOutOfBounds(d, v);
  if (outside < d.count) {
    if (problems != nullptr) {
      const std::string name = fileName(d, axle, bothAlike);
      const std::string where = d.count > 1 ? name + "[" + std::to_string(outside) + "]" : name;
      problems->push_back({name, where + " = " + shortestText(v[outside]) + " is outside its range " + rangeText(d)});
    }
    return false;  // one problem per table is enough to find it
  }
  if (d.axis) {
    for (std::size_t i = 1; i < d.count; ++i) {
      if (!(v[i] > v[i - 1])) {
        if (problems != nullptr) {
          const std::string name = fileName(d, axle, bothAlike);
          problems->push_back({name, name + " is not strictly increasing: [" + std::to_string(i - 1) +
                                         "] = " + shortestText(v[i - 1]) + ", [" + std::to_string(i) +
                                         "] = " + shortestText(v[i])});
        }
        return false;
      }
    }
  }
  return true;
}

// Checks the combinations no real car has: whether the values have none.  With `problems`,
// each one found is added to it.
bool checkCombinations(const VehicleValues &values, std::vector<Problem> *problems) {
  bool sound = true;
  // Records a problem; its message is made only when there is a list to add it to.
  auto found = [&](const char *parameter, auto message) {
    sound = false;
    if (problems != nullptr) {
      problems->push_back({parameter, message()});
    }
  };
  const ScalarParameters &s = values.scalars;
  if (!(s.Wheelbase > s.FrontAxleDistance)) {
    found("Wheelbase", [&] {
      return "Wheelbase = " + shortestText(s.Wheelbase) +
             " m must exceed FrontAxleDistance = " + shortestText(s.FrontAxleDistance) +
             " m: the centre of mass must lie between the axles";
    });
  }
  if (!(s.SprungMass <= s.VehicleMass)) {
    found("SprungMass", [&] {
      return "SprungMass = " + shortestText(s.SprungMass) + " kg exceeds VehicleMass = " + shortestText(s.VehicleMass) +
             " kg";
    });
  }
  if (!(s.EngineSpeedMin < s.EngineSpeedMax)) {
    found("EngineSpeedMin", [&] {
      return "EngineSpeedMin = " + shortestText(s.EngineSpeedMin) +
             " rad/s must be below EngineSpeedMax = " + shortestText(s.EngineSpeedMax) + " rad/s";
    });
  }
  const double *ratios = values.tables->GearRatio_Table;
  if (!(ratios[0] < 0.0) || ratios[1] != 0.0) {
    found("GearRatio_Table", [&] {
      return "GearRatio_Table: reverse (first value, " + shortestText(ratios[0]) +
             ") must be negative and neutral (second, " + shortestText(ratios[1]) + ") zero";
    });
  }
  for (int gear = 2; gear < kGearRatioPoints; ++gear) {
    if (!(ratios[gear] > 0.0)) {
      found("GearRatio_Table", [&] {
        return "GearRatio_Table: gear " + std::to_string(gear - 1) + " has ratio " + shortestText(ratios[gear]) +
               "; forward gears need positive ratios";
      });
      break;
    }
  }
  return sound;
}

}  // namespace

bool sameTyreOnBothAxles(const VehicleValues &values) {
  return std::memcmp(&values.tyre[0], &values.tyre[1], sizeof(TyreCoefficients)) == 0;
}

std::vector<Problem> validate(const VehicleValues &values) {
  std::vector<Problem> problems;
  const bool bothAlike = sameTyreOnBothAxles(values);
  for (const ParameterDescription &d : parameterDescriptions()) {
    if (d.kind == ParameterKind::Tyre) {
      checkValues(values, d, 0, bothAlike, &problems);
      if (!bothAlike) {
        checkValues(values, d, 1, bothAlike, &problems);
      }
    } else {
      checkValues(values, d, 0, bothAlike, &problems);
    }
  }
  checkCombinations(values, &problems);
  return problems;
}

// Whether a parameter has a problem does not depend on the other axle: when both axles are
// alike, validate() looks at the front one only, and the rear one has the same values.
void ParameterBlock::mark(std::size_t index) {
  const ParameterDescription &d = parameterDescriptions()[index];
  const int axles = d.kind == ParameterKind::Tyre ? 2 : 1;
  for (int axle = 0; axle < axles; ++axle) {
    const std::uint8_t problem = checkValues(values, d, axle, true, nullptr) ? 0U : 1U;
    std::uint8_t &marked = problemMarks_[2 * index + static_cast<std::size_t>(axle)];
    problemsMarked_ = problemsMarked_ - marked + problem;
    marked = problem;
  }
}

void ParameterBlock::checkAll() {
  problemMarks_.assign(2 * parameterDescriptions().size(), 0U);
  problemsMarked_ = 0;
  for (std::size_t index = 0; index < parameterDescriptions().size(); ++index) {
    mark(index);
  }
}

void ParameterBlock::recheck(std::size_t index) {
  if (problemMarks_.size() != 2 * parameterDescriptions().size()) {
    checkAll();  // never checked: nothing to start from
    return;
  }
  mark(index);
}

bool ParameterBlock::withoutProblems() const { return problemsMarked_ == 0 && checkCombinations(values, nullptr); }

std::uint64_t identity(const VehicleValues &values) {
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the value bits
  auto mixBits = [&hash](std::uint64_t bits) {
    for (int byte = 0; byte < 8; ++byte) {
      hash ^= (bits >> (8 * byte)) & 0xFFU;
      hash *= 1099511628211ULL;
    }
  };
  // The values in runs taken into a block of their own (a build that checks pointer
  // arithmetic checks once per run), the rest one by one.
  auto mix = [&mixBits](const double *v, std::size_t count) {
    constexpr std::size_t kRun = 16;
    std::uint64_t run[kRun];
    std::size_t i = 0;
    for (; count - i >= kRun; i += kRun) {
      std::memcpy(run, v + i, sizeof run);
      for (std::size_t k = 0; k < kRun; ++k) {
        mixBits(run[k]);
      }
    }
    for (; i < count; ++i) {
      std::uint64_t bits;
      std::memcpy(&bits, &v[i], sizeof bits);
      mixBits(bits);
    }
  };
  for (const ParameterDescription &d : parameterDescriptions()) {
    if (d.kind == ParameterKind::Tyre) {
      mix(parameterValues(values, d, 0), 1);
      mix(parameterValues(values, d, 1), 1);
    } else {
      mix(parameterValues(values, d, 0), d.count);
    }
  }
  return hash;
}

}  // namespace corvanta::vehicle

corvanta::vehicle::ParameterBlock &CorvantaVehicle::writable() {
  if (block.use_count() > 1) {
    block = block->clone();
  } else {
    // The last other owner let go of the block (in another thread, perhaps): what it did
    // with the block happens before the change that follows.
    std::atomic_thread_fence(std::memory_order_acquire);
  }
  block->forgetIdentity();
  return *block;
}

void CorvantaVehicle::refresh() {
  block->derive();
  block->checkAll();
  valid = block->withoutProblems();
}

void CorvantaVehicle::refresh(std::size_t index) {
  block->derive();
  block->recheck(index);
  valid = block->withoutProblems();
}
