// The adaptive codebook step of the decoder as the encoder runs it: on a copy
// of the decoder state, with the lag the encoder chose (the other steps are
// celp/decode_steps.h, shared with the decoder). The real decoder still
// decodes every finished frame.
#pragma once

#include "celp/celp_state.h"

namespace encoder {

// Writes the adaptive codebook vector of subframe i0 (0 or 40) into the
// excitation buffer and records the lag.
void adaptive_vector(celp::CelpDecoderState& st, int i0, int T0, int frac);

// The same vector without touching the state: for trying a lag.
void adaptive_vector_trial(const celp::CelpDecoderState& st, int i0, int T0, int frac,
                           celp::ScaledShort v[celp::L_SUBFR]);

}  // namespace encoder
