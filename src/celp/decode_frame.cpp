#include "celp/decode_frame.h"

#include "celp/adaptive_codebook.h"
#include "celp/decode_steps.h"
#include "celp/pitch_lag.h"

namespace celp {
namespace {

// Lag of the first subframe. A pitch index whose parity failed reuses the
// last good lag and nudges it up for the next frame.
void first_subframe_lag(CelpDecoderState& st, int index, int bad_pitch, int rate, int& T0,
                        int& T0_frac) {
  if (!bad_pitch) {
    Dec_lag3(index, PIT_MIN, PIT_MAX, 0, T0, T0_frac, rate);
    st.old_T0 = T0;
    return;
  }
  T0 = st.old_T0;
  T0_frac = 0;
  st.old_T0 = add(st.old_T0, 1);
  if (st.old_T0 > PIT_MAX) st.old_T0 = PIT_MAX;
}

}  // namespace

void celp_decode_frame(CelpDecoderState& st, const FrameParams& prm, int direct_index_mode,
                       ScaledShort A_t_out[2 * MP1], int& T0_first, int& m_pst, int& frame_type) {
  frame_type = prm[1];
  const SubframeMode mode{frame_type - 2, direct_index_mode};
  const int rate = mode.rate;
  int field = 2;

  ScaledShort A_t[2 * MP1];
  begin_frame(st, prm[field], prm[field + 1], A_t);
  field += 2;

  for (int i0 = 0; i0 < L_FRAME; i0 += L_SUBFR) {
    const ScaledShort* Az = A_t + (i0 == 0 ? 0 : MP1);
    int T0 = 0;
    int T0_frac = 0;
    const int pitch_index = prm[field++];
    if (i0 == 0) {
      const int bad_pitch = rate == 1 ? prm[field++] : 0;
      first_subframe_lag(st, pitch_index, bad_pitch, rate, T0, T0_frac);
      T0_first = T0;
    } else {
      T0 = T0_first;
      Dec_lag3(pitch_index, PIT_MIN, PIT_MAX, i0, T0, T0_frac, rate);
      st.old_T0 = T0;
    }
    Pred_lt_3(st.old_exc + EXC_HISTORY + i0, T0, T0_frac, L_SUBFR);

    ScaledShort code[L_SUBFR];
    const int positions = prm[field++];
    const int signs = prm[field++];
    fixed_vector(st, mode, positions, signs, T0, code);
    finish_subframe(st, mode, i0, prm[field++], code, Az);
  }

  end_frame(st);
  Copy(A_t, A_t_out, 2 * MP1);
  m_pst = M;
}

}  // namespace celp
