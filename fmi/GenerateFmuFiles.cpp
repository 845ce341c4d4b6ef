// Writes the files of the Corvanta FMUs that come from the variable list: the FMI 2.0 and
// FMI 3.0 model descriptions and the documentation page.
//
//   generate_fmu_files OUTPUT_DIRECTORY
//
// gives OUTPUT_DIRECTORY/2.0/modelDescription.xml, OUTPUT_DIRECTORY/3.0/modelDescription.xml
// and OUTPUT_DIRECTORY/documentation/index.html, and the variable table of README.md as
// OUTPUT_DIRECTORY/variables.md.  Each file is written under a temporary name
// and renamed, so it is complete or absent.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "fmi/FmuIdentity.h"
#include "fmi/FmuParameters.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

// The signal list as its strings, without the library (this program runs at build time).
struct SignalText {
  const char *unit;
  const char *description;
};
constexpr SignalText kSignalTexts[] = {
#define CORVANTA_SIGNAL(name, unit, meaning) {unit, meaning},
#include "vehicle/corvanta_signal_list.def"
#undef CORVANTA_SIGNAL
};
static_assert(sizeof kSignalTexts / sizeof kSignalTexts[0] == CORVANTA_NUM_SIGNALS, "one text per signal");

const char *signalUnitText(int index) { return kSignalTexts[index].unit; }
const char *signalDescriptionText(int index) { return kSignalTexts[index].description; }

struct Variable {
  unsigned vr;
  std::string name;
  std::string causality;    // independent, input, parameter, output, local
  std::string variability;  // continuous, discrete, fixed
  std::string unit;         // empty: dimensionless
  std::string start;        // empty: none
  std::string description;
  std::string min;  // empty: none
  std::string max;
  std::string type = "Real";  // Real or String
  bool minExcluded = false;   // the range is open on that side
  bool maxExcluded = false;
};

// The range as an interval ("" when none is given).
std::string rangeText(const Variable &v) {
  if (v.min.empty() && v.max.empty()) {
    return "";
  }
  return std::string(v.minExcluded ? "(" : "[") + v.min + ", " + v.max + (v.maxExcluded ? ")" : "]");
}

// The shortest decimal text that reads back to the same double.
std::string shortest(double value) {
  char text[64];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end.ptr);
}

// The FMI unit of a unit of the parameter list ("" for a pure number).
std::string fmuUnit(const std::string &listUnit) {
  struct Mapping {
    const char *list;
    const char *fmu;
  };
  static const Mapping kMappings[] = {
      {"1", ""},
      {"kg", "kg"},
      {"m", "m"},
      {"m/s", "m/s"},
      {"m/s^2", "m/s2"},
      {"s", "s"},
      {"rad", "rad"},
      {"rad/s", "rad/s"},
      {"N", "N"},
      {"N*m", "N.m"},
      {"kg*m^2", "kg.m2"},
      {"N*m/rad", "N.m/rad"},
      {"N*m*s/rad", "N.m.s/rad"},
  };
  for (const Mapping &m : kMappings) {
    if (listUnit == m.list) {
      return m.fmu;
    }
  }
  std::cerr << "generate_fmu_files: the parameter list's unit \"" << listUnit
            << "\" has no FMI unit; add it to fmuUnit and kUnits\n";
  std::exit(1);
}

