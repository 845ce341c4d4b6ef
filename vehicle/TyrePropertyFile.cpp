// The .tir reader and writer.
//
// The format: sections "[NAME]", entries "KEY = VALUE" with numbers or quoted strings,
// comments from '!' at the start of a line or from '$' to the end of a line.  Sections of
// table data ([SHAPE] and the like) hold lines without '='; they are skipped.
#include "vehicle/TyrePropertyFile.h"
#include "runtime/DoubleText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>

#include "vehicle/ParameterTable.h"
#include "vehicle/TextFile.h"

namespace corvanta::vehicle {

namespace {

constexpr std::size_t kMaxFileBytes = 16u << 20;
constexpr std::size_t kMaxErrors = 20;

std::string upper(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Printable excerpt of untrusted text for a message.
std::string excerpt(std::string_view s) {
  std::string out;
  for (const char c : s.substr(0, 40)) {
    out += (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127) ? c : '?';
  }
  if (s.size() > 40) out += "...";
  return out;
}

bool printable(std::string_view s) {
  for (const char c : s) {
    if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) >= 127) return false;
  }
  return true;
}

// Names listed in one line of a warning; the rest are counted.
constexpr std::size_t kMaxListedNames = 40;

void appendNames(std::string &warning, const std::vector<std::string> &names) {
  for (std::size_t k = 0; k < names.size() && k < kMaxListedNames; ++k) warning += " " + names[k];
  if (names.size() > kMaxListedNames) warning += " and " + std::to_string(names.size() - kMaxListedNames) + " more";
}

bool parseNumber(std::string_view s, double &out) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  const std::from_chars_result r = doubletext::fromChars(s.data(), s.data() + s.size(), out);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(out);
}

// Factor to SI of a unit name of one [UNITS] entry; 0 when unknown.
double unitFactor(const std::string &quantity, const std::string &unit) {
  static const std::map<std::string, std::map<std::string, double>> factors = {
      {"LENGTH",
       {{"METER", 1.0},
        {"METRE", 1.0},
        {"M", 1.0},
        {"MM", 1e-3},
        {"MILLIMETER", 1e-3},
        {"MILLIMETRE", 1e-3},
        {"CM", 1e-2},
        {"CENTIMETER", 1e-2},
        {"KM", 1e3},
        {"KILOMETER", 1e3},
        {"INCH", 0.0254},
        {"IN", 0.0254},
        {"FOOT", 0.3048},
        {"FT", 0.3048}}},
      {"FORCE",
       {{"NEWTON", 1.0},
        {"N", 1.0},
        {"KN", 1e3},
        {"KILONEWTON", 1e3},
        {"POUND_FORCE", 4.4482216152605},
        {"LBF", 4.4482216152605}}},
      {"ANGLE", {{"RADIAN", 1.0}, {"RADIANS", 1.0}, {"RAD", 1.0}}},
      {"MASS",
       {{"KG", 1.0}, {"KILOGRAM", 1.0}, {"GRAM", 1e-3}, {"G", 1e-3}, {"TONNE", 1e3}, {"POUND_MASS", 0.45359237}}},
      {"TIME", {{"SECOND", 1.0}, {"SECONDS", 1.0}, {"SEC", 1.0}, {"S", 1.0}, {"MILLISECOND", 1e-3}, {"MS", 1e-3}}},
  };
  const auto q = factors.find(quantity);
  if (q == factors.end()) return 0.0;
  const auto u = q->second.find(unit);
  return u == q->second.end() ? 0.0 : u->second;
}

// Scaling coefficients the model applies, and the coefficients each scales.
const std::map<std::string, std::vector<const char *>> &appliedScalings() {
  static const std::map<std::string, std::vector<const char *>> scalings = {
      {"LFZO", {"FNOMIN"}},
      {"LCX", {"PCX1"}},
      {"LMUX", {"PDX1", "PDX2"}},
      {"LKX", {"PKX1", "PKX2"}},
      {"LEX", {"PEX1", "PEX2", "PEX3"}},
      {"LCY", {"PCY1"}},
      {"LMUY", {"PDY1", "PDY2"}},
      {"LKY", {"PKY1"}},
      {"LEY", {"PEY1", "PEY2"}},
      {"LTR", {"QDZ1", "QDZ2"}},
  };
  return scalings;
}

// Sections whose entries are not coefficients: never reported as unused.
bool metadataSection(const std::string &section) {
  return section == "MDI_HEADER" || section == "HEADER" || section == "UNITS" || section == "MODEL" || section.empty();
}

}  // namespace

