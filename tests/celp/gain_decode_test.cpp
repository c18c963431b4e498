#include "celp/gain_decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "celp/codebook_tables.h"
#include "celp/fixed_codebook.h"

namespace celp {
namespace {

constexpr ScaledShort kStartEnergy = -14336 * 256;  // -14 dB in Q10

struct Energies {
  ScaledShort q[4] = {kStartEnergy, kStartEnergy, kStartEnergy, kStartEnergy};
};

// Fixed-codebook gain predicted in floating point: a 30 dB mean energy, less
// the vector's energy per sample, plus the MA prediction, all in dB.
double PredictedGain(const ScaledShort past_qua_en[4], const ScaledShort* code) {
  double energy = 0;
  for (int i = 0; i < L_SUBFR; ++i) {
    const double c = code[i] / 256.0 / 8192.0;
    energy += c * c;
  }
  double db = 30.0 - 10.0 * std::log10(energy / L_SUBFR);
  for (int i = 0; i < 4; ++i) db += pred[i] / 256.0 / 8192.0 * (past_qua_en[i] / 256.0 / 1024.0);
  return std::pow(10.0, db / 20.0);
}

double Db(ScaledShort q10) {
  return q10 / 256.0 / 1024.0;
}

TEST(Tables, GainMapsArePermutations) {
  auto is_permutation = [](const int* map, int n) {
    int seen[16] = {};
    for (int i = 0; i < n; ++i) ++seen[map[i]];
    return std::all_of(seen, seen + n, [](int s) { return s == 1; });
  };
  EXPECT_TRUE(is_permutation(imap1, 8));
  EXPECT_TRUE(is_permutation(imap2, 16));
  EXPECT_TRUE(is_permutation(imap1_6k, 8));
  EXPECT_TRUE(is_permutation(imap2_6k, 8));
  EXPECT_EQ(gbk1[7][1], 27162 * 256);
  EXPECT_EQ(gbk2[11][1], 14276 * 256);
  EXPECT_EQ(gbk2_6k[5][1], 27602 * 256);
  EXPECT_EQ(pred[0], 5571 * 256);
}

TEST(GainPredict, StartEnergiesAndOnePulse) {
  ScaledShort code[L_SUBFR];
  Decod_ACELP64(1, 0, code, 0);  // one +1.0 pulse and one -1.0 pulse
  const Energies e;
  ScaledShort gcode0;
  int exp_gcode0;
  Gain_predict(e.q, code, L_SUBFR, gcode0, exp_gcode0);
  // The mantissa is Pow2(14, .) and so lies in [2^14, 2^15).
  EXPECT_GE(gcode0, 16384 * 256);
  EXPECT_LT(gcode0, 32768 * 256);
  const double gain = gcode0 / 256.0 / std::ldexp(1.0, exp_gcode0);
  EXPECT_NEAR(gain / PredictedGain(e.q, code), 1.0, 0.01);
}

TEST(GainPredict, FollowsCodeEnergyAndPastEnergies) {
  ScaledShort four_pulses[L_SUBFR];
  Decod_ACELP(0b1111, 0x1234, four_pulses);
  for (ScaledShort past : {kStartEnergy, 0, 10 * 1024 * 256}) {
    Energies e;
    std::fill(e.q, e.q + 4, past);
    ScaledShort gcode0;
    int exp_gcode0;
    Gain_predict(e.q, four_pulses, L_SUBFR, gcode0, exp_gcode0);
    const double gain = gcode0 / 256.0 / std::ldexp(1.0, exp_gcode0);
    EXPECT_NEAR(gain / PredictedGain(e.q, four_pulses), 1.0, 0.01) << past;
  }
}

TEST(GainUpdate, ShiftsAndRecordsTheCorrectionInDb) {
  ScaledShort q[4] = {1, 2, 3, 4};
  Gain_update(q, ScaledLong{8192} * 65536);  // factor 1.0: 0 dB exactly
  EXPECT_EQ(q[0], 0);
  EXPECT_EQ(q[1], 1);
  EXPECT_EQ(q[2], 2);
  EXPECT_EQ(q[3], 3);

  Gain_update(q, ScaledLong{16384} * 65536);  // factor 2.0: 6165 (Q10) exactly
  EXPECT_EQ(q[0], 6165 * 256);
  EXPECT_EQ(q[1], 0);
  EXPECT_EQ(q[3], 2);

  Gain_update(q, ScaledLong{3000} * 65536);
  EXPECT_NEAR(Db(q[0]), 20.0 * std::log10(3000.0 / 8192.0), 0.01);
}

TEST(GainUpdate, ZeroCorrectionSaturatesToTheFloor) {
  // log2(0) reads as 0, 13 below the unit factor; the shift saturates.
  ScaledShort q[4] = {};
  Overflow = 0;
  Gain_update(q, 0);
  EXPECT_EQ(q[0], -24660 * 256);
  EXPECT_EQ(Overflow, 0);  // the final mult clears it
}

TEST(DecGain, FieldZeroAt8k) {
  ScaledShort code[L_SUBFR];
  Decod_ACELP(0, 0, code);
  Energies e;
  const Energies before = e;
  ScaledShort gain_pit;
  ScaledShort gain_code;
  Dec_gain(0, code, L_SUBFR, e.q, gain_pit, gain_code);

  // imap1[0] = 5, imap2[0] = 2.
  EXPECT_EQ(gain_pit, (3242 + 5142) * 256);
  const double factor = (9949 + 592) / 8192.0;
  EXPECT_NEAR(gain_code / 256.0 / 2.0 / (factor * PredictedGain(before.q, code)), 1.0, 0.01);
  EXPECT_NEAR(Db(e.q[0]), 20.0 * std::log10(factor), 0.01);
  EXPECT_EQ(e.q[1], kStartEnergy);
  EXPECT_EQ(e.q[3], kStartEnergy);
}

TEST(DecGain, RepeatedFieldFollowsThePastEnergies) {
  ScaledShort code[L_SUBFR];
  Decod_ACELP(0b0110, 0x0ABC, code);
  Energies e;
  ScaledShort gain_pit[2];
  ScaledShort gain_code[2];
  for (int k = 0; k < 2; ++k) {
    const Energies before = e;
    Dec_gain(0x5A, code, L_SUBFR, e.q, gain_pit[k], gain_code[k]);
    const double factor = (gbk1[imap1[5]][1] + gbk2[imap2[10]][1]) / 256.0 / 8192.0;
    EXPECT_NEAR(gain_code[k] / 512.0 / (factor * PredictedGain(before.q, code)), 1.0, 0.01);
  }
  EXPECT_EQ(gain_pit[0], gain_pit[1]);
  EXPECT_NE(gain_code[0], gain_code[1]);
}

TEST(DecGain6k, MappedAndDirectIndices) {
  ScaledShort code[L_SUBFR];
  Decod_ACELP64(2, 77, code, 0);
  ScaledShort gain_pit;
  ScaledShort gain_code;

  // 62: mapped through imap1_6k[7] = 6 and imap2_6k[6] = 6, direct rows 7 and 6.
  Energies mapped;
  Dec_gain_6k(62, code, L_SUBFR, mapped.q, 0, gain_pit, gain_code);
  EXPECT_EQ(gain_pit, (3915 + 11956) * 256);
  Energies direct;
  Dec_gain_6k(62, code, L_SUBFR, direct.q, 1, gain_pit, gain_code);
  EXPECT_EQ(gain_pit, (4987 + 11956) * 256);

  // Widened 56-bit codes 2c: first stage c >> 2, second stage 2 (c & 3).
  for (int c = 0; c < 32; ++c) {
    Energies e;
    Dec_gain_6k(2 * c, code, L_SUBFR, e.q, 1, gain_pit, gain_code);
    EXPECT_EQ(gain_pit, gbk1_6k[c >> 2][0] + gbk2_6k[2 * (c & 3)][0]) << c;
  }
}

TEST(DecGain6k, CorrectionIsQ14) {
  ScaledShort code[L_SUBFR];
  Decod_ACELP64(3, 300, code, 0);
  for (int g : {0, 13, 35, 63}) {
    Energies e;
    const Energies before = e;
    ScaledShort gain_pit;
    ScaledShort gain_code;
    Dec_gain_6k(g, code, L_SUBFR, e.q, 0, gain_pit, gain_code);
    const int i1 = imap1_6k[g >> 3];
    const int i2 = imap2_6k[g & 7];
    const double factor = (gbk1_6k[i1][1] + gbk2_6k[i2][1]) / 256.0 / 16384.0;
    EXPECT_NEAR(gain_code / 512.0 / (factor * PredictedGain(before.q, code)), 1.0, 0.01) << g;
    EXPECT_NEAR(Db(e.q[0]), 20.0 * std::log10(factor), 0.01) << g;
    EXPECT_EQ(e.q[1], kStartEnergy);
  }
}

TEST(DecGain6k, ZeroCorrectionGivesNoFixedGain) {
  // Field 4 picks the two rows whose correction parts are both 0.
  ScaledShort code[L_SUBFR];
  Decod_ACELP64(3, 0, code, 0);
  Energies e;
  ScaledShort gain_pit;
  ScaledShort gain_code;
  Dec_gain_6k(4, code, L_SUBFR, e.q, 0, gain_pit, gain_code);
  EXPECT_EQ(gain_pit, (5849 + 3988) * 256);
  EXPECT_EQ(gain_code, 0);
  EXPECT_EQ(e.q[0], -24660 * 256);
}

}  // namespace
}  // namespace celp
