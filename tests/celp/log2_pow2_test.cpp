#include "celp/log2_pow2.h"

#include <gtest/gtest.h>

#include <cmath>

#include "celp/g729_tables.h"

namespace celp {
namespace {

TEST(Tables, InterpolationTablesHoldReferenceValuesTimes256) {
  EXPECT_EQ(tablog[0], 0);
  EXPECT_EQ(tablog[1], 1455 * 256);
  EXPECT_EQ(tablog[2], 2866 * 256);
  EXPECT_EQ(tablog[32], 32767 * 256);
  EXPECT_EQ(tabpow[0], 16384 * 256);
  EXPECT_EQ(tabpow[1], 16743 * 256);
  EXPECT_EQ(tabpow[2], 17109 * 256);
  EXPECT_EQ(tabpow[32], 32767 * 256);
}

TEST(Log2, NonPositiveInputGivesZero) {
  EXPECT_EQ(Log2(0).exponent, 0);
  EXPECT_EQ(Log2(0).fraction, 0);
  EXPECT_EQ(Log2(-5).exponent, 0);
  EXPECT_EQ(Log2(-5).fraction, 0);
}

TEST(Log2, PowersOfTwoHaveZeroFraction) {
  for (int k = 0; k < 31; ++k) {
    const Log2Result r = Log2((int64_t{1} << k) * 65536);
    EXPECT_EQ(r.exponent, k);
    EXPECT_EQ(r.fraction, 0);
  }
}

TEST(Log2, FractionFollowsTheLogarithm) {
  for (int64_t v : {3, 5, 1000, 12345, 999999, 0x7FFFFFFF}) {
    const Log2Result r = Log2(v * 65536);
    const double expected = std::log2(static_cast<double>(v));
    EXPECT_NEAR(r.exponent + r.fraction / 32768.0, expected, 2e-4) << v;
  }
}

TEST(Pow2, InvertsLog2WithinInterpolationError) {
  for (int64_t v : {1, 2, 3, 7, 100, 4096, 65535, 1000000}) {
    const Log2Result r = Log2(v * 65536);
    const double back = static_cast<double>(Pow2(r.exponent, r.fraction)) / 256.0;
    EXPECT_NEAR(back / static_cast<double>(v), 1.0, 1e-3) << v;
  }
}

TEST(Pow2, ExactAtTableNodes) {
  EXPECT_EQ(Pow2(0, 0), 256);  // 2^0 with 8 fraction bits
  EXPECT_EQ(Pow2(10, 0), 1024 * 256);
  EXPECT_EQ(Pow2(-40, 0), 0);  // everything shifted out
}

}  // namespace
}  // namespace celp
