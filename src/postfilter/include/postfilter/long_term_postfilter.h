// Harmonic post-filter on the residual, with a 1/8-sample delay search.
#pragma once

#include "celp/basic_op.h"
#include "celp/status_code.h"

namespace postfilter {

using celp::ScaledShort;

// Pitch lags the filter accepts: one below and one above the decoder's own
// lag range, so that t0 +/- 1 and the interpolation reach stay inside the
// residual history.
inline constexpr int LTP_T0_MIN = 19;
inline constexpr int LTP_T0_MAX = 144;

// x: the subframe's 40 residual samples, with RES2_HISTORY samples of
// history in front; out: 40 samples. t0 outside LTP_T0_MIN..LTP_T0_MAX is
// clamped into that range.
void pst_ltp(int t0, const ScaledShort* x, ScaledShort* out, StatusCode& status);

// --- The steps of pst_ltp, exposed for testing. ---

// A correlation num and an energy den, each a short after a normalising
// right shift of the long it came from.
struct LtpGain {
  ScaledShort num = 0;
  ScaledShort den = 1;
  int sh_num = 0;
  int sh_den = 0;
};

struct LtpSearch {
  int ltpdel = 0;                // integer part of the delay (0: unvoiced)
  int phase = 0;                 // the delay is ltpdel - phase/8
  LtpGain gain;                  // num = 0 when unvoiced
  int off_yup = 0;               // where the 4-tap candidate starts in y_up[phase - 1]
  ScaledShort y_up[7][41] = {};  // s delayed by lambda + 1 - p/8, per phase p = 1..7
};

// s: the scaled residual, 40 samples with RES2_HISTORY samples in front.
void search_del(int t0, const ScaledShort* s, LtpSearch& r);
// Writes the 16-tap interpolation of s at delay ltpdel - phase/8 (phase
// 1..7) into y[0..39].
LtpGain compute_ltp_l(const ScaledShort* s, int ltpdel, int phase, ScaledShort* y);
// 1 keeps the first candidate, 2 takes the second.
int select_ltp(ScaledShort num1, ScaledShort den1, int sh_num1, int sh_den1, ScaledShort num2,
               ScaledShort den2, int sh_num2, int sh_den2);
// out = g x + (1 - g) y; y may be the same buffer as out.
void filt_plt(const ScaledShort* x, const ScaledShort* y, ScaledShort* out, ScaledShort g);

}  // namespace postfilter
