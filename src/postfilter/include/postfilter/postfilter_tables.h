// Constant tables of the post-filter and of the output high-pass filter,
// the G.729 values x 256.
#pragma once

#include "celp/basic_op.h"

namespace postfilter {

using celp::ScaledShort;

// 4-tap interpolation filters of the long-term post-filter for the phases
// 1/8 .. 7/8: row p - 1 holds taps 0..3 of phase p (Q15).
extern const ScaledShort tab_hup_s[7 * 4];
// 16-tap interpolation filters for the same phases: row p - 1 holds taps
// 0..15 of phase p (Q15); row 8 - p is row p reversed.
extern const ScaledShort tab_hup_l[7 * 16];

// Output high-pass filter, Q13: numerator b0..b2 and denominator a0..a2
// (a0 is never used).
extern const ScaledShort b100[3];
extern const ScaledShort a100[3];

}  // namespace postfilter
