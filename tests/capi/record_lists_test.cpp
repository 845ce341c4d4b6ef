// The field lists of corvanta.h against every other place that names the record fields:
// the README's tables and the Python binding's name tuples.  Layout and size are checked
// at compile time by the header itself.
#include "capi/corvanta.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Field {
  std::string name;
  std::string unit;
  std::string meaning;
};

bool operator==(const Field &a, const Field &b) {
  return a.name == b.name && a.unit == b.unit && a.meaning == b.meaning;
}

std::ostream &operator<<(std::ostream &out, const Field &f) {
  return out << f.name << " [" << f.unit << "] " << f.meaning;
}

#define CORVANTA_FIELD_ENTRY(name, unit, meaning) Field{#name, unit, meaning},
const std::vector<Field> kInputs = {CORVANTA_INPUT_FIELDS(CORVANTA_FIELD_ENTRY)};
const std::vector<Field> kOutputs = {CORVANTA_OUTPUT_FIELDS(CORVANTA_FIELD_ENTRY)};
#undef CORVANTA_FIELD_ENTRY

std::vector<std::string> namesOf(const std::vector<Field> &fields) {
  std::vector<std::string> names;
  for (const Field &f : fields) {
    names.push_back(f.name);
  }
  return names;
}

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The rows "| k | `Name` | unit | meaning |" of the table under the heading that names
// the record, in order, up to the first line that is not a table row.
std::vector<Field> readmeTable(const std::string &readme, const std::string &record) {
  std::istringstream lines(readme);
  std::string line;
  bool inSection = false;
  std::vector<Field> rows;
  const std::regex row(R"(^\| (\d+) \| `(\w+)` \| ([^|]*) \| (.*) \|$)");
  while (std::getline(lines, line)) {
    if (!inSection) {
      inSection = line.rfind("### ", 0) == 0 && line.find("`" + record + "`") != std::string::npos;
      continue;
    }
    if (line.empty() && rows.empty()) {
      continue;
    }
    if (line.rfind("|", 0) != 0) {
      break;
    }
    std::smatch m;
    if (std::regex_match(line, m, row)) {
      EXPECT_EQ(std::stoul(m[1].str()), rows.size()) << line;
      rows.push_back(Field{m[2].str(), m[3].str(), m[4].str()});
    }
  }
  EXPECT_TRUE(inSection) << "README.md has no heading naming " << record;
  return rows;
}

// The quoted names of "NAME = ( ... )" in a Python source.
std::vector<std::string> pythonTuple(const std::string &source, const std::string &name) {
  const std::regex tuple(name + R"(\s*=\s*\(([^)]*)\))");
  std::smatch m;
  if (!std::regex_search(source, m, tuple)) {
    ADD_FAILURE() << "no tuple " << name;
    return {};
  }
  std::vector<std::string> names;
  const std::string body = m[1].str();
  const std::regex quoted(R"(\"(\w+)\")");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), quoted); it != std::sregex_iterator(); ++it) {
    names.push_back((*it)[1].str());
  }
  return names;
}

TEST(RecordLists, IndexConstantsFollowTheLists) {
  EXPECT_EQ(kInputs.size(), static_cast<std::size_t>(CORVANTA_NUM_INPUTS));
  EXPECT_EQ(kOutputs.size(), static_cast<std::size_t>(CORVANTA_NUM_OUTPUTS));
  EXPECT_EQ(7, CORVANTA_IN_INITIAL_SPEED);
  EXPECT_EQ(CorvantaInput_InitialSpeed, CORVANTA_IN_INITIAL_SPEED);
  EXPECT_EQ(6, CORVANTA_OUT_TIP_OVER_INDICATOR);
  EXPECT_EQ(CorvantaOutput_RollAngle, CORVANTA_OUT_ROLL_ANGLE);
  for (const std::vector<Field> *list : {&kInputs, &kOutputs}) {
    for (const Field &f : *list) {
      EXPECT_FALSE(f.unit.empty()) << f;
      EXPECT_FALSE(f.meaning.empty()) << f;
      EXPECT_EQ(f.meaning.find('|'), std::string::npos) << "breaks the README table: " << f;
    }
  }
}

TEST(RecordLists, ReadmeTablesAreTheLists) {
  const std::string readme = readFile(CORVANTA_SOURCE_DIR "/README.md");
  EXPECT_EQ(kInputs, readmeTable(readme, "ExtU_Corvanta_T"));
  EXPECT_EQ(kOutputs, readmeTable(readme, "ExtY_Corvanta_T"));
}

TEST(RecordLists, PythonBindingUsesTheListNames) {
  const std::string binding = readFile(CORVANTA_SOURCE_DIR "/python/corvanta/_library.py");
  EXPECT_EQ(namesOf(kInputs), pythonTuple(binding, "INPUT_NAMES"));
  EXPECT_EQ(namesOf(kOutputs), pythonTuple(binding, "OUTPUT_NAMES"));
}

}  // namespace
