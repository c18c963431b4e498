// The steps of decoding a frame, one call per step. celp_decode_frame runs
// them in a row; the encoder runs the same calls on a copy of the decoder
// state and stops between them to make its choices, so that what it predicts
// from is exactly what the decoder will have.
#pragma once

#include "celp/celp_state.h"

namespace celp {

struct SubframeMode {
  int rate;               // 1: 8 kbit/s, 0: 6.4 kbit/s
  int direct_index_mode;  // 56-bit frames
};

// Shifts the synthesis history, decodes the LSP fields into the frame's two
// LP filters A_t (and the predictor memory), and keeps the new LSPs.
void begin_frame(CelpDecoderState& st, int L1, int L2, ScaledShort A_t[2 * MP1]);

// The fixed codebook vector of the fields, pitch-sharpened with the current
// sharpening gain for a lag T0 shorter than a subframe.
void fixed_vector(const CelpDecoderState& st, const SubframeMode& mode, int positions, int signs,
                  int T0, ScaledShort code[L_SUBFR]);

// Decodes the gain field, adds the scaled code to the adaptive vector already
// in the excitation at i0 (0 or 40) and synthesises the subframe through Az,
// updating every memory. code is consumed (the dispersion changes it).
void finish_subframe(CelpDecoderState& st, const SubframeMode& mode, int i0, int gain,
                     ScaledShort code[L_SUBFR], const ScaledShort* Az);

// Shifts the excitation history at the end of the frame.
void end_frame(CelpDecoderState& st);

}  // namespace celp
