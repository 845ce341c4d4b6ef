// The replacement of the floating-point std::to_chars and std::from_chars (DoubleText.h,
// used where the standard library lacks them, as in the WebAssembly build) writes and reads
// exactly what the standard overloads do: compared here with them on values that probe the
// hard cases (the powers of two, where the gap below is half the gap above; ties; the
// subnormals; the ends of the fixed range) and on random bit patterns.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runtime/DoubleText.h"

namespace {

using corvanta::doubletext::detail::fromChars;
using corvanta::doubletext::detail::text;

std::string standard(double value, int format) {
  char buffer[512];
  const std::to_chars_result result =
      format == 0 ? std::to_chars(buffer, buffer + sizeof buffer, value)
                  : std::to_chars(buffer, buffer + sizeof buffer, value, static_cast<std::chars_format>(format));
  return std::string(buffer, result.ptr);
}

double fromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

const int kFormats[] = {0, static_cast<int>(std::chars_format::scientific), static_cast<int>(std::chars_format::fixed)};

void expectSameText(double value) {
  for (const int format : kFormats) {
    if (format == static_cast<int>(std::chars_format::fixed) && std::fabs(value) > 1e30) {
      continue;  // hundreds of digits; the fixed form is only used for moderate values
    }
    ASSERT_EQ(text(value, format), standard(value, format))
        << "format " << format << ", bits of the value " << std::hexfloat << value;
  }
}

std::vector<double> probes() {
  std::vector<double> values = {0.0,
                                -0.0,
                                1.0,
                                0.1,
                                0.03,
                                1e-05,
                                1e16,
                                123456789012345680.0,
                                5e-324,
                                2.2250738585072014e-308,
                                1.7976931348623157e308,
                                9.999999999999999e15,
                                0.0001,
                                9.5,
                                0.5,
                                2.5,
                                1e22,
                                1e23,
                                0.3,
                                2.0 / 3.0,
                                1e-4 * 3.0,
                                20.0,
                                19.99294053063924,
                                100000.0,
                                1e15,
                                123.456};
  for (int exponent = -1074; exponent <= 1023; ++exponent) {
    const double power = std::ldexp(1.0, exponent);  // the gap below is half the gap above
    values.push_back(power);
    values.push_back(std::nextafter(power, 0.0));
    values.push_back(std::nextafter(power, 2.0 * power + 1.0));
  }
  for (int k = 1; k < 2000; ++k) {
    values.push_back(k * 0.0001);  // the times of the CSV rows
    values.push_back(k / 7.0);
  }
  return values;
}

TEST(DoubleText, WritesWhatToCharsWritesOnTheHardCases) {
  for (const double value : probes()) {
    expectSameText(value);
    expectSameText(-value);
  }
}

TEST(DoubleText, WritesWhatToCharsWritesOnRandomBitPatterns) {
  std::mt19937_64 random(20261209);
  for (int k = 0; k < 40000; ++k) {
    const double value = fromBits(random());
    if (std::isnan(value)) {
      continue;
    }
    expectSameText(value);
  }
}

TEST(DoubleText, SpellsTheSpecialValues) {
  EXPECT_EQ(text(std::numeric_limits<double>::infinity(), 0), "inf");
  EXPECT_EQ(text(-std::numeric_limits<double>::infinity(), 0), "-inf");
  EXPECT_EQ(text(std::numeric_limits<double>::quiet_NaN(), 0), "nan");
  EXPECT_EQ(text(-0.0, 0), "-0");
  EXPECT_EQ(text(-0.0, static_cast<int>(std::chars_format::scientific)), "-0e+00");
}

// Reads `input` with both and expects the same status, end and value bits.
void expectSameReading(const std::string &input) {
  double ours = -7.0;
  double theirs = -7.0;
  const std::from_chars_result a = fromChars(input.data(), input.data() + input.size(), ours);
  const std::from_chars_result b = std::from_chars(input.data(), input.data() + input.size(), theirs);
  EXPECT_EQ(a.ec, b.ec) << "'" << input << "'";
  EXPECT_EQ(a.ptr - input.data(), b.ptr - input.data()) << "'" << input << "'";
  if (a.ec == std::errc() && b.ec == std::errc()) {
    EXPECT_TRUE(std::memcmp(&ours, &theirs, sizeof ours) == 0 || (std::isnan(ours) && std::isnan(theirs)))
        << "'" << input << "'";
  }
}

TEST(DoubleText, ReadsWhatFromCharsReads) {
  for (const char *input : {"0",
                            "-0",
                            "1.5",
                            ".5",
                            "5.",
                            "1e5",
                            "1E-5",
                            "-2.5e+3",
                            "0x1p3",
                            "+1",
                            " 1",
                            "",
                            "-",
                            "e5",
                            "1e",
                            "1e+",
                            "inf",
                            "-inf",
                            "INF",
                            "infinity",
                            "nan",
                            "NaN",
                            "1.5abc",
                            "1..2",
                            "9007199254740993",
                            "2.4703282292062328e-324",
                            "1e400",
                            "-1e400",
                            "0.1e-400",
                            "123456789012345678901234567890",
                            "0.000000000000000000000000000001"}) {
    expectSameReading(input);
  }
  std::mt19937_64 random(7);
  for (int k = 0; k < 5000; ++k) {
    const double value = fromBits(random());
    if (!std::isnan(value)) {
      expectSameReading(standard(value, 0));
      expectSameReading(standard(value, static_cast<int>(std::chars_format::scientific)));
    }
  }
}

}  // namespace