// The vehicle parameters: every scalar and tyre coefficient of the vehicle library's list.
void addVehicleParameters(std::vector<Variable> &list) {
  for (const corvanta_fmi::FmuParameter &p : corvanta_fmi::fmuParameters()) {
    const CorvantaParameterInfo &info = p.info;
    std::string description;
    if (p.axle >= 0) {
      description = std::string(p.axle == 0 ? "Front" : "Rear") + " tyres, " + info.name +
                    " of a tyre property file ([" + info.tir_section + "]): ";
    }
    std::string meaning = info.meaning;
    if (p.axle < 0 && !meaning.empty() && meaning[0] >= 'a' && meaning[0] <= 'z') {
      meaning[0] = static_cast<char>(meaning[0] - 'a' + 'A');
    }
    description += meaning;
    if (info.lower_open != 0 || info.upper_open != 0) {
      description += info.lower_open != 0 && info.upper_open != 0 ? " (min and max excluded)"
                     : info.lower_open != 0                       ? " (min excluded)"
                                                                  : " (max excluded)";
    }
    if (info.dormant[0] != '\0') {
      description += std::string("; no effect on the outputs: ") + info.dormant;
    }
    Variable v{p.vr,
               p.name,
               "parameter",
               "fixed",
               fmuUnit(info.unit),
               shortest(info.builtin),
               description,
               shortest(info.lower),
               shortest(info.upper),
               "Real",
               info.lower_open != 0,
               info.upper_open != 0};
    list.push_back(v);
  }
}

// The signal list's unit and meaning ("1", a pure number, is dimensionless: no unit).
std::string signalUnit(int index) {
  const std::string unit = signalUnitText(index);
  return unit == "1" ? std::string() : unit;
}

std::string signalDescription(int index) { return signalDescriptionText(index); }

