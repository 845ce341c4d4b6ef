// The parameter descriptions made from the one list.
#include "vehicle/ParameterTable.h"
#include "runtime/DoubleText.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>

#include "engine/messages/NameSuggestion.h"

namespace corvanta::vehicle {

namespace {

const ParameterDescription kDescriptions[] = {
#define CORVANTA_SCALAR(Name, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Meaning)                           \
  {#Name, Unit, Meaning, ParameterKind::Scalar,           1, Builtin, Lower, LowerOpen != 0, Upper, UpperOpen != 0, \
   "",    "",   false,   offsetof(ScalarParameters, Name)},
#define CORVANTA_TABLE(Name, Count, Unit, Axis, Meaning) \
  {#Name,     Unit,                                      \
   Meaning,   ParameterKind::Table,                      \
   Count,     0.0,                                       \
   -1.0e300,  false,                                     \
   1.0e300,   false,                                     \
   "",        "",                                        \
   Axis != 0, offsetof(ConstP_Corvanta_T, Name)},
#define CORVANTA_TYRE(Name, Section, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Dormant, Meaning) \
  {#Name,   Unit,                                                                                         \
   Meaning, ParameterKind::Tyre,                                                                          \
   1,       Builtin,                                                                                      \
   Lower,   LowerOpen != 0,                                                                               \
   Upper,   UpperOpen != 0,                                                                               \
   Section, Dormant,                                                                                      \
   false,   offsetof(TyreCoefficients, Name)},
#include "model/ParameterList.def"
};

// The documentation groups in list order: an entry with a title starts a group, one
// without is a parameter; the index of a group is the number of parameters before it.
struct ListEntry {
  const char *title;
  const char *blocks;
};

const ListEntry kListOrder[] = {
#define CORVANTA_GROUP(Title, Blocks) {Title, Blocks},
#define CORVANTA_SCALAR(Name, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Meaning) {nullptr, nullptr},
#define CORVANTA_TYRE(Name, Section, Unit, Lower, LowerOpen, Upper, UpperOpen, Builtin, Dormant, Meaning) \
  {nullptr, nullptr},
#define CORVANTA_TABLE(Name, Count, Unit, Axis, Meaning) {nullptr, nullptr},
#include "model/ParameterList.def"
};

}  // namespace

ParameterDescriptions parameterDescriptions() {
  return ParameterDescriptions(kDescriptions, sizeof kDescriptions / sizeof kDescriptions[0]);
}

bool parameterGroupBefore(std::size_t index, const char **title, const char **blocks) {
  std::size_t parameters = 0;
  for (const ListEntry &entry : kListOrder) {
    if (entry.title == nullptr) {
      if (parameters++ > index) {
        break;
      }
    } else if (parameters == index) {
      *title = entry.title;
      *blocks = entry.blocks;
      return true;
    }
  }
  return false;
}

namespace {

constexpr std::string_view kAxlePrefix[2] = {"FrontTyre.", "RearTyre."};

}  // namespace

const ParameterDescription *findParameter(std::string_view name) {
  for (const ParameterDescription &d : parameterDescriptions()) {
    if (name == d.name) {
      return &d;
    }
  }
  return nullptr;
}

const std::vector<std::string_view> &knownParameterNames() {
  static const std::vector<std::string_view> names = [] {
    static std::vector<std::string> axleNames;
    std::vector<std::string_view> all;
    for (const ParameterDescription &d : parameterDescriptions()) {
      all.emplace_back(d.name);
      if (d.kind == ParameterKind::Tyre) {
        for (std::string_view prefix : kAxlePrefix) {
          axleNames.push_back(std::string(prefix) + d.name);
        }
      }
    }
    for (const std::string &name : axleNames) {
      all.emplace_back(name);
    }
    return all;
  }();
  return names;
}

ParameterAddress resolveParameter(std::string_view name) {
  ParameterAddress address;
  for (int axle = 0; axle < 2; ++axle) {
    if (name.substr(0, kAxlePrefix[axle].size()) == kAxlePrefix[axle]) {
      const ParameterDescription *d = findParameter(name.substr(kAxlePrefix[axle].size()));
      if (d != nullptr && d->kind == ParameterKind::Tyre) {
        address.description = d;
        address.axle[axle] = true;
      }
      return address;
    }
  }
  address.description = findParameter(name);
  if (address.description != nullptr && address.description->kind == ParameterKind::Tyre) {
    address.axle[0] = address.axle[1] = true;
  }
  return address;
}

double *writableParameterValues(VehicleValues &values, const ParameterDescription &d, int axle) {
  if (d.kind == ParameterKind::Table) {
    if (values.tables.use_count() != 1) {
      values.tables = std::make_shared<ConstP_Corvanta_T>(*values.tables);
    } else {
      // The last other owner let go (in another thread, perhaps): what it did with the
      // tables happens before the change that follows.
      std::atomic_thread_fence(std::memory_order_acquire);
    }
    // Tables owned alone were made here, as a modifiable object.
    auto *tables = reinterpret_cast<unsigned char *>(const_cast<ConstP_Corvanta_T *>(values.tables.get()));
    return reinterpret_cast<double *>(tables + d.offset);
  }
  return const_cast<double *>(parameterValues(static_cast<const VehicleValues &>(values), d, axle));
}

const double *parameterValues(const VehicleValues &values, const ParameterDescription &d, int axle) {
  const unsigned char *base = nullptr;
  switch (d.kind) {
    case ParameterKind::Scalar:
      base = reinterpret_cast<const unsigned char *>(&values.scalars);
      break;
    case ParameterKind::Tyre:
      base = reinterpret_cast<const unsigned char *>(&values.tyre[axle]);
      break;
    case ParameterKind::Table:
      base = reinterpret_cast<const unsigned char *>(values.tables.get());
      break;
  }
  return reinterpret_cast<const double *>(base + d.offset);
}

std::string shortestText(double value) {
  if (std::isnan(value)) {
    return "nan";
  }
  if (std::isinf(value)) {
    return value > 0 ? "inf" : "-inf";
  }
  char buffer[32];
  const std::to_chars_result result = doubletext::toChars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string rangeText(const ParameterDescription &d) {
  if (d.kind == ParameterKind::Table) {
    return d.axis ? "finite, strictly increasing" : "finite";
  }
  auto bound = [](double v) {
    // Whole bounds in plain digits (100000, not 1e+05).
    if (v == std::floor(v) && std::fabs(v) < 1e16) {
      char buffer[32];
      const std::to_chars_result r = doubletext::toChars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
      return std::string(buffer, r.ptr);
    }
    return shortestText(v);
  };
  std::string text = d.lowerOpen ? "(" : "[";
  text += bound(d.lower) + ", " + bound(d.upper);
  text += d.upperOpen ? ")" : "]";
  if (std::strcmp(d.unit, "1") != 0) {
    text += std::string(" ") + d.unit;
  }
  return text;
}

bool withinBounds(const ParameterDescription &d, double value) {
  if (!std::isfinite(value)) {
    return false;
  }
  if (d.kind == ParameterKind::Table) {
    return true;
  }
  const bool aboveLower = d.lowerOpen ? value > d.lower : value >= d.lower;
  const bool belowUpper = d.upperOpen ? value < d.upper : value <= d.upper;
  return aboveLower && belowUpper;
}

std::string suggestParameter(std::string_view name) {
  return corvanta::engine::didYouMean(name, knownParameterNames());
}

}  // namespace corvanta::vehicle
