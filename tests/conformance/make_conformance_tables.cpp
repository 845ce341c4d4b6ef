// Writes a C++ table block from a conformance pack's tables.json, so that the model can be
// built over exactly the tables an independent build used.
//
//   make_conformance_tables TABLES.json OUT.cpp
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

struct Member {
  const char *name;
  std::size_t count;
};

// The members of the table block in storage order.
const Member kDoubleMembers[] = {
    {"EngineTorqueMap_Table", 190},  {"EngineTorqueMap_Axis1", 10}, {"EngineTorqueMap_Axis2", 19},
    {"GearRatio_Axis1", 7},          {"GearRatio_Table", 7},        {"InvCapacityFactor_Table", 24},
    {"InvCapacityFactor_Axis1", 24}, {"TorqueRatio_Table", 29},     {"TorqueRatio_Axis1", 29},
    {"DownshiftMap_Table", 505},     {"ShiftMap_Axis1", 101},       {"ShiftMap_Axis2", 5},
    {"UpshiftMap_Table", 505},       {"ThrottleMap_Table", 24079},  {"DemandMapSpeed_Axis1", 121},
    {"ThrottleMap_Axis2", 199},      {"BrakeMap_Table", 49973},     {"BrakeMap_Axis2", 413},
};
const Member kIndexMembers[] = {{"ThrottleMap_LastIndex", 2}, {"BrakeMap_LastIndex", 2}};

int fail(const std::string &message) {
  std::cerr << "make_conformance_tables: " << message << "\n";
  return 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::cerr << "usage: make_conformance_tables TABLES.json OUT.cpp\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    return fail(std::string("cannot open ") + argv[1]);
  }
  nlohmann::json tables;
  try {
    in >> tables;
  } catch (const nlohmann::json::exception &error) {
    return fail(std::string(argv[1]) + ": " + error.what());
  }
  std::FILE *out = std::fopen(argv[2], "w");
  if (out == nullptr) {
    return fail(std::string("cannot write ") + argv[2]);
  }
  std::fprintf(out, "// Generated from %s by make_conformance_tables; do not edit.\n", argv[1]);
  std::fprintf(out, "#include \"model/data/ConstantBlocks.h\"\n\nconst ConstP_Corvanta_T Corvanta_ConstP = {\n");
  try {
    for (const Member &member : kDoubleMembers) {
      const std::vector<double> values = tables.at(member.name).get<std::vector<double>>();
      if (values.size() != member.count) {
        std::fclose(out);
        return fail(std::string(member.name) + ": expected " + std::to_string(member.count) + " values, found " +
                    std::to_string(values.size()));
      }
      std::fprintf(out, "    // %s\n    {", member.name);
      for (std::size_t k = 0; k < values.size(); ++k) {
        std::fprintf(out, "%s%a", (k == 0) ? "" : (k % 8 == 0 ? ",\n     " : ", "), values[k]);
      }
      std::fprintf(out, "},\n");
    }
    for (const Member &member : kIndexMembers) {
      const std::vector<unsigned> values = tables.at(member.name).get<std::vector<unsigned>>();
      if (values.size() != member.count) {
        std::fclose(out);
        return fail(std::string(member.name) + ": expected 2 indices");
      }
      std::fprintf(out, "    // %s\n    {%uU, %uU},\n", member.name, values[0], values[1]);
    }
  } catch (const nlohmann::json::exception &error) {
    std::fclose(out);
    return fail(std::string(argv[1]) + ": " + error.what());
  }
  std::fprintf(out, "};\n");
  return std::fclose(out) == 0 ? 0 : fail(std::string("error writing ") + argv[2]);
}
