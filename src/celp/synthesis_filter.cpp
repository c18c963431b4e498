#include "celp/synthesis_filter.h"

namespace celp {

void Syn_filt(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
              ScaledShort* mem, int update) {
  // The memory and the outputs form one history, so that the recursion
  // reads its past outputs without a case for the first m samples.
  ScaledShort work[30 + 80];
  ScaledShort* w = work + m;
  for (int i = 0; i < m; ++i) work[i] = mem[i];
  for (int i = 0; i < lg; ++i) {
    ScaledLong s = L_mult(x[i], a[0]);
    for (int j = 1; j <= m; ++j) s = L_msu(s, a[j], w[i - j]);
    s = L_shl(s, 3);
    w[i] = extract_h(s);
  }
  for (int i = 0; i < lg; ++i) y[i] = w[i];
  if (update)
    for (int i = 0; i < m; ++i) mem[i] = w[lg - m + i];
}

}  // namespace celp
