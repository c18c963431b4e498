#include "celp/lsp_decode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "celp/g729_tables.h"
#include "celp/lsp_tables.h"

namespace celp {
namespace {

constexpr double kQ13 = 8192.0 * 256;
constexpr double kQ15 = 32768.0 * 256;

TEST(LspTables, HoldReferenceValuesTimes256) {
  EXPECT_EQ(lspcb1[0][0], 1486 * 256);
  EXPECT_EQ(lspcb1[0][1], 2168 * 256);
  EXPECT_EQ(lspcb1[0][2], 3751 * 256);
  EXPECT_EQ(lspcb1[127][8], 18703 * 256);
  EXPECT_EQ(lspcb1[127][9], 19929 * 256);
  EXPECT_EQ(lspcb2[0][0], -435 * 256);
  EXPECT_EQ(lspcb2[0][1], -815 * 256);
  EXPECT_EQ(lspcb2[0][2], -742 * 256);
  EXPECT_EQ(lspcb2[31][8], 724 * 256);
  EXPECT_EQ(lspcb2[31][9], 934 * 256);
  EXPECT_EQ(fg[0][0][0], 8421 * 256);
  EXPECT_EQ(fg[0][0][1], 9109 * 256);
  EXPECT_EQ(fg[0][0][2], 9175 * 256);
  EXPECT_EQ(fg[1][3][8], 1913 * 256);
  EXPECT_EQ(fg[1][3][9], 2601 * 256);
  EXPECT_EQ(fg_sum[0][0], 7798 * 256);
  EXPECT_EQ(fg_sum[0][1], 8447 * 256);
  EXPECT_EQ(fg_sum[1][8], 16043 * 256);
  EXPECT_EQ(fg_sum[1][9], 15708 * 256);
  EXPECT_EQ(table2[0], 32767 * 256);
  EXPECT_EQ(table2[1], 32729 * 256);
  EXPECT_EQ(table2[2], 32610 * 256);
  EXPECT_EQ(table2[62], -32610 * 256);
  EXPECT_EQ(table2[63], -32729 * 256);
  EXPECT_EQ(slope_cos[0], -632 * 256);
  EXPECT_EQ(slope_cos[1], -1893 * 256);
  EXPECT_EQ(slope_cos[62], -1893 * 256);
  EXPECT_EQ(slope_cos[63], -632 * 256);
  const int reset[M] = {2339, 4679, 7018, 9358, 11698, 14037, 16377, 18717, 21056, 23396};
  for (int j = 0; j < M; ++j) EXPECT_EQ(freq_prev_reset[j], reset[j] * 256);
}

TEST(LspDecwReset, SetsAllFourRows) {
  ScaledShort freq_prev[4][M] = {};
  Lsp_decw_reset(freq_prev);
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < M; ++j) EXPECT_EQ(freq_prev[k][j], freq_prev_reset[j]);
  }
}

TEST(LspExpand, PushesClosePairsApartInOnePass) {
  // Q13 values with quarter steps, so every halving is exact.
  ScaledShort buf[M] = {1000 * 256, 1005 * 256, 1012 * 256, 2000 * 256, 3000 * 256,
                        4000 * 256, 5000 * 256, 6000 * 256, 7000 * 256, 8000 * 256};
  Lsp_expand_1_2(buf, 10 * 256);
  // 1000/1005 move 2.5 each way; then 1007.5/1012 move 2.75 each way,
  // which brings the first pair closer again: the pass is not repeated.
  EXPECT_EQ(buf[0], 255360);  // 997.5
  EXPECT_EQ(buf[1], 257216);  // 1004.75
  EXPECT_EQ(buf[2], 259776);  // 1014.75
  for (int j = 3; j < M; ++j) EXPECT_EQ(buf[j], (j - 1) * 1000 * 256);
}

