// corvanta-sim with vehicle files end to end: --vehicle on runs, tests and sweeps, the
// "vehicle" key of scenarios, sweeps over vehicle parameters, and vehicle show / check /
// export-tir.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tools/sim/SimTestSupport.h"

namespace {

using simtest::ProcessResult;
using simtest::ScratchDirectory;

constexpr int kBadInput = 2;

const std::string kVehicleData = CORVANTA_VEHICLE_DATA_DIR;

// Brakes from 20 m/s while steering a little: mass, tyres, brakes and yaw all act.
const char *const kScenario = R"({"duration": 1.5,
  "inputs": {"GearSelector": 1, "InitialSpeed": 20, "AccelerationDemand": 0.5},
  "events": [{"time": 0.3, "set": {"SteeringAngle": 0.03}},
             {"time": 0.8, "set": {"AccelerationDemand": -5}}]})";

ProcessResult sim(const std::vector<std::string> &arguments, const ScratchDirectory &scratch) {
  std::vector<std::string> command{CORVANTA_SIM_EXECUTABLE};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return simtest::runProcess(command, scratch.path());
}

std::string scenarioWith(const std::string &vehicleValue) {
  std::string text = kScenario;
  return text.insert(1, "\"vehicle\": " + vehicleValue + ", ");
}

