#include "celp/adaptive_codebook.h"

#include "celp/codebook_tables.h"

namespace celp {

void Pred_lt_3(ScaledShort* exc, int T0, int frac, int L_subfr) {
  // A lag of T0 + 1/3 is read as T0 + 1 - 2/3, so that the filter phase f
  // is always 0, 1 or 2 thirds after x0.
  const ScaledShort* x0 = exc - T0;
  int f = negate(frac);
  if (f < 0) {
    f = add(f, 3);
    --x0;
  }

  // The taps reach at most 10 samples ahead of x0, and x0 lies at least 19
  // samples back, so for a lag shorter than the subframe every read inside
  // the subframe finds a sample this loop has already written: the start of
  // the subframe repeats.
  for (int j = 0; j < L_subfr; ++j) {
    const ScaledShort* x1 = x0 + j;
    const ScaledShort* x2 = x1 + 1;
    ScaledLong s = 0;
    for (int i = 0; i < 10; ++i) {
      s = L_mac(s, x1[-i], inter_3l[f + 3 * i]);
      s = L_mac(s, x2[i], inter_3l[3 - f + 3 * i]);
    }
    exc[j] = extract_h(s);
  }
}

}  // namespace celp
