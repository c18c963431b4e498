#include "celp/fixed_codebook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "celp/codebook_tables.h"

namespace celp {
namespace {

constexpr ScaledShort kPlus = 8191 * 256;
constexpr ScaledShort kMinus = -8192 * 256;

struct Pulse {
  int pos;
  ScaledShort value;
};

// Checks that code holds exactly the given pulses and zeros elsewhere.
void ExpectPulses(const ScaledShort (&code)[L_SUBFR], std::vector<Pulse> pulses) {
  ScaledShort want[L_SUBFR] = {};
  for (const Pulse& p : pulses) want[p.pos] = p.value;
  for (int i = 0; i < L_SUBFR; ++i) EXPECT_EQ(code[i], want[i]) << "position " << i;
}

TEST(Tables, GrayDecodeInvertsTheGrayCode) {
  for (int i = 0; i < 32; ++i) EXPECT_EQ(grayDecode[i ^ (i >> 1)], i) << i;
}

TEST(Tables, SixPointFourTracksCoverTheSubframe) {
  // Track 0 and the first 24 entries of track 1 hold every position once;
  // the last 8 entries of track 1 revisit positions 5k + 1 of track 0.
  int seen[L_SUBFR] = {};
  for (int p : trackTable0) ++seen[p];
  for (int i = 0; i < 24; ++i) ++seen[trackTable1[i]];
  for (int i = 0; i < L_SUBFR; ++i) EXPECT_EQ(seen[i], 1) << i;
  for (int k = 0; k < 8; ++k) EXPECT_EQ(trackTable1[24 + k], 5 * k + 1);
}

TEST(DecodACELP, ZeroFieldsGiveNegativePulsesOnTheFirstPositions) {
  ScaledShort code[L_SUBFR];
  std::fill(code, code + L_SUBFR, 12345);  // stale content must be cleared
  Decod_ACELP(0, 0, code);
  ExpectPulses(code, {{0, kMinus}, {1, kMinus}, {2, kMinus}, {3, kMinus}});

  Decod_ACELP(0, 0x200, code);
  ExpectPulses(code, {{0, kMinus}, {1, kMinus}, {2, kMinus}, {4, kMinus}});
}

TEST(DecodACELP, PositionFieldsAndSignBits) {
  // Tracks 1-3 at their last slot, track 4 on its upper sub-track.
  const int all_last = 7 | (7 << 3) | (7 << 6) | (1 << 9) | (7 << 10);
  ScaledShort code[L_SUBFR];
  Decod_ACELP(0b0101, all_last, code);
  ExpectPulses(code, {{35, kPlus}, {36, kMinus}, {37, kPlus}, {39, kMinus}});

  const int mixed = 2 | (5 << 3) | (1 << 6) | (0 << 9) | (6 << 10);
  Decod_ACELP(0b1010, mixed, code);
  ExpectPulses(code, {{10, kMinus}, {26, kPlus}, {7, kMinus}, {33, kPlus}});
}

TEST(DecodACELP64, GrayDecodedWorkedValues) {
  ScaledShort code[L_SUBFR];
  std::fill(code, code + L_SUBFR, -1);
  Decod_ACELP64(3, 0, code, 0);
  ExpectPulses(code, {{1, kPlus}, {0, kPlus}});

  // c1 = 2 and c2 = 3 are Gray codes of 3 and 2.
  Decod_ACELP64(0b01, 2 | (3 << 4), code, 0);
  ExpectPulses(code, {{trackTable0[3], kPlus}, {trackTable1[2], kMinus}});
}

TEST(DecodACELP64, CoincidingPulsesAccumulate) {
  // 320: c1 = 0 and c2 = 20 decode to 0 and 24, both position 1.
  ScaledShort code[L_SUBFR];
  Decod_ACELP64(3, 320, code, 0);
  ExpectPulses(code, {{1, 2 * kPlus}});
  Decod_ACELP64(0, 320, code, 0);
  ExpectPulses(code, {{1, 2 * kMinus}});
  // Opposite signs do not cancel: 8191 - 8192 leaves -1 (Q13).
  Decod_ACELP64(1, 320, code, 0);
  ExpectPulses(code, {{1, -256}});
  Decod_ACELP64(2, 320, code, 0);
  ExpectPulses(code, {{1, -256}});
}

TEST(DecodACELP64, DirectIndexModeSkipsGrayDecoding) {
  ScaledShort code[L_SUBFR];
  Decod_ACELP64(3, 2 | (3 << 4), code, 1);
  ExpectPulses(code, {{trackTable0[2], kPlus}, {trackTable1[3], kPlus}});
}

TEST(DecodACELP64, WidenedCodesLandOnTheirTracks) {
  for (int c = 0; c < 64; ++c) {
    const int widened = 48 * ((c >> 3) & 7) + 2 * (c & 7) + 1;
    ScaledShort code[L_SUBFR];
    Decod_ACELP64(3, widened, code, 1);
    SCOPED_TRACE(c);
    ExpectPulses(code, {{5 * (c & 7) + 3, kPlus}, {5 * ((c >> 3) & 7), kPlus}});
  }
}

}  // namespace
}  // namespace celp
