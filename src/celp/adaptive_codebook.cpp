#include "celp/adaptive_codebook.h"

#include "celp/codebook_tables.h"
#include "celp/simd_clones.h"

namespace celp {

namespace {

constexpr int kTaps = 20;  // 10 on each side of the fractional position

inline int64_t magnitude(ScaledShort v) {
  return v < 0 ? -int64_t{v} : int64_t{v};
}

// One output by the saturating operators, in their order.
ScaledShort interpolate_saturating(const ScaledShort* x1, int f) {
  const ScaledShort* x2 = x1 + 1;
  ScaledLong s = 0;
  for (int i = 0; i < 10; ++i) {
    s = L_mac(s, x1[-i], inter_3l[f + 3 * i]);
    s = L_mac(s, x2[i], inter_3l[3 - f + 3 * i]);
  }
  return extract_h(s);
}

}  // namespace

VOICE_SIMD_CLONES void Pred_lt_3(ScaledShort* exc, int T0, int frac, int L_subfr) {
  // A lag of T0 + 1/3 is read as T0 + 1 - 2/3, so that the filter phase f
  // is always 0, 1 or 2 thirds after x0.
  const ScaledShort* x0 = exc - T0;
  int f = negate(frac);
  if (f < 0) {
    f = add(f, 3);
    --x0;
  }

  // The two halves of the filter as one run of taps over x0[j - 9 .. j + 10].
  int32_t c[kTaps];
  int64_t c_sum = 0;
  for (int i = 0; i < 10; ++i) {
    c[9 - i] = inter_3l[f + 3 * i];
    c[10 + i] = inter_3l[3 - f + 3 * i];
  }
  for (int k = 0; k < kTaps; ++k) c_sum += magnitude(c[k]);

  // Every partial sum of an output is at most 2 sum |c| W in magnitude, W
  // being the largest sample it reads. While that stays within the long
  // range no L_mac can saturate, and the plain sum in any order is what the
  // operators give. w_limit is the largest sample that keeps it there; the
  // past samples must all respect it, and an output that does not sends the
  // rest of the subframe through the saturating sequence.
  const int64_t w_limit = (MAX_L / 2) / c_sum;
  const ScaledShort* window = x0 - 9;
  const int past = static_cast<int>(exc - window) < L_subfr + kTaps - 1
                       ? static_cast<int>(exc - window)
                       : L_subfr + kTaps - 1;
  int64_t past_max = 0;
  for (int k = 0; k < past; ++k)
    if (magnitude(window[k]) > past_max) past_max = magnitude(window[k]);

  // The taps reach at most 10 samples ahead of x0, and x0 lies at least 19
  // samples back, so for a lag shorter than the subframe every read inside
  // the subframe finds a sample this loop has already written: the start of
  // the subframe repeats.
  int j = 0;
  if (past_max <= w_limit) {
    while (j < L_subfr) {
      const ScaledShort* p = window + j;
      int64_t s = 0;
      for (int k = 0; k < kTaps; ++k) s += int64_t{c[k]} * p[k];
      const ScaledShort out = extract_h(2 * s);
      exc[j++] = out;
      if (magnitude(out) > w_limit) [[unlikely]]
        break;
    }
  }
  for (; j < L_subfr; ++j) exc[j] = interpolate_saturating(x0 + j, f);
}

}  // namespace celp
