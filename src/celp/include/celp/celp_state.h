// Constants, the frame parameter vector and the memories of the CELP
// decoder. Default member values are the values at program start; the
// decoder reset at open overwrites all but the LSP, energy-predictor and
// phase-dispersion memories, which carry over from one file to the next.
#pragma once

#include <array>
#include <cstdint>

#include "celp/basic_op.h"

namespace celp {

inline constexpr int L_FRAME = 80;
inline constexpr int L_SUBFR = 40;
inline constexpr int M = 10;  // LP order
inline constexpr int MP1 = M + 1;
inline constexpr int PIT_MIN = 20;
inline constexpr int PIT_MAX = 143;
inline constexpr int L_INTERPOL = 11;  // reach of the 1/3-sample interpolation
// Excitation history: the largest lag plus the interpolation reach.
inline constexpr int EXC_HISTORY = PIT_MAX + L_INTERPOL;
inline constexpr int SYNTH_HISTORY = 65;

// Slot 0: erased-frame flag (always 0); slot 1: frame type (2 = 6.4 kbit/s,
// 3 = 8 kbit/s); slots 2.. : the frame's fields in frame order.
using FrameParams = std::array<int32_t, 13>;

struct PhDispState {
  ScaledShort gain_mem[6] = {};  // pitch gains of the last six subframes, newest first
  int prev_state = 0;            // 0 strong, 1 medium, 2 no dispersion
  ScaledShort prev_cb_gain = 0;  // fixed-codebook gain of the last subframe
  int onset = 0;                 // onset hold counter
};

struct CelpDecoderState {
  // Past excitation (EXC_HISTORY words) followed by the current frame.
  ScaledShort old_exc[EXC_HISTORY + L_FRAME] = {};
  ScaledShort sharp = 0xCCD00;  // pitch sharpening gain, Q14
  ScaledShort gain_pit = 0;     // Q14
  ScaledShort gain_code = 0;    // Q1
  int old_T0 = 60;              // lag kept for a first subframe with bad parity

  ScaledShort freq_prev[4][M] = {};  // last four LSF code vectors, newest first (Q13)
  ScaledShort lsp_old[M] = {30000 * 256, 26000 * 256, 21000 * 256,  15000 * 256,  8000 * 256,
                            0,           -8000 * 256, -15000 * 256, -21000 * 256, -26000 * 256};
  ScaledShort past_qua_en[4] = {-14336 * 256, -14336 * 256, -14336 * 256, -14336 * 256};  // Q10

  ScaledShort mem_syn[30] = {};  // last synthesised samples, oldest first
  PhDispState phdisp;

  // Synthesised speech: SYNTH_HISTORY samples of history, then the frame.
  ScaledShort synth_buf[SYNTH_HISTORY + L_FRAME] = {};
};

}  // namespace celp
