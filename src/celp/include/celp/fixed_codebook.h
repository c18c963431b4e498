// Algebraic (fixed) codebook vectors: four pulses at 8 kbit/s, two at
// 6.4 kbit/s. Pulses are +1.0 or -1.0 in Q13.
#pragma once

#include "celp/celp_state.h"

namespace celp {

void Decod_ACELP(int sign, int index, ScaledShort code[L_SUBFR]);
// direct_index_mode: the position codes are already widened 56-bit codes and
// are not Gray decoded.
void Decod_ACELP64(int sign, int index, ScaledShort code[L_SUBFR], int direct_index_mode);

}  // namespace celp
