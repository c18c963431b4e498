#include "postfilter/long_term_postfilter.h"

#include "celp/closed_forms.h"
#include "celp/oper_32b.h"
#include "celp/simd_clones.h"
#include "postfilter/postfilter_state.h"
#include "postfilter/postfilter_tables.h"

namespace postfilter {

// The post-filter is written in the CELP layer's arithmetic.
using namespace celp;

namespace {

constexpr ScaledShort kMaxHarmonicGain = 21845 * 256;  // 1/1.5, Q15
constexpr ScaledShort kAlmostOneQ15 = 32767 * 256;

// The short left by a long after a normalising shift of n: the extra 8 bits
// of the long's wider fraction come off with it.
ScaledShort short_after_shift(ScaledLong L, int n) {
  return extract_l(L_shr(L, n + 8));
}

// Shift that leaves a non-negative long with 16 significant bits.
int gain_shift(ScaledLong L) {
  const int sh = sub(16, norm_l(L));
  return sh < 0 ? 0 : sh;
}

// The common scaling of pst_ltp keeps every sample the search reads within
// +-2^20, so an up-sampled sample stays within +-1.25 * 2^20 (the 4-tap
// filters' taps add up to at most 39084 in magnitude) and a 16-tap
// interpolation within +-2.2 * 2^20. The longest sum below, 41 doubled
// products of such values, stays below 2^47: no step of these accumulations
// can saturate, so they are plain sums, exactly what L_mac would give.
inline ScaledLong exact_mac(ScaledLong acc, ScaledShort a, ScaledShort b) {
  return acc + 2 * (int64_t{a} * b);
}

// extract_h of such a sum: L >> 24 is a short already for L in the long
// range. Taken as a logical shift of L + 2^47 >= 0, which vectorises (a
// 64-bit arithmetic shift does not).
inline ScaledShort high_short(ScaledLong L) {
  return static_cast<ScaledShort>(static_cast<uint64_t>(L + (int64_t{1} << 47)) >> 24) - (1 << 23);
}

// shl(v[n], shift) for the 40 samples: a right shift for a negative count,
// else the shifted value clamped (shift is at most 3 here), setting Overflow
// when a sample clamps, as shl does.
VOICE_SIMD_CLONES void scale_back(ScaledShort* v, int shift) {
  if (shift <= 0) {
    for (int n = 0; n < 40; ++n) v[n] = shr(v[n], -shift);
    return;
  }
  int clipped = 0;
  for (int n = 0; n < 40; ++n) {
    const int64_t shifted = int64_t{v[n]} * (int64_t{1} << shift);
    v[n] = clamp_short(shifted);
    clipped |= v[n] != shifted;
  }
  if (clipped) Overflow = 1;
}

void set_unvoiced(LtpSearch& r) {
  r.ltpdel = 0;
  r.phase = 0;
  r.gain = LtpGain{};  // num 0, den 1
  r.off_yup = 0;
}

}  // namespace

VOICE_SIMD_CLONES void search_del(int t0, const ScaledShort* s, LtpSearch& r) {
  ScaledLong L_ener = 0;
  for (int n = 0; n < 40; ++n) L_ener = exact_mac(L_ener, s[n], s[n]);
  if (L_ener == 0) return set_unvoiced(r);
  const int sh_ener = gain_shift(L_ener);
  const ScaledShort ener = short_after_shift(L_ener, sh_ener);

  // Integer delays t0 - 1, t0, t0 + 1. Only a positive correlation can win;
  // the first of equal ones keeps the shortest delay.
  int lambda = sub(t0, 1);
  ScaledLong L_int = -65536;
  int i_max = 0;
  for (int i = 0; i < 3; ++i) {
    ScaledLong L_acc = 0;
    for (int n = 0; n < 40; ++n) L_acc = exact_mac(L_acc, s[n], s[n - lambda - i]);
    if (L_acc < 0) L_acc = 0;
    if (L_sub(L_acc, L_int) > 0) {
      L_int = L_acc;
      i_max = i;
    }
  }
  if (L_int == 0) return set_unvoiced(r);
  lambda = add(lambda, i_max);

  ScaledLong L_den_int = 0;
  for (int n = 0; n < 40; ++n) L_den_int = exact_mac(L_den_int, s[n - lambda], s[n - lambda]);
  if (L_den_int == 0) return set_unvoiced(r);

  // One up-sampled vector per phase covers both fractional neighbours of
  // lambda: u[0..39] lies at lambda + 1 - p/8 and u[1..40] at lambda - p/8.
  ScaledLong L_den0[7];
  ScaledLong L_den1[7];
  for (int p = 1; p <= 7; ++p) {
    const ScaledShort* h = &tab_hup_s[(p - 1) * 4];
    const ScaledShort* x = s - lambda + 1;
    ScaledShort* u = r.y_up[p - 1];
    for (int k = 0; k <= 40; ++k) {
      const ScaledLong L_acc =
          exact_mac(exact_mac(exact_mac(exact_mac(0, h[0], x[k]), h[1], x[k - 1]), h[2], x[k - 2]),
                    h[3], x[k - 3]);
      u[k] = high_short(L_acc);
    }
    ScaledLong L_acc = 0;
    for (int k = 1; k < 40; ++k) L_acc = exact_mac(L_acc, u[k], u[k]);
    L_den0[p - 1] = exact_mac(L_acc, u[0], u[0]);
    L_den1[p - 1] = exact_mac(L_acc, u[40], u[40]);
  }

  // The largest energy among the candidates fixes one common scale for all
  // denominators, so that their ratios can be compared as shorts.
  ScaledLong L_den_max = L_den_int;
  for (int p = 0; p < 7; ++p) {
    const ScaledShort* u = r.y_up[p];
    const ScaledLong L_cand = abs_s(u[0]) > abs_s(u[40]) ? L_den0[p] : L_den1[p];
    if (L_sub(L_cand, L_den_max) > 0) L_den_max = L_cand;
  }
  const int sh_den = sub(16, norm_l(L_den_max));
  if (sh_den <= 0) return set_unvoiced(r);
  const int sh_num = sub(sh_den, sh_ener) >= 0 ? sh_den : sh_ener;

  ScaledShort den_max = short_after_shift(L_den_int, sh_den);
  ScaledShort num_max = short_after_shift(L_int, sh_num);
  HiLo sq_max = L_Extract(L_mult(num_max, num_max));
  int phi_max = 0;
  int off = 1;

  // Cross-multiplied comparison of num^2 / den: no division per candidate.
  auto try_candidate = [&](ScaledLong L_num, ScaledLong L_den, int phase, int cand_off) {
    const ScaledShort num = L_num < 0 ? 0 : short_after_shift(L_num, sh_num);
    const HiLo sq = L_Extract(L_mult(num, num));
    const ScaledShort den = short_after_shift(L_den, sh_den);
    if (L_sub(Mpy_32_16(sq.hi, sq.lo, den_max), Mpy_32_16(sq_max.hi, sq_max.lo, den)) > 0) {
      num_max = num;
      sq_max = sq;
      den_max = den;
      off = cand_off;
      phi_max = phase;
    }
  };
  for (int p = 1; p <= 7; ++p) {
    const ScaledShort* u = r.y_up[p - 1];
    ScaledLong L_acc = 0;
    for (int n = 0; n < 40; ++n) L_acc = exact_mac(L_acc, s[n], u[n]);
    try_candidate(L_acc, L_den0[p - 1], p, 0);
    L_acc = 0;
    for (int n = 0; n < 40; ++n) L_acc = exact_mac(L_acc, s[n], u[n + 1]);
    try_candidate(L_acc, L_den1[p - 1], p, 1);
  }

  // den_max is compared against the raw 1: a denominator that vanished in
  // the common scaling cannot carry a gain.
  if (num_max == 0 || sub(den_max, 1) <= 0) return set_unvoiced(r);

  // Voiced when num^2 >= 0.5 ener den, with the three shifts folded into
  // one alignment of the two sides.
  ScaledLong L_temp1 = L_mult(den_max, ener);
  ScaledLong L_temp0 = L_Comp(sq_max.hi, sq_max.lo);
  const int e = add(sub(sub(shl(sh_num, 1), sh_den), sh_ener), 1);
  if (e < 0) {
    L_temp0 = L_shr(L_temp0, negate(e));
  } else if (e > 0) {
    L_temp1 = L_shr(L_temp1, e);
  }
  if (L_sub(L_temp0, L_temp1) < 0) return set_unvoiced(r);

  r.ltpdel = sub(add(lambda, 1), off);
  r.off_yup = off;
  r.phase = phi_max;
  r.gain.num = num_max;
  r.gain.den = den_max;
  r.gain.sh_num = sh_num;
  r.gain.sh_den = sh_den;
}

VOICE_SIMD_CLONES LtpGain compute_ltp_l(const ScaledShort* s, int ltpdel, int phase,
                                        ScaledShort* y) {
  const ScaledShort* h = &tab_hup_l[shl(sub(phase, 1), 4)];
  for (int n = 0; n < 40; ++n) {
    ScaledLong L_acc = 0;
    for (int i = 0; i < 16; ++i) L_acc = exact_mac(L_acc, h[i], s[n + 8 - ltpdel - i]);
    y[n] = extract_h(L_acc);
  }

  LtpGain g;
  ScaledLong L_acc = 0;
  for (int n = 0; n < 40; ++n) L_acc = L_mac(L_acc, y[n], s[n]);
  if (L_acc < 0) {
    g.num = 0;
    g.sh_num = 0;
  } else {
    g.sh_num = gain_shift(L_acc);
    g.num = short_after_shift(L_acc, g.sh_num);
  }

  L_acc = 0;
  for (int n = 0; n < 40; ++n) L_acc = L_mac(L_acc, y[n], y[n]);
  g.sh_den = gain_shift(L_acc);
  g.den = short_after_shift(L_acc, g.sh_den);
  return g;
}

int select_ltp(ScaledShort num1, ScaledShort den1, int sh_num1, int sh_den1, ScaledShort num2,
               ScaledShort den2, int sh_num2, int sh_den2) {
  if (den2 == 0) return 1;

  // num1^2 den2 against num2^2 den1, each side brought to the other's scale.
  const HiLo sq1 = L_Extract(L_mult(num1, num1));
  ScaledLong L_temp1 = Mpy_32_16(sq1.hi, sq1.lo, den2);
  const HiLo sq2 = L_Extract(L_mult(num2, num2));
  ScaledLong L_temp2 = Mpy_32_16(sq2.hi, sq2.lo, den1);

  const int temp1 = add(shl(sh_num1, 1), sh_den2);
  const int temp2 = add(shl(sh_num2, 1), sh_den1);
  if (temp2 > temp1) {
    L_temp1 = L_shr(L_temp1, temp2 - temp1);
  } else if (temp1 > temp2) {
    L_temp2 = L_shr(L_temp2, temp1 - temp2);
  }
  return L_sub(L_temp2, L_temp1) > 0 ? 2 : 1;
}

VOICE_SIMD_CLONES void filt_plt(const ScaledShort* x, const ScaledShort* y, ScaledShort* out,
                                ScaledShort g) {
  // 1 - g formed as 32767 + 1 - g units, saturating for g = 0.
  const ScaledShort g1 = add(sub(kAlmostOneQ15, g), 256);
  if (g == MIN_S || g1 == MIN_S) {
    for (int n = 0; n < 40; ++n) {
      // y[n] may live in out[n]: read it first.
      const ScaledShort yn = y[n];
      out[n] = extract_h(L_mac(L_mult(g, x[n]), g1, yn));
    }
    return;
  }
  // In closed form; these operators only set Overflow, when a sum clips.
  int clipped = 0;
  for (int n = 0; n < 40; ++n) {
    const int32_t v = mac_high_unclamped(g, x[n], g1, y[n]);
    out[n] = clamp_short(v);
    clipped |= out[n] != v;
  }
  if (clipped) Overflow = 1;
}

void pst_ltp(int t0, const ScaledShort* x, ScaledShort* out, StatusCode& status) {
  // A lag outside this range would take the search beyond the residual
  // history; the decoder never hands one over.
  if (t0 < LTP_T0_MIN) t0 = LTP_T0_MIN;
  if (t0 > LTP_T0_MAX) t0 = LTP_T0_MAX;

  // One common shift for the whole window brings its peak to about 2^11, so
  // that the correlations of the search cannot saturate. The deepest sample
  // (only reached by the 16-tap interpolation at the largest lag) gets the
  // same shift without taking part in choosing it.
  ScaledShort s_buf[RES2_HISTORY + 40];
  ScaledShort* s = s_buf + RES2_HISTORY;
  int32_t peak_bits = 0;
  for (int n = -RES2_SCALED_HISTORY; n < 40; ++n) peak_bits |= abs_s(x[n]);
  const int nb_sh_sig = sub(3, norm_s(peak_bits));
  // shr by a negative count is shl, which cannot saturate for the samples
  // that set the peak: they stay below 2^(23 - norm) in magnitude and move up
  // by norm - 3 bits. Only the deepest sample needs the saturating form.
  if (nb_sh_sig >= 0) {
    for (int n = -RES2_HISTORY; n < 40; ++n) s[n] = x[n] >> nb_sh_sig;
  } else {
    for (int n = -RES2_HISTORY; n < -RES2_SCALED_HISTORY; ++n) s[n] = shr(x[n], nb_sh_sig);
    for (int n = -RES2_SCALED_HISTORY; n < 40; ++n) s[n] = x[n] * (1 << -nb_sh_sig);
  }

  LtpSearch r;
  search_del(t0, s, r);

  if (r.gain.num == 0) {
    for (int n = 0; n < 40; ++n) out[n] = x[n];
    return;
  }

  LtpGain gain = r.gain;
  const ScaledShort* y;
  if (r.phase == 0) {
    // An integer delay needs no interpolation: use the unscaled residual.
    y = x - r.ltpdel;
  } else {
    // The longer interpolation filter usually gives the better match, but
    // not always: keep whichever of the two candidates correlates better.
    const LtpGain gain2 = compute_ltp_l(s, r.ltpdel, r.phase, out);
    ScaledShort* y_scaled;
    if (select_ltp(gain.num, gain.den, gain.sh_num, gain.sh_den, gain2.num, gain2.den, gain2.sh_num,
                   gain2.sh_den) == 1) {
      y_scaled = &r.y_up[r.phase - 1][r.off_yup];
    } else {
      y_scaled = out;
      gain = gain2;
    }
    scale_back(y_scaled, nb_sh_sig);
    y = y_scaled;
  }

  ScaledShort num = gain.num;
  ScaledShort den = gain.den;
  const int sh_diff = sub(gain.sh_num, gain.sh_den);
  if (sh_diff >= 0) {
    den = shr(den, sh_diff);
  } else {
    num = shl(num, sh_diff);
  }

  // g = 1 / (1 + 0.5 min(num/den, 1)), the weight of the current residual.
  ScaledShort g;
  if (sub(num, den) >= 0) {
    g = kMaxHarmonicGain;
  } else {
    num = shr(num, 2);
    den = shr(den, 1);
    g = div_s(den, add(den, num), status);
  }

  filt_plt(x, y, out, g);
}

}  // namespace postfilter
