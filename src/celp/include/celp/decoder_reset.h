// Start state of the CELP decoder memories at open.
#pragma once

#include "celp/celp_state.h"

namespace celp {

// Excitation and synthesis memories, sharpening, gains, lag and LSF
// predictor memory. The LSPs, past energies and phase-dispersion state are
// left as they are.
void Init_Decod_ld8(CelpDecoderState& st);

}  // namespace celp
