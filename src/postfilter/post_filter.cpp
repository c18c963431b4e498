#include "postfilter/post_filter.h"

#include "celp/simd_clones.h"
#include "celp/synthesis_filter.h"
#include "postfilter/long_term_postfilter.h"
#include "postfilter/short_term_postfilter.h"

namespace postfilter {

// The post-filter is written in the CELP layer's arithmetic.
using namespace celp;

namespace {

constexpr int kMaxOrder = 30;  // the memories hold at most this many past samples

inline int64_t magnitude(ScaledShort v) {
  return v < 0 ? -int64_t{v} : int64_t{v};
}

// A residual sample from the exact sum s of its products, not yet doubled,
// |2 s| <= MAX_L: L_mac's doubling and L_shl(., 3) saturate exactly when
// 2 s lies outside [-2^44, 2^44), and extract_h keeps the bits from 24 up,
// so the sample is floor(2 s / 2^21) clamped to the short range. The floor
// is taken on 2 s + 2^47 >= 0, where a logical shift does it (and
// vectorises, unlike a 64-bit arithmetic shift). Records in `saturated`
// whether the shift saturated, which would have set Overflow.
inline ScaledShort residual_from_sum(int64_t s, int& saturated) {
  const uint64_t biased = static_cast<uint64_t>(2 * s + (int64_t{1} << 47)) >> 21;
  const int32_t r = static_cast<int32_t>(biased) - (1 << 26);
  const ScaledShort c = r < MIN_S ? MIN_S : r > MAX_S ? MAX_S : r;
  saturated |= c != r;
  return c;
}

// Residu without saturation in the sums; returns whether the final shift
// saturated anywhere. The decoder's order 10 has its own copy with the taps
// unrolled, so that the samples vectorise.
bool residu_plain(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg) {
  int saturated = 0;
  for (int i = 0; i < lg; ++i) {
    int64_t s = 0;
    for (int j = 0; j <= m; ++j) s += int64_t{a[j]} * x[i - j];
    y[i] = residual_from_sum(s, saturated);
  }
  return saturated != 0;
}

VOICE_SIMD_CLONES bool residu_order10(const ScaledShort* a, const ScaledShort* x,
                                      ScaledShort* __restrict y, int lg) {
  int saturated = 0;
  for (int i = 0; i < lg; ++i) {
    int64_t s = 0;
#pragma GCC unroll 11
    for (int j = 0; j <= 10; ++j) s += int64_t{a[j]} * x[i - j];
    y[i] = residual_from_sum(s, saturated);
  }
  return saturated != 0;
}

}  // namespace

void Weight_Az(const ScaledShort* a, ScaledShort gamma, int m, ScaledShort* ap) {
  // The powers of gamma are built up by repeated truncating products, not
  // computed exactly.
  ap[0] = a[0];
  ScaledShort fac = gamma;
  for (int i = 1; i < m; ++i) {
    ap[i] = extract_h(L_mult(a[i], fac));
    fac = extract_h(L_mult(fac, gamma));
  }
  ap[m] = extract_h(L_mult(a[m], fac));
}

void Residu(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg) {
  // Every partial sum is at most 2 sum |a_j| X in magnitude, X being the
  // largest input read. Within the long range no L_mult or L_mac can
  // saturate (L_mult's one saturating case, MIN_S x MIN_S, lies beyond it),
  // and the plain sum is exact; louder input takes the saturating sequence.
  int64_t a_sum = 0;
  for (int j = 0; j <= m; ++j) a_sum += magnitude(a[j]);
  int64_t x_max = 0;
  for (int i = -m; i < lg; ++i)
    if (magnitude(x[i]) > x_max) x_max = magnitude(x[i]);
  if (a_sum * x_max <= MAX_L / 2) {
    if (m == 10 ? residu_order10(a, x, y, lg) : residu_plain(m, a, x, y, lg)) Overflow = 1;
    return;
  }
  for (int i = 0; i < lg; ++i) {
    ScaledLong s = L_mult(x[i], a[0]);
    for (int j = 1; j <= m; ++j) s = L_mac(s, a[j], x[i - j]);
    s = L_shl(s, 3);  // Q12 coefficients back to the signal's scale
    y[i] = extract_h(s);
  }
}

void Post(PostFilterState& st, int t0, const ScaledShort* signal, const ScaledShort* coeff,
          ScaledShort* sig_out, ScaledShort gamma1, ScaledShort gamma2, int long_h_st, int m_pst,
          StatusCode& status) {
  ScaledShort apond1[kMaxOrder + 1];
  Weight_Az(coeff, gamma1, m_pst, apond1);
  // apond2 doubles as the input signal of the impulse response, so
  // everything past the order must read as zero.
  Weight_Az(coeff, gamma2, m_pst, st.apond2);
  for (int i = m_pst + 1; i <= kMaxOrder; ++i) st.apond2[i] = 0;

  ScaledShort* res2 = st.res2_buf + RES2_HISTORY;
  Residu(m_pst, st.apond2, signal, res2, 40);

  // sig_ltp[0] carries the last output of the previous subframe, which the
  // tilt filter needs as its past input.
  ScaledShort sig_ltp[41];
  pst_ltp(t0, res2, sig_ltp + 1, status);
  sig_ltp[0] = st.mem_stp[29];

  ScaledShort parcor0;
  calc_st_filt(st.apond2, apond1, parcor0, sig_ltp + 1, long_h_st, m_pst, st.mem_zero, status);

  Syn_filt(m_pst, apond1, sig_ltp + 1, sig_ltp + 1, 40, st.mem_stp + 30 - m_pst, 0);
  for (int i = 0; i < 30; ++i) st.mem_stp[i] = sig_ltp[11 + i];

  filt_mu(sig_ltp, sig_out, parcor0, status);
  // The gain reference is the synthesised speech before any post-filtering.
  scale_st(signal, sig_out, st.gain_prec, status);

  for (int i = 0; i < RES2_HISTORY; ++i) st.res2_buf[i] = st.res2_buf[i + 40];
}

void Init_Post_Filter(PostFilterState& st) {
  // The current subframe's residual and apond2[0..30] are written before
  // they are read; only the history and the zero tail need clearing.
  for (int i = 0; i < RES2_HISTORY; ++i) st.res2_buf[i] = 0;
  for (ScaledShort& v : st.mem_stp) v = 0;
  st.apond2[31] = 0;
  for (ScaledShort& v : st.mem_zero) v = 0;
  st.gain_prec = 16384 * 256;  // 1.0, Q14
}

}  // namespace postfilter
