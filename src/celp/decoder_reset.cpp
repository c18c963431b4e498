#include "celp/decoder_reset.h"

#include "celp/lsp_decode.h"

namespace celp {

void Init_Decod_ld8(CelpDecoderState& st) {
  for (int i = 0; i < EXC_HISTORY; ++i) st.old_exc[i] = 0;
  for (ScaledShort& m : st.mem_syn) m = 0;
  st.sharp = 3277 * 256;
  st.old_T0 = 60;
  st.gain_pit = 0;
  st.gain_code = 0;
  Lsp_decw_reset(st.freq_prev);
}

}  // namespace celp
