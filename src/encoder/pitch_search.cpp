#include "encoder/pitch_search.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "celp/codebook_tables.h"
#include "celp/pitch_lag.h"
#include "encoder/float_filters.h"

namespace encoder {
namespace {

constexpr int kPitMin = 20;
constexpr int kPitMax = 143;

// Lag in thirds (3 T0 + frac) to the first-subframe field that codes it,
// or -1.
struct FirstSubframeCodes {
  int index_of[3 * (kPitMax + 1) + 3];
  FirstSubframeCodes() {
    for (int& i : index_of) i = -1;
    for (int index = 0; index < 256; ++index) {
      int T0 = 0, frac = 0;
      celp::Dec_lag3(index, kPitMin, kPitMax, 0, T0, frac, 1);
      index_of[3 * T0 + frac] = index;
    }
  }
};

struct InterpolationFilter {
  float c[31];
  InterpolationFilter() {
    for (int i = 0; i < 31; ++i) c[i] = celp::inter_3l[i] / (256.0f * 32768.0f);
  }
};

const InterpolationFilter& filter() {
  static const InterpolationFilter f;
  return f;
}

}  // namespace

int first_subframe_candidates(int t0_min, int t0_max, LagCandidate* out) {
  static const FirstSubframeCodes codes;
  int n = 0;
  for (int lag3 = 3 * t0_min - 2; lag3 <= 3 * t0_max + 2; ++lag3) {
    if (lag3 < 0 || lag3 >= static_cast<int>(std::size(codes.index_of))) continue;
    const int index = codes.index_of[lag3];
    if (index < 0) continue;
    // Round to the nearest integer: the fraction is then -1, 0 or 1.
    const int T0 = (lag3 + 1) / 3;
    out[n++] = {T0, lag3 - 3 * T0, index};
  }
  return n;
}

int second_subframe_candidates(int T0_first, int rate, LagCandidate* out) {
  const int count = rate == 1 ? 32 : 16;
  for (int index = 0; index < count; ++index) {
    int T0 = T0_first, frac = 0;
    celp::Dec_lag3(index, kPitMin, kPitMax, kSubframe, T0, frac, rate);
    out[index] = {T0, frac, index};
  }
  return count;
}

void interpolate_past_excitation(float* exc, int T0, int frac) {
  const float* c = filter().c;
  int x0 = -T0;
  int f = -frac;
  if (f < 0) {
    f += 3;
    x0 -= 1;
  }
  for (int j = 0; j < kSubframe; ++j) {
    const float* x1 = exc + x0 + j;
    const float* x2 = x1 + 1;
    float s = 0.0f;
    for (int i = 0; i < 10; ++i) s += x1[-i] * c[f + 3 * i] + x2[i] * c[3 - f + 3 * i];
    exc[j] = s;
  }
}

namespace {

// Normalised correlation of the target with one candidate's filtered
// vector: the error reduction its best gain would bring, square-rooted.
float score(float* exc, const float* x, const float* h, const LagCandidate& c) {
  interpolate_past_excitation(exc, c.T0, c.frac);
  float y[kSubframe];
  convolve(exc, h, y, kSubframe);
  const float corr = dot(x, y, kSubframe);
  const float energy = dot(y, y, kSubframe);
  return corr / std::sqrt(energy > 1e-6f ? energy : 1e-6f);
}

}  // namespace

int search_pitch(float* exc, const float* x, const float* h, const LagCandidate* cands, int n,
                 int* best, int max_best, float min_share) {
  // Whole-sample lags first, then the thirds within 2/3 of the best one.
  float scores[kMaxLagCandidates];
  int order[kMaxLagCandidates];
  int evaluated = 0;
  int best_int = -1;
  for (int k = 0; k < n; ++k) {
    if (cands[k].frac != 0) continue;
    scores[k] = score(exc, x, h, cands[k]);
    order[evaluated++] = k;
    if (best_int < 0 || scores[k] > scores[best_int]) best_int = k;
  }
  if (best_int < 0) {
    best[0] = 0;
    return 1;
  }
  const int center = 3 * cands[best_int].T0;
  for (int k = 0; k < n; ++k) {
    const int lag3 = 3 * cands[k].T0 + cands[k].frac;
    if (cands[k].frac == 0 || lag3 < center - 2 || lag3 > center + 2) continue;
    scores[k] = score(exc, x, h, cands[k]);
    order[evaluated++] = k;
  }
  int count = std::min(max_best, evaluated);
  std::partial_sort(order, order + count, order + evaluated,
                    [&](int a, int b) { return scores[a] > scores[b]; });
  const float floor = min_share * scores[order[0]];
  while (count > 1 && scores[order[count - 1]] < floor) --count;
  std::copy(order, order + count, best);
  return count;
}

}  // namespace encoder
