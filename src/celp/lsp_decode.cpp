#include "celp/lsp_decode.h"

#include "celp/g729_tables.h"
#include "celp/lsp_tables.h"

namespace celp {

namespace {

constexpr ScaledShort kGap1 = 10 * 256;  // Q13
constexpr ScaledShort kGap2 = 5 * 256;   // Q13

constexpr ScaledShort kLsfMin = 40 * 256;                        // Q13, lowest LSF allowed
constexpr ScaledShort kLsfMax = 25681 * 256;                     // Q13, highest LSF allowed
constexpr ScaledShort kMinSpacing = 321 * 256;                   // Q13
constexpr ScaledLong kMinSpacingLong = 321 * ScaledLong{65536};  // the same as a long

// 2 / pi in Q15: turns an LSF (radians, Q13) into a position on the 64
// segments of the cosine table over 0 .. pi, in 1/256 of a segment.
constexpr ScaledShort kLsfToIndex = 20861 * 256;

// Both second-stage halves are added to the first-stage vector, then the sum
// is spread so that neighbours keep a minimum distance.
void Lsp_get_quant(int i0, int i1, int i2, ScaledShort buf[M]) {
  for (int j = 0; j < M / 2; ++j) buf[j] = add(lspcb1[i0][j], lspcb2[i1][j]);
  for (int j = M / 2; j < M; ++j) buf[j] = add(lspcb1[i0][j], lspcb2[i2][j]);
  Lsp_expand_1_2(buf, kGap1);
  Lsp_expand_1_2(buf, kGap2);
}

// The code vector only carries the prediction error: the LSFs are its
// weighted share plus the MA prediction from the last four code vectors.
void Lsp_prev_compose(const ScaledShort buf[M], ScaledShort lsf[M], const int32_t fg_mode[4][M],
                      const ScaledShort freq_prev[4][M], const int32_t fg_sum_mode[M]) {
  for (int j = 0; j < M; ++j) {
    ScaledLong L = L_mult(buf[j], fg_sum_mode[j]);
    for (int k = 0; k < 4; ++k) L = L_mac(L, freq_prev[k][j], fg_mode[k][j]);
    lsf[j] = extract_h(L);
  }
}

void Lsp_prev_update(const ScaledShort buf[M], ScaledShort freq_prev[4][M]) {
  for (int k = 3; k > 0; --k) {
    for (int j = 0; j < M; ++j) freq_prev[k][j] = freq_prev[k - 1][j];
  }
  for (int j = 0; j < M; ++j) freq_prev[0][j] = buf[j];
}

}  // namespace

void D_lsp(int L1, int L2, ScaledShort lsp_q[M], ScaledShort freq_prev[4][M]) {
  // The field masks keep every table index in range for any bit pattern.
  const int mode = shr(L1, 7) & 1;
  const int i0 = L1 & 0x7F;
  const int i1 = (L2 >> 5) & 0x1F;
  const int i2 = L2 & 0x1F;

  ScaledShort buf[M];
  ScaledShort lsf[M];
  Lsp_get_quant(i0, i1, i2, buf);
  Lsp_prev_compose(buf, lsf, fg[mode], freq_prev, fg_sum[mode]);
  Lsp_stability(lsf);
  // The predictor remembers the code vector, not the composed LSFs.
  Lsp_prev_update(buf, freq_prev);
  Lsf_lsp2(lsf, lsp_q);
}

void Lsp_expand_1_2(ScaledShort buf[M], ScaledShort gap) {
  // Each pair closer than the gap is pushed apart symmetrically; a later pair
  // sees the values already moved by the earlier ones.
  for (int j = 1; j < M; ++j) {
    const ScaledShort t = shr(add(sub(buf[j - 1], buf[j]), gap), 1);
    if (t > 0) {
      buf[j - 1] = sub(buf[j - 1], t);
      buf[j] = add(buf[j], t);
    }
  }
}

void Lsp_stability(ScaledShort lsf[M]) {
  // A single exchange pass: enough for the small disorder that the predictor
  // can leave; a far misplaced low value moves by one place only.
  for (int j = 0; j < M - 1; ++j) {
    if (L_sub(L_deposit_l(lsf[j + 1]), L_deposit_l(lsf[j])) < 0) {
      const ScaledShort t = lsf[j + 1];
      lsf[j + 1] = lsf[j];
      lsf[j] = t;
    }
  }
  if (lsf[0] < kLsfMin) lsf[0] = kLsfMin;
  for (int j = 0; j < M - 1; ++j) {
    const ScaledLong diff = L_sub(L_deposit_l(lsf[j + 1]), L_deposit_l(lsf[j]));
    if (L_sub(diff, kMinSpacingLong) < 0) lsf[j + 1] = add(lsf[j], kMinSpacing);
  }
  // The last limit may shorten the last step below the minimum spacing again.
  if (lsf[M - 1] > kLsfMax) lsf[M - 1] = kLsfMax;
}

void Lsf_lsp2(const ScaledShort lsf[M], ScaledShort lsp[M]) {
  for (int i = 0; i < M; ++i) {
    const ScaledShort freq = mult(lsf[i], kLsfToIndex);
    // Bits 8-15 of the unscaled value pick the cosine table segment, the
    // bits below them interpolate within it. LSFs near pi run past the last
    // segment and are extrapolated from it; a negative LSF cannot leave the
    // stability step, but keep the table read in range for direct callers.
    int ind = shr(freq, 16);
    if (ind > 63) ind = 63;
    if (ind < 0) ind = 0;
    const ScaledShort offset = freq & 0xFF00;
    const ScaledLong L = L_shr(L_mult(slope_cos[ind], offset), 13);
    lsp[i] = add(table2[ind], extract_l(L >> 8));
  }
}

void Lsp_decw_reset(ScaledShort freq_prev[4][M]) {
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < M; ++j) freq_prev[k][j] = freq_prev_reset[j];
  }
}

}  // namespace celp
