#include "postfilter/short_term_postfilter.h"

#include "celp/closed_forms.h"
#include "celp/simd_clones.h"
#include "celp/synthesis_filter.h"

namespace postfilter {

// The post-filter is written in the CELP layer's arithmetic.
using namespace celp;

namespace {

constexpr ScaledShort kUnitGainQ10 = 1024 * 256;    // sum of |h| that needs no scaling
constexpr ScaledShort kMuPositive = 6554 * 256;     // 0.2, Q15
constexpr ScaledShort kMuNegative = 29491 * 256;    // 0.9, Q15
constexpr ScaledShort kAgcSmoothing = 32358 * 256;  // 0.9875, Q15
constexpr ScaledShort kAgcUpdate = 410 * 256;       // 0.0125, Q15
constexpr ScaledShort kOneQ14 = 16384 * 256;        // 1.0, Q14
constexpr ScaledShort kAlmostOneQ15 = 32767 * 256;  // largest Q15 value
constexpr int kMaxImpulse = 32;                     // long_h_st never exceeds the apond2 length
constexpr int kMaxOrder = 30;

inline int64_t magnitude(ScaledShort v) {
  return v < 0 ? -int64_t{v} : int64_t{v};
}

// sig[i] = mult(sig[i], factor); tells whether the last product saturated.
VOICE_SIMD_CLONES bool scale_samples(ScaledShort* sig, ScaledShort factor) {
  for (int i = 0; i < 39; ++i) sig[i] = short_product(sig[i], factor);
  const ScaledShort last = sig[39];
  sig[39] = short_product(last, factor);
  return last == MIN_S && factor == MIN_S;  // mult's one saturating case
}

// sig[i] = extract_h(L_shl(L_mult(gains[i], sig[i]), 1)); tells whether the
// last product saturated.
VOICE_SIMD_CLONES bool apply_gains(const ScaledShort* gains, ScaledShort* sig) {
  int32_t last = 0;
  for (int i = 0; i < 40; ++i) {
    last = gain_product_unclamped(gains[i], sig[i]);
    sig[i] = clamp_short(last);
  }
  return last != sig[39];
}

// The tilt filter's samples, per sample the operators
//   L_temp = L_mac(L_shl(L_deposit_l(cur), 15), mu, prev);
//   temp = extract_l(L_shr(L_add(L_temp, 2^30), 23));
//   out = saturate(L_shr(L_add(L_mult(temp, ga), L_fact), shift));
// in closed form, so that the loop vectorises. cur 2^23 needs no saturation,
// and with |mu| <= 2^22 the mac stays within [-2^47, 2^47 - 2^23]. The two
// L_adds add positive constants and can only saturate upwards; ga comes from
// div_s and is not negative, so L_mult cannot saturate and its product stays
// above MIN_L + 2^24. The shifts are floors, taken on biased non-negative
// values (the 2^47 bias keeps the low 24 bits extract_l reads). Overflow ends
// as the last saturate leaves it.
VOICE_SIMD_CLONES void tilt_samples(const ScaledShort* sig_in, ScaledShort* sig_out, ScaledShort mu,
                                    ScaledShort ga, ScaledLong L_fact, int shift) {
  constexpr int64_t kBias = int64_t{1} << 47;
  int64_t last = 0;
  for (int n = 0; n < 40; ++n) {
    const int64_t L_temp =
        int64_t{sig_in[n + 1]} * (int64_t{1} << 23) + 2 * int64_t{mu} * sig_in[n];
    const int64_t rounded =
        L_temp > MAX_L - (int64_t{1} << 30) ? MAX_L : L_temp + (int64_t{1} << 30);
    const auto high = static_cast<int32_t>(static_cast<uint64_t>(rounded + kBias) >> 23);
    const ScaledShort temp = extract_l(high);
    const int64_t scaled = 2 * int64_t{temp} * ga;
    const int64_t with_fact = scaled > MAX_L - L_fact ? MAX_L : scaled + L_fact;
    const int64_t v =
        static_cast<int64_t>(static_cast<uint64_t>(with_fact + kBias) >> shift) - (kBias >> shift);
    last = v;
    sig_out[n] = clamp_short(v);
  }
  Overflow = last != sig_out[39] ? 1 : 0;
}

}  // namespace

void calc_st_filt(const ScaledShort* apond2, const ScaledShort* apond1, ScaledShort& parcor0,
                  ScaledShort* sig, int long_h_st, int m_pst, const ScaledShort* mem_zero,
                  StatusCode& status) {
  // Feeding the numerator coefficients through the denominator from rest
  // gives the impulse response of A(z/gamma2)/A(z/gamma1). Syn_filt wants a
  // writable memory even when it does not update it.
  ScaledShort mem[kMaxOrder];
  for (int i = 0; i < m_pst; ++i) mem[i] = mem_zero[i];
  ScaledShort h[kMaxImpulse];
  Syn_filt(m_pst, apond1, apond2, h, long_h_st, mem, 0);

  parcor0 = calc_rc0_h(h, long_h_st, status);

  // At most 32 terms of |h| 256 <= 2^31: a plain sum.
  ScaledLong L_g0 = 0;
  for (int i = 0; i < long_h_st; ++i) L_g0 += int64_t{abs_s(h[i])} * 256;
  const ScaledShort g0 = extract_h(L_shl(L_g0, 14));

  // Only a filter that amplifies is normalised; a quieter one is left as it
  // is and the gain control catches up later.
  if (sub(g0, kUnitGainQ10) > 0) {
    const ScaledShort temp = div_s(kUnitGainQ10, g0, status);
    // mult in closed form; each mult leaves Overflow as its own saturation
    // says, so the last one decides.
    Overflow = scale_samples(sig, temp) ? 1 : 0;
  }
}

ScaledShort calc_rc0_h(const ScaledShort* h, int lg, StatusCode& status) {
  ScaledLong L_acc = 0;
  for (int i = 0; i < lg; ++i) L_acc = L_mac(L_acc, h[i], h[i]);
  const int sh_acf = norm_l(L_acc);
  const ScaledShort acf0 = extract_h(L_shl(L_acc, sh_acf));

  L_acc = 0;
  for (int i = 0; i < lg - 1; ++i) L_acc = L_mac(L_acc, h[i], h[i + 1]);
  // Same shift as the energy, so the ratio is unaffected.
  const ScaledShort acf1 = extract_h(L_shl(L_acc, sh_acf));

  if (sub(acf0, abs_s(acf1)) < 0) return 0;
  ScaledShort rc0 = div_s(abs_s(acf1), acf0, status);
  if (acf1 > 0) rc0 = negate(rc0);
  return rc0;
}

void filt_mu(const ScaledShort* sig_in, ScaledShort* sig_out, ScaledShort parcor0,
             StatusCode& status) {
  ScaledShort mu;
  int sh_fact;
  ScaledShort fact;
  ScaledLong L_fact;
  // A negative tilt can reach 0.9, so the gain 1/(1 - |mu|) needs more
  // headroom there: fact is 1/16 instead of 1/2.
  if (parcor0 > 0) {
    mu = mult(parcor0, kMuPositive);
    sh_fact = 15;
    fact = 0x4000 * 256;
    L_fact = ScaledLong{0x4000} * 65536;
  } else {
    mu = mult(parcor0, kMuNegative);
    sh_fact = 12;
    fact = 0x0800 * 256;
    L_fact = ScaledLong{0x0800} * 65536;
  }

  // 1 - |mu| is formed as 32767 + 1 - |mu| units; with mu = 0 the sum
  // saturates just below 1.0.
  const ScaledShort ga = div_s(fact, add(kAlmostOneQ15, sub(256, abs_s(mu))), status);

  mu = shr(mu, 1);  // the multiply-accumulate doubles it back
  tilt_samples(sig_in, sig_out, mu, ga, L_fact, sh_fact + 8);
}

void scale_st(const ScaledShort* sig_in, ScaledShort* sig_out, ScaledShort& gain_prec,
              StatusCode& status) {
  ScaledShort g0 = 0;

  // Each |x| 256 is at most 2^31, so forty of them cannot saturate either
  // sum: plain sums.
  ScaledLong L_in = 0;
  for (int i = 0; i < 40; ++i) L_in += magnitude(sig_in[i]) * 256;

  // Silent input: the target gain is 0 and the gain fades from where it was.
  if (L_in != 0) {
    const int k_in = norm_l(L_in);
    const ScaledShort s_in = extract_h(L_shl(L_in, k_in));

    ScaledLong L_out = 0;
    for (int i = 0; i < 40; ++i) L_out += magnitude(sig_out[i]) * 256;
    if (L_out == 0) {
      gain_prec = 0;
      return;
    }
    const int k_out = norm_l(L_out);
    const ScaledShort s_out = extract_h(L_shl(L_out, k_out));

    // Both sums are normalised, so their ratio lies between 1/2 and 2: below
    // 1 it is a plain division, above it 1 + (s_in - s_out) / s_out at half
    // scale.
    int sh_g0 = sub(add(k_in, 1), k_out);
    if (sub(s_in, s_out) < 0) {
      g0 = div_s(s_in, s_out, status);
    } else {
      g0 = add(shr(div_s(sub(s_in, s_out), s_out, status), 1), kOneQ14);
      sh_g0 = sub(sh_g0, 1);
    }
    g0 = shr(g0, sh_g0);
    g0 = mult(g0, kAgcUpdate);
  }

  // The gain recursion through the operators first, then the products,
  // extract_h(L_shl(L_mult(gain, x), 1)), in closed form. In the operators'
  // interleaved order Overflow ends as the last add left it, set if the last
  // product then saturated; that is restored at the end.
  ScaledShort gains[40];
  ScaledShort gain = gain_prec;
  for (int i = 0; i < 40; ++i) {
    gain = add(mult(kAgcSmoothing, gain), g0);
    gains[i] = gain;
  }
  gain_prec = gain;
  if (apply_gains(gains, sig_out)) Overflow = 1;
}

}  // namespace postfilter
