// The constant table block: typed tables against the independent calibration, and the
// shape properties of the generated driver-demand maps.
#include "model/data/ConstantBlocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "runtime/Lookup.h"
#include "tests/TestSupport.h"
#include "tools/tablegen/DemandSamples.h"

#ifndef CORVANTA_CONFORMANCE_TABLES
#error "CORVANTA_CONFORMANCE_TABLES must name the conformance pack's tables.json"
#endif

namespace {

const ConstP_Corvanta_T &P = Corvanta_ConstP;

nlohmann::json packTables() {
  std::ifstream in(CORVANTA_CONFORMANCE_TABLES);
  nlohmann::json tables;
  in >> tables;
  return tables;
}

void expectSameTable(const nlohmann::json &tables, const char *name, const double *values, std::size_t count) {
  const std::vector<double> expected = tables.at(name).get<std::vector<double>>();
  ASSERT_EQ(expected.size(), count) << name;
  for (std::size_t k = 0; k < count; ++k) {
    ASSERT_EQ(bitsOf(expected[k]), bitsOf(values[k])) << name << "[" << k << "]";
  }
}

TEST(ConstantBlock, CalibratedTablesMatchTheReferenceBitForBit) {
  const nlohmann::json tables = packTables();
#define SAME(member) expectSameTable(tables, #member, P.member, sizeof P.member / sizeof(double))
  SAME(EngineTorqueMap_Table);
  SAME(EngineTorqueMap_Axis1);
  SAME(EngineTorqueMap_Axis2);
  SAME(GearRatio_Axis1);
  SAME(GearRatio_Table);
  SAME(InvCapacityFactor_Table);
  SAME(InvCapacityFactor_Axis1);
  SAME(TorqueRatio_Table);
  SAME(TorqueRatio_Axis1);
  SAME(DownshiftMap_Table);
  SAME(ShiftMap_Axis1);
  SAME(ShiftMap_Axis2);
  SAME(UpshiftMap_Table);
  SAME(DemandMapSpeed_Axis1);
  SAME(ThrottleMap_Axis2);
  SAME(BrakeMap_Axis2);
#undef SAME
  EXPECT_EQ(P.ThrottleMap_LastIndex[0], 120U);
  EXPECT_EQ(P.ThrottleMap_LastIndex[1], 198U);
  EXPECT_EQ(P.BrakeMap_LastIndex[0], 120U);
  EXPECT_EQ(P.BrakeMap_LastIndex[1], 412U);
  EXPECT_SAME_BITS(8.55298599939821, Corvanta_ConstB);
}

TEST(ConstantBlock, AxesAsStated) {
  EXPECT_SAME_BITS(-0.08497463119906179, P.BrakeMap_Axis2[412]);
  EXPECT_SAME_BITS(1.9924867053765989, P.ThrottleMap_Axis2[198]);
  EXPECT_SAME_BITS(12.0, P.DemandMapSpeed_Axis1[120]);
  EXPECT_SAME_BITS(0.1, P.DemandMapSpeed_Axis1[1]);
  EXPECT_SAME_BITS(3.0 / 10.0, P.DemandMapSpeed_Axis1[3]);
}

struct Map {
  const double *table;
  const double *demands;
  int demandCount;
  const DemandMapSamples &samples;
  double at(int speed, int demand) const { return table[speed + demand * kDemandMapSpeeds]; }
};

const Map kThrottle{P.ThrottleMap_Table, P.ThrottleMap_Axis2, kThrottleMapDemands, kThrottleSamples};
const Map kBrake{P.BrakeMap_Table, P.BrakeMap_Axis2, kBrakeMapDemands, kBrakeSamples};

TEST(DemandMaps, PassThroughTheSamples) {
  for (const Map *map : {&kThrottle, &kBrake}) {
    for (std::size_t s = 0; s < map->samples.speedIndex.size(); ++s) {
      for (std::size_t d = 0; d < map->samples.demandIndex.size(); ++d) {
        EXPECT_NEAR(map->at(map->samples.speedIndex[s], map->samples.demandIndex[d]), map->samples.value[s][d], 5e-5);
      }
    }
  }
  // Spot checks against the published four-decimal values.
  EXPECT_NEAR(kThrottle.at(120, 198), 14.3110, 5e-5);
  EXPECT_NEAR(kBrake.at(0, 0), 1.3156, 5e-5);
  EXPECT_NEAR(kBrake.at(100, 412), -0.1612, 5e-5);
}

TEST(DemandMaps, StayWithinTheSampledRange) {
  const auto throttle = std::minmax_element(P.ThrottleMap_Table, P.ThrottleMap_Table + 121 * 199);
  EXPECT_GE(*throttle.first, -0.3585);
  EXPECT_LE(*throttle.second, 14.311);
  const auto brake = std::minmax_element(P.BrakeMap_Table, P.BrakeMap_Table + 121 * 413);
  EXPECT_GE(*brake.first, -0.1657);
  EXPECT_LE(*brake.second, 1.3156);
}

// Between two sampled demands the map is monotone at every speed, in the direction of
// the two values there.
TEST(DemandMaps, MonotoneInDemandBetweenSamples) {
  for (const Map *map : {&kThrottle, &kBrake}) {
    const std::vector<int> &knots = map->samples.demandIndex;
    for (int s = 0; s < kDemandMapSpeeds; ++s) {
      for (std::size_t k = 0; k + 1 < knots.size(); ++k) {
        const double direction = map->at(s, knots[k + 1]) - map->at(s, knots[k]);
        for (int d = knots[k]; d < knots[k + 1]; ++d) {
          const double step = map->at(s, d + 1) - map->at(s, d);
          ASSERT_GE(step * direction, 0.0) << "speed index " << s << ", demand index " << d;
        }
      }
    }
  }
  // Where the sampled rows are increasing, so is the throttle map everywhere.
  for (int s = 0; s < kDemandMapSpeeds; ++s) {
    for (int d = 0; d + 1 < kThrottleMapDemands; ++d) {
      ASSERT_GE(kThrottle.at(s, d + 1), kThrottle.at(s, d)) << s << " " << d;
    }
  }
}

// A kink shows as a second difference of the order of the step times the jump in slope;
// a continuous slope keeps it of the order of the step squared, like its neighbours.
void expectSmooth(const std::vector<double> &line, const std::vector<int> &knots, const char *what, int index) {
  auto second = [&](int i) { return std::fabs(line[i + 1] - 2.0 * line[i] + line[i - 1]); };
  for (std::size_t k = 1; k + 1 < knots.size(); ++k) {
    const int knot = knots[k];
    double neighbours = 0.0;
    for (int i = std::max(knot - 3, 1); i <= std::min(knot + 3, static_cast<int>(line.size()) - 2); ++i) {
      if (i != knot) {
        neighbours = std::max(neighbours, second(i));
      }
    }
    EXPECT_LE(second(knot), 2.0 * neighbours + 1e-12) << what << " " << index << " at knot " << knot;
  }
}

TEST(DemandMaps, ContinuousSlopeAcrossTheSamples) {
  for (const Map *map : {&kThrottle, &kBrake}) {
    for (int s = 0; s < kDemandMapSpeeds; ++s) {
      std::vector<double> row(static_cast<std::size_t>(map->demandCount));
      for (int d = 0; d < map->demandCount; ++d) {
        row[d] = map->at(s, d);
      }
      expectSmooth(row, map->samples.demandIndex, "speed", s);
    }
    for (int d = 0; d < map->demandCount; ++d) {
      std::vector<double> column(kDemandMapSpeeds);
      for (int s = 0; s < kDemandMapSpeeds; ++s) {
        column[s] = map->at(s, d);
      }
      expectSmooth(column, map->samples.speedIndex, "demand", d);
    }
  }
}

double brakeLookup(double speed, double demand) {
  return look2_binlxpw(speed, demand, P.DemandMapSpeed_Axis1, P.BrakeMap_Axis2, P.BrakeMap_Table, P.BrakeMap_LastIndex,
                       kDemandMapSpeeds);
}

TEST(DemandMaps, StrongestBrakingSaturatesAtEverySpeed) {
  for (int s = 0; s < kDemandMapSpeeds; ++s) {
    EXPECT_GT(kBrake.at(s, 0), 1.0) << s;
  }
}

double brakeCrossingOfOne(int speedIndex) {
  for (int d = 0; d + 1 < kBrakeMapDemands; ++d) {
    const double a = kBrake.at(speedIndex, d);
    const double b = kBrake.at(speedIndex, d + 1);
    if (a >= 1.0 && b < 1.0) {
      return P.BrakeMap_Axis2[d] + (a - 1.0) / (a - b) * 0.01;
    }
  }
  return NAN;
}

TEST(DemandMaps, FullBrakingBeginsNearTheCalibratedDemands) {
  EXPECT_NEAR(brakeCrossingOfOne(0), -2.9, 0.1);
  EXPECT_NEAR(brakeCrossingOfOne(50), -4.05, 0.1);
}

TEST(DemandMaps, PositiveDemandNeverBrakesAtAnySpeedBreakpoint) {
  for (int s = 0; s < kDemandMapSpeeds; ++s) {
    const double speed = P.DemandMapSpeed_Axis1[s];
    for (double demand : {0.0, 0.01, 0.5, 2.0, 100.0}) {
      ASSERT_LE(brakeLookup(speed, demand), 0.0) << "speed " << speed << " demand " << demand;
    }
  }
}

}  // namespace