TEST(LspStability, SinglePassMovesALowValueByOnePlaceOnly) {
  ScaledShort lsf[M] = {1000 * 256, 2000 * 256, 3000 * 256, 4000 * 256, 5000 * 256,
                        1500 * 256, 7000 * 256, 8000 * 256, 9000 * 256, 10000 * 256};
  Lsp_stability(lsf);
  // 1500 swaps with 5000 and then is lifted to 4000 + 321.
  const int expected[M] = {1000, 2000, 3000, 4000, 4321, 5000, 7000, 8000, 9000, 10000};
  for (int j = 0; j < M; ++j) EXPECT_EQ(lsf[j], expected[j] * 256) << j;
}

TEST(LspStability, EnforcesBoundsAndSpacing) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> value(-3000 * 256, 30000 * 256);
  for (int trial = 0; trial < 5000; ++trial) {
    ScaledShort lsf[M];
    for (ScaledShort& v : lsf) v = value(rng);
    if (trial % 2) std::sort(lsf, lsf + M);
    Lsp_stability(lsf);
    EXPECT_GE(lsf[0], 40 * 256);
    EXPECT_LE(lsf[9], 25681 * 256);
    // The last step may be cut short by the upper limit.
    for (int j = 0; j < M - 2; ++j) EXPECT_GE(lsf[j + 1] - lsf[j], 321 * 256) << j;
  }
}

TEST(LspStability, SpacingUsesTheSpacedValueNotTheOriginal) {
  ScaledShort lsf[M] = {10 * 256, 20 * 256, 30 * 256, 40 * 256, 50 * 256,
                        60 * 256, 70 * 256, 80 * 256, 90 * 256, 30000 * 256};
  Lsp_stability(lsf);
  for (int j = 0; j < M - 1; ++j) EXPECT_EQ(lsf[j], (40 + 321 * j) * 256) << j;
  EXPECT_EQ(lsf[9], 25681 * 256);
}

TEST(LsfLsp2, FollowsTheCosine) {
  ScaledShort lsf[M];
  ScaledShort lsp[M];
  for (int j = 0; j < M; ++j) lsf[j] = (40 + 2560 * j) * 256;
  Lsf_lsp2(lsf, lsp);
  for (int j = 0; j < M; ++j) EXPECT_NEAR(lsp[j] / kQ15, std::cos(lsf[j] / kQ13), 2e-3) << j;

  lsf[0] = 0;
  Lsf_lsp2(lsf, lsp);
  EXPECT_EQ(lsp[0], table2[0]);
}

TEST(LsfLsp2, LimitsTheTableIndexTo63) {
  // An LSF past pi (and the largest short) extrapolates the last segment.
  ScaledShort lsf[M] = {25681 * 256, 26000 * 256, MAX_S, 0, 0, 0, 0, 0, 0, 0};
  ScaledShort lsp[M];
  Lsf_lsp2(lsf, lsp);
  EXPECT_NEAR(lsp[0] / kQ15, std::cos(25681 / 8192.0), 1e-3);
  for (int j = 0; j < 3; ++j) {
    const ScaledShort freq = mult(lsf[j], 20861 * 256);
    const ScaledLong L = L_shr(L_mult(slope_cos[63], freq & 0xFF00), 13);
    EXPECT_EQ(lsp[j], add(table2[63], extract_l(L >> 8))) << j;
  }
}

// The expanded code vector that D_lsp should compose and remember.
void code_vector(int i0, int i1, int i2, ScaledShort buf[M]) {
  for (int j = 0; j < M; ++j) buf[j] = add(lspcb1[i0][j], lspcb2[j < 5 ? i1 : i2][j]);
  Lsp_expand_1_2(buf, 10 * 256);
  Lsp_expand_1_2(buf, 5 * 256);
}

