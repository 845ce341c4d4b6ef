// The signal list and the values an instance reports: every signal bit for bit the model's
// own value at checkpoints of the regression scenarios, the outputs as pinned in the golden
// file, and the relations between signals that the model's formulas fix.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "model/Corvanta.h"
#include "tests/TestSupport.h"
#include "tests/vehicle/VehicleScenarios.h"
#include "vehicle/corvanta_vehicle.h"

#ifndef CORVANTA_GOLDEN_FILE
#error "CORVANTA_GOLDEN_FILE must name the golden checkpoint file"
#endif
#ifndef CORVANTA_SOURCE_DIR
#error "CORVANTA_SOURCE_DIR must name the source tree"
#endif

namespace {

using Signals = std::vector<double>;

Signals signalsOf(const CorvantaInstance *car) {
  Signals out(CORVANTA_NUM_SIGNALS);
  EXPECT_EQ(corvanta_instance_signals(car, out.data(), out.size()), static_cast<size_t>(CORVANTA_NUM_SIGNALS));
  return out;
}

double at(const Signals &s, const char *name) {
  const int index = corvanta_signal_index(name);
  EXPECT_GE(index, 0) << name;
  return index < 0 ? 0.0 : s[static_cast<std::size_t>(index)];
}

// The golden checkpoints: scenario -> step -> the seven output bit patterns.
std::map<std::string, std::map<int, std::vector<std::uint64_t>>> goldenCheckpoints() {
  std::map<std::string, std::map<int, std::vector<std::uint64_t>>> golden;
  std::ifstream file(CORVANTA_GOLDEN_FILE);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string name;
    int step = 0;
    fields >> name >> step;
    std::vector<std::uint64_t> bits;
    std::string hex;
    while (fields >> hex) bits.push_back(std::stoull(hex, nullptr, 16));
    golden[name][step] = bits;
  }
  return golden;
}