TyreFileResult readTyrePropertyText(std::string_view text, const std::string &source, TyreCoefficients &tyre) {
  TyreFileResult result;
  auto error = [&](int line, const std::string &what) {
    if (result.errors.size() < kMaxErrors) {
      result.errors.push_back(source + ":" + std::to_string(line) + ": " + what);
    } else if (result.errors.size() == kMaxErrors) {
      result.errors.push_back(source + ": further errors not shown");
    }
  };
  if (text.size() > kMaxFileBytes) {
    result.errors.push_back(source + ": file of " + std::to_string(text.size()) + " bytes is larger than the " +
                            std::to_string(kMaxFileBytes) + " a tyre property file may have");
    return result;
  }
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    const int line =
        1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(nul), '\n'));
    result.errors.push_back(source + ":" + std::to_string(line) + ": NUL byte: not a text file");
    return result;
  }

  struct Entry {
    double value;
    int line;
    std::string section;
  };
  std::map<std::string, Entry> numbers;  // by upper-case key
  std::map<std::string, std::string> units;
  std::vector<std::string> unusedOrder;
  std::string section;
  bool anySection = false;
  int lineNumber = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = trim(line);
    if (line.empty() || line.front() == '!' || line.front() == '$' || line.front() == '{') {
      if (end == text.size()) break;
      continue;
    }
    // '$' starts a comment outside quotes.
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '\'' || line[i] == '"') quoted = !quoted;
      if (line[i] == '$' && !quoted) {
        line = trim(line.substr(0, i));
        break;
      }
    }
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) {
        error(lineNumber, "section header without ']': " + excerpt(line));
      } else if (close > 65 || !printable(line.substr(1, close - 1))) {
        error(lineNumber, "invalid section header " + excerpt(line.substr(0, close + 1)));
      } else {
        section = upper(trim(line.substr(1, close - 1)));
        anySection = true;
      }
      if (end == text.size()) break;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      // Table rows of data sections.
      if (section.find("COEFFICIENTS") != std::string::npos || section == "DIMENSION" || section == "VERTICAL") {
        error(lineNumber, "expected KEY = VALUE, found " + excerpt(line));
      }
      if (end == text.size()) break;
      continue;
    }
    const std::string key = upper(trim(line.substr(0, equals)));
    std::string_view value = trim(line.substr(equals + 1));
    if (key.empty() || key.size() > 64 || !printable(key)) {
      error(lineNumber, "invalid key " + excerpt(trim(line.substr(0, equals))));
      if (end == text.size()) break;
      continue;
    }
    if (!value.empty() && (value.front() == '\'' || value.front() == '"')) {
      const char quote = value.front();
      const std::size_t close = value.find(quote, 1);
      if (close == std::string_view::npos) {
        error(lineNumber, "unterminated quoted string for " + key);
      } else if (section == "UNITS") {
        units[key] = upper(value.substr(1, close - 1));
      }
      if (end == text.size()) break;
      continue;
    }
    if (section == "UNITS") {
      units[key] = upper(value);
      if (end == text.size()) break;
      continue;
    }
    double number = 0.0;
    if (!parseNumber(value, number)) {
      // Unquoted words are metadata in the header sections; elsewhere a value must be a number.
      if (!metadataSection(section)) {
        error(lineNumber, key + " = " + excerpt(value) + " is not a finite number");
      }
      if (end == text.size()) break;
      continue;
    }
    if (numbers.count(key) != 0 && numbers[key].section == section) {
      error(lineNumber,
            key + " appears twice in [" + section + "] (first on line " + std::to_string(numbers[key].line) + ")");
    } else if (numbers.count(key) == 0) {
      numbers[key] = Entry{number, lineNumber, section};
      unusedOrder.push_back(key);
    }
    if (end == text.size()) break;
  }
  if (!anySection && result.errors.empty()) {
    result.errors.push_back(source + ": no [SECTION] found: not a tyre property file");
  }

  // Units.
  double lengthFactor = 1.0, forceFactor = 1.0, timeFactor = 1.0;
  for (const auto &[quantity, unit] : units) {
    const double factor = unitFactor(quantity, unit);
    if (factor == 0.0) {
      if (quantity == "ANGLE") {
        result.errors.push_back(source + ": [UNITS] ANGLE = " + excerpt(unit) +
                                ": only radians are supported (the coefficients are per radian)");
      } else if (quantity == "LENGTH" || quantity == "FORCE" || quantity == "MASS" || quantity == "TIME") {
        result.errors.push_back(source + ": [UNITS] " + quantity + " = " + excerpt(unit) +
                                " cannot be converted to SI");
      }
      continue;
    }
    if (quantity == "LENGTH") lengthFactor = factor;
    if (quantity == "FORCE") forceFactor = factor;
    if (quantity == "TIME") timeFactor = factor;
  }
  if (!result.errors.empty()) {
    return result;
  }

  // Coefficients.
  TyreCoefficients read = tyre;
  std::vector<std::string> missing;
  std::map<std::string, bool> used;
  for (const ParameterDescription &d : parameterDescriptions()) {
    if (d.kind != ParameterKind::Tyre) continue;
    const auto it = numbers.find(d.name);
    double *target = reinterpret_cast<double *>(reinterpret_cast<unsigned char *>(&read) + d.offset);
    if (it == numbers.end()) {
      missing.push_back(d.name);
      continue;
    }
    used[d.name] = true;
    double value = it->second.value;
    if (std::strcmp(d.name, "FNOMIN") == 0) value *= forceFactor;
    if (std::strcmp(d.name, "UNLOADED_RADIUS") == 0) value *= lengthFactor;
    if (std::strcmp(d.name, "LONGVL") == 0) value = value * lengthFactor / timeFactor;
    *target = value;
  }
  for (const auto &[scaling, targets] : appliedScalings()) {
    const auto it = numbers.find(scaling);
    if (it == numbers.end()) continue;
    used[scaling] = true;
    if (it->second.value == 1.0) continue;
    for (const char *name : targets) {
      const ParameterDescription *d = findParameter(name);
      double *target = reinterpret_cast<double *>(reinterpret_cast<unsigned char *>(&read) + d->offset);
      *target *= it->second.value;
    }
  }
  // Unused: every number outside the header sections, except scaling factors of 1 (they
  // change nothing).
  std::vector<std::string> unused;
  for (const std::string &key : unusedOrder) {
    const Entry &entry = numbers[key];
    if (used.count(key) != 0 || metadataSection(entry.section)) continue;
    if (entry.section == "SCALING_COEFFICIENTS" && entry.value == 1.0) continue;
    unused.push_back(key);
  }
  if (!unused.empty()) {
    result.warning = source + ": " + std::to_string(unused.size()) +
                     " coefficients the model does not use (camber, pressure, turn slip, combined slip, other "
                     "scalings) are ignored:";
    appendNames(result.warning, unused);
  }
  if (!missing.empty()) {
    if (!result.warning.empty()) result.warning += "\n";
    result.warning += source + ": not in the file, the built-in values are kept:";
    appendNames(result.warning, missing);
  }
  // Values that read as meant only in other units: the commonest slip of a hand-edited
  // file is a speed or a radius left in m/s or m while [UNITS] says mm.
  std::string implausible;
  if (used.count("LONGVL") != 0 && read.LONGVL < 1.0) {
    implausible += " LONGVL = " + shortestText(read.LONGVL) +
                   " m/s (a measurement speed below 1 m/s; the file gives "
                   "speeds in its LENGTH per TIME units, mm/s when LENGTH is mm)";
  }
  if (used.count("UNLOADED_RADIUS") != 0 && read.UNLOADED_RADIUS < 0.05) {
    implausible += " UNLOADED_RADIUS = " + shortestText(read.UNLOADED_RADIUS) +
                   " m (a radius below 5 cm; the file "
                   "gives lengths in its LENGTH unit)";
  }
  if (!implausible.empty()) {
    if (!result.warning.empty()) result.warning += "\n";
    result.warning += source + ": implausible after the [UNITS] conversion:" + implausible;
  }
  tyre = read;
  result.ok = true;
  return result;
}

