// Input sequences shared by the vehicle library's tests: the regression scenarios (their
// pinned checkpoints are in tests/data/regression/golden.txt) and a run that passes through
// a gear shift, a restart and non-finite inputs.
#ifndef CORVANTA_TESTS_VEHICLE_VEHICLESCENARIOS_H
#define CORVANTA_TESTS_VEHICLE_VEHICLESCENARIOS_H

#include <functional>
#include <string>
#include <vector>

#include "capi/corvanta.h"

struct VehicleScenario {
  std::string name;
  ExtU_Corvanta_T start;
  int steps;
  std::function<void(int step, ExtU_Corvanta_T &inputs)> driver;  // may change the inputs before a step
};

inline ExtU_Corvanta_T scenarioInputs(double demand, double selector, double speed) {
  ExtU_Corvanta_T u{};
  u.AccelerationDemand = demand;
  u.GearSelector = selector;
  u.InitialSpeed = speed;
  return u;
}

// The scenarios of tests/regression/scenario_test.cpp, under the same names.
inline const std::vector<VehicleScenario> &regressionScenarios() {
  static const std::vector<VehicleScenario> all = {
      {"full-throttle-downhill", scenarioInputs(2.0, 1.0, 0.0), 300000,
       [](int, ExtU_Corvanta_T &u) { u.RoadGrade = 0.5; }},
      {"brake-to-standstill", scenarioInputs(-4.0, 1.0, 15.0), 80000, nullptr},
      {"corner-left", scenarioInputs(0.3, 1.0, 10.0), 60000, [](int, ExtU_Corvanta_T &u) { u.SteeringAngle = 0.05; }},
      {"reverse", scenarioInputs(1.0, 3.0, 0.0), 50000, nullptr},
  };
  return all;
}

#endif  // CORVANTA_TESTS_VEHICLE_VEHICLESCENARIOS_H
