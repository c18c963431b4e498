// Adaptive codebook: the past excitation delayed by a fractional lag.
#pragma once

#include "celp/basic_op.h"

namespace celp {

// Writes exc[0..L_subfr-1] from the samples before exc (and, for short
// lags, from those it has just written).
void Pred_lt_3(ScaledShort* exc, int T0, int frac, int L_subfr);

}  // namespace celp
