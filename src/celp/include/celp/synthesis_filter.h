// The all-pole LP synthesis filter 1/A(z).
#pragma once

#include "celp/basic_op.h"

namespace celp {

// y[0..lg-1] = x filtered by 1/A(z) of order m (a in Q12), starting from the
// m memory words (oldest first); with `update` the memory takes the last m
// outputs. x and y may be the same buffer.
void Syn_filt(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
              ScaledShort* mem, int update);

}  // namespace celp
