// Vehicle files and tyre property files: a real-shaped .tir file, export round trips, every
// error class with its exact message, and hostile input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tests/TestSupport.h"
#include "vehicle/TyrePropertyFile.h"
#include "vehicle/corvanta_vehicle.h"

namespace {

const std::string kData = CORVANTA_VEHICLE_TEST_DATA;

std::string tempPath(const std::string &name) {
  return ::testing::TempDir() + "corvanta_files_" + std::to_string(::getpid()) + "_" + name;
}

// The error text of parsing `json` (empty when it parses).
std::string parseError(const std::string &json, const std::string &base = kData) {
  char error[4096] = "";
  CorvantaVehicle *v = corvanta_vehicle_parse(json.data(), json.size(), base.c_str(), "car.json", error, sizeof error);
  if (v != nullptr) {
    corvanta_vehicle_free(v);
    return "";
  }
  return error;
}

double get(const CorvantaVehicle *v, const char *name) {
  double value = 0.0;
  EXPECT_EQ(corvanta_vehicle_get(v, name, &value, 1, nullptr), CORVANTA_VEHICLE_OK) << name;
  return value;
}

TEST(TyrePropertyFile, ReadsARealShapedFileWithUnitsScalingAndOneWarning) {
  CorvantaVehicle *v = corvanta_vehicle_create_builtin();
  char error[1024] = "";
  ASSERT_EQ(corvanta_vehicle_load_tyre(v, 1, (kData + "/low_mu_205_55R16.tir").c_str(), error, sizeof error),
            CORVANTA_VEHICLE_OK)
      << error;
  EXPECT_SAME_BITS(316.5 * 1e-3, get(v, "RearTyre.UNLOADED_RADIUS"));  // [UNITS] LENGTH = 'mm'
  EXPECT_SAME_BITS(4000.0, get(v, "RearTyre.FNOMIN"));
  EXPECT_SAME_BITS(0.75 * 0.8, get(v, "RearTyre.PDY1"));  // LMUY = 0.8 folded in
  EXPECT_SAME_BITS(-0.12 * 0.8, get(v, "RearTyre.PDY2"));
  EXPECT_SAME_BITS(-19.5, get(v, "RearTyre.PKY1"));
  EXPECT_SAME_BITS(-4.0e-05, get(v, "RearTyre.PEX4"));
  EXPECT_SAME_BITS(0.012, get(v, "RearTyre.QSY1"));
  EXPECT_SAME_BITS(1.0489, get(v, "FrontTyre.PDY1"));  // the front axle keeps its tyre
  const std::string warning = corvanta_vehicle_warnings(v);
  EXPECT_NE(warning.find("23 coefficients the model does not use"), std::string::npos) << warning;
  EXPECT_NE(warning.find(" WIDTH "), std::string::npos);
  EXPECT_NE(warning.find(" PTX1 "), std::string::npos);
  EXPECT_NE(warning.find(" QSX1 "), std::string::npos);
  EXPECT_EQ(warning.find("LHX"), std::string::npos);  // scalings of 1 change nothing
  EXPECT_EQ(warning.find("not in the file"), std::string::npos);
  EXPECT_EQ(corvanta_vehicle_validate(v, nullptr, 0), 0);
  corvanta_vehicle_free(v);
}

TEST(TyrePropertyFile, ExportedTyresReadBackToTheSameBits) {
  CorvantaVehicle *v = corvanta_vehicle_create_builtin();
  ASSERT_EQ(corvanta_vehicle_load_tyre(v, 1, (kData + "/low_mu_205_55R16.tir").c_str(), nullptr, 0), 0);
  const std::string front = tempPath("front.tir"), rear = tempPath("rear.tir");
  ASSERT_EQ(corvanta_vehicle_export_tir(v, 0, front.c_str(), nullptr, 0), CORVANTA_VEHICLE_OK);
  ASSERT_EQ(corvanta_vehicle_export_tir(v, 1, rear.c_str(), nullptr, 0), CORVANTA_VEHICLE_OK);
  CorvantaVehicle *back = corvanta_vehicle_create_builtin();
  const double other = 0.5;
  corvanta_vehicle_set(back, "PDY1", &other, 1, nullptr, 0);  // must be overwritten by the files
  ASSERT_EQ(corvanta_vehicle_load_tyre(back, 0, front.c_str(), nullptr, 0), CORVANTA_VEHICLE_OK);
  ASSERT_EQ(corvanta_vehicle_load_tyre(back, 1, rear.c_str(), nullptr, 0), CORVANTA_VEHICLE_OK);
  EXPECT_STREQ(corvanta_vehicle_warnings(back), "");
  EXPECT_EQ(corvanta_vehicle_identity(back), corvanta_vehicle_identity(v));
  std::remove(front.c_str());
  std::remove(rear.c_str());
  corvanta_vehicle_free(back);
  corvanta_vehicle_free(v);
}

TEST(TyrePropertyFile, HostileAndBrokenFilesGetAClearMessageAndChangeNothing) {
  using corvanta::vehicle::readTyrePropertyText;
  auto firstError = [](const std::string &text) {
    TyreCoefficients tyre;
    const auto result = readTyrePropertyText(text, "t.tir", tyre);
    EXPECT_FALSE(result.ok);
    EXPECT_SAME_BITS(1.0489, tyre.PDY1);  // untouched on failure
    return result.errors.empty() ? std::string() : result.errors.front();
  };
  static const char kWithNul[] = "[UNITS]\nLENGTH='meter'\n\0[VERTICAL]\n";
  EXPECT_EQ(firstError(std::string(kWithNul, sizeof kWithNul - 1)), "t.tir:3: NUL byte: not a text file");
  EXPECT_EQ(firstError("just some words\nand more\n"), "t.tir: no [SECTION] found: not a tyre property file");
  EXPECT_EQ(firstError("[UNITS]\nANGLE = 'degree'\n"),
            "t.tir: [UNITS] ANGLE = DEGREE: only radians are supported (the coefficients are per radian)");
  EXPECT_EQ(firstError("[UNITS]\nLENGTH = 'furlong'\n"), "t.tir: [UNITS] LENGTH = FURLONG cannot be converted to SI");
  EXPECT_EQ(firstError("[LATERAL_COEFFICIENTS]\nPDY1 = 1.x\n"), "t.tir:2: PDY1 = 1.x is not a finite number");
  EXPECT_EQ(firstError("[LATERAL_COEFFICIENTS]\nPDY1 = 1e999\n"), "t.tir:2: PDY1 = 1e999 is not a finite number");
  EXPECT_EQ(firstError("[LATERAL_COEFFICIENTS]\nPDY1 = 1\nPDY1 = 2\n"),
            "t.tir:3: PDY1 appears twice in [LATERAL_COEFFICIENTS] (first on line 2)");
  EXPECT_EQ(firstError("[LATERAL_COEFFICIENTS\nPDY1 = 1\n"),
            "t.tir:1: section header without ']': [LATERAL_COEFFICIENTS");
  EXPECT_EQ(firstError("[VERTICAL]\nFNOMIN 4000\n"), "t.tir:2: expected KEY = VALUE, found FNOMIN 4000");
  // Huge: refused by size before anything is parsed.
  const std::string huge(17u << 20, 'x');
  EXPECT_EQ(firstError(huge).find("t.tir: file of 17825792 bytes is larger than"), 0u);
  // Deeply wrong: many bad lines give a bounded report.
  std::string bad = "[VERTICAL]\n";
  for (int i = 0; i < 1000; ++i) bad += "FNOMIN" + std::to_string(i) + " = ???\n";
  TyreCoefficients tyre;
  EXPECT_EQ(readTyrePropertyText(bad, "t.tir", tyre).errors.size(), 21u);
  // Unknown sections and table data are read past; their numbers are listed, not lost.
  const auto odd =
      readTyrePropertyText("[FANCY_SECTION]\nMAGIC = 3\n{a b}\n 1 2\n[VERTICAL]\nFNOMIN = 4500\n", "t.tir", tyre);
  EXPECT_TRUE(odd.ok);
  EXPECT_SAME_BITS(4500.0, tyre.FNOMIN);
  EXPECT_NE(odd.warning.find("1 coefficients the model does not use"), std::string::npos) << odd.warning;
  EXPECT_NE(odd.warning.find("MAGIC"), std::string::npos);
}

// Findings of the vehicle fuzzer: messages echoed control characters of a file's keys and
// section names, and grew with the file (a warning naming every one of 10^4 unused
// coefficients on one line, a refusal listing every one of 10^3 unknown parameters).
bool controlFree(const std::string &text) {
  for (const char c : text) {
    if (c != '\n' && (static_cast<unsigned char>(c) < 32 || c == 127)) return false;
  }
  return true;
}

TEST(TyrePropertyFile, MessagesHoldNoControlCharactersAndStayBounded) {
  using corvanta::vehicle::readTyrePropertyText;
  TyreCoefficients tyre;
  const auto key = readTyrePropertyText("[VERTICAL]\nUSE\x1b_MODE = 1\nFNOMIN = 4000\n", "t.tir", tyre);
  EXPECT_FALSE(key.ok);
  ASSERT_EQ(key.errors.size(), 1u);
  EXPECT_EQ(key.errors[0], "t.tir:2: invalid key USE?_MODE");
  const auto section = readTyrePropertyText("[MODEL\x01]\nA = 1\n[VERTICAL]\nFNOMIN = 4000\n", "t.tir", tyre);
  EXPECT_FALSE(section.ok);
  ASSERT_EQ(section.errors.size(), 1u);
  EXPECT_EQ(section.errors[0], "t.tir:1: invalid section header [MODEL?]");
  // 10^4 coefficients nobody uses: 40 named, the rest counted.
  std::string many = "[VERTICAL]\nFNOMIN = 4000\n[EXTRA_COEFFICIENTS]\n";
  for (int i = 0; i < 10000; ++i) many += "X" + std::to_string(i) + " = 1\n";
  const auto unused = readTyrePropertyText(many, "t.tir", tyre);
  ASSERT_TRUE(unused.ok);
  const std::string firstLine = unused.warning.substr(0, unused.warning.find('\n'));
  EXPECT_EQ(firstLine.find("t.tir: 10000 coefficients the model does not use"), 0u) << firstLine;
  EXPECT_NE(firstLine.find(" X0 X1 X2 "), std::string::npos);
  EXPECT_NE(firstLine.find(" X39 and 9960 more"), std::string::npos) << firstLine;
  EXPECT_EQ(firstLine.find(" X40"), std::string::npos);
  EXPECT_TRUE(controlFree(unused.warning));
}

TEST(VehicleFile, ARefusalListsAtMostTwentyProblemsOfReading) {
  std::string json = "{\"parameters\": {";
  for (int i = 0; i < 1000; ++i) json += std::string(i == 0 ? "" : ", ") + "\"Nope" + std::to_string(i) + "\": 1";
  json += "}}";
  const std::string error = parseError(json);
  std::size_t lines = 1;
  for (const char c : error) lines += c == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 21u);
  EXPECT_EQ(error.find("car.json:1: unknown parameter \"Nope0\""), 0u) << error.substr(0, 200);
  EXPECT_EQ(error.substr(error.rfind('\n') + 1), "car.json: 980 more problems not listed");
  EXPECT_TRUE(controlFree(error));
}