// Each signal as the model's records hold it after a step, read from an instance of the
// model driven through the seven functions.
const std::map<std::string, std::function<double(const Corvanta &)>> &modelValues() {
  static const std::map<std::string, std::function<double(const Corvanta &)>> values = {
      {"ModelTime", [](const Corvanta &m) { return m.M.modelTime; }},
      {"Gear", [](const Corvanta &m) { return m.B.Gear; }},
      {"GearRatio", [](const Corvanta &m) { return m.E.GearRatio; }},
      {"EngineSpeed", [](const Corvanta &m) { return m.X.EngineSpeed_State; }},
      {"EngineTorque", [](const Corvanta &m) { return m.B.EngineTorque; }},
      {"EngineTorqueDelayed", [](const Corvanta &m) { return m.B.EngineTorqueDelayed; }},
      {"EngineTorqueLagged", [](const Corvanta &m) { return m.E.LaggedEngineTorque; }},
      {"Throttle", [](const Corvanta &m) { return 0.01 * m.E.ThrottlePercent; }},
      {"Brake", [](const Corvanta &m) { return m.E.BrakeFraction; }},
      {"ConverterSpeedRatio", [](const Corvanta &m) { return m.E.SpeedRatio; }},
      {"ConverterTorqueRatio", [](const Corvanta &m) { return m.E.TorqueRatio; }},
      {"PumpTorque", [](const Corvanta &m) { return m.B.ImpellerTorque; }},
      {"TurbineSpeed", [](const Corvanta &m) { return m.B.TurbineSpeed; }},
      {"DriveTorque", [](const Corvanta &m) { return m.E.DriveTorque; }},
      {"BrakeTorqueFL", [](const Corvanta &m) { return m.E.BrakeTorque[0]; }},
      {"BrakeTorqueFR", [](const Corvanta &m) { return m.E.BrakeTorque[1]; }},
      {"BrakeTorqueRL", [](const Corvanta &m) { return m.E.BrakeTorque[2]; }},
      {"BrakeTorqueRR", [](const Corvanta &m) { return m.E.BrakeTorque[3]; }},
      {"YawRate", [](const Corvanta &m) { return m.B.YawRate; }},
      {"LateralVelocity", [](const Corvanta &m) { return m.B.LateralVelocity; }},
      {"PitchRate", [](const Corvanta &m) { return m.B.PitchRate; }},
      {"RollRate", [](const Corvanta &m) { return m.B.RollRate; }},
      {"FrontSteerAngle", [](const Corvanta &m) { return m.E.FrontSteerAngle; }},
      {"WheelSpeedFL", [](const Corvanta &m) { return m.B.WheelSpeedFL; }},
      {"WheelSpeedFR", [](const Corvanta &m) { return m.B.WheelSpeedFR; }},
      {"WheelSpeedRL", [](const Corvanta &m) { return m.B.WheelSpeedRL; }},
      {"WheelSpeedRR", [](const Corvanta &m) { return m.B.WheelSpeedRR; }},
      {"TyreForceXFL", [](const Corvanta &m) { return m.E.TyreFx[0]; }},
      {"TyreForceXFR", [](const Corvanta &m) { return m.E.TyreFx[1]; }},
      {"TyreForceXRL", [](const Corvanta &m) { return m.E.TyreFx[2]; }},
      {"TyreForceXRR", [](const Corvanta &m) { return m.E.TyreFx[3]; }},
      {"TyreForceYFL", [](const Corvanta &m) { return m.E.TyreFy[0]; }},
      {"TyreForceYFR", [](const Corvanta &m) { return m.E.TyreFy[1]; }},
      {"TyreForceYRL", [](const Corvanta &m) { return m.E.TyreFy[2]; }},
      {"TyreForceYRR", [](const Corvanta &m) { return m.E.TyreFy[3]; }},
      {"TyreAligningMomentFL", [](const Corvanta &m) { return m.E.TyreMz[0]; }},
      {"TyreAligningMomentFR", [](const Corvanta &m) { return m.E.TyreMz[1]; }},
      {"TyreAligningMomentRL", [](const Corvanta &m) { return m.E.TyreMz[2]; }},
      {"TyreAligningMomentRR", [](const Corvanta &m) { return m.E.TyreMz[3]; }},
      {"TyreRollingMomentFL", [](const Corvanta &m) { return m.E.TyreMy[0]; }},
      {"TyreRollingMomentFR", [](const Corvanta &m) { return m.E.TyreMy[1]; }},
      {"TyreRollingMomentRL", [](const Corvanta &m) { return m.E.TyreMy[2]; }},
      {"TyreRollingMomentRR", [](const Corvanta &m) { return m.E.TyreMy[3]; }},
  };
  return values;
}

// Relations fixed by the model's formulas, with their operation order: each must hold bit
// for bit whatever the state.
void expectFormulaRelations(const Signals &s, const std::string &where) {
  SCOPED_TRACE(where);
  const double vx = at(s, "LongitudinalSpeed");
  const double vy = at(s, "LateralVelocity");
  const double r = at(s, "YawRate");
  // Drive torque on each rear wheel: pump torque x torque ratio x gear ratio x final drive
  // 2.05 x 0.2; turbine speed from the rear wheels through the same ratios.
  EXPECT_SAME_BITS((((at(s, "PumpTorque") * at(s, "ConverterTorqueRatio")) * at(s, "GearRatio")) * 2.05) * 0.2,
                   at(s, "DriveTorque"));
  EXPECT_SAME_BITS((2.05 * (at(s, "WheelSpeedRL") + at(s, "WheelSpeedRR"))) * at(s, "GearRatio"),
                   at(s, "TurbineSpeed"));
  EXPECT_SAME_BITS(std::atan2(vy, vx), at(s, "SideslipAngle"));
  // Slip ratio (rim speed - vx) / max(|rim speed|, |vx|) with a 0.314 m wheel radius.
  const char *wheels[4] = {"FL", "FR", "RL", "RR"};
  for (const char *w : wheels) {
    const double rim = 0.314 * at(s, (std::string("WheelSpeed") + w).c_str());
    const double denominator = std::fmax(std::fabs(rim), std::fabs(vx));
    EXPECT_SAME_BITS(denominator == 0.0 ? 0.0 : (rim - vx) / denominator, at(s, (std::string("SlipRatio") + w).c_str()))
        << w;
  }
  // Slip angles: road-wheel angle minus the direction of the axle's velocity (axles 1.159 m
  // ahead of and 1.6409999999999998 m behind the centre of mass).
  const double frontBeta = vx == 0.0 ? 0.0 : std::atan((vy + r * 1.159) / vx);
  const double rearBeta = vx == 0.0 ? 0.0 : std::atan((vy - 1.6409999999999998 * r) / vx);
  EXPECT_SAME_BITS(at(s, "FrontSteerAngle") - frontBeta, at(s, "SlipAngleFL"));
  EXPECT_SAME_BITS(at(s, "FrontSteerAngle") - frontBeta, at(s, "SlipAngleFR"));
  EXPECT_SAME_BITS(0.0 - rearBeta, at(s, "SlipAngleRL"));
  EXPECT_SAME_BITS(0.0 - rearBeta, at(s, "SlipAngleRR"));
  // Static loads: equal on each axle.
  EXPECT_SAME_BITS(at(s, "TyreLoadFL"), at(s, "TyreLoadFR"));
  EXPECT_SAME_BITS(at(s, "TyreLoadRL"), at(s, "TyreLoadRR"));
}

