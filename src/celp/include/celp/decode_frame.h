// Decodes one frame parameter vector into 80 synthesised samples.
//
// How the CELP layer reports trouble: plain values and flags. Results are
// return values and out-parameters; saturation is the Overflow flag of the
// arithmetic (basic_op.h), which the decoding reads as part of its result; a
// frame of unknown size makes unpack_frame_params return false; a division
// the arithmetic cannot do latches its code (status_code.h) into the
// StatusCode& the caller passes, the first one only, and the computation goes
// on with the operator's fallback value. Nothing throws and nothing is logged.
#pragma once

#include "celp/celp_state.h"

namespace celp {

// Leaves the frame's samples in st.synth_buf[SYNTH_HISTORY ..]; returns the
// frame's two LP filters, the first subframe's integer lag, the LP order and
// the frame type.
void celp_decode_frame(CelpDecoderState& st, const FrameParams& prm, int direct_index_mode,
                       ScaledShort A_t[2 * MP1], int& T0_first, int& m_pst, int& frame_type);

}  // namespace celp
