#include "postfilter/output_highpass.h"

#include "postfilter/postfilter_tables.h"

namespace celp {

// Second-order high-pass at about 100 Hz. The output memories are kept as
// hi/lo pairs so that the poles, close to the unit circle, see more than
// 16 bits of the past output.
void Post_Process(HighPassState& st, ScaledShort* signal, int lg) {
  for (int i = 0; i < lg; ++i) {
    const ScaledShort x2 = st.hp_x1;
    st.hp_x1 = st.hp_x0;
    st.hp_x0 = signal[i];

    ScaledLong L = Mpy_32_16(st.hp_y1.hi, st.hp_y1.lo, a100[1]);
    L = L_add(L, Mpy_32_16(st.hp_y2.hi, st.hp_y2.lo, a100[2]));
    L = L_mac(L, st.hp_x0, b100[0]);
    L = L_mac(L, st.hp_x1, b100[1]);
    L = L_mac(L, x2, b100[2]);
    L = L_shl(L, 2);  // the coefficients are Q13

    // The doubling saturates in the long, so a loud sample clips rather
    // than wraps.
    signal[i] = extract_h(L_shl(L, 1));

    st.hp_y2 = st.hp_y1;
    st.hp_y1 = L_Extract(L);
  }
}

void Init_Post_Process(HighPassState& st) {
  st.hp_x0 = 0;
  st.hp_x1 = 0;
  st.hp_y1 = {0, 0};
  st.hp_y2 = {0, 0};
}

}  // namespace celp
