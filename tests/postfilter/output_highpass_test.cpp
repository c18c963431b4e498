#include "postfilter/output_highpass.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "celp/oper_32b.h"
#include "postfilter/postfilter_tables.h"

namespace postfilter {

using namespace celp;
namespace {

constexpr ScaledShort kUnit = 256;  // one G.729 unit

TEST(OutputHighPass, CoefficientsAreTheQ13ValuesTimes256) {
  EXPECT_EQ(b100[0], 1970944);
  EXPECT_EQ(b100[1], -3941888);
  EXPECT_EQ(b100[2], 1970944);
  EXPECT_EQ(a100[0], 2097152);
  EXPECT_EQ(a100[1], 4054016);
  EXPECT_EQ(a100[2], -1962752);
}

TEST(OutputHighPass, InitClearsEveryMemory) {
  HighPassState st;
  st.hp_x0 = 5;
  st.hp_x1 = -7;
  st.hp_y1 = {0x12300, 77};
  st.hp_y2 = {-0x45600, -3};
  Init_Post_Process(st);
  EXPECT_EQ(st.hp_x0, 0);
  EXPECT_EQ(st.hp_x1, 0);
  EXPECT_EQ(st.hp_y1.hi, 0);
  EXPECT_EQ(st.hp_y1.lo, 0);
  EXPECT_EQ(st.hp_y2.hi, 0);
  EXPECT_EQ(st.hp_y2.lo, 0);
}

TEST(OutputHighPass, FirstSampleFromRestIsTwiceB0TimesTheInput) {
  HighPassState st;
  Init_Post_Process(st);
  ScaledShort sig[2] = {4096 * kUnit, 0};
  Post_Process(st, sig, 2);
  // 2 x 4096 x 7699 / 8192 = 7699, exactly.
  EXPECT_EQ(sig[0], 7699 * kUnit);
  EXPECT_EQ(st.hp_x0, 0);
  EXPECT_EQ(st.hp_x1, 4096 * kUnit);
  // The stored output is the undoubled one, 3849.5 units, split into a
  // high part on a whole unit and the remainder.
  EXPECT_EQ(st.hp_y2.hi, 3849 * kUnit);
  EXPECT_GT(st.hp_y2.lo, 0);
  // Second sample: 2 (a1 y(n-1) + b1 x(n-1)) = 2 (1.93311 x 3849.5) - 15398.
  EXPECT_NEAR(sig[1], -515 * kUnit, 2 * kUnit);
}

TEST(OutputHighPass, ConstantInputSettlesNearZero) {
  HighPassState st;
  Init_Post_Process(st);
  ScaledShort frame[80];
  for (int f = 0; f < 50; ++f) {
    for (ScaledShort& v : frame) v = 3000 * kUnit;
    Post_Process(st, frame, 80);
  }
  for (ScaledShort v : frame) EXPECT_LE(std::abs(v), 2 * kUnit);
}

TEST(OutputHighPass, MidBandIsDoubled) {
  HighPassState st;
  Init_Post_Process(st);
  ScaledShort frame[80];
  double in_energy = 0, out_energy = 0;
  for (int f = 0; f < 20; ++f) {
    for (int i = 0; i < 80; ++i) {
      const double t = f * 80 + i;
      const double v = std::lround(2000 * std::sin(2 * M_PI * 1000 * t / 8000));
      frame[i] = static_cast<ScaledShort>(v) * kUnit;
      if (f >= 10) in_energy += v * v;
    }
    Post_Process(st, frame, 80);
    if (f >= 10)
      for (ScaledShort v : frame) out_energy += (v / 256.0) * (v / 256.0);
  }
  EXPECT_NEAR(std::sqrt(out_energy / in_energy), 2.0, 0.06);
}

TEST(OutputHighPass, LoudInputClipsInsteadOfWrapping) {
  HighPassState st;
  Init_Post_Process(st);
  ScaledShort frame[80];
  for (int i = 0; i < 80; ++i) frame[i] = (i / 2) % 2 ? MIN_S : MAX_S;  // 2 kHz, full scale
  Post_Process(st, frame, 80);
  int clipped_high = 0, clipped_low = 0;
  for (int i = 8; i < 80; ++i) {
    // Sign of the output follows the input's square wave.
    if (frame[i] == MAX_S) ++clipped_high;
    if (frame[i] == MIN_S) ++clipped_low;
  }
  EXPECT_GT(clipped_high, 20);
  EXPECT_GT(clipped_low, 20);
  EXPECT_EQ(MAX_S >> 8, 32767);
  EXPECT_EQ(MIN_S >> 8, -32768);
}

TEST(OutputHighPass, SplittingAFrameDoesNotChangeTheOutput) {
  ScaledShort whole[80], parts[80];
  for (int i = 0; i < 80; ++i) whole[i] = parts[i] = ((i * 7919) % 20001 - 10000) * kUnit + i;
  HighPassState a, b;
  Post_Process(a, whole, 80);
  Post_Process(b, parts, 40);
  Post_Process(b, parts + 40, 40);
  for (int i = 0; i < 80; ++i) EXPECT_EQ(whole[i], parts[i]) << i;
}

// The filter through the operators as written, one sample at a time.
void ReferencePostProcess(HighPassState& st, ScaledShort* signal, int lg) {
  for (int i = 0; i < lg; ++i) {
    const ScaledShort x2 = st.hp_x1;
    st.hp_x1 = st.hp_x0;
    st.hp_x0 = signal[i];
    ScaledLong L = Mpy_32_16(st.hp_y1.hi, st.hp_y1.lo, a100[1]);
    L = L_add(L, Mpy_32_16(st.hp_y2.hi, st.hp_y2.lo, a100[2]));
    L = L_mac(L, st.hp_x0, b100[0]);
    L = L_mac(L, st.hp_x1, b100[1]);
    L = L_mac(L, x2, b100[2]);
    L = L_shl(L, 2);
    signal[i] = extract_h(L_shl(L, 1));
    st.hp_y2 = st.hp_y1;
    const ScaledShort hi = extract_h(L) & ~0xFF;
    st.hp_y1 = {hi, extract_l(L_shr(L_msu(L_shr(L, 1), hi, 0x400000), 8))};
  }
}

// Square waves and noise up to full scale, which clip: the same samples,
// memories and Overflow as the operators give.
TEST(OutputHighPass, MatchesTheOperatorsUpToFullScale) {
  std::mt19937 rng(100);
  HighPassState st, expected_st;
  int clipped = 0;
  for (int frame = 0; frame < 400; ++frame) {
    ScaledShort signal[80];
    const int level = 10 + frame % 14;
    const int period = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < 80; ++i) {
      const ScaledShort square = (i / period) % 2 ? MAX_S : MIN_S;
      const auto noise = static_cast<ScaledShort>(rng() & ((1u << level) - 1));
      signal[i] = frame % 3 == 0 ? square : (rng() % 2 ? noise : -noise);
    }
    ScaledShort expected[80];
    std::copy(signal, signal + 80, expected);
    Overflow = 0;
    ReferencePostProcess(expected_st, expected, 80);
    const int expected_overflow = Overflow;
    clipped += expected_overflow;
    Overflow = 0;
    Post_Process(st, signal, 80);
    ASSERT_EQ(Overflow, expected_overflow) << frame;
    for (int i = 0; i < 80; ++i) ASSERT_EQ(signal[i], expected[i]) << frame << " " << i;
    ASSERT_EQ(st.hp_y1.hi, expected_st.hp_y1.hi) << frame;
    ASSERT_EQ(st.hp_y1.lo, expected_st.hp_y1.lo) << frame;
    ASSERT_EQ(st.hp_y2.hi, expected_st.hp_y2.hi) << frame;
    ASSERT_EQ(st.hp_y2.lo, expected_st.hp_y2.lo) << frame;
  }
  EXPECT_GT(clipped, 50);
}

// Any memories a long can leave, with full-scale inputs: the sums may then
// saturate in places a real signal never takes them.
TEST(OutputHighPass, MatchesTheOperatorsFromArbitraryMemories) {
  std::mt19937_64 rng(8);
  auto any_long = [&] { return static_cast<ScaledLong>(rng() % (uint64_t{1} << 48)) + MIN_L; };
  auto any_short = [&] { return static_cast<ScaledShort>(rng() % (1u << 24)) + MIN_S; };
  int saturated = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    HighPassState st;
    st.hp_x0 = any_short();
    st.hp_x1 = any_short();
    st.hp_y1 = L_Extract(any_long());
    st.hp_y2 = L_Extract(any_long());
    HighPassState expected_st = st;
    ScaledShort signal[4];
    for (ScaledShort& v : signal) v = rng() % 2 ? MAX_S : MIN_S;
    ScaledShort expected[4];
    std::copy(signal, signal + 4, expected);
    Overflow = 0;
    ReferencePostProcess(expected_st, expected, 4);
    const int expected_overflow = Overflow;
    saturated += expected_overflow;
    Overflow = 0;
    Post_Process(st, signal, 4);
    ASSERT_EQ(Overflow, expected_overflow) << trial;
    for (int i = 0; i < 4; ++i) ASSERT_EQ(signal[i], expected[i]) << trial << " " << i;
    ASSERT_EQ(st.hp_y1.hi, expected_st.hp_y1.hi) << trial;
    ASSERT_EQ(st.hp_y1.lo, expected_st.hp_y1.lo) << trial;
  }
  EXPECT_GT(saturated, 1000);
}

}  // namespace
}  // namespace postfilter