// The CSV of a run of `scenario` with extra arguments, every step, all signals.
std::string rowsOf(const ScratchDirectory &scratch, const std::string &scenario, std::vector<std::string> extra) {
  const std::string out = (scratch / "rows.csv").string();
  std::vector<std::string> arguments{scenario, "-o", out, "--every", "1", "--signals", "all", "-q"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  const ProcessResult run = sim(arguments, scratch);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string text = simtest::readFile(out);
  simtest::fs::remove(out);
  return text;
}

TEST(VehicleOption, TheShownBuiltInSetReproducesTheCompiledCarBitForBit) {
  ScratchDirectory scratch;
  const ProcessResult shown = sim({"vehicle", "show"}, scratch);
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_NE(shown.out.find("\"VehicleMass\": 1760"), std::string::npos) << shown.out.substr(0, 400);
  EXPECT_NE(shown.out.find("\"GearRatio_Table\": [-4, 0, 3.538, 2.06, 1.404, 1, 0.713]"), std::string::npos);
  simtest::writeFile(scratch / "builtin.json", shown.out);
  simtest::writeFile(scratch / "scenario.json", kScenario);
  const std::string compiled = rowsOf(scratch, (scratch / "scenario.json").string(), {});
  ASSERT_GT(compiled.size(), 1000u);
  EXPECT_EQ(compiled,
            rowsOf(scratch, (scratch / "scenario.json").string(), {"--vehicle", (scratch / "builtin.json").string()}));
  // Shown again from the file: the same text.
  const ProcessResult again = sim({"vehicle", "show", (scratch / "builtin.json").string()}, scratch);
  EXPECT_EQ(again.out, shown.out);
}

TEST(VehicleOption, AnotherVehicleChangesTheRunAndTheScenarioKeyGivesTheSameRows) {
  ScratchDirectory scratch;
  simtest::writeFile(scratch / "scenario.json", kScenario);
  const std::string estate = kVehicleData + "/estate.json";
  const std::string builtIn = rowsOf(scratch, (scratch / "scenario.json").string(), {});
  const std::string byOption = rowsOf(scratch, (scratch / "scenario.json").string(), {"--vehicle", estate});
  EXPECT_NE(builtIn, byOption);
  // A path relative to the scenario's folder.
  simtest::fs::create_directories(scratch / "cars");
  simtest::fs::copy_file(estate, scratch / "cars" / "estate.json");
  simtest::writeFile(scratch / "by-path.json", scenarioWith("\"cars/estate.json\""));
  EXPECT_EQ(byOption, rowsOf(scratch, (scratch / "by-path.json").string(), {}));
  // The same parameters inline.
  const std::string document = simtest::readFile(estate);
  simtest::writeFile(scratch / "inline.json", scenarioWith(document));
  EXPECT_EQ(byOption, rowsOf(scratch, (scratch / "inline.json").string(), {}));
  // A file changed by the scenario: the estate 120 kg lighter differs from both.
  simtest::writeFile(scratch / "based.json",
                     scenarioWith(R"({"base": "cars/estate.json", "parameters": {"VehicleMass": 1900}})"));
  const std::string based = rowsOf(scratch, (scratch / "based.json").string(), {});
  EXPECT_NE(based, byOption);
  EXPECT_NE(based, builtIn);
  // Both ways at once is refused.
  const ProcessResult both = sim({(scratch / "by-path.json").string(), "--vehicle", estate, "-q"}, scratch);
  EXPECT_EQ(both.exitCode, kBadInput);
  EXPECT_NE(both.err.find("names its own vehicle"), std::string::npos) << both.err;
}

TEST(VehicleOption, AParameterOutOfBoundsFailsNamingItAndLeavesNoOutput) {
  ScratchDirectory scratch;
  simtest::writeFile(scratch / "scenario.json", kScenario);
  simtest::writeFile(scratch / "bad.json", "{\"parameters\": {\n  \"VehicleMass\": -5\n}}");
  const std::string out = (scratch / "out.csv").string();
  const ProcessResult byOption =
      sim({(scratch / "scenario.json").string(), "--vehicle", (scratch / "bad.json").string(), "-o", out}, scratch);
  EXPECT_EQ(byOption.exitCode, kBadInput);
  EXPECT_NE(byOption.err.find("VehicleMass"), std::string::npos) << byOption.err;
  EXPECT_NE(byOption.err.find("bad.json:2"), std::string::npos) << byOption.err;
  EXPECT_FALSE(simtest::fs::exists(out));
  // The same through the scenario: the run fails before its first step, the CSV is discarded.
  simtest::writeFile(scratch / "by-key.json", scenarioWith("\"bad.json\""));
  const ProcessResult byKey = sim({(scratch / "by-key.json").string(), "-o", out}, scratch);
  EXPECT_EQ(byKey.exitCode, kBadInput);
  EXPECT_NE(byKey.err.find("VehicleMass"), std::string::npos) << byKey.err;
  EXPECT_FALSE(simtest::fs::exists(out));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto &entry : simtest::fs::directory_iterator(scratch.path())) {
    ++files;
  }
  EXPECT_EQ(files, 5u);  // the three inputs and the two captured streams, no temporary file
  // An unknown name gets a suggestion; `vehicle check` reports the same.
  simtest::writeFile(scratch / "typo.json", R"({"parameters": {"VehicleMas": 1800}})");
  const ProcessResult check = sim({"vehicle", "check", (scratch / "typo.json").string()}, scratch);
  EXPECT_EQ(check.exitCode, kBadInput);
  EXPECT_NE(check.err.find("VehicleMass"), std::string::npos) << check.err;
}

