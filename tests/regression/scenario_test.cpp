// Whole-vehicle scenarios driven through the C functions: physically meaningful facts,
// and the outputs pinned bit for bit at checkpoints so that any change of behaviour shows.
//
// The pinned values live in tests/data/regression/golden.txt.  After an intended change
// of behaviour, regenerate them with CORVANTA_UPDATE_GOLDEN=1 and review the difference.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "capi/corvanta.h"
#include "model/Corvanta.h"
#include "tests/TestSupport.h"

#ifndef CORVANTA_GOLDEN_FILE
#error "CORVANTA_GOLDEN_FILE must name the golden checkpoint file"
#endif

namespace {

constexpr int kStepsPerSecond = 10000;

struct Sample {
  int step;
  double time;
  ExtY_Corvanta_T y;
  double gear;
};

struct Scenario {
  std::string name;
  ExtU_Corvanta_T inputs;
  int steps;
  std::function<void(int step, ExtU_Corvanta_T &inputs)> driver;  // may change the inputs before a step
};

struct Trajectory {
  std::vector<Sample> samples;                         // after every 100th step
  std::vector<std::pair<double, double>> gearChanges;  // (time, speed) of each change of the engaged gear
};

Trajectory simulate(const Scenario &scenario) {
  void *car = CreateVehicleModel();
  ExtU_Corvanta_T u = scenario.inputs;
  SetInputs(car, &u);
  Initialize(car);
  const ExtY_Corvanta_T *y = GetOutputs(car);
  const Corvanta *model = static_cast<const Corvanta *>(car);
  Trajectory run;
  double gear = 1.0;
  for (int k = 0; k < scenario.steps; ++k) {
    if (scenario.driver) {
      scenario.driver(k, u);
    }
    SetInputs(car, &u);
    Step(car);
    if (model->B.Gear != gear && k > 0) {
      run.gearChanges.emplace_back((k + 1) * 0.0001, y->LongitudinalSpeed);
    }
    gear = model->B.Gear;
    if ((k + 1) % 100 == 0) {
      run.samples.push_back({k + 1, (k + 1) * 0.0001, *y, gear});
    }
  }
  DeleteVehicleModel(car);
  return run;
}

ExtU_Corvanta_T inputs(double demand, double selector, double speed) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = demand;
  u.GearSelector = selector;
  u.InitialSpeed = speed;
  return u;
}

const std::vector<Scenario> &scenarios() {
  static const std::vector<Scenario> all = {
      {"full-throttle-start", inputs(2.0, 1.0, 0.0), 10 * kStepsPerSecond, nullptr},
      {"full-throttle-downhill", inputs(2.0, 1.0, 0.0), 30 * kStepsPerSecond,
       [](int, ExtU_Corvanta_T &u) { u.RoadGrade = 0.5; }},
      {"brake-to-standstill", inputs(-4.0, 1.0, 15.0), 8 * kStepsPerSecond, nullptr},
      {"corner-left", inputs(0.3, 1.0, 10.0), 6 * kStepsPerSecond,
       [](int, ExtU_Corvanta_T &u) { u.SteeringAngle = 0.05; }},
      {"corner-right", inputs(0.3, 1.0, 10.0), 6 * kStepsPerSecond,
       [](int, ExtU_Corvanta_T &u) { u.SteeringAngle = -0.05; }},
      {"reverse", inputs(1.0, 3.0, 0.0), 5 * kStepsPerSecond, nullptr},
      {"neutral-downhill", inputs(0.0, 0.0, 0.0), 6 * kStepsPerSecond,
       [](int, ExtU_Corvanta_T &u) { u.RoadGrade = 0.05; }},
      {"step-steer", inputs(0.5, 1.0, 20.0), 4 * kStepsPerSecond,
       [](int k, ExtU_Corvanta_T &u) { u.SteeringAngle = (k >= kStepsPerSecond) ? 0.02 : 0.0; }},
  };
  return all;
}

const Trajectory &runOf(const std::string &name) {
  static std::map<std::string, Trajectory> runs;
  auto found = runs.find(name);
  if (found == runs.end()) {
    for (const Scenario &scenario : scenarios()) {
      if (scenario.name == name) {
        found = runs.emplace(name, simulate(scenario)).first;
      }
    }
  }
  return found->second;
}

