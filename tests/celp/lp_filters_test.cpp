#include "celp/lp_filters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace celp {
namespace {

constexpr double kQ12 = 4096.0 * 256;
constexpr double kQ15 = 32768.0 * 256;
constexpr ScaledLong kQ24One = ScaledLong{1} << 40;  // 1.0 in Q24, scaled

const ScaledShort kProgramStartLsp[M] = {30000 * 256,  26000 * 256, 21000 * 256, 15000 * 256,
                                         8000 * 256,   0,           -8000 * 256, -15000 * 256,
                                         -21000 * 256, -26000 * 256};

// A(z) in double precision: the product of the second-order sections of the
// even and the odd LSPs, times (1 + 1/z) and (1 - 1/z), averaged.
void az_double(const double lsp[M], double a[MP1]) {
  double f1[MP1] = {1.0};
  double f2[MP1] = {1.0};
  for (int k = 0; k < 5; ++k) {
    for (double* f : {f1, f2}) {
      const double q = lsp[2 * k + (f == f1 ? 0 : 1)];
      // From the top down, so that each step reads the lower coefficients
      // of the previous product.
      for (int n = 2 * k + 2; n >= 1; --n) f[n] += -2 * q * f[n - 1] + (n >= 2 ? f[n - 2] : 0);
    }
  }
  for (int n = 0; n < MP1; ++n) {
    const double p = f1[n] + (n ? f1[n - 1] : 0);
    const double m = f2[n] - (n ? f2[n - 1] : 0);
    a[n] = (p + m) / 2;
  }
}

TEST(GetLspPol, LspsAtZeroGiveBinomialCoefficients) {
  // (1 + z^-2)^5 = 1 + 5 z^-2 + 10 z^-4 + ...
  const ScaledShort zeros[5] = {};
  ScaledLong f[6];
  Get_lsp_pol(zeros, f);
  const ScaledLong expected[6] = {kQ24One, 0, 5 * kQ24One, 0, 10 * kQ24One, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(f[i], expected[i]) << i;
}

TEST(GetLspPol, FirstCoefficientsFollowTheProduct) {
  const ScaledShort p[5] = {16384 * 256, -8192 * 256, 4096 * 256, 0, -16384 * 256};
  ScaledLong f[6];
  Get_lsp_pol(p, f);
  // f[1] = -2 * sum(q) = 0.25, exactly; f[2] = 5 + 4 * (sum of the pairwise products).
  EXPECT_EQ(f[1], kQ24One / 4);
  EXPECT_NEAR(static_cast<double>(f[2]) / kQ24One,
              5 + 4 * (0.5 * -0.25 + 0.5 * 0.125 + 0.5 * -0.5 + -0.25 * 0.125 + -0.25 * -0.5 +
                       0.125 * -0.5),
              1e-4);
}

TEST(LspAz, MatchesDoublePrecisionForTheProgramStartLsps) {
  ScaledShort a[MP1];
  Lsp_Az(kProgramStartLsp, a);
  double lsp[M];
  for (int j = 0; j < M; ++j) lsp[j] = kProgramStartLsp[j] / kQ15;
  double ref[MP1];
  az_double(lsp, ref);
  EXPECT_EQ(a[0], 0x100000);
  EXPECT_DOUBLE_EQ(ref[0], 1.0);
  for (int i = 1; i < MP1; ++i) EXPECT_NEAR(a[i] / kQ12, ref[i], 2e-3) << i;
}

TEST(IntQlpc, FirstSubframeUsesTheMeanOfOldAndNewLsps) {
  ScaledShort lsp_new[M];
  for (int j = 0; j < M; ++j) {
    lsp_new[j] = static_cast<ScaledShort>(std::lround(std::cos(0.28 * (j + 1)) * 32000 * 256));
  }
  ScaledShort A_t[2 * MP1];
  Int_qlpc(kProgramStartLsp, lsp_new, A_t);

  double mid[M];
  double last[M];
  for (int j = 0; j < M; ++j) {
    mid[j] = (kProgramStartLsp[j] + lsp_new[j]) / 2 / kQ15;
    last[j] = lsp_new[j] / kQ15;
  }
  double ref_mid[MP1];
  double ref_last[MP1];
  az_double(mid, ref_mid);
  az_double(last, ref_last);
  EXPECT_EQ(A_t[0], 0x100000);
  EXPECT_EQ(A_t[MP1], 0x100000);
  for (int i = 1; i < MP1; ++i) {
    EXPECT_NEAR(A_t[i] / kQ12, ref_mid[i], 2e-3) << i;
    EXPECT_NEAR(A_t[MP1 + i] / kQ12, ref_last[i], 2e-3) << i;
  }
}

TEST(IntQlpc, EqualLspsGiveEqualFilters) {
  // Even stored values halve exactly, so the mean is the LSP itself.
  ScaledShort A_t[2 * MP1];
  Int_qlpc(kProgramStartLsp, kProgramStartLsp, A_t);
  ScaledShort a[MP1];
  Lsp_Az(kProgramStartLsp, a);
  for (int i = 0; i < MP1; ++i) {
    EXPECT_EQ(A_t[i], a[i]) << i;
    EXPECT_EQ(A_t[MP1 + i], a[i]) << i;
  }
}

}  // namespace
}  // namespace celp
