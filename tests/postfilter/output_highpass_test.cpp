#include "postfilter/output_highpass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "postfilter/postfilter_tables.h"

namespace celp {
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

}  // namespace
}  // namespace celp