TEST(TyrePropertyFile, ValuesLeftInTheWrongUnitsAreNamedInAWarning) {
  using corvanta::vehicle::readTyrePropertyText;
  // A file in mm whose measurement speed was written in m/s: 16.6 mm/s = 0.0166 m/s would
  // leave the tyre with almost no friction (1 / (1 + Vx / LONGVL)).  Read as written, and
  // named.
  TyreCoefficients tyre;
  const auto slow = readTyrePropertyText(
      "[UNITS]\nLENGTH = 'mm'\n[MODEL]\nLONGVL = 16.6\n"
      "[DIMENSION]\nUNLOADED_RADIUS = 316.5\n",
      "t.tir", tyre);
  ASSERT_TRUE(slow.ok);
  EXPECT_SAME_BITS(16.6 * 1e-3, tyre.LONGVL);
  EXPECT_SAME_BITS(316.5 * 1e-3, tyre.UNLOADED_RADIUS);
  EXPECT_NE(slow.warning.find("t.tir: implausible after the [UNITS] conversion: LONGVL = 0.0166 m/s"),
            std::string::npos)
      << slow.warning;
  EXPECT_EQ(slow.warning.find("UNLOADED_RADIUS ="), std::string::npos) << slow.warning;
  // The radius left in m while the file says mm.
  TyreCoefficients other;
  const auto small = readTyrePropertyText(
      "[UNITS]\nLENGTH = 'mm'\n[MODEL]\nLONGVL = 16600\n"
      "[DIMENSION]\nUNLOADED_RADIUS = 0.3165\n",
      "t.tir", other);
  ASSERT_TRUE(small.ok);
  EXPECT_SAME_BITS(16.6, other.LONGVL);
  EXPECT_NE(small.warning.find("implausible after the [UNITS] conversion: UNLOADED_RADIUS = 0.0003165 m"),
            std::string::npos)
      << small.warning;
  EXPECT_EQ(small.warning.find("LONGVL ="), std::string::npos) << small.warning;
  // The example tyre, in mm throughout, draws no such warning.
  CorvantaVehicle *v = corvanta_vehicle_create_builtin();
  ASSERT_EQ(corvanta_vehicle_load_tyre(v, -1, (kData + "/low_mu_205_55R16.tir").c_str(), nullptr, 0), 0);
  EXPECT_EQ(std::string(corvanta_vehicle_warnings(v)).find("implausible"), std::string::npos);
  corvanta_vehicle_free(v);
}