TEST(VehicleSignals, TheListIsQueryableAndStartsWithTheSevenOutputs) {
  ASSERT_EQ(corvanta_signal_count(), static_cast<size_t>(CORVANTA_NUM_SIGNALS));
  const char *outputs[] = {
#define CORVANTA_OUTPUT_NAME_(name, unit, meaning) #name,
      CORVANTA_OUTPUT_FIELDS(CORVANTA_OUTPUT_NAME_)
#undef CORVANTA_OUTPUT_NAME_
  };
  for (size_t k = 0; k < CORVANTA_NUM_OUTPUTS; ++k) {
    EXPECT_STREQ(outputs[k], corvanta_signal_name(k));
  }
  std::set<std::string> names;
  for (size_t k = 0; k < corvanta_signal_count(); ++k) {
    const char *name = corvanta_signal_name(k);
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(names.insert(name).second) << "duplicate " << name;
    EXPECT_EQ(corvanta_signal_index(name), static_cast<int>(k));
    ASSERT_NE(corvanta_signal_unit(k), nullptr);
    EXPECT_STRNE(corvanta_signal_unit(k), "") << name << ": a pure number has the unit \"1\"";
    ASSERT_NE(corvanta_signal_description(k), nullptr);
    EXPECT_GT(std::string(corvanta_signal_description(k)).size(), 10U) << name;
  }
  EXPECT_EQ(CORVANTA_SIGNAL_Gear, corvanta_signal_index("Gear"));
  EXPECT_EQ(CORVANTA_SIGNAL_TyreLoadRR, CORVANTA_NUM_SIGNALS - 1);
  EXPECT_EQ(corvanta_signal_name(CORVANTA_NUM_SIGNALS), nullptr);
  EXPECT_EQ(corvanta_signal_unit(CORVANTA_NUM_SIGNALS), nullptr);
  EXPECT_EQ(corvanta_signal_description(static_cast<size_t>(-1)), nullptr);
  EXPECT_EQ(corvanta_signal_index("gear"), -1);  // exact spelling
  EXPECT_EQ(corvanta_signal_index(""), -1);
  EXPECT_EQ(corvanta_signal_index(nullptr), -1);
}

