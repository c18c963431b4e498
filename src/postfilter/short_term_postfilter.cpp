#include "postfilter/short_term_postfilter.h"

#include "celp/synthesis_filter.h"

namespace celp {

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

  ScaledLong L_g0 = 0;
  for (int i = 0; i < long_h_st; ++i) L_g0 = L_add(L_g0, L_deposit_l(abs_s(h[i])));
  const ScaledShort g0 = extract_h(L_shl(L_g0, 14));

  // Only a filter that amplifies is normalised; a quieter one is left as it
  // is and the gain control catches up later.
  if (sub(g0, kUnitGainQ10) > 0) {
    const ScaledShort temp = div_s(kUnitGainQ10, g0, status);
    for (int i = 0; i < 40; ++i) sig[i] = mult(sig[i], temp);
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
  for (int n = 0; n < 40; ++n) {
    const ScaledShort prev = sig_in[n];
    const ScaledShort cur = sig_in[n + 1];
    ScaledLong L_temp = L_shl(L_deposit_l(cur), 15);
    L_temp = L_mac(L_temp, mu, prev);
    L_temp = L_add(L_temp, ScaledLong{0x4000} * 65536);
    const ScaledShort temp = extract_l(L_shr(L_temp, 23));

    L_temp = L_add(L_mult(temp, ga), L_fact);
    L_temp = L_shr(L_temp, sh_fact + 8);
    sig_out[n] = saturate(L_temp);
  }
}

void scale_st(const ScaledShort* sig_in, ScaledShort* sig_out, ScaledShort& gain_prec,
              StatusCode& status) {
  ScaledShort g0 = 0;

  ScaledLong L_in = 0;
  for (int i = 0; i < 40; ++i) L_in = L_add(L_in, L_abs(L_deposit_l(sig_in[i])));

  // Silent input: the target gain is 0 and the gain fades from where it was.
  if (L_in != 0) {
    const int k_in = norm_l(L_in);
    const ScaledShort s_in = extract_h(L_shl(L_in, k_in));

    ScaledLong L_out = 0;
    for (int i = 0; i < 40; ++i) L_out = L_add(L_out, L_abs(L_deposit_l(sig_out[i])));
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

  ScaledShort gain = gain_prec;
  for (int i = 0; i < 40; ++i) {
    gain = add(mult(kAgcSmoothing, gain), g0);
    sig_out[i] = extract_h(L_shl(L_mult(gain, sig_out[i]), 1));
  }
  gain_prec = gain;
}

}  // namespace celp
