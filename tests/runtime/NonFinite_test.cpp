#include "runtime/NonFinite.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/TestSupport.h"

namespace {

std::uint32_t floatBits(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(NonFinite, BitPatterns) {
  EXPECT_EQ(bitsOf(rtGetInf()), 0x7FF0000000000000ULL);
  EXPECT_EQ(bitsOf(rtGetMinusInf()), 0xFFF0000000000000ULL);
  // The model's NaN carries the sign bit.
  EXPECT_EQ(bitsOf(rtGetNaN()), 0xFFF8000000000000ULL);
  EXPECT_EQ(bitsOf(rtNaN), 0xFFF8000000000000ULL);
  EXPECT_EQ(floatBits(rtGetInfF()), 0x7F800000U);
  EXPECT_EQ(floatBits(rtGetMinusInfF()), 0xFF800000U);
  EXPECT_EQ(floatBits(rtGetNaNF()), 0xFFC00000U);
}

TEST(NonFinite, ConstantsAreReadyForStaticInitialisers) {
  // Constant expressions: usable where a load-time initialiser could still read 0.0.
  constexpr double constants[3] = {rtInf, rtMinusInf, rtNaN};
  EXPECT_EQ(bitsOf(constants[0]), 0x7FF0000000000000ULL);
  EXPECT_EQ(bitsOf(constants[1]), 0xFFF0000000000000ULL);
  EXPECT_EQ(bitsOf(constants[2]), 0xFFF8000000000000ULL);
  EXPECT_EQ(floatBits(rtNaNF), 0xFFC00000U);
  EXPECT_EQ(floatBits(rtInfF), 0x7F800000U);
  EXPECT_EQ(floatBits(rtMinusInfF), 0xFF800000U);
}

TEST(NonFinite, Tests) {
  EXPECT_TRUE(rtIsNaN(rtGetNaN()));
  EXPECT_FALSE(rtIsInf(rtGetNaN()));
  EXPECT_TRUE(rtIsInf(rtGetInf()));
  EXPECT_TRUE(rtIsInf(rtGetMinusInf()));
  EXPECT_FALSE(rtIsInf(1.7976931348623157e308));
  EXPECT_FALSE(rtIsNaN(rtGetInf()));
  EXPECT_FALSE(rtIsNaN(0.0));
  EXPECT_TRUE(rtIsNaNF(rtGetNaNF()));
  EXPECT_TRUE(rtIsInfF(rtGetInfF()));
  EXPECT_TRUE(rtIsInfF(rtGetMinusInfF()));
  EXPECT_FALSE(rtIsInfF(3.4028235e38F));
  EXPECT_FALSE(rtIsInfF(rtGetNaNF()));
}

}  // namespace
