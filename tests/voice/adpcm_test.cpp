#include "voice/adpcm.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace voice {
namespace {

TEST(AdpcmFromReset, CodeZeroIsSilentButMovesThePoles) {
  AdpcmState s;
  EXPECT_EQ(adpcm_decode(0, s), 0);
  EXPECT_EQ(s.y, 0x22000) << "0x20300 is clamped back to the lower bound";
  EXPECT_EQ(s.a1, 49152);
  EXPECT_EQ(s.a2, 32768);
  for (int32_t b : s.b) EXPECT_EQ(b, 0);
  EXPECT_EQ(s.dq[0], 0);
}

TEST(AdpcmFromReset, CodeSevenAndItsMirror) {
  AdpcmState pos;
  EXPECT_EQ(adpcm_decode(7, pos), 88);
  EXPECT_EQ(pos.dq[0], 5664);
  EXPECT_EQ(pos.y, 422144);

  AdpcmState neg;
  EXPECT_EQ(adpcm_decode(8, neg), -89);
  EXPECT_EQ(neg.dq[0], -5664);
  EXPECT_EQ(neg.y, 422144);
}

TEST(AdpcmFromReset, CodeFifteenMirrorsCodeZero) {
  AdpcmState zero, fifteen;
  EXPECT_EQ(adpcm_decode(0, zero), 0);
  EXPECT_EQ(adpcm_decode(15, fifteen), 0);
  EXPECT_EQ(fifteen.dq[0], 0);
  EXPECT_EQ(fifteen.y, zero.y);
  EXPECT_EQ(fifteen.a1, zero.a1);
  EXPECT_EQ(fifteen.a2, zero.a2);
}

TEST(AdpcmFromReset, OnlyTheLowFourBitsCount) {
  AdpcmState a, b;
  EXPECT_EQ(adpcm_decode(0x37, a), adpcm_decode(7, b));
  EXPECT_EQ(a.y, b.y);
}

TEST(AdpcmAdaptation, LongRunOfLargestCodeHoldsScaleAtUpperBound) {
  AdpcmState s;
  for (int i = 0; i < 500; ++i) adpcm_decode(7, s);
  EXPECT_EQ(s.y, 0x140000);
  adpcm_decode(7, s);
  EXPECT_EQ(s.y, 0x140000);
}

TEST(AdpcmAdaptation, CoefficientsStayWithinTheirLimits) {
  AdpcmState s;
  uint32_t x = 12345;
  for (int i = 0; i < 200000; ++i) {
    x = x * 1103515245u + 12345u;
    // Runs of one sign alternate with noise, to push the poles around.
    const int code = (i / 700) % 3 == 0 ? static_cast<int>(x >> 28) : ((i / 50) % 2 ? 7 : 9);
    adpcm_decode(code, s);
    ASSERT_LE(std::abs(s.a2), 0x300000);
    ASSERT_LE(std::abs(s.a1), 0x3C0000 - s.a2);
    ASSERT_GE(s.y, 0x22000);
    ASSERT_LE(s.y, 0x140000);
  }
}

TEST(AdpcmFrame, DecodesLowNibbleFirstIntoLittleEndianPcm) {
  uint8_t frame[40];
  for (int i = 0; i < 40; ++i) frame[i] = static_cast<uint8_t>(0x87 + i);
  AdpcmState by_frame, by_code;
  uint8_t pcm[160];
  adpcm_decode_frame(frame, by_frame, pcm);
  for (int i = 0; i < 40; ++i) {
    for (int half = 0; half < 2; ++half) {
      const int16_t expected = adpcm_decode(frame[i] >> (4 * half), by_code);
      const int k = 2 * i + half;
      const auto got = static_cast<int16_t>(pcm[2 * k] | pcm[2 * k + 1] << 8);
      ASSERT_EQ(got, expected) << "sample " << k;
    }
  }
  EXPECT_EQ(by_frame.se, by_code.se);
}

TEST(AdpcmFrame, ResetRestoresTheInitialState) {
  AdpcmState s;
  for (int i = 0; i < 100; ++i) adpcm_decode(i, s);
  adpcm_reset(s);
  AdpcmState fresh;
  EXPECT_EQ(adpcm_decode(7, s), adpcm_decode(7, fresh));
  EXPECT_EQ(s.y, fresh.y);
  EXPECT_EQ(s.a1, fresh.a1);
}

}  // namespace
}  // namespace voice