TyreFileResult readTyrePropertyFile(const std::string &path, TyreCoefficients &tyre) {
  std::string text;
  std::string reason;
  TyreFileResult result;
  switch (readTextFile(path, kMaxFileBytes, text, reason)) {
    case ReadStatus::Ok:
      return readTyrePropertyText(text, path, tyre);
    case ReadStatus::CannotOpen:
      result.errors.push_back(path + ": cannot open the tyre property file: " + reason);
      break;
    case ReadStatus::TooLarge:
      result.errors.push_back(path + ": file is larger than the " + std::to_string(kMaxFileBytes) +
                              " bytes a tyre property file may have");
      break;
    case ReadStatus::ReadError:
      result.errors.push_back(path + ": cannot read the tyre property file: " + reason);
      break;
  }
  return result;
}

std::string tyrePropertyText(const TyreCoefficients &tyre, const std::string &title) {
  std::ostringstream out;
  out << "[MDI_HEADER]\n"
         "FILE_TYPE                = 'tir'\n"
         "FILE_VERSION             = 3.0\n"
         "FILE_FORMAT              = 'ASCII'\n"
         "! "
      << title
      << "\n"
         "! Pure-slip Magic-Formula coefficients in SI units, written by corvanta-sim vehicle export-tir.\n"
         "[UNITS]\n"
         "LENGTH                   = 'meter'\n"
         "FORCE                    = 'newton'\n"
         "ANGLE                    = 'radian'\n"
         "MASS                     = 'kg'\n"
         "TIME                     = 'second'\n";
  const char *sections[] = {"MODEL",
                            "DIMENSION",
                            "VERTICAL",
                            "LONGITUDINAL_COEFFICIENTS",
                            "LATERAL_COEFFICIENTS",
                            "ALIGNING_COEFFICIENTS",
                            "ROLLING_COEFFICIENTS"};
  for (const char *section : sections) {
    out << "[" << section << "]\n";
    for (const ParameterDescription &d : parameterDescriptions()) {
      if (d.kind != ParameterKind::Tyre || std::strcmp(d.section, section) != 0) continue;
      const double value = *reinterpret_cast<const double *>(reinterpret_cast<const unsigned char *>(&tyre) + d.offset);
      std::string key = d.name;
      key.resize(std::max<std::size_t>(key.size(), 25), ' ');
      std::string number = shortestText(value);
      number.resize(std::max<std::size_t>(number.size(), 24), ' ');
      out << key << "= " << number << " $ " << d.meaning << "\n";
    }
  }
  return out.str();
}

}  // namespace corvanta::vehicle
