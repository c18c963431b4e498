// Harmonic post-filter on the residual, with a 1/8-sample delay search.
#pragma once

#include "celp/basic_op.h"
#include "voice/status_code.h"

namespace celp {

// x: the subframe's 40 residual samples, with RES2_HISTORY samples of
// history in front; out: 40 samples.
void pst_ltp(int t0, const ScaledShort* x, ScaledShort* out, StatusCode& status);

}  // namespace celp
