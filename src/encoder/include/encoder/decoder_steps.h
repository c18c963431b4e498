// The decoder's frame decoding, cut at the points where the encoder makes
// its choices: each step runs the decoder's own functions on a copy of its
// state, so that the second subframe's search sees exactly the excitation,
// gain memory and synthesis the first subframe will leave. The real decoder
// still decodes every finished frame; these steps must reach the same state.
#pragma once

#include "celp/celp_state.h"

namespace encoder {

struct DecoderStepsConfig {
  int rate;               // 1: 8 kbit/s, 0: 6.4 kbit/s
  int direct_index_mode;  // 56-bit frames
};

// Shifts the synthesis history, decodes the LSP fields into the frame's two
// LP filters A_t (and the predictor memory), and keeps the new LSPs.
void begin_frame(celp::CelpDecoderState& st, int L1, int L2, celp::ScaledShort A_t[2 * celp::MP1]);

// Writes the adaptive codebook vector of subframe i0 (0 or 40) into the
// excitation buffer and records the lag.
void adaptive_vector(celp::CelpDecoderState& st, int i0, int T0, int frac);

// The same vector without touching the state: for trying a lag.
void adaptive_vector_trial(const celp::CelpDecoderState& st, int i0, int T0, int frac,
                           celp::ScaledShort v[celp::L_SUBFR]);

// The fixed codebook vector of the fields, pitch-sharpened as the decoder
// does with the current sharpening gain.
void fixed_vector(const celp::CelpDecoderState& st, const DecoderStepsConfig& cfg, int positions,
                  int signs, int T0, celp::ScaledShort code[celp::L_SUBFR]);

// Decodes the gain field, forms the excitation and synthesises the
// subframe through Az, updating every memory as the decoder does. code is
// consumed (the dispersion changes it).
void finish_subframe(celp::CelpDecoderState& st, const DecoderStepsConfig& cfg, int i0, int gain,
                     celp::ScaledShort code[celp::L_SUBFR], const celp::ScaledShort* Az);

// The phase-dispersion state (0 strong, 1 medium, 2 none) the decoder will
// pick for a subframe decoded with these gains, without changing `st`.
int dispersion_state(const celp::PhDispState& st, celp::ScaledShort cb_gain,
                     celp::ScaledShort ltp_gain);

// Shifts the excitation history at the end of the frame.
void end_frame(celp::CelpDecoderState& st);

}  // namespace encoder
