#include "encoder/decoder_steps.h"

#include "celp/adaptive_codebook.h"

namespace encoder {

using namespace celp;

void adaptive_vector(CelpDecoderState& st, int i0, int T0, int frac) {
  st.old_T0 = T0;
  Pred_lt_3(st.old_exc + EXC_HISTORY + i0, T0, frac, L_SUBFR);
}

void adaptive_vector_trial(const CelpDecoderState& st, int i0, int T0, int frac,
                           ScaledShort v[L_SUBFR]) {
  ScaledShort buf[EXC_HISTORY + L_SUBFR];
  Copy(st.old_exc + i0, buf, EXC_HISTORY);
  Pred_lt_3(buf + EXC_HISTORY, T0, frac, L_SUBFR);
  Copy(buf + EXC_HISTORY, v, L_SUBFR);
}

}  // namespace encoder
