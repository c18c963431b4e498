// Chooses a subframe's gain field: every code the frame layout allows is
// turned into the exact pitch and fixed-codebook gains the decoder will
// form (the latter through its own energy prediction), and the code whose
// gains leave the smallest weighted error wins.
#pragma once

#include <cmath>

#include "celp/celp_state.h"

namespace encoder {

enum class GainTable { k8k, k6k, k6kEvenCodes };

struct GainChoice {
  int index;       // the decoder's gain code (widened form for 56-bit frames)
  float gain_pit;  // the decoded gains, as plain numbers
  float gain_code;
  float error;     // weighted error energy left, less the target's energy
  int dispersion;  // the decoder's phase-dispersion state with these gains
};

// The decoder's gains of one code, as plain numbers, given the energy
// prediction (gcode0, exp_gcode0) of the subframe's code vector.
void decoded_gains(GainTable table, int index, celp::ScaledShort gcode0, int exp_gcode0,
                   celp::ScaledShort& gain_pit, celp::ScaledShort& gain_code);

// At 6.4 kbit/s the decoder disperses the fixed codebook vector in a way
// that depends on the gains; with this, each code is judged by the
// filtered vector the decoder will actually synthesise.
struct DispersedCode {
  const celp::PhDispState* state;  // the decoder's dispersion memory
  const float* z[3];               // filtered vector for each dispersion state
};

// x: target; y: filtered adaptive codebook vector; z: filtered fixed
// codebook vector; code: the decoder's (sharpened) fixed codebook vector;
// past_qua_en: the decoder's energy predictor memory; dispersed: null at
// 8 kbit/s. skip_zero leaves out code 0, and max_gain_pit the codes whose
// pitch gain passes it.
GainChoice quantize_gains(GainTable table, const float* x, const float* y, const float* z,
                          const celp::ScaledShort* code, const celp::ScaledShort past_qua_en[4],
                          const DispersedCode* dispersed, bool skip_zero,
                          float max_gain_pit = INFINITY);

}  // namespace encoder
