#include "encoder/lsp_quantizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "celp/g729_tables.h"

namespace encoder {
namespace {

constexpr int kStage1 = 128;
constexpr int kStage2 = 32;
// First-stage vectors kept for the full search of both predictor modes.
constexpr int kStage1Candidates = 6;

// The decoder's codebooks in radians and plain fractions.
struct FloatTables {
  float cb1[kStage1][10];
  float cb2[kStage2][10];
  // The same codebooks a coefficient at a time, so that the distance
  // searches run over the codes side by side.
  float cb1_across[10][kStage1];
  float cb2_across[10][kStage2];
  float fg[2][4][10];
  float fg_sum[2][10];
  FloatTables() {
    constexpr float q13 = 1.0f / (256.0f * 8192.0f);
    constexpr float q15 = 1.0f / (256.0f * 32768.0f);
    for (int i = 0; i < kStage1; ++i)
      for (int j = 0; j < 10; ++j) cb1_across[j][i] = cb1[i][j] = celp::lspcb1[i][j] * q13;
    for (int i = 0; i < kStage2; ++i)
      for (int j = 0; j < 10; ++j) cb2_across[j][i] = cb2[i][j] = celp::lspcb2[i][j] * q13;
    for (int m = 0; m < 2; ++m) {
      for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 10; ++j) fg[m][k][j] = celp::fg[m][k][j] * q15;
      for (int j = 0; j < 10; ++j) fg_sum[m][j] = celp::fg_sum[m][j] * q15;
    }
  }
};

const FloatTables& tables() {
  static const FloatTables t;
  return t;
}

// Closely spaced LSFs mark formants: errors there are weighted up. The
// middle pair (around 1-2 kHz) counts a little more.
void lsf_weights(const float lsf[10], float w[10]) {
  const float pi = std::numbers::pi_v<float>;
  float d[10];
  d[0] = lsf[1] - (0.04f * pi + 1.0f);
  for (int i = 1; i < 9; ++i) d[i] = lsf[i + 1] - lsf[i - 1] - 1.0f;
  d[9] = (0.92f * pi - 1.0f) - lsf[8];
  for (int i = 0; i < 10; ++i) w[i] = d[i] > 0.0f ? 1.0f : 10.0f * d[i] * d[i] + 1.0f;
  w[4] *= 1.2f;
  w[5] *= 1.2f;
}

// The decoder's spreading of a code vector whose neighbours come too close.
void expand(float buf[10], float gap) {
  for (int j = 1; j < 10; ++j) {
    const float t = 0.5f * (buf[j - 1] - buf[j] + gap);
    if (t > 0.0f) {
      buf[j - 1] -= t;
      buf[j] += t;
    }
  }
}

int best_half(const float* target, const float* w, int from, int to) {
  const FloatTables& t = tables();
  float d[kStage2] = {};
  for (int j = from; j < to; ++j)
    for (int c = 0; c < kStage2; ++c) {
      const float e = target[j] - t.cb2_across[j][c];
      d[c] += w[j] * e * e;
    }
  int best = 0;
  float best_d = INFINITY;
  for (int c = 0; c < kStage2; ++c) {
    if (d[c] < best_d) {
      best_d = d[c];
      best = c;
    }
  }
  return best;
}

// The kStage1Candidates first-stage codes nearest the target, nearest
// first (the lower code first at equal distance).
void nearest_first_stage(const float target[10], int out[kStage1Candidates]) {
  const FloatTables& t = tables();
  float d[kStage1] = {};
  for (int j = 0; j < 10; ++j)
    for (int c = 0; c < kStage1; ++c) {
      const float e = target[j] - t.cb1_across[j][c];
      d[c] += e * e;
    }
  float kept[kStage1Candidates];
  int n = 0;
  for (int c = 0; c < kStage1; ++c) {
    if (n == kStage1Candidates && !(d[c] < kept[n - 1])) continue;
    int k = n < kStage1Candidates ? n++ : n - 1;
    for (; k > 0 && d[c] < kept[k - 1]; --k) {
      kept[k] = kept[k - 1];
      out[k] = out[k - 1];
    }
    kept[k] = d[c];
    out[k] = c;
  }
}

}  // namespace

LspCodes quantize_lsp(const float lsp[10], const celp::ScaledShort freq_prev[4][celp::M]) {
  const FloatTables& t = tables();
  float lsf[10];
  for (int j = 0; j < 10; ++j) lsf[j] = std::acos(std::clamp(lsp[j], -1.0f, 1.0f));
  float w[10];
  lsf_weights(lsf, w);
  float prev[4][10];
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 10; ++j) prev[k][j] = freq_prev[k][j] / (256.0f * 8192.0f);

  LspCodes best{0, 0};
  float best_dist = INFINITY;
  for (int mode = 0; mode < 2; ++mode) {
    // The code vector that, composed with the predictor, gives the target.
    float target[10];
    for (int j = 0; j < 10; ++j) {
      float p = lsf[j];
      for (int k = 0; k < 4; ++k) p -= t.fg[mode][k][j] * prev[k][j];
      target[j] = p / t.fg_sum[mode][j];
    }
    // Nearest first-stage vectors, then the two second-stage halves of each.
    int first[kStage1Candidates];
    nearest_first_stage(target, first);
    for (int n = 0; n < kStage1Candidates; ++n) {
      const int c1 = first[n];
      float rest[10];
      for (int j = 0; j < 10; ++j) rest[j] = target[j] - t.cb1[c1][j];
      const int lo = best_half(rest, w, 0, 5);
      const int hi = best_half(rest, w, 5, 10);
      float buf[10];
      for (int j = 0; j < 5; ++j) buf[j] = t.cb1[c1][j] + t.cb2[lo][j];
      for (int j = 5; j < 10; ++j) buf[j] = t.cb1[c1][j] + t.cb2[hi][j];
      expand(buf, 10.0f / 8192.0f);
      expand(buf, 5.0f / 8192.0f);
      // Error of the composed LSFs: the code vector error scaled by the
      // predictor's own share.
      float dist = 0.0f;
      for (int j = 0; j < 10; ++j) {
        const float e = (buf[j] - target[j]) * t.fg_sum[mode][j];
        dist += w[j] * e * e;
      }
      if (dist < best_dist) {
        best_dist = dist;
        best = {(mode << 7) | c1, (lo << 5) | hi};
      }
    }
  }
  return best;
}

}  // namespace encoder
