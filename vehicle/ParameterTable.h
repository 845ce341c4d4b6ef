// The names, units, bounds and places of every parameter of a set, made from the one list
// (model/ParameterList.def), and the values of a set behind those names.
#ifndef CORVANTA_VEHICLE_PARAMETERTABLE_H
#define CORVANTA_VEHICLE_PARAMETERTABLE_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/Parameters.h"

namespace corvanta::vehicle {

enum class ParameterKind { Scalar, Tyre, Table };

struct ParameterDescription {
  const char *name;
  const char *unit;
  const char *meaning;
  ParameterKind kind;
  std::size_t count;  // 1 for scalars and tyre coefficients
  double builtin;     // scalars and tyre coefficients
  double lower;
  bool lowerOpen;
  double upper;
  bool upperOpen;
  const char *section;  // tyre: the .tir section; "" otherwise
  const char *dormant;  // "" when the parameter acts, else why it cannot
  bool axis;            // tables: strictly increasing breakpoints
  std::size_t offset;   // byte offset in its record (ScalarParameters, TyreCoefficients or ConstP)
};

// A view of the parameter list: a constant array, so reading it never allocates (the C
// functions that read it cannot fail on memory).
class ParameterDescriptions {
 public:
  constexpr ParameterDescriptions(const ParameterDescription *first, std::size_t count)
      : first_(first), count_(count) {}
  const ParameterDescription *begin() const { return first_; }
  const ParameterDescription *end() const { return first_ + count_; }
  std::size_t size() const { return count_; }
  const ParameterDescription &operator[](std::size_t index) const { return first_[index]; }

 private:
  const ParameterDescription *first_;
  std::size_t count_;
};

// Every parameter in list order: scalars, tables, tyre coefficients.
ParameterDescriptions parameterDescriptions();

// Whether a documentation group of the list starts just before parameter `index` (an index
// of parameterDescriptions()); then its title and the model sources that read its parameters.
bool parameterGroupBefore(std::size_t index, const char **title, const char **blocks);

// The description of `name` (a tyre coefficient without its axle prefix), or null.
const ParameterDescription *findParameter(std::string_view name);

// Every name a file or a caller may use: the list's names and the per-axle tyre names
// "FrontTyre.NAME" and "RearTyre.NAME".
const std::vector<std::string_view> &knownParameterNames();

// The values of one set.  The tables (about 600 kB, nearly all of a set) are shared, read
// only, by the copies of a set until one of them changes a table: a copy of a set, and a
// change of a scalar or a tyre coefficient, copy a few hundred values, not the maps.
struct VehicleValues {
  ScalarParameters scalars;
  TyreCoefficients tyre[2];
  // Never null.  Written only through writableParameterValues(), which copies it first
  // unless this set is its only owner; a pointer that owns nothing (the compiled tables)
  // is always copied.
  std::shared_ptr<const ConstP_Corvanta_T> tables;
};

// Which axles a name addresses: "PDY1" both, "FrontTyre.PDY1" the front one.
struct ParameterAddress {
  const ParameterDescription *description = nullptr;
  bool axle[2] = {false, false};  // tyre coefficients only
};

// The address of `name`, or one with a null description for an unknown name.
ParameterAddress resolveParameter(std::string_view name);

// The first value of the parameter in `values` (for a tyre coefficient, on `axle`).
const double *parameterValues(const VehicleValues &values, const ParameterDescription &d, int axle);
// The same, to be changed: a table's values are first made the tables of `values` alone
// (which may copy them, and throw std::bad_alloc).
double *writableParameterValues(VehicleValues &values, const ParameterDescription &d, int axle);

// "[lo, hi]" style text of a parameter's allowed range, with its unit.
std::string rangeText(const ParameterDescription &d);

// Whether `value` lies within the bounds of `d`.
bool withinBounds(const ParameterDescription &d, double value);

// The shortest text that reads back as `value` ("nan", "inf", "-inf" for non-finite).
std::string shortestText(double value);

// " (did you mean NAME?)" for a misspelt parameter name, or "".
std::string suggestParameter(std::string_view name);

}  // namespace corvanta::vehicle

#endif  // CORVANTA_VEHICLE_PARAMETERTABLE_H
