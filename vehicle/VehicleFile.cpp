// The vehicle file reader and writer.
#include "vehicle/VehicleFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

#include "engine/messages/NameSuggestion.h"
#include "vehicle/JsonText.h"
#include "vehicle/TextFile.h"
#include "vehicle/TyrePropertyFile.h"

namespace corvanta::vehicle {

namespace {

constexpr std::size_t kMaxVehicleFileBytes = 64u << 20;
// Problems of reading a document listed in a message; the rest are counted.
constexpr std::size_t kMaxListedErrors = 20;
const std::vector<std::string_view> kTopLevelKeys = {"name", "description", "tyre", "parameters"};
const std::vector<std::string_view> kAxleKeys = {"front", "rear"};

std::string quotedExcerpt(std::string_view s) {
  std::string out;
  for (const char c : s.substr(0, 48)) {
    out += (static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127) ? c : '?';
  }
  return "\"" + out + (s.size() > 48 ? "...\"" : "\"");
}

std::string joinPath(const std::string &directory, const std::string &file) {
  if (file.empty() || file.front() == '/' || directory.empty()) {
    return file;
  }
#ifdef _WIN32
  if (file.size() > 1 && file[1] == ':') return file;
#endif
  return directory.back() == '/' ? directory + file : directory + "/" + file;
}

std::string directoryOf(const std::string &path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

VehicleFileResult readVehicleText(std::string_view text, const std::string &source, const std::string &baseDirectory,
                                  CorvantaVehicle &vehicle) {
  VehicleFileResult result;
  auto at = [&source](int line) { return source + ":" + std::to_string(line) + ": "; };
  if (text.size() > kMaxVehicleFileBytes) {
    result.errors.push_back(source + ": file is larger than " + std::to_string(kMaxVehicleFileBytes) + " bytes");
    return result;
  }
  JsonValue root;
  std::string syntax;
  if (!parseJson(text, root, syntax)) {
    result.errors.push_back(source + ":" + syntax);
    return result;
  }
  if (root.type != JsonValue::Type::Object) {
    result.errors.push_back(at(root.line) + "a vehicle file is a JSON object, found " + jsonTypeName(root.type));
    return result;
  }

  ParameterBlock &block = vehicle.writable();
  std::map<std::string, int> lines;  // parameter name as written -> line
  std::vector<std::string> warnings;
  const JsonValue *parameters = nullptr;
  for (std::size_t m = 0; m < root.members.size(); ++m) {
    const std::string &key = root.members[m].first;
    const JsonValue &value = root.members[m].second;
    const int line = root.memberLines[m];
    if (key == "name" || key == "description") {
      if (value.type != JsonValue::Type::String) {
        result.errors.push_back(at(line) + "\"" + key + "\" must be a string, found " + jsonTypeName(value.type));
      } else {
        (key == "name" ? vehicle.name : vehicle.description) = value.text;
      }
    } else if (key == "tyre") {
      auto readTyre = [&](const JsonValue &file, int axleLine, const bool axles[2]) {
        if (file.type != JsonValue::Type::String || file.text.empty()) {
          result.errors.push_back(at(axleLine) + "a tyre is the path of a .tir file (a string), found " +
                                  jsonTypeName(file.type));
          return;
        }
        TyreCoefficients tyre = block.values.tyre[axles[0] ? kFrontAxle : kRearAxle];
        const TyreFileResult read = readTyrePropertyFile(joinPath(baseDirectory, file.text), tyre);
        for (const std::string &e : read.errors) {
          result.errors.push_back(at(axleLine) + "tyre: " + e);
        }
        if (!read.warning.empty()) warnings.push_back(read.warning);
        if (read.ok) {
          for (int axle = 0; axle < 2; ++axle) {
            if (axles[axle]) block.values.tyre[axle] = tyre;
          }
        }
      };
      if (value.type == JsonValue::Type::String) {
        const bool both[2] = {true, true};
        readTyre(value, line, both);
      } else if (value.type == JsonValue::Type::Object) {
        for (std::size_t a = 0; a < value.members.size(); ++a) {
          const std::string &axleKey = value.members[a].first;
          if (axleKey != "front" && axleKey != "rear") {
            result.errors.push_back(at(value.memberLines[a]) + "unknown key " + quotedExcerpt(axleKey) +
                                    " in \"tyre\": use \"front\" and \"rear\"" +
                                    corvanta::engine::didYouMean(axleKey, kAxleKeys));
            continue;
          }
          const bool axles[2] = {axleKey == "front", axleKey == "rear"};
          readTyre(value.members[a].second, value.memberLines[a], axles);
        }
      } else {
        result.errors.push_back(at(line) + "\"tyre\" must be a .tir path or {\"front\": ..., \"rear\": ...}, found " +
                                jsonTypeName(value.type));
      }
    } else if (key == "parameters") {
      if (value.type != JsonValue::Type::Object) {
        result.errors.push_back(at(line) + "\"parameters\" must be an object of NAME: value, found " +
                                jsonTypeName(value.type));
      } else {
        parameters = &value;
      }
    } else {
      result.errors.push_back(at(line) + "unknown key " + quotedExcerpt(key) +
                              " (known: name, description, tyre, parameters)" +
                              corvanta::engine::didYouMean(key, kTopLevelKeys));
    }
  }

  // Parameters after the tyre files: a named coefficient overrides the file's.
  if (parameters != nullptr) {
    for (std::size_t m = 0; m < parameters->members.size(); ++m) {
      const std::string &name = parameters->members[m].first;
      const JsonValue &value = parameters->members[m].second;
      const int line = parameters->memberLines[m];
      const ParameterAddress address = resolveParameter(name);
      if (address.description == nullptr) {
        result.errors.push_back(at(line) + "unknown parameter " + quotedExcerpt(name) + suggestParameter(name));
        continue;
      }
      const ParameterDescription &d = *address.description;
      std::vector<double> numbers;
      if (d.count == 1) {
        if (value.type != JsonValue::Type::Number) {
          result.errors.push_back(at(line) + name + " must be a number (" + d.unit + "), found " +
                                  jsonTypeName(value.type));
          continue;
        }
        numbers.push_back(value.number);
      } else {
        if (value.type != JsonValue::Type::Array) {
          result.errors.push_back(at(line) + name + " must be an array of " + std::to_string(d.count) +
                                  " numbers, found " + jsonTypeName(value.type));
          continue;
        }
        if (value.elements.size() != d.count) {
          result.errors.push_back(at(line) + name + " has " + std::to_string(value.elements.size()) +
                                  " values; it needs " + std::to_string(d.count));
          continue;
        }
        bool allNumbers = true;
        for (std::size_t i = 0; i < value.elements.size() && allNumbers; ++i) {
          if (value.elements[i].type != JsonValue::Type::Number) {
            result.errors.push_back(at(value.elements[i].line) + name + "[" + std::to_string(i) +
                                    "] must be a number, found " + jsonTypeName(value.elements[i].type));
            allNumbers = false;
          } else {
            numbers.push_back(value.elements[i].number);
          }
        }
        if (!allNumbers) continue;
      }
      for (int axle = 0; axle < 2; ++axle) {
        if (d.kind == ParameterKind::Tyre && !address.axle[axle]) continue;
        double *target = writableParameterValues(block.values, d, axle);
        for (std::size_t i = 0; i < d.count; ++i) target[i] = numbers[i];
        if (d.kind != ParameterKind::Tyre) break;
      }
      lines[name] = line;
      if (d.kind == ParameterKind::Tyre) {
        // Problems name a tyre coefficient with its axle, or without when both axles agree.
        lines[d.name] = line;
        for (int axle = 0; axle < 2; ++axle) {
          if (address.axle[axle]) lines[std::string(axle == 0 ? "FrontTyre." : "RearTyre.") + d.name] = line;
        }
      }
    }
  }

  // The problems of reading, which grow with the document, are listed up to a bound.
  if (result.errors.size() > kMaxListedErrors) {
    const std::size_t more = result.errors.size() - kMaxListedErrors;
    result.errors.resize(kMaxListedErrors);
    result.errors.push_back(source + ": " + std::to_string(more) + " more problems not listed");
  }
  if (result.errors.empty()) {
    block.derive();
    for (const Problem &problem : validate(block.values)) {
      const auto it = lines.find(problem.parameter);
      result.errors.push_back((it != lines.end() ? at(it->second) : source + ": ") + problem.message);
    }
  }
  vehicle.warnings.clear();
  for (const std::string &w : warnings) {
    vehicle.warnings += (vehicle.warnings.empty() ? "" : "\n") + w;
  }
  result.ok = result.errors.empty();
  return result;
}

VehicleFileResult readVehicleFile(const std::string &path, CorvantaVehicle &vehicle) {
  VehicleFileResult result;
  std::string text;
  std::string reason;
  switch (readTextFile(path, kMaxVehicleFileBytes, text, reason)) {
    case ReadStatus::Ok:
      break;
    case ReadStatus::CannotOpen:
      result.errors.push_back(path + ": cannot open the vehicle file: " + reason);
      return result;
    case ReadStatus::TooLarge:
    case ReadStatus::ReadError:
      result.errors.push_back(path + ": not a readable file of at most " + std::to_string(kMaxVehicleFileBytes) +
                              " bytes");
      return result;
  }
  if (text.find('\0') != std::string::npos) {
    result.errors.push_back(path + ": NUL byte: not a text file");
    return result;
  }
  return readVehicleText(text, path, directoryOf(path), vehicle);
}

std::string vehicleText(const CorvantaVehicle &vehicle) {
  const VehicleValues &values = vehicle.block->values;
  const bool bothAlike = sameTyreOnBothAxles(values);
  std::ostringstream out;
  out << "{\n  \"name\": " << jsonQuoted(vehicle.name) << ",\n  \"description\": " << jsonQuoted(vehicle.description)
      << ",\n  \"parameters\": {";
  bool first = true;
  auto entry = [&](const std::string &name, const double *v, std::size_t count) {
    out << (first ? "\n" : ",\n") << "    " << jsonQuoted(name) << ": ";
    first = false;
    if (count == 1) {
      out << shortestText(v[0]);
      return;
    }
    out << "[";
    for (std::size_t i = 0; i < count; ++i) {
      out << (i == 0 ? "" : (i % 10 == 0 ? ",\n      " : ", ")) << shortestText(v[i]);
    }
    out << "]";
  };
  for (const ParameterDescription &d : parameterDescriptions()) {
    if (d.kind == ParameterKind::Tyre && !bothAlike) {
      entry(std::string("FrontTyre.") + d.name, parameterValues(values, d, kFrontAxle), 1);
      entry(std::string("RearTyre.") + d.name, parameterValues(values, d, kRearAxle), 1);
    } else {
      entry(d.name, parameterValues(values, d, kFrontAxle), d.count);
    }
  }
  out << "\n  }\n}\n";
  return out.str();
}

}  // namespace corvanta::vehicle
