#include "celp/pitch_lag.h"

#include <gtest/gtest.h>

#include "celp/basic_op.h"
#include "celp/celp_state.h"

namespace celp {
namespace {

struct Lag {
  int T0;
  int frac;
  int thirds() const { return 3 * T0 + frac; }
};

Lag First(int index) {
  Lag lag{0, 0};
  Dec_lag3(index, PIT_MIN, PIT_MAX, 0, lag.T0, lag.frac, 1);
  return lag;
}

Lag Second(int index, int T0_first, int rate) {
  Lag lag{T0_first, 0};
  Dec_lag3(index, PIT_MIN, PIT_MAX, L_SUBFR, lag.T0, lag.frac, rate);
  return lag;
}

TEST(DecLag3, FirstSubframeWorkedValues) {
  EXPECT_EQ(First(0).T0, 19);
  EXPECT_EQ(First(0).frac, 1);
  EXPECT_EQ(First(196).T0, 85);
  EXPECT_EQ(First(196).frac, -1);
  EXPECT_EQ(First(197).T0, 85);
  EXPECT_EQ(First(197).frac, 0);
  EXPECT_EQ(First(255).T0, 143);
  EXPECT_EQ(First(255).frac, 0);
}

TEST(DecLag3, FirstSubframeRunsInThirdsThenWholeSamples) {
  for (int index = 0; index < 256; ++index) {
    const Lag lag = First(index);
    ASSERT_GE(lag.frac, -1) << index;
    ASSERT_LE(lag.frac, 1) << index;
    if (index < 197) {
      EXPECT_EQ(lag.thirds(), 58 + index) << index;  // 19 1/3 + index / 3
    } else {
      EXPECT_EQ(lag.thirds(), 3 * (index - 112)) << index;
    }
  }
}

TEST(DecLag3, FirstSubframeIgnoresRate) {
  for (int index : {0, 100, 196, 197, 255}) {
    Lag lag{0, 0};
    Dec_lag3(index, PIT_MIN, PIT_MAX, 0, lag.T0, lag.frac, 0);
    EXPECT_EQ(lag.thirds(), First(index).thirds()) << index;
  }
}

TEST(DecLag3, SecondSubframeAt8kWorkedValues) {
  const Lag low = Second(0, 22, 1);  // window starts at 20
  EXPECT_EQ(low.T0, 19);
  EXPECT_EQ(low.frac, 1);
  const Lag high = Second(31, 142, 1);  // window pulled back to 134
  EXPECT_EQ(high.T0, 144);
  EXPECT_EQ(high.frac, -1);
}

TEST(DecLag3, SecondSubframeAt8kCoversTheWindowInThirds) {
  // {first-subframe lag, window start}: clamped below, free, clamped above.
  const int cases[][2] = {{20, 20}, {24, 20}, {60, 55}, {138, 133}, {139, 134}, {143, 134}};
  for (const auto& c : cases) {
    for (int index = 0; index < 32; ++index) {
      const Lag lag = Second(index, c[0], 1);
      ASSERT_GE(lag.frac, -1);
      ASSERT_LE(lag.frac, 1);
      EXPECT_EQ(lag.thirds(), 3 * c[1] - 2 + index) << "T0 " << c[0] << " index " << index;
    }
  }
}

TEST(DecLag3, SecondSubframeAt6k4Code5) {
  const Lag lag = Second(5, 60, 0);
  EXPECT_EQ(lag.T0, 55 + 4);
  EXPECT_EQ(lag.frac, -1);
}

TEST(DecLag3, SecondSubframeAt6k4AllCodes) {
  // Offsets from the window start, in thirds: whole lags at the edges,
  // thirds from 3 1/3 to 5 2/3.
  const int expected[16] = {0, 3, 6, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 21, 24, 27};
  const int cases[][2] = {{20, 20}, {60, 55}, {143, 134}};
  for (const auto& c : cases) {
    for (int code = 0; code < 16; ++code) {
      const Lag lag = Second(code, c[0], 0);
      ASSERT_GE(lag.frac, -1);
      ASSERT_LE(lag.frac, 1);
      EXPECT_EQ(lag.thirds(), 3 * c[1] + expected[code]) << "T0 " << c[0] << " code " << code;
    }
  }
}

TEST(DecLag3, SecondSubframeAt6k4ReadsOnlyFourBits) {
  EXPECT_EQ(Second(16 + 5, 60, 0).thirds(), Second(5, 60, 0).thirds());
}

TEST(DecLag3, ClearsOverflowThroughItsAdditions) {
  Overflow = 1;
  Lag lag{0, 0};
  Dec_lag3(10, PIT_MIN, PIT_MAX, 0, lag.T0, lag.frac, 1);
  EXPECT_EQ(Overflow, 0);
}

}  // namespace
}  // namespace celp