TEST(VehicleSignals, EveryFmuOutputIsASignalAndPublishedReferencesKeepTheirNames) {
  // The FMUs publish every signal once; the value references published before keep their
  // names (16 to 43: the observables of earlier versions).
  std::ifstream file(CORVANTA_SOURCE_DIR "/fmi/FmuVariables.def");
  ASSERT_TRUE(file.good());
  std::stringstream text;
  text << file.rdbuf();
  const std::string all = text.str();
  const std::regex entry(R"re(CORVANTA_FMU_SIGNAL\(\s*(\d+),\s*(\w+),\s*(\w+)\))re");
  const char *const published[] = {"PositionX",
                                   "PositionY",
                                   "Heading",
                                   "LongitudinalSpeed",
                                   "PitchAngle",
                                   "RollAngle",
                                   "TipOverIndicator",
                                   "ModelTime",
                                   "Gear",
                                   "EngineSpeed",
                                   "EngineTorque",
                                   "Throttle",
                                   "Brake",
                                   "YawRate",
                                   "LateralVelocity",
                                   "SideslipAngle",
                                   "LongitudinalAcceleration",
                                   "LateralAcceleration",
                                   "WheelSpeedFL",
                                   "WheelSpeedFR",
                                   "WheelSpeedRL",
                                   "WheelSpeedRR",
                                   "TyreForceXFL",
                                   "TyreForceXFR",
                                   "TyreForceXRL",
                                   "TyreForceXRR",
                                   "TyreForceYFL",
                                   "TyreForceYFR",
                                   "TyreForceYRL",
                                   "TyreForceYRR",
                                   "TyreLoadFL",
                                   "TyreLoadFR",
                                   "TyreLoadRL",
                                   "TyreLoadRR",
                                   "FrontSteerAngle"};
  std::vector<int> seen(corvanta_signal_count(), 0);
  int found = 0;
  for (auto it = std::sregex_iterator(all.begin(), all.end(), entry); it != std::sregex_iterator(); ++it) {
    const unsigned vr = static_cast<unsigned>(std::stoul((*it)[1]));
    const std::string name = (*it)[2];
    const int index = corvanta_signal_index(name.c_str());
    ASSERT_GE(index, 0) << name << " is an FMU output but not a signal";
    ++seen[static_cast<std::size_t>(index)];
    if (vr >= 9 && vr <= 43) {
      EXPECT_EQ(name, published[vr - 9]) << "value reference " << vr << " changed its meaning";
    } else {
      EXPECT_GE(vr, 44U) << name;
    }
    EXPECT_EQ((*it)[3].str(), name == "Gear" ? "discrete" : "continuous") << name;
    ++found;
  }
  EXPECT_EQ(found, static_cast<int>(corvanta_signal_count()));
  for (std::size_t k = 0; k < seen.size(); ++k) {
    EXPECT_EQ(seen[k], 1) << corvanta_signal_name(k);
  }
}

TEST(VehicleSignals, TheDocumentedTableIsTheList) {
  std::ifstream file(CORVANTA_SOURCE_DIR "/docs/signals.md");
  ASSERT_TRUE(file.good());
  const std::regex row(R"re(^\| (\d+) \| `(\w+)` \| ([^|]+) \| (.+) \|$)re");
  std::string line;
  std::size_t rows = 0;
  std::string text;
  while (std::getline(file, line)) {
    text += line + "\n";
    std::smatch m;
    if (!std::regex_match(line, m, row)) continue;
    const std::size_t index = std::stoul(m[1]);
    ASSERT_EQ(index, rows) << line;
    ASSERT_LT(index, corvanta_signal_count());
    EXPECT_EQ(m[2].str(), corvanta_signal_name(index));
    EXPECT_EQ(m[3].str(), corvanta_signal_unit(index));
    EXPECT_EQ(m[4].str(), corvanta_signal_description(index));
    ++rows;
  }
  EXPECT_EQ(rows, corvanta_signal_count());
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  EXPECT_NE(text.find("A state of this build is " + std::to_string(corvanta_instance_state_size(car)) + " bytes"),
            std::string::npos);
  corvanta_instance_free(car);
}

TEST(VehicleSignals, CopiesAPrefixAndIgnoresNullArguments) {
  CorvantaInstance *car = corvanta_instance_create(nullptr);
  ASSERT_NE(car, nullptr);
  ExtU_Corvanta_T u = scenarioInputs(1.0, 1.0, 3.0);
  corvanta_instance_set_inputs(car, &u);
  corvanta_instance_initialize(car);
  for (int k = 0; k < 50; ++k) corvanta_instance_step(car);
  const Signals all = signalsOf(car);
  double prefix[10];
  for (double &v : prefix) v = -1.0;
  EXPECT_EQ(corvanta_instance_signals(car, prefix, 9), 9U);
  for (int k = 0; k < 9; ++k) EXPECT_SAME_BITS(all[static_cast<std::size_t>(k)], prefix[k]);
  EXPECT_SAME_BITS(-1.0, prefix[9]);  // nothing beyond the count
  std::vector<double> more(CORVANTA_NUM_SIGNALS + 5, -1.0);
  EXPECT_EQ(corvanta_instance_signals(car, more.data(), more.size()), static_cast<size_t>(CORVANTA_NUM_SIGNALS));
  EXPECT_SAME_BITS(-1.0, more[CORVANTA_NUM_SIGNALS]);
  EXPECT_EQ(corvanta_instance_signals(car, nullptr, 5), 0U);
  EXPECT_EQ(corvanta_instance_signals(nullptr, prefix, 5), 0U);
  EXPECT_EQ(corvanta_instance_signals(car, prefix, 0), 0U);
  // Reading changes nothing: the next step is the same as without the reads.
  CorvantaInstance *twin = corvanta_instance_create(nullptr);
  corvanta_instance_set_inputs(twin, &u);
  corvanta_instance_initialize(twin);
  for (int k = 0; k < 51; ++k) corvanta_instance_step(twin);
  corvanta_instance_step(car);
  const Signals a = signalsOf(car);
  const Signals b = signalsOf(twin);
  for (std::size_t k = 0; k < a.size(); ++k) EXPECT_SAME_BITS(b[k], a[k]) << corvanta_signal_name(k);
  corvanta_instance_free(twin);
  corvanta_instance_free(car);
}

