// The decoder's 6.4 kbit/s phase dispersion as the encoder's searches see
// it: the fixed codebook vector spread circularly over the subframe by one
// of two impulse responses before synthesis.
#pragma once

#include "celp/celp_state.h"

namespace encoder {

// c dispersed as in state 0 (strong) or 1 (medium), then filtered by h.
void disperse_and_filter(const float* c, const float* h, int state, float* y);

// g[p]: the filtered, dispersed response to a unit pulse at p, pitch-
// sharpened first (factor `sharp` at lag T0, when T0 < 40) as the decoder
// does, for every p.
void dispersed_responses(const float* h, int state, int T0, float sharp, float (*g)[40]);

// The sharpening step of dispersed_responses, on responses made without it.
void sharpen_responses(int T0, float sharp, float (*g)[40]);

// disperse_and_filter through responses g made without sharpening (c holds
// any sharpening itself): the sum of c[p] g[p] over the pulses of c, much
// cheaper than filtering the dense dispersed vector.
void filter_dispersed_pulses(const float* c, const float (*g)[40], float* y);

// The state (0 strong, 1 medium, 2 none) the decoder's dispersion with
// memory `st` picks for each of n gain pairs, as celp::dispersion_state gives
// it one pair at a time, and the Overflow flag as the last of those calls
// leaves it. What depends on the memory alone is worked out once, and each
// pair's state takes a few comparisons without a branch.
void dispersion_states(const celp::PhDispState& st, const celp::ScaledShort* ltp_gain,
                       const celp::ScaledShort* cb_gain, int n, int* state);

}  // namespace encoder
