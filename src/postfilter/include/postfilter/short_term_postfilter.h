// Short-term post-filter gain, tilt compensation and adaptive gain control.
#pragma once

#include "celp/basic_op.h"
#include "celp/status_code.h"

namespace postfilter {

using celp::ScaledShort;

void calc_st_filt(const ScaledShort* apond2, const ScaledShort* apond1, ScaledShort& parcor0,
                  ScaledShort* sig, int long_h_st, int m_pst, const ScaledShort* mem_zero,
                  StatusCode& status);
ScaledShort calc_rc0_h(const ScaledShort* h, int lg, StatusCode& status);
// sig_in: 41 samples, the last output of the previous subframe first.
void filt_mu(const ScaledShort* sig_in, ScaledShort* sig_out, ScaledShort parcor0,
             StatusCode& status);
void scale_st(const ScaledShort* sig_in, ScaledShort* sig_out, ScaledShort& gain_prec,
              StatusCode& status);

}  // namespace postfilter