const Sample &at(const Trajectory &run, double time) {
  return run.samples.at(static_cast<std::size_t>(std::lround(time * 100.0)) - 1);
}

double pathLength(const Trajectory &run) {
  double length = 0.0;
  for (std::size_t k = 1; k < run.samples.size(); ++k) {
    length += std::hypot(run.samples[k].y.PositionX - run.samples[k - 1].y.PositionX,
                         run.samples[k].y.PositionY - run.samples[k - 1].y.PositionY);
  }
  return length;
}

void report(const std::string &name, const Trajectory &run) {
  const Sample &last = run.samples.back();
  std::printf("%s: t=%.2f s  speed %.3f m/s  distance %.2f m  pose (%.3f, %.3f, %.4f rad)  gear %.0f\n", name.c_str(),
              last.time, last.y.LongitudinalSpeed, pathLength(run), last.y.PositionX, last.y.PositionY, last.y.Heading,
              last.gear);
  for (const auto &change : run.gearChanges) {
    std::printf("  gear change at %.4f s, %.3f m/s\n", change.first, change.second);
  }
}

TEST(Scenario, FullThrottleStartSpeedsUpInFirstGear) {
  const Trajectory &run = runOf("full-throttle-start");
  report("full-throttle-start", run);
  for (std::size_t k = 10; k < run.samples.size(); ++k) {
    ASSERT_GT(run.samples[k].y.LongitudinalSpeed, run.samples[k - 10].y.LongitudinalSpeed) << k;
  }
  // At full throttle first gear holds up to 38.5 km/h, which ten seconds do not reach.
  EXPECT_TRUE(run.gearChanges.empty());
  EXPECT_LT(run.samples.back().y.LongitudinalSpeed, 38.5 / 3.6);
  const Sample &last = run.samples.back();
  EXPECT_GT(last.y.PositionX, 50.0);
  EXPECT_SAME_BITS(0.0, last.y.PositionY);
  EXPECT_SAME_BITS(0.0, last.y.Heading);
  EXPECT_LT(last.y.PitchAngle, 0.0);  // squat while accelerating
}

TEST(Scenario, ShiftsUpThroughTheGearsAtIncreasingSpeeds) {
  const Trajectory &run = runOf("full-throttle-downhill");
  report("full-throttle-downhill", run);
  ASSERT_GE(run.gearChanges.size(), 3U);
  for (std::size_t k = 1; k < run.gearChanges.size(); ++k) {
    EXPECT_GT(run.gearChanges[k].second, run.gearChanges[k - 1].second);
  }
  // Full-throttle upshift speeds of gears 1 to 3, km/h.
  EXPECT_NEAR(run.gearChanges[0].second * 3.6, 38.5, 0.1);
  EXPECT_NEAR(run.gearChanges[1].second * 3.6, 59.5, 0.1);
  EXPECT_NEAR(run.gearChanges[2].second * 3.6, 91.0, 0.1);
  EXPECT_SAME_BITS(4.0, run.samples.back().gear);
}

TEST(Scenario, BrakingStopsAndStaysStopped) {
  const Trajectory &run = runOf("brake-to-standstill");
  report("brake-to-standstill", run);
  const Sample &stopped = at(run, 5.0);
  EXPECT_LT(std::fabs(stopped.y.LongitudinalSpeed), 0.05);
  EXPECT_LT(std::fabs(run.samples.back().y.LongitudinalSpeed), 0.05);
  EXPECT_NEAR(run.samples.back().y.PositionX, stopped.y.PositionX, 0.05);
  EXPECT_GT(stopped.y.PositionX, 15.0);
  EXPECT_LT(stopped.y.PositionX, 60.0);
  EXPECT_GT(at(run, 0.5).y.PitchAngle, 0.0);  // dive while braking
}

