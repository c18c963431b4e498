#include "postfilter/output_highpass.h"

#include "postfilter/postfilter_tables.h"

namespace postfilter {

// The post-filter is written in the CELP layer's arithmetic.
using namespace celp;

namespace {

// Mpy_32_16 of a past output with a feedback coefficient, which cannot
// saturate here (see below).
inline int64_t feedback(HiLo y, ScaledShort a) {
  return 2 * int64_t{y.hi} * a + ((2 * int64_t{y.lo} * a) >> 15);
}

}  // namespace

// Second-order high-pass at about 100 Hz. The output memories are kept as
// hi/lo pairs so that the poles, close to the unit circle, see more than
// 16 bits of the past output.
void Post_Process(HighPassState& st, ScaledShort* signal, int lg) {
  // The memories are worked on in locals: as far as the compiler knows the
  // signal could alias them, which would take every sample's recursion
  // through memory.
  ScaledShort x0 = st.hp_x0;
  ScaledShort x1 = st.hp_x1;
  HiLo y1 = st.hp_y1;
  HiLo y2 = st.hp_y2;
  for (int i = 0; i < lg; ++i) {
    const ScaledShort x2 = x1;
    x1 = x0;
    x0 = signal[i];

    // With |hi| <= 2^23, 0 <= lo < 2^23 and |x| <= 2^23 the two feedback
    // products and the first input term stay below 1.341e14 < MAX_L in
    // magnitude, whatever the signal: none of their operators can saturate
    // (nor does L_mult's MIN_S x MIN_S case arise with these coefficients).
    // The second input term may take the sum out of the range, but then the
    // third (|2 x2 b2| <= 3.31e13) leaves it beyond +-(MAX_L - 3.31e13), past
    // +-2^45 either way, and the L_shl by 2 below saturates to the same bound
    // as from the plain sum. So one saturation of the whole sum gives what
    // the operators give, Overflow included (these operators only set it).
    const int64_t partial = feedback(y1, a100[1]) + feedback(y2, a100[2]) +
                            2 * int64_t{x0} * b100[0] + 2 * int64_t{x1} * b100[1];
    ScaledLong L = L_add(partial, 2 * int64_t{x2} * b100[2]);
    L = L_shl(L, 2);  // the coefficients are Q13

    // The doubling saturates in the long, so a loud sample clips rather
    // than wraps.
    signal[i] = extract_h(L_shl(L, 1));

    y2 = y1;
    y1 = L_Extract(L);
  }
  st.hp_x0 = x0;
  st.hp_x1 = x1;
  st.hp_y1 = y1;
  st.hp_y2 = y2;
}

void Init_Post_Process(HighPassState& st) {
  st.hp_x0 = 0;
  st.hp_x1 = 0;
  st.hp_y1 = {0, 0};
  st.hp_y2 = {0, 0};
}

}  // namespace postfilter