TEST(VehicleFile, EveryErrorClassNamesTheParameterValueRangeAndLine) {
  EXPECT_EQ(parseError("{\"parameters\": {\n  \"VehicleMas\": 1900\n}}"),
            "car.json:2: unknown parameter \"VehicleMas\" (did you mean VehicleMass?)");
  EXPECT_EQ(parseError("{\"parameters\": {\n\n  \"VehicleMass\": \"heavy\"}}"),
            "car.json:3: VehicleMass must be a number (kg), found a string");
  EXPECT_EQ(parseError("{\"parameters\": {\"GearRatio_Table\": [1, 2]}}"),
            "car.json:1: GearRatio_Table has 2 values; it needs 7");
  EXPECT_EQ(parseError("{\"parameters\": {\"GearRatio_Table\": 3}}"),
            "car.json:1: GearRatio_Table must be an array of 7 numbers, found a number");
  EXPECT_EQ(parseError("{\"parameters\": {\n\"VehicleMass\": -1760}}"),
            "car.json:2: VehicleMass = -1760 is outside its range (0, 100000] kg\n"
            "car.json: SprungMass = 1590 kg exceeds VehicleMass = -1760 kg");
  EXPECT_EQ(parseError("{\"parameters\": {\"YawInertia\": 0}}"),
            "car.json:1: YawInertia = 0 is outside its range (0, 10000000] kg*m^2");
  EXPECT_EQ(parseError("{\"parameters\": {\n\"InvCapacityFactor_Axis1\": [0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, "
                       "0.8, 0.9, 0.95, 0.99, 1.01, 1.05, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.8, 2.0]}}"),
            "car.json:2: InvCapacityFactor_Axis1 is not strictly increasing: [21] = 1.8, [22] = 1.8");
  EXPECT_EQ(parseError("{\"parameters\": {\"FrontAxleDistance\": 2.5,\n \"Wheelbase\": 2.4}}"),
            "car.json:2: Wheelbase = 2.4 m must exceed FrontAxleDistance = 2.5 m: the centre of mass must lie "
            "between the axles");
  EXPECT_EQ(parseError("{\"parameters\": {\"RearTyre.FNOMIN\": 0}}"),
            "car.json:1: RearTyre.FNOMIN = 0 is outside its range (0, 1000000] N");
  EXPECT_EQ(parseError("{\"parameter\": {}}"),
            "car.json:1: unknown key \"parameter\" (known: name, description, tyre, parameters) (did you mean "
            "parameters?)");
  EXPECT_EQ(parseError("{\"parameters\": {\"VehicleMass\": 1e999}}"),
            "car.json:1:37: number 1e999 is outside the range of a double");
  EXPECT_EQ(parseError("{\"parameters\": {\"VehicleMass\": 1, \"VehicleMass\": 2}}"),
            "car.json:1:48: key \"VehicleMass\" appears twice in one object");
  EXPECT_EQ(parseError("[1, 2]"), "car.json:1: a vehicle file is a JSON object, found an array");
  EXPECT_EQ(parseError("{\"tyre\": {\"frnt\": \"a.tir\"}}"),
            "car.json:1: unknown key \"frnt\" in \"tyre\": use \"front\" and \"rear\" (did you mean front?)");
  EXPECT_EQ(parseError("{\"tyre\": \"missing.tir\"}")
                .find("car.json:1: tyre: " + kData + "/missing.tir: cannot open the tyre property file"),
            0u);
  // Every problem, not only the first.
  EXPECT_EQ(parseError("{\"parameters\": {\n\"VehicleMass\": 0,\n\"PDY1\": -1,\n\"Gravity\": 0}}"),
            "car.json:2: VehicleMass = 0 is outside its range (0, 100000] kg\n"
            "car.json:4: Gravity = 0 is outside its range (0, 100] m/s^2\n"
            "car.json:3: PDY1 = -1 is outside its range (0, 10]\n"
            "car.json: SprungMass = 1590 kg exceeds VehicleMass = 0 kg");
  std::string deep(100, '[');
  EXPECT_EQ(parseError(deep), "car.json:1:34: nesting deeper than 32 levels");
}