TEST(Scenario, PositiveSteeringTurnsLeft) {
  const Trajectory &left = runOf("corner-left");
  const Trajectory &right = runOf("corner-right");
  report("corner-left", left);
  report("corner-right", right);
  for (std::size_t k = 20; k < left.samples.size(); k += 10) {
    ASSERT_GT(left.samples[k].y.Heading, left.samples[k - 10].y.Heading);
    ASSERT_LT(right.samples[k].y.Heading, right.samples[k - 10].y.Heading);
  }
  EXPECT_GT(left.samples.back().y.PositionY, 1.0);
  EXPECT_LT(right.samples.back().y.PositionY, -1.0);
  // Mirror images of each other, up to the asymmetry of the tyre's lateral curve.
  EXPECT_NEAR(left.samples.back().y.Heading, -right.samples.back().y.Heading, 0.01);
}

TEST(Scenario, ReverseMovesBackwards) {
  const Trajectory &run = runOf("reverse");
  report("reverse", run);
  EXPECT_LT(run.samples.back().y.LongitudinalSpeed, -0.5);
  EXPECT_LT(run.samples.back().y.PositionX, -1.0);
}

TEST(Scenario, NeutralRollsDownAPositiveGrade) {
  const Trajectory &run = runOf("neutral-downhill");
  report("neutral-downhill", run);
  EXPECT_GT(at(run, 3.0).y.LongitudinalSpeed, 0.1);
  EXPECT_GT(run.samples.back().y.LongitudinalSpeed, at(run, 3.0).y.LongitudinalSpeed);
  EXPECT_GT(run.samples.back().y.PositionX, 0.5);
}

TEST(Scenario, StepSteerYawsAfterTheStep) {
  const Trajectory &run = runOf("step-steer");
  report("step-steer", run);
  EXPECT_NEAR(at(run, 1.0).y.Heading, 0.0, 1e-12);
  EXPECT_GT(at(run, 2.0).y.Heading, 0.05);
  const double rate1 = at(run, 3.0).y.Heading - at(run, 2.9).y.Heading;
  const double rate2 = at(run, 4.0).y.Heading - at(run, 3.9).y.Heading;
  EXPECT_NEAR(rate1, rate2, 0.2 * rate1);  // settles to a steady yaw rate
}

// Checkpoints pinned bit for bit.
std::string checkpointLine(const std::string &name, const Sample &sample) {
  char buffer[512];
  int used = std::snprintf(buffer, sizeof buffer, "%s %d", name.c_str(), sample.step);
  const double *values = reinterpret_cast<const double *>(&sample.y);
  for (int k = 0; k < CORVANTA_NUM_OUTPUTS; ++k) {
    used +=
        std::snprintf(buffer + used, sizeof buffer - static_cast<std::size_t>(used), " %016" PRIx64, bitsOf(values[k]));
  }
  return buffer;
}

std::vector<std::string> checkpoints() {
  std::vector<std::string> lines;
  for (const Scenario &scenario : scenarios()) {
    const Trajectory &run = runOf(scenario.name);
    for (std::size_t k = 4; k < run.samples.size(); k += run.samples.size() / 4) {
      lines.push_back(checkpointLine(scenario.name, run.samples[k]));
    }
    lines.push_back(checkpointLine(scenario.name, run.samples.back()));
  }
  return lines;
}

TEST(Scenario, CheckpointsArePinnedBitForBit) {
  const std::vector<std::string> actual = checkpoints();
  const char *update = std::getenv("CORVANTA_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream out(CORVANTA_GOLDEN_FILE);
    out << "# scenario step PositionX PositionY Heading LongitudinalSpeed PitchAngle RollAngle TipOverIndicator\n";
    for (const std::string &line : actual) {
      out << line << "\n";
    }
    GTEST_SKIP() << "golden file rewritten: " << CORVANTA_GOLDEN_FILE;
  }
  std::ifstream in(CORVANTA_GOLDEN_FILE);
  ASSERT_TRUE(in) << "missing " << CORVANTA_GOLDEN_FILE;
  std::vector<std::string> expected;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#') {
      expected.push_back(line);
    }
  }
  ASSERT_EQ(expected.size(), actual.size());
  for (std::size_t k = 0; k < actual.size(); ++k) {
    EXPECT_EQ(expected[k], actual[k]);
  }
}

}  // namespace
