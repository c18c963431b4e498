// Decodes one frame parameter vector into 80 synthesised samples.
#pragma once

#include "celp/celp_state.h"

namespace celp {

// Leaves the frame's samples in st.synth_buf[SYNTH_HISTORY ..]; returns the
// frame's two LP filters, the first subframe's integer lag, the LP order and
// the frame type.
void celp_decode_frame(CelpDecoderState& st, const FrameParams& prm, int direct_index_mode,
                       ScaledShort A_t[2 * MP1], int& T0_first, int& m_pst, int& frame_type);

}  // namespace celp