TEST(VehicleSignals, EachSignalIsTheModelsValueAtTheRegressionCheckpoints) {
  const auto golden = goldenCheckpoints();
  // Every signal either has its model value above, is an output, or a derived value checked
  // by the formula relations.
  const std::set<std::string> derived = {"SideslipAngle",       "LongitudinalAcceleration",
                                         "LateralAcceleration", "SlipRatioFL",
                                         "SlipRatioFR",         "SlipRatioRL",
                                         "SlipRatioRR",         "SlipAngleFL",
                                         "SlipAngleFR",         "SlipAngleRL",
                                         "SlipAngleRR",         "TyreLoadFL",
                                         "TyreLoadFR",          "TyreLoadRL",
                                         "TyreLoadRR"};
  for (size_t k = CORVANTA_NUM_OUTPUTS; k < corvanta_signal_count(); ++k) {
    const std::string name = corvanta_signal_name(k);
    EXPECT_TRUE(modelValues().count(name) == 1 || derived.count(name) == 1) << name << " is not checked";
  }
  int checkpoints = 0;
  for (const VehicleScenario &scenario : regressionScenarios()) {
    SCOPED_TRACE(scenario.name);
    const auto &pinned = golden.at(scenario.name);
    void *reference = CreateVehicleModel();
    const Corvanta &model = *static_cast<const Corvanta *>(reference);
    CorvantaInstance *car = corvanta_instance_create(nullptr);
    ExtU_Corvanta_T u = scenario.start;
    SetInputs(reference, &u);
    Initialize(reference);
    corvanta_instance_set_inputs(car, &u);
    corvanta_instance_initialize(car);
    for (int k = 0; k < scenario.steps; ++k) {
      if (scenario.driver) scenario.driver(k, u);
      SetInputs(reference, &u);
      Step(reference);
      corvanta_instance_set_inputs(car, &u);
      corvanta_instance_step(car);
      const auto checkpoint = pinned.find(k + 1);
      if (checkpoint == pinned.end() && (k + 1) != 1 && (k + 1) != 23) continue;
      const Signals s = signalsOf(car);
      const std::string where = scenario.name + " step " + std::to_string(k + 1);
      if (checkpoint != pinned.end()) {
        ++checkpoints;
        for (size_t i = 0; i < CORVANTA_NUM_OUTPUTS; ++i) {
          EXPECT_EQ(checkpoint->second.at(i), bitsOf(s[i])) << where << " " << corvanta_signal_name(i);
        }
      }
      for (const auto &value : modelValues()) {
        EXPECT_SAME_BITS(value.second(model), at(s, value.first.c_str())) << where << " " << value.first;
      }
      const double ax = model.B.LongitudinalAcceleration - model.B.YawRate * model.B.LateralVelocity;
      const double ay = model.B.LateralAcceleration + model.B.YawRate * model.B.LongitudinalVelocity;
      EXPECT_SAME_BITS(ax, at(s, "LongitudinalAcceleration")) << where;
      EXPECT_SAME_BITS(ay, at(s, "LateralAcceleration")) << where;
      expectFormulaRelations(s, where);
    }
    DeleteVehicleModel(reference);
    corvanta_instance_free(car);
  }
  EXPECT_EQ(checkpoints, 20);
}