std::vector<Variable> listedVariables() {
  std::vector<Variable> list = {
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value) \
  {vr, #name, "independent", "continuous", "s", "", description, "", ""},
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description) \
  {vr, #name, "input", "continuous", unit, #start, description, "", ""},
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description) \
  {vr, #name, "parameter", "fixed", unit, #start, description, "", ""},
#define CORVANTA_FMU_SIGNAL(vr, name, variability) \
  {                                                \
      vr,                                          \
      #name,                                       \
      "output",                                    \
      #variability,                                \
      signalUnit(CORVANTA_SIGNAL_##name),          \
      "",                                          \
      signalDescription(CORVANTA_SIGNAL_##name),   \
      "",                                          \
      ""},
#include "fmi/FmuVariables.def"
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
  };
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value)
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description)
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description)
#define CORVANTA_FMU_SIGNAL(vr, name, variability)
#define CORVANTA_FMU_STRING_PARAMETER(vr, name, description) \
  list.push_back({vr, #name, "parameter", "fixed", "", "", description, "", "", "String"});
#include "fmi/FmuVariables.def"
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
#undef CORVANTA_FMU_STRING_PARAMETER
  addVehicleParameters(list);
  // Value references and names are unique (the vehicle parameters' are made from their names).
  std::set<unsigned> references;
  std::set<std::string> names;
  for (const Variable &v : list) {
    if (!references.insert(v.vr).second || !names.insert(v.name).second) {
      std::cerr << "generate_fmu_files: value reference " << v.vr << " or name " << v.name << " is not unique\n";
      std::exit(1);
    }
    if (v.vr >= corvanta_fmi::kParameterReferenceBase && v.causality != "parameter") {
      std::cerr << "generate_fmu_files: value reference " << v.vr << " lies among the vehicle parameters'\n";
      std::exit(1);
    }
  }
  auto byReference = [&list](unsigned vr) -> Variable & {
    for (Variable &v : list) {
      if (v.vr == vr) {
        return v;
      }
    }
    std::cerr << "generate_fmu_files: FmuVariables.def gives attributes to unknown value reference " << vr << "\n";
    std::exit(1);
  };
#define CORVANTA_FMU_INDEPENDENT(vr, name, description, value)
#define CORVANTA_FMU_INPUT(vr, name, unit, start, description)
#define CORVANTA_FMU_PARAMETER(vr, name, unit, start, description)
#define CORVANTA_FMU_SIGNAL(vr, name, variability)
#define CORVANTA_FMU_DISCRETE(vr) byReference(vr).variability = "discrete";
#define CORVANTA_FMU_RANGE(vr, min_, max_) \
  byReference(vr).min = #min_;             \
  byReference(vr).max = #max_;
#include "fmi/FmuVariables.def"
#undef CORVANTA_FMU_INDEPENDENT
#undef CORVANTA_FMU_INPUT
#undef CORVANTA_FMU_PARAMETER
#undef CORVANTA_FMU_SIGNAL
#undef CORVANTA_FMU_DISCRETE
#undef CORVANTA_FMU_RANGE
  return list;
}

const std::vector<Variable> &variables() {
  static const std::vector<Variable> list = listedVariables();
  return list;
}

// Attributes of the numeric type element shared by both versions (Real / Float64).
std::string rangeAttributes(const Variable &v) {
  std::string out;
  if (!v.min.empty()) {
    out += " min=\"" + v.min + "\"";
  }
  if (!v.max.empty()) {
    out += " max=\"" + v.max + "\"";
  }
  return out;
}

struct Unit {
  const char *name;
  const char *baseUnit;  // attributes of BaseUnit
  const char *meaning;
};

const Unit kUnits[] = {
    {"s", "s=\"1\"", "second"},
    {"m", "m=\"1\"", "metre"},
    {"m/s", "m=\"1\" s=\"-1\"", "metre per second"},
    {"m/s2", "m=\"1\" s=\"-2\"", "metre per second squared"},
    {"rad", "rad=\"1\"", "radian"},
    {"rad/s", "rad=\"1\" s=\"-1\"", "radian per second"},
    {"N", "kg=\"1\" m=\"1\" s=\"-2\"", "newton"},
    {"N.m", "kg=\"1\" m=\"2\" s=\"-2\"", "newton metre"},
    {"kg", "kg=\"1\"", "kilogram"},
    {"kg.m2", "kg=\"1\" m=\"2\"", "kilogram square metre"},
    {"N.m/rad", "kg=\"1\" m=\"2\" s=\"-2\" rad=\"-1\"", "newton metre per radian"},
    {"N.m.s/rad", "kg=\"1\" m=\"2\" s=\"-1\" rad=\"-1\"", "newton metre second per radian"},
};

struct LogCategory {
  const char *name;
  const char *description;
};

const LogCategory kLogCategories[] = {
    {"logStatusError", "Refused calls and their reasons (always reported)"},
    {"logStatusWarning", "Warnings"},
    {"logEvents", "Changes of the instance's FMI state"},
};

const char *const kModelDescription =
    "Rear-wheel-drive passenger car with a five-speed automatic gearbox: engine, torque converter, "
    "shift logic, brakes, four Magic-Formula tyres, planar body with pitch and roll";

// Which sin, cos, atan and exp the binaries use (CMake option CORVANTA_PORTABLE_MATH).
#if defined(CORVANTA_PORTABLE_MATH)
const char *const kMathsNote =
    "; maths: correctly rounded sin, cos, atan and exp of its own, the same bits on every platform";
#else
const char *const kMathsNote = "; maths: the platform's maths library (last bits may differ between platforms)";
#endif

std::string escape(const std::string &text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool usesUnit(const char *unit) {
  for (const Variable &v : variables()) {
    if (v.unit == unit) {
      return true;
    }
  }
  return false;
}

void writeUnitsAndCategories(std::ostream &out) {
  out << "  <UnitDefinitions>\n";
  for (const Unit &unit : kUnits) {
    if (usesUnit(unit.name)) {
      out << "    <Unit name=\"" << unit.name << "\"><BaseUnit " << unit.baseUnit << "/></Unit>\n";
    }
  }
  out << "  </UnitDefinitions>\n";
}

void writeLogCategories(std::ostream &out) {
  out << "  <LogCategories>\n";
  for (const LogCategory &category : kLogCategories) {
    out << "    <Category name=\"" << category.name << "\" description=\"" << escape(category.description) << "\"/>\n";
  }
  out << "  </LogCategories>\n";
}

void writeDefaultExperiment(std::ostream &out) {
  out << "  <DefaultExperiment startTime=\"0\" stopTime=\"10\" stepSize=\"0.0001\"/>\n";
}

std::string header(const char *version, const char *tokenAttribute) {
  std::ostringstream out;
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<fmiModelDescription fmiVersion=\"" << version << "\" modelName=\"Corvanta\" " << tokenAttribute << "=\""
      << corvanta_fmi::kInstantiationToken << "\"\n"
      << "    description=\"" << escape(kModelDescription) << escape(kMathsNote) << "\"\n"
      << "    version=\"" << CORVANTA_VERSION_STRING << "\" generationTool=\"Corvanta generate_fmu_files\""
      << " variableNamingConvention=\"flat\"";
  return out.str();
}

std::string fmi2ModelDescription() {
  std::ostringstream out;
  out << header("2.0", "guid") << " numberOfEventIndicators=\"0\">\n";
  out << "  <CoSimulation modelIdentifier=\"" << corvanta_fmi::kModelIdentifier << "\""
      << " canHandleVariableCommunicationStepSize=\"true\" canInterpolateInputs=\"false\""
      << " maxOutputDerivativeOrder=\"0\" canRunAsynchronuously=\"false\""
      << " canBeInstantiatedOnlyOncePerProcess=\"false\" canNotUseMemoryManagementFunctions=\"true\""
      << " canGetAndSetFMUstate=\"true\" canSerializeFMUstate=\"true\" providesDirectionalDerivative=\"false\"/>\n";
  writeUnitsAndCategories(out);
  writeLogCategories(out);
  writeDefaultExperiment(out);
  out << "  <ModelVariables>\n";
  std::vector<std::size_t> outputs;
  std::size_t index = 0;
  for (const Variable &v : variables()) {
    ++index;
    out << "    <!-- " << index << " -->\n";
    out << "    <ScalarVariable name=\"" << v.name << "\" valueReference=\"" << v.vr << "\" description=\""
        << escape(v.description) << "\"\n"
        << "        causality=\"" << v.causality << "\" variability=\"" << v.variability << "\"";
    if (v.causality == "parameter") {
      out << " initial=\"exact\"";
    }
    if (v.type == "String") {
      out << ">\n      <String start=\"" << escape(v.start) << "\"/>\n    </ScalarVariable>\n";
    } else {
      out << ">\n      <Real";
      if (!v.unit.empty()) {
        out << " unit=\"" << v.unit << "\"";
      }
      out << rangeAttributes(v);
      if (!v.start.empty()) {
        out << " start=\"" << v.start << "\"";
      }
      out << "/>\n    </ScalarVariable>\n";
    }
    if (v.causality == "output") {
      outputs.push_back(index);
    }
  }
  // Outputs depend on no input directly: within a communication point they are the values of
  // the last step, and an input set now acts only in the next DoStep.  An empty dependency
  // list says so, so that hosts do not see algebraic loops.
  out << "  </ModelVariables>\n  <ModelStructure>\n    <Outputs>\n";
  for (std::size_t i : outputs) {
    out << "      <Unknown index=\"" << i << "\" dependencies=\"\"/>\n";
  }
  out << "    </Outputs>\n    <InitialUnknowns>\n";
  for (std::size_t i : outputs) {
    out << "      <Unknown index=\"" << i << "\" dependencies=\"\"/>\n";
  }
  out << "    </InitialUnknowns>\n  </ModelStructure>\n</fmiModelDescription>\n";
  return out.str();
}

std::string fmi3ModelDescription() {
  std::ostringstream out;
  out << header("3.0", "instantiationToken") << ">\n";
  out << "  <CoSimulation modelIdentifier=\"" << corvanta_fmi::kModelIdentifier << "\""
      << " canHandleVariableCommunicationStepSize=\"true\" fixedInternalStepSize=\"0.0001\""
      << " maxOutputDerivativeOrder=\"0\" canBeInstantiatedOnlyOncePerProcess=\"false\""
      << " canGetAndSetFMUState=\"true\" canSerializeFMUState=\"true\""
      << " providesDirectionalDerivatives=\"false\" providesAdjointDerivatives=\"false\""
      << " hasEventMode=\"false\" providesIntermediateUpdate=\"false\""
      << " canReturnEarlyAfterIntermediateUpdate=\"false\"/>\n";
  writeUnitsAndCategories(out);
  writeLogCategories(out);
  writeDefaultExperiment(out);
  out << "  <ModelVariables>\n";
  std::vector<unsigned> outputs;
  for (const Variable &v : variables()) {
    if (v.type == "String") {
      out << "    <String name=\"" << v.name << "\" valueReference=\"" << v.vr << "\" description=\""
          << escape(v.description) << "\"\n"
          << "        causality=\"" << v.causality << "\" variability=\"" << v.variability << "\" initial=\"exact\">\n"
          << "      <Start value=\"" << escape(v.start) << "\"/>\n    </String>\n";
      continue;
    }
    out << "    <Float64 name=\"" << v.name << "\" valueReference=\"" << v.vr << "\" description=\""
        << escape(v.description) << "\"\n"
        << "        causality=\"" << v.causality << "\" variability=\"" << v.variability << "\"";
    if (v.causality == "parameter") {
      out << " initial=\"exact\"";
    }
    if (!v.unit.empty()) {
      out << " unit=\"" << v.unit << "\"";
    }
    out << rangeAttributes(v);
    if (!v.start.empty()) {
      out << " start=\"" << v.start << "\"";
    }
    out << "/>\n";
    if (v.causality == "output") {
      outputs.push_back(v.vr);
    }
  }
  out << "  </ModelVariables>\n  <ModelStructure>\n";
  for (unsigned vr : outputs) {
    out << "    <Output valueReference=\"" << vr << "\" dependencies=\"\"/>\n";
  }
  for (unsigned vr : outputs) {
    out << "    <InitialUnknown valueReference=\"" << vr << "\" dependencies=\"\"/>\n";
  }
  out << "  </ModelStructure>\n</fmiModelDescription>\n";
  return out.str();
}

std::string documentation() {
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<title>Corvanta FMU</title>\n"
      << "<style>body{font-family:sans-serif;max-width:70em;margin:2em auto}table{border-collapse:collapse}"
      << "td,th{border:1px solid #999;padding:0.2em 0.5em;text-align:left;vertical-align:top}</style>\n"
      << "</head>\n<body>\n<h1>Corvanta " << CORVANTA_VERSION_STRING << " &mdash; co-simulation FMU</h1>\n"
      << "<p>" << escape(kModelDescription) << ".</p>\n"
      << "<p>Model identifier <code>Corvanta</code>; instantiation token (GUID) <code>"
      << corvanta_fmi::kInstantiationToken << "</code>. One file carries FMI 2.0 or FMI 3.0 binaries for "
      << "64-bit Linux and 64-bit Windows. The Linux binary carries its C++ runtime and needs nothing newer "
      << "than glibc 2.17 (x86-64).</p>\n"
      << "<h2>Step rule</h2>\n"
      << "<p>The model advances in fixed internal steps of 0.0001 s (fourth-order Runge-Kutta). A communication "
      << "step must be a positive whole multiple <i>n</i> of it: <code>|h / 0.0001 - n| &lt;= "
      << corvanta_fmi::kStepTolerance << "</code>. The FMU then takes exactly <i>n</i> internal steps. Its time is "
      << "<code>startTime + (steps taken) &times; 0.0001 s</code>, formed from an integer count, so it never "
      << "drifts. The FMU synchronises to the importer's clock: a <code>currentCommunicationPoint</code> less "
      << "than half an internal step (0.00005 s) from the FMU's time names that time (an importer that sums its "
      << "step sizes, <code>t += h</code>, drifts from it by rounding); one further away cannot be the FMU's time "
      << "and is refused. Any other step, a refused communication point, or a call in the wrong state returns the "
      << "error status with a logged message; the instance then accepts the getters, Reset, FreeInstance and "
      << "SetFMUstate (a restart from a state saved before the error) and the functions that free, size, "
      << "serialise and deserialise FMU states.</p>\n"
      << "<p>Inputs are held over a communication step. The initial-condition parameters are read by the first "
      << "internal step after initialisation and are fixed afterwards. The outputs are the model's signals: "
      << "after a step the values of the step's last evaluation, exactly what the C interface returns after the "
      << "same steps (<code>EngineSpeed</code> and <code>ModelTime</code> are the values at the communication "
      << "point); between ExitInitializationMode and the first step the car at the start time: the pose and "
      << "speed of the initial conditions, gear 1, zero pitch and roll, the standing car's tyre loads.</p>\n"
      << "<h2>Conventions</h2>\n<ul>\n"
      << "<li>SI units throughout (m, m/s, rad, rad/s, N, N&middot;m).</li>\n"
      << "<li>Body axes: x forward, y to the left, z up, origin at the centre of mass.</li>\n"
      << "<li>Global X, Y lie in the road plane; heading and yaw are measured from X, positive "
      << "counter-clockwise seen from above; positive steering turns left.</li>\n"
      << "<li>Wheel order FL, FR, RL, RR; tyre forces are given in the tyre's own axes.</li>\n"
      << "<li>Undefined values (outside a map, invalid inputs) are NaN and propagate.</li>\n</ul>\n"
      << "<h2>Capabilities</h2>\n<p>Co-simulation only. Get, set, free, serialise and deserialise the FMU "
      << "state (a serialised state carries a format version and a CRC-32; truncated, corrupted or foreign "
      << "states are rejected). A state carries the FMI state it was saved in: one saved in step mode continues "
      << "in step mode when set into a fresh or reset instance. Several instances per process, each used by one thread "
         "at a time. Not "
      << "provided (the functions exist and return the error status): directional and adjoint derivatives, "
      << "input and output derivatives, asynchronous steps, model exchange, scheduled execution, clocks, "
      << "configuration mode. Log categories: ";
  for (const LogCategory &category : kLogCategories) {
    out << "<code>" << category.name << "</code> (" << escape(category.description) << ") ";
  }
  out << "</p>\n"
      << "<h2>Vehicle</h2>\n"
      << "<p>The FMU simulates the built-in car unless told otherwise, in two ways that combine:</p>\n<ul>\n"
      << "<li><code>VehicleFile</code> (string parameter) names a vehicle file (JSON: <code>name</code>, "
      << "<code>description</code>, <code>tyre</code>, <code>parameters</code>; the format of the vehicle "
      << "library, with tyre property files named relative to the vehicle file). An absolute path is used as "
      << "it is; a relative one is found in the FMU's resources folder (the <code>resources/</code> folder of "
      << "the unpacked FMU, which the importer names at instantiation: FMI 2.0 <code>fmuResourceLocation</code>, "
      << "a file URI; FMI 3.0 <code>resourcePath</code>), so a vehicle packed into the FMU travels with it. "
      << "Empty (the start value): the built-in car.</li>\n"
      << "<li>Every scalar vehicle parameter and every tyre coefficient of the vehicle library's parameter list "
      << "is a real parameter with its unit, its built-in value as start value and its allowed range as "
      << "<code>min</code> and <code>max</code> (where the description says so, the bound itself is excluded). "
      << "Tyre coefficients are given per axle: <code>FrontTyre.PDY1</code>, <code>RearTyre.PDY1</code>. A "
      << "parameter the importer sets applies on top of the vehicle file's value; one it does not set has the "
      << "file's value (the built-in value without a file), and getting it returns the value in effect. The "
      << "tables of the powertrain (gear ratios, engine map, converter, shift and demand maps) are not FMI "
      << "variables: a vehicle file gives them.</li>\n</ul>\n"
      << "<p>Both are fixed parameters: they may be set after instantiation and in initialization mode, and are "
      << "fixed from ExitInitializationMode on (setting one later is an error). EnterInitializationMode reads "
      << "the file, applies the parameters set, validates the whole set and makes the model from it; what is "
      << "set in initialization mode is applied and validated by ExitInitializationMode. A file that cannot be "
      << "read or has problems, a value out of its range or a set that is not physically consistent fails that "
      << "call with the error status, and the vehicle library's message (every problem, with the parameter's "
      << "name, its value and the allowed range; for files the line) reaches the logger in "
      << "<code>logStatusError</code>. Coefficients of a tyre property file that the model does not use are "
      << "listed in a warning (<code>logStatusWarning</code>). Reset returns to the built-in car with no "
      << "parameter set.</p>\n"
      << "<p>An FMU state carries the identity of the parameter set its model simulates; it is set only into an "
      << "instance simulating the same set (after initialisation with the same file and parameters, or the "
      << "built-in car on both sides), any other is refused with both identities in the message. VehicleFile "
      << "and the parameters are not part of the state: setting a state leaves them as they are.</p>\n"
      << "<h2>Variables</h2>\n<table>\n<tr><th>Value reference</th><th>Name</th><th>Causality</th>"
      << "<th>Variability</th><th>Unit</th><th>Start</th><th>Range</th><th>Description</th></tr>\n";
  for (const Variable &v : variables()) {
    out << "<tr><td>" << v.vr << "</td><td><code>" << v.name << "</code></td><td>" << v.causality << "</td><td>"
        << v.variability << "</td><td>" << (v.unit.empty() ? "&ndash;" : escape(v.unit)) << "</td><td>"
        << (v.type == "String" ? "&quot;&quot;" : v.start) << "</td><td>" << rangeText(v) << "</td><td>"
        << escape(v.description) << "</td></tr>\n";
  }
  out << "</table>\n</body>\n</html>\n";
  return out.str();
}

// Text for a cell of a Markdown table.
std::string cell(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '|') {
      out += '\\';
    }
    out += c;
  }
  return out;
}