TEST(VehicleCommand, CheckPrintsTheFiguresOfTheMechanics) {
  ScratchDirectory scratch;
  const ProcessResult check = sim({"vehicle", "check", kVehicleData + "/estate.json"}, scratch);
  ASSERT_EQ(check.exitCode, 0) << check.err;
  // By hand: m = 2020 kg, g = 9.8 m/s^2, L = 2.95 m, a = 1.3 m, b = 1.65 m; front axle
  // m g b / L = 11072.3 N, rear m g a / L = 8723.7 N, 55.9 % on the front axle; each
  // front wheel 5536.2 N against FNOMIN 4850 N (114.1 %), each rear 4361.8 N (89.9 %).
  EXPECT_NE(check.out.find("mass               2020.0 kg, weight 19796.0 N"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("wheelbase          2.9500 m: front axle 1.3000 m ahead of, rear axle 1.6500 m"),
            std::string::npos);
  EXPECT_NE(check.out.find("front 11072.3 N, rear 8723.7 N (split 55.9 / 44.1)"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("front 5536.2 N = 114.1 % of FNOMIN 4850.0 N; rear 4361.8 N = 89.9 %"), std::string::npos);
  // Top speed at 6500 rpm: the turbine turns at 2.3 x (two rear wheel speeds) x ratio, so
  // v = 680.678 / (2 x 2.3 x ratio) x 0.314 m/s: 13.13 m/s in first (3.538), 46.46 m/s
  // in fourth (1.0), 65.17 m/s in fifth (0.713), -11.62 m/s in reverse (-4.0).
  EXPECT_NE(check.out.find("reverse   -11.62 m/s"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("gear 1    13.13 m/s = 47.3 km/h"), std::string::npos);
  EXPECT_NE(check.out.find("gear 4    46.46 m/s = 167.3 km/h"), std::string::npos);
  EXPECT_NE(check.out.find("gear 5    65.17 m/s"), std::string::npos);
}

TEST(VehicleCommand, ExportedTyreReadsBackToTheSameSet) {
  ScratchDirectory scratch;
  const std::string tir = (scratch / "front.tir").string();
  ASSERT_EQ(sim({"vehicle", "export-tir", "-o", tir}, scratch).exitCode, 0);
  simtest::writeFile(scratch / "car.json", R"({"name": "built-in car", "tyre": "front.tir"})");
  const ProcessResult fromTyre = sim({"vehicle", "show", (scratch / "car.json").string()}, scratch);
  ASSERT_EQ(fromTyre.exitCode, 0) << fromTyre.err;
  const ProcessResult builtIn = sim({"vehicle", "show"}, scratch);
  // The sets are equal; only the name differs.
  const auto parameters = [](const std::string &text) { return text.substr(text.find("\"parameters\"")); };
  EXPECT_EQ(parameters(fromTyre.out), parameters(builtIn.out));
  // Bad usage.
  EXPECT_EQ(sim({"vehicle", "export-tir"}, scratch).exitCode, kBadInput);
  EXPECT_EQ(sim({"vehicle", "shw"}, scratch).exitCode, kBadInput);
  EXPECT_EQ(sim({"vehicle", "check"}, scratch).exitCode, kBadInput);
  EXPECT_EQ(sim({"vehicle", "show", (scratch / "missing.json").string()}, scratch).exitCode, kBadInput);
}

TEST(VehicleSweep, VariesVehicleParametersByPathWithTheSameTableForAnyThreadCount) {
  ScratchDirectory scratch;
  simtest::writeFile(scratch / "grid.json", std::string(R"({"base": )") + kScenario +
                                                R"(, "grid": {"vehicle.VehicleMass": [1760, 2100],
      "vehicle.FrontTyre.PDY1": [1.0, 0.8]}})");
  const std::string one = (scratch / "one.csv").string();
  const std::string two = (scratch / "two.csv").string();
  ProcessResult run = sim({"sweep", (scratch / "grid.json").string(), "-o", one, "--threads", "1", "-q"}, scratch);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  run = sim({"sweep", (scratch / "grid.json").string(), "-o", two, "--threads", "2", "-q"}, scratch);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const simtest::CsvTable table = simtest::readCsv(simtest::readFile(one));
  const simtest::CsvTable other = simtest::readCsv(simtest::readFile(two));
  ASSERT_EQ(table.rows.size(), 4u);
  EXPECT_EQ(table.header[1], "vehicle.VehicleMass");
  EXPECT_EQ(table.header[2], "vehicle.FrontTyre.PDY1");
  for (std::size_t row = 0; row < 4; ++row) {
    const std::string &line = table.lines[row];
    EXPECT_EQ(line.substr(0, line.rfind(',')), other.lines[row].substr(0, other.lines[row].rfind(',')));
  }
  // Every run differs from the others in its final pose.
  for (std::size_t a = 0; a < 4; ++a) {
    for (std::size_t b = a + 1; b < 4; ++b) {
      EXPECT_NE(table.rows[a][3], table.rows[b][3]) << a << " " << b;
    }
  }
  // A misspelt parameter fails with a suggestion.
  simtest::writeFile(scratch / "typo.json",
                     std::string(R"({"base": )") + kScenario + R"(, "grid": {"vehicle.VehicleMas": [1760]}})");
  const ProcessResult typo = sim({"sweep", (scratch / "typo.json").string(), "-o", one, "-q"}, scratch);
  EXPECT_EQ(typo.exitCode, kBadInput);
  EXPECT_NE(typo.err.find("VehicleMass"), std::string::npos) << typo.err;
}

TEST(VehicleSweep, TheHostsVehicleIsTheBaseOfTheVariedParameters) {
  ScratchDirectory scratch;
  // Varying the estate's own mass to its own value reproduces the estate.
  simtest::writeFile(scratch / "grid.json",
                     std::string(R"({"base": )") + kScenario + R"(, "grid": {"vehicle.VehicleMass": [2020, 1900]}})");
  simtest::writeFile(scratch / "list.json", std::string("[") + kScenario + "]");
  const std::string estate = kVehicleData + "/estate.json";
  const std::string grid = (scratch / "grid.csv").string();
  const std::string list = (scratch / "list.csv").string();
  ASSERT_EQ(sim({"sweep", (scratch / "grid.json").string(), "-o", grid, "--vehicle", estate, "-q"}, scratch).exitCode,
            0);
  ASSERT_EQ(sim({"sweep", (scratch / "list.json").string(), "-o", list, "--vehicle", estate, "-q"}, scratch).exitCode,
            0);
  const simtest::CsvTable varied = simtest::readCsv(simtest::readFile(grid));
  const simtest::CsvTable plain = simtest::readCsv(simtest::readFile(list));
  ASSERT_EQ(varied.rows.size(), 2u);
  ASSERT_EQ(plain.rows.size(), 1u);
  // Columns after "run" and the varied field: the seven outputs and the figures.
  for (std::size_t column = 2; column + 1 < varied.header.size(); ++column) {
    EXPECT_EQ(bitsOf(varied.rows[0][column]), bitsOf(plain.rows[0][column - 1])) << varied.header[column];
  }
  EXPECT_NE(varied.rows[1][2], plain.rows[0][1]);
}

TEST(VehicleTest, StandardTestsTakeAVehicle) {
  ScratchDirectory scratch;
  const ProcessResult estate =
      sim({"test", "braking", "-o", (scratch / "estate").string(), "-q", "--vehicle", kVehicleData + "/estate.json"},
          scratch);
  ASSERT_EQ(estate.exitCode, 0) << estate.err;
  const ProcessResult builtIn = sim({"test", "braking", "-o", (scratch / "builtin").string(), "-q"}, scratch);
  ASSERT_EQ(builtIn.exitCode, 0) << builtIn.err;
  EXPECT_NE(simtest::readFile(scratch / "estate" / "metrics.json"),
            simtest::readFile(scratch / "builtin" / "metrics.json"));
  simtest::writeFile(scratch / "bad.json", R"({"parameters": {"Wheelbase": 1.0}})");
  const ProcessResult bad =
      sim({"test", "braking", "-o", (scratch / "bad").string(), "--vehicle", (scratch / "bad.json").string()}, scratch);
  EXPECT_EQ(bad.exitCode, kBadInput);
  EXPECT_NE(bad.err.find("Wheelbase"), std::string::npos) << bad.err;
  EXPECT_FALSE(simtest::fs::exists(scratch / "bad"));
}

// docs/vehicle-parameters.md holds the tables `vehicle docs` makes from the parameter list,
// one row per parameter: a change of the list without the document fails here (update it
// with `corvanta-sim vehicle docs --update docs/vehicle-parameters.md`).
TEST(VehicleDocs, TheDocumentedTablesAreTheParameterList) {
  ScratchDirectory scratch;
  const ProcessResult docs = sim({"vehicle", "docs"}, scratch);
  ASSERT_EQ(docs.exitCode, 0) << docs.err;
  const std::string document = simtest::readFile(std::string(CORVANTA_SOURCE_DIR) + "/docs/vehicle-parameters.md");
  const std::string first = docs.out.substr(0, docs.out.find('\n') + 1);
  const std::size_t begin = document.find(first);
  ASSERT_NE(begin, std::string::npos) << "docs/vehicle-parameters.md lacks the generated part";
  EXPECT_EQ(document.substr(begin, docs.out.size()), docs.out)
      << "docs/vehicle-parameters.md differs from `corvanta-sim vehicle docs`; run corvanta-sim vehicle docs --update "
         "docs/vehicle-parameters.md";
  // One row per parameter of the set, in the order `vehicle show` writes them.
  const ProcessResult shown = sim({"vehicle", "show"}, scratch);
  ASSERT_EQ(shown.exitCode, 0) << shown.err;
  std::vector<std::string> names;
  for (std::size_t at = shown.out.find("\n    \""); at != std::string::npos; at = shown.out.find("\n    \"", at + 1)) {
    names.push_back(shown.out.substr(at + 6, shown.out.find('"', at + 6) - (at + 6)));
  }
  std::vector<std::string> rows;
  for (std::size_t at = docs.out.find("\n| `"); at != std::string::npos; at = docs.out.find("\n| `", at + 1)) {
    rows.push_back(docs.out.substr(at + 4, docs.out.find('`', at + 4) - (at + 4)));
  }
  EXPECT_EQ(rows, names);
  EXPECT_GT(rows.size(), 100u);
  // The pinned names with their units and built-in values.
  EXPECT_NE(docs.out.find("| `VehicleMass` | `kg` | 1760 | (0, 100000] |"), std::string::npos);
  EXPECT_NE(docs.out.find("| `Gravity` | `m/s^2` | 9.8 |"), std::string::npos);
  EXPECT_NE(docs.out.find("| `FinalDriveRatio` | `1` | 2.05 |"), std::string::npos);
  EXPECT_NE(docs.out.find("| `GearRatio_Table` | 7 | `1` | -4, 0, 3.538, 2.06, 1.404, 1, 0.713 |"), std::string::npos);
  EXPECT_NE(docs.out.find("| `PDX1` | `[LONGITUDINAL_COEFFICIENTS]` | `1` | 1.1739 |"), std::string::npos);
  EXPECT_NE(docs.out.find("| `PHY1` |"), std::string::npos);
  EXPECT_NE(docs.out.find("no effect on the outputs"), std::string::npos);
  // --update rewrites only the generated part, atomically; a file without it is refused.
  const std::string stale = "# title\n\nintro\n\n" + first + "| old |\n<!-- End of the generated tables. -->\nafter\n";
  simtest::writeFile(scratch / "doc.md", stale);
  ASSERT_EQ(sim({"vehicle", "docs", "--update", (scratch / "doc.md").string()}, scratch).exitCode, 0);
  EXPECT_EQ(simtest::readFile(scratch / "doc.md"), "# title\n\nintro\n\n" + docs.out + "after\n");
  simtest::writeFile(scratch / "plain.md", "# no tables\n");
  const ProcessResult refused = sim({"vehicle", "docs", "--update", (scratch / "plain.md").string()}, scratch);
  EXPECT_EQ(refused.exitCode, kBadInput);
  EXPECT_NE(refused.err.find("no generated part"), std::string::npos) << refused.err;
  EXPECT_EQ(simtest::readFile(scratch / "plain.md"), "# no tables\n");
  EXPECT_FALSE(simtest::fs::exists(scratch / "plain.md.tmp"));
  EXPECT_EQ(sim({"vehicle", "docs", (kVehicleData + "/estate.json")}, scratch).exitCode, kBadInput);
}

}  // namespace
