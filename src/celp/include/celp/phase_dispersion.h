// Anti-sparseness phase dispersion of the fixed-codebook excitation.
#pragma once

#include "celp/celp_state.h"

namespace celp {

// y = x with its fixed-codebook part (cb_gain * inno) replaced by the
// dispersed one; inno is changed in place.
void PhDisp(PhDispState& st, const ScaledShort* x, ScaledShort* y, ScaledShort cb_gain,
            ScaledShort ltp_gain, ScaledShort* inno);
// The dispersion PhDisp picks for a subframe with these gains (0 strong,
// 1 medium, 2 none), without changing st.
int dispersion_state(const PhDispState& st, ScaledShort cb_gain, ScaledShort ltp_gain);
// Keeps the state current where no dispersion is applied.
void Update_PhDisp(PhDispState& st, ScaledShort ltp_gain, ScaledShort cb_gain);

}  // namespace celp