// The variable table of README.md, which a test keeps equal to this.
std::string markdownTable() {
  std::ostringstream out;
  out << "| VR | Name | Causality | Unit | Start | Range | Description |\n|---|---|---|---|---|---|---|\n";
  for (const Variable &v : variables()) {
    out << "| " << v.vr << " | `" << v.name << "` | " << v.causality
        << (v.variability == "discrete" ? " (discrete)" : "") << " | " << (v.unit.empty() ? "–" : v.unit) << " | "
        << (v.type == "String" ? "`\"\"`" : v.start) << " | " << rangeText(v) << " | " << cell(v.description) << " |\n";
  }
  return out.str();
}

bool writeFile(const std::string &path, const std::string &text) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << text;
    if (!file.flush()) {
      std::cerr << "generate_fmu_files: cannot write " << temporary << "\n";
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::cerr << "generate_fmu_files: cannot rename " << temporary << " to " << path << "\n";
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::cerr << "usage: generate_fmu_files OUTPUT_DIRECTORY\n"
              << "writes 2.0/modelDescription.xml, 3.0/modelDescription.xml, documentation/index.html, variables.md\n"
              << "(the directories must exist)\n";
    return 2;
  }
  const std::string dir = argv[1];
  const bool ok = writeFile(dir + "/2.0/modelDescription.xml", fmi2ModelDescription()) &&
                  writeFile(dir + "/3.0/modelDescription.xml", fmi3ModelDescription()) &&
                  writeFile(dir + "/documentation/index.html", documentation()) &&
                  writeFile(dir + "/variables.md", markdownTable());
  return ok ? 0 : 1;
}