TEST(DLsp, PredictorRemembersTheExpandedCodeVector) {
  ScaledShort freq_prev[4][M];
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < M; ++j) freq_prev[k][j] = (1000 * k + 2000 * j + 500) * 256;
  }
  ScaledShort before[4][M];
  std::copy(&freq_prev[0][0], &freq_prev[0][0] + 4 * M, &before[0][0]);

  const int i0 = 77, i1 = 21, i2 = 9;
  ScaledShort lsp[M];
  D_lsp(0x80 | i0, (i1 << 5) | i2, lsp, freq_prev);

  ScaledShort buf[M];
  code_vector(i0, i1, i2, buf);
  for (int j = 0; j < M; ++j) {
    EXPECT_EQ(freq_prev[0][j], buf[j]) << j;
    for (int k = 1; k < 4; ++k) EXPECT_EQ(freq_prev[k][j], before[k - 1][j]) << k << "," << j;
  }
}

TEST(DLsp, SteadyCodeGivesItsOwnLsfsInBothModes) {
  // The MA weights of each mode sum to one, so a code vector repeated for
  // four frames decodes to itself (up to truncation).
  std::mt19937 rng(5);
  for (int trial = 0; trial < 200; ++trial) {
    const int i0 = rng() & 0x7F, i1 = rng() & 0x1F, i2 = rng() & 0x1F, mode = trial & 1;
    ScaledShort buf[M];
    code_vector(i0, i1, i2, buf);
    ScaledShort freq_prev[4][M];
    for (auto& row : freq_prev) std::copy(buf, buf + M, row);
    ScaledShort expected[M];
    std::copy(buf, buf + M, expected);
    Lsp_stability(expected);

    ScaledShort lsp[M];
    D_lsp((mode << 7) | i0, (i1 << 5) | i2, lsp, freq_prev);
    for (int j = 0; j < M; ++j) {
      EXPECT_NEAR(lsp[j] / kQ15, std::cos(expected[j] / kQ13), 3e-3) << trial << "," << j;
    }
  }
}

TEST(DLsp, ModeBitSelectsThePredictor) {
  // Four distinct past code vectors, so that the two predictors disagree.
  const ScaledShort base[M] = {2000, 4200, 6900, 9000, 11800, 14500, 16000, 18800, 21500, 23000};
  for (int mode = 0; mode < 2; ++mode) {
    ScaledShort freq_prev[4][M];
    for (int k = 0; k < 4; ++k) {
      for (int j = 0; j < M; ++j) freq_prev[k][j] = (base[j] + 150 * k * (j % 3)) * 256;
    }
    ScaledShort past[4][M];
    std::copy(&freq_prev[0][0], &freq_prev[0][0] + 4 * M, &past[0][0]);
    const int i0 = 40, i1 = 3, i2 = 28;
    ScaledShort buf[M];
    code_vector(i0, i1, i2, buf);
    ScaledShort lsp[M];
    D_lsp((mode << 7) | i0, (i1 << 5) | i2, lsp, freq_prev);
    for (int j = 0; j < M; ++j) {
      double lsf = buf[j] * (fg_sum[mode][j] / kQ15);
      for (int k = 0; k < 4; ++k) lsf += past[k][j] * (fg[mode][k][j] / kQ15);
      EXPECT_NEAR(lsp[j] / kQ15, std::cos(lsf / kQ13), 1e-3) << mode << "," << j;
    }
  }
}

TEST(DLsp, AnyCodeSequenceGivesOrderedLsps) {
  std::mt19937 rng(3);
  ScaledShort freq_prev[4][M];
  Lsp_decw_reset(freq_prev);
  for (int frame = 0; frame < 3000; ++frame) {
    ScaledShort lsp[M];
    // Upper bits beyond the field widths must not matter.
    D_lsp(static_cast<int>(rng() & 0xFF), static_cast<int>(rng() & 0x3FF), lsp, freq_prev);
    EXPECT_LE(lsp[0], table2[0]);
    for (int j = 0; j < M - 2; ++j) EXPECT_GT(lsp[j], lsp[j + 1]) << frame << "," << j;
    EXPECT_GE(lsp[M - 1], table2[63] + slope_cos[63]);
  }
}

}  // namespace
}  // namespace celp
