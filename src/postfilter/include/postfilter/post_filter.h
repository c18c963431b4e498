// The adaptive post-filter of one 40-sample subframe.
//
// Errors the way the CELP layer reports them: plain values, the Overflow
// flag, and a failed division latched into the caller's StatusCode& (the
// first failure only) while the filtering goes on.
#pragma once

#include "celp/status_code.h"
#include "postfilter/postfilter_state.h"

namespace postfilter {

using celp::ScaledShort;

// signal: the subframe's synthesised samples (the m_pst before them are read
// too); coeff: its m_pst + 1 LP coefficients; sig_out: 40 samples.
void Post(PostFilterState& st, int t0, const ScaledShort* signal, const ScaledShort* coeff,
          ScaledShort* sig_out, ScaledShort gamma1, ScaledShort gamma2, int long_h_st, int m_pst,
          StatusCode& status);
void Weight_Az(const ScaledShort* a, ScaledShort gamma, int m, ScaledShort* ap);
// y = x filtered by A(z) of order m; reads x[-m .. lg-1]. y must not overlap
// x.
void Residu(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg);
void Init_Post_Filter(PostFilterState& st);

}  // namespace postfilter