TEST(VehicleFile, ExampleVehiclesLoadWithTheirTyreFiles) {
  char error[2048] = "";
  CorvantaVehicle *estate = corvanta_vehicle_load((kData + "/estate.json").c_str(), error, sizeof error);
  ASSERT_NE(estate, nullptr) << error;
  EXPECT_STREQ(corvanta_vehicle_name(estate), "estate");
  EXPECT_SAME_BITS(2020.0, get(estate, "VehicleMass"));
  EXPECT_SAME_BITS(1.0489, get(estate, "PDY1"));
  corvanta_vehicle_free(estate);

  const std::string json =
      "{\"name\": \"wet\", \"tyre\": {\"rear\": \"low_mu_205_55R16.tir\"},\n"
      " \"parameters\": {\"RearTyre.PDY1\": 0.55}}";
  CorvantaVehicle *wet =
      corvanta_vehicle_parse(json.data(), json.size(), kData.c_str(), "wet.json", error, sizeof error);
  ASSERT_NE(wet, nullptr) << error;
  EXPECT_SAME_BITS(0.55, get(wet, "RearTyre.PDY1"));  // the file's parameters override the tyre file
  EXPECT_SAME_BITS(4000.0, get(wet, "RearTyre.FNOMIN"));
  EXPECT_SAME_BITS(4850.0, get(wet, "FrontTyre.FNOMIN"));
  // Saved, it is a complete file with per-axle tyre names that reads back to the same set.
  const std::string path = tempPath("wet.json");
  ASSERT_EQ(corvanta_vehicle_save(wet, path.c_str(), nullptr, 0), CORVANTA_VEHICLE_OK);
  CorvantaVehicle *back = corvanta_vehicle_load(path.c_str(), error, sizeof error);
  ASSERT_NE(back, nullptr) << error;
  EXPECT_EQ(corvanta_vehicle_identity(back), corvanta_vehicle_identity(wet));
  std::remove(path.c_str());
  corvanta_vehicle_free(back);
  corvanta_vehicle_free(wet);
}

TEST(VehicleFile, SavingToAnUnwritablePlaceFailsAndLeavesNoFile) {
  CorvantaVehicle *v = corvanta_vehicle_create_builtin();
  char error[512] = "";
  const std::string path = "/nonexistent-directory/car.json";
  EXPECT_EQ(corvanta_vehicle_save(v, path.c_str(), error, sizeof error), CORVANTA_VEHICLE_IO_ERROR);
  EXPECT_EQ(std::string(error).find(path + ": cannot write"), 0u) << error;
  EXPECT_EQ(corvanta_vehicle_load(nullptr, error, sizeof error), nullptr);
  corvanta_vehicle_free(v);
}

}  // namespace