// Runs a scenario on an instance and hands the signals after every 100th step to `check`.
void runSampled(const std::string &name, const std::function<void(int step, const Signals &)> &check) {
  for (const VehicleScenario &scenario : regressionScenarios()) {
    if (scenario.name != name) continue;
    CorvantaInstance *car = corvanta_instance_create(nullptr);
    ExtU_Corvanta_T u = scenario.start;
    corvanta_instance_set_inputs(car, &u);
    corvanta_instance_initialize(car);
    for (int k = 0; k < scenario.steps; ++k) {
      if (scenario.driver) scenario.driver(k, u);
      corvanta_instance_set_inputs(car, &u);
      corvanta_instance_step(car);
      if ((k + 1) % 100 == 0) check(k + 1, signalsOf(car));
    }
    corvanta_instance_free(car);
  }
}

TEST(VehicleSignals, PhysicalMeaningAndSigns) {
  // Downhill at full demand: nearly full throttle, no brake, gears 1 to 4 one after the other.
  std::vector<double> gears;
  runSampled("full-throttle-downhill", [&](int, const Signals &s) {
    if (gears.empty() || gears.back() != at(s, "Gear")) gears.push_back(at(s, "Gear"));
    EXPECT_GT(at(s, "Throttle"), 0.9);  // the demand map's largest throttle at each speed
    EXPECT_LE(at(s, "Throttle"), 1.0);
    EXPECT_SAME_BITS(0.0, at(s, "Brake"));
    EXPECT_GT(at(s, "GearRatio"), 0.0);
  });
  EXPECT_EQ(gears, (std::vector<double>{1.0, 2.0, 3.0, 4.0}));

  // Braking from 15 m/s: brake torques act against the forward motion, the tyres brake.
  runSampled("brake-to-standstill", [&](int step, const Signals &s) {
    if (step > 2000 && step < 20000) {
      EXPECT_GT(at(s, "Brake"), 0.0) << step;
      EXPECT_LT(at(s, "BrakeTorqueFL"), 0.0) << step;
      EXPECT_LT(at(s, "BrakeTorqueRR"), 0.0) << step;
      EXPECT_LT(at(s, "TyreForceXFL"), 0.0) << step;
      EXPECT_LT(at(s, "SlipRatioFL"), 0.0) << step;
      EXPECT_SAME_BITS(0.0, at(s, "Throttle"));
    }
  });

  // A steady left turn: yaw rate, slip angles, lateral forces and acceleration to the left;
  // the lateral acceleration is the yaw rate times the speed once the turn is steady; the
  // tyre loads carry the car's weight of 17248 N.
  runSampled("corner-left", [&](int step, const Signals &s) {
    if (step < 40000) return;
    EXPECT_GT(at(s, "YawRate"), 0.0);
    EXPECT_GT(at(s, "SlipAngleFL"), 0.0);
    EXPECT_GT(at(s, "TyreForceYFL"), 0.0);
    EXPECT_GT(at(s, "TyreForceYRR"), 0.0);
    EXPECT_GT(at(s, "LateralAcceleration"), 0.5);
    EXPECT_NEAR(at(s, "LateralAcceleration"), at(s, "YawRate") * at(s, "LongitudinalSpeed"),
                0.02 * at(s, "LateralAcceleration"));
    EXPECT_NEAR(at(s, "FrontSteerAngle"), 0.05, 1e-6);
    EXPECT_NEAR(2.0 * (at(s, "TyreLoadFL") + at(s, "TyreLoadRL")), 17248.0, 1e-6);
    EXPECT_GT(at(s, "TyreLoadFL"), at(s, "TyreLoadRL"));  // centre of mass nearer the front axle
  });

  // Reverse: negative gear ratio, turbine and wheels turning backwards.
  runSampled("reverse", [&](int step, const Signals &s) {
    if (step < 10000) return;
    EXPECT_LT(at(s, "GearRatio"), 0.0);
    EXPECT_LT(at(s, "WheelSpeedRL"), 0.0);
    EXPECT_LT(at(s, "DriveTorque"), 0.0);
  });
}

}  // namespace
