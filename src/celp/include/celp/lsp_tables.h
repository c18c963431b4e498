// Constant tables of the LSP decoding that are not generated with the other
// G.729 tables. Entries are the G.729 values x 256.
#pragma once

#include <cstdint>

#include "celp/celp_state.h"

namespace celp {

// Start vector of each row of the MA predictor memory (LSFs, Q13): k * pi / 11
// for k = 1 .. 10, the evenly spaced LSFs of a flat spectrum.
extern const int32_t freq_prev_reset[M];

}  // namespace celp
