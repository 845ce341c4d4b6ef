// "Did you mean": close misspellings are suggested, unrelated names are not.
#include "engine/messages/NameSuggestion.h"

#include <gtest/gtest.h>

namespace corvanta::engine {
namespace {

const std::vector<std::string_view> kKnown{"AccelerationDemand", "GearSelector", "SteeringAngle", "RoadGrade"};

TEST(NameSuggestion, SuggestsTheClosestNameForTyposSwapsAndCase) {
  EXPECT_EQ("SteeringAngle", closestName("SteeringAngel", kKnown).value_or("-"));  // swapped neighbours
  EXPECT_EQ("RoadGrade", closestName("roadgrade", kKnown).value_or("-"));          // case only
  EXPECT_EQ("GearSelector", closestName("GearSelecter", kKnown).value_or("-"));
  EXPECT_EQ("AccelerationDemand", closestName("AcelerationDemnd", kKnown).value_or("-"));
  EXPECT_EQ(" (did you mean RoadGrade?)", didYouMean("RoadGrad", kKnown));
}

TEST(NameSuggestion, NothingForUnrelatedOrShortNames) {
  EXPECT_FALSE(closestName("Throttle", kKnown));
  EXPECT_FALSE(closestName("", kKnown));
  EXPECT_FALSE(closestName("X", kKnown));
  EXPECT_EQ("", didYouMean("Brake", kKnown));
}

}  // namespace
}  // namespace corvanta::engine
