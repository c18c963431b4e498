#include "postfilter/short_term_postfilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "celp/synthesis_filter.h"
#include "support/random_levels.h"

namespace postfilter {

using namespace celp;
namespace {

constexpr ScaledShort kUnit = 256;             // one G.729 unit
constexpr ScaledShort kOneQ12 = 4096 * kUnit;  // LP coefficient 1.0
constexpr ScaledShort kOneQ14 = 16384 * kUnit;
constexpr ScaledShort kHalfQ15 = 0x400000;

TEST(CalcRc0H, FirstReflectionCoefficientIsMinusR1OverR0) {
  StatusCode status = 0;
  ScaledShort impulse[20] = {kOneQ12};
  EXPECT_EQ(calc_rc0_h(impulse, 20, status), 0);

  // Two equal taps: r1 / r0 = 1/2, positive correlation gives -1/2.
  ScaledShort pair[20] = {0x100000, 0x100000};
  EXPECT_EQ(calc_rc0_h(pair, 20, status), -kHalfQ15);
  ScaledShort alternating[20] = {0x100000, -0x100000};
  EXPECT_EQ(calc_rc0_h(alternating, 20, status), kHalfQ15);
  EXPECT_EQ(status, 0);
}

TEST(CalcRc0H, DecayingResponseGivesItsPole) {
  StatusCode status = 0;
  ScaledShort h[20];
  double v = 4096;
  for (ScaledShort& x : h) {
    x = static_cast<ScaledShort>(v * kUnit);
    v *= 0.8;
  }
  // Truncated to 20 samples, the ratio is still 0.8 to within a few units.
  EXPECT_NEAR(calc_rc0_h(h, 20, status), -0.8 * 32768 * kUnit, 4 * kUnit);
}

TEST(CalcStFilt, EqualNumeratorAndDenominatorLeaveTheSignalAlone) {
  // A(z/g2) / A(z/g1) with equal weightings is 1: a unit impulse response,
  // magnitude sum 1.0 (not above the threshold) and no tilt.
  const ScaledShort a[11] = {kOneQ12, -300000, 200000, -100000, 50000, 0, 0, 0, 0, 0, 12345};
  ScaledShort apond2[32] = {};
  for (int i = 0; i < 11; ++i) apond2[i] = a[i];
  const ScaledShort mem_zero[30] = {};
  ScaledShort sig[40], before[40];
  for (int i = 0; i < 40; ++i) sig[i] = before[i] = (i * 40503 % 9000 - 4500) * kUnit;
  ScaledShort parcor0 = 99;
  StatusCode status = 0;
  calc_st_filt(apond2, a, parcor0, sig, 20, 10, mem_zero, status);
  EXPECT_EQ(parcor0, 0);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(sig[i], before[i]);
  EXPECT_EQ(status, 0);
}

TEST(CalcStFilt, AmplifyingFilterScalesItsInputDown) {
  // 1 / (1 - 0.9 z^-1): h(n) = 0.9^n, magnitude sum about 8.78 over 20 taps;
  // the truncated response gives a first reflection coefficient of -0.8968.
  ScaledShort apond1[11] = {kOneQ12, -static_cast<ScaledShort>(0.9 * 4096 * kUnit)};
  ScaledShort apond2[32] = {kOneQ12};
  const ScaledShort mem_zero[30] = {};
  ScaledShort sig[40];
  for (ScaledShort& v : sig) v = 8000 * kUnit;
  ScaledShort parcor0 = 0;
  StatusCode status = 0;
  calc_st_filt(apond2, apond1, parcor0, sig, 20, 10, mem_zero, status);
  const double gain = (1 - std::pow(0.9, 20)) / 0.1;
  for (ScaledShort v : sig) EXPECT_NEAR(v, 8000 / gain * kUnit, 3 * kUnit);
  const double rc = 0.9 * (1 - std::pow(0.81, 19)) / (1 - std::pow(0.81, 20));
  EXPECT_NEAR(parcor0, -rc * 32768 * kUnit, 8 * kUnit);
  EXPECT_EQ(status, 0);
}

// filt_mu through the operators as written.
void ReferenceFiltMu(const ScaledShort* sig_in, ScaledShort* sig_out, ScaledShort parcor0,
                     StatusCode& status) {
  ScaledShort mu;
  int sh_fact;
  ScaledShort fact;
  ScaledLong L_fact;
  if (parcor0 > 0) {
    mu = mult(parcor0, 6554 * 256);
    sh_fact = 15;
    fact = 0x4000 * 256;
    L_fact = ScaledLong{0x4000} * 65536;
  } else {
    mu = mult(parcor0, 29491 * 256);
    sh_fact = 12;
    fact = 0x0800 * 256;
    L_fact = ScaledLong{0x0800} * 65536;
  }
  const ScaledShort ga = div_s(fact, add(32767 * 256, sub(256, abs_s(mu))), status);
  mu = shr(mu, 1);
  for (int n = 0; n < 40; ++n) {
    ScaledLong L_temp = L_shl(L_deposit_l(sig_in[n + 1]), 15);
    L_temp = L_mac(L_temp, mu, sig_in[n]);
    L_temp = L_add(L_temp, ScaledLong{0x4000} * 65536);
    const ScaledShort temp = extract_l(L_shr(L_temp, 23));
    L_temp = L_add(L_mult(temp, ga), L_fact);
    L_temp = L_shr(L_temp, sh_fact + 8);
    sig_out[n] = saturate(L_temp);
  }
}

// The closed form of the tilt filter against the operators, at every level
// and tilt, clipping included.
TEST(FiltMu, MatchesTheOperatorsAtEveryLevel) {
  std::mt19937 rng(91);
  int clipped = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    ScaledShort in[41];
    for (ScaledShort& v : in) v = testing_support::AnyLevel(rng);
    const ScaledShort parcor0 = testing_support::AnyLevel(rng);
    ScaledShort expected[40], out[40];
    StatusCode expected_status = 0, status = 0;
    Overflow = 0;
    ReferenceFiltMu(in, expected, parcor0, expected_status);
    const int expected_overflow = Overflow;
    clipped += expected_overflow;
    Overflow = 1 - expected_overflow;
    filt_mu(in, out, parcor0, status);
    ASSERT_EQ(Overflow, expected_overflow) << trial;
    ASSERT_EQ(status, expected_status) << trial;
    for (int n = 0; n < 40; ++n) ASSERT_EQ(out[n], expected[n]) << trial << " " << n;
  }
  EXPECT_GT(clipped, 100);
}

// scale_st's gains and products against the operators, any levels.
TEST(ScaleSt, MatchesTheOperatorsAtEveryLevel) {
  std::mt19937 rng(92);
  int saturated = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    ScaledShort in[40], out[40], expected[40];
    for (int i = 0; i < 40; ++i) {
      in[i] = trial % 7 == 0 ? 0 : testing_support::AnyLevel(rng);
      out[i] = expected[i] = trial % 11 == 0 ? 0 : testing_support::AnyLevel(rng);
    }
    ScaledShort gain_prec = static_cast<ScaledShort>(rng() % (1u << 23));
    ScaledShort expected_gain = gain_prec;
    StatusCode expected_status = 0, status = 0;

    // The operator form, as written before the gains were split off. Both
    // runs start from the same flag, which a silent output leaves alone.
    const int initial_overflow = trial % 2;
    Overflow = initial_overflow;
    {
      ScaledShort g0 = 0;
      ScaledLong L_in = 0;
      for (int i = 0; i < 40; ++i) L_in = L_add(L_in, L_abs(L_deposit_l(in[i])));
      bool done = false;
      if (L_in != 0) {
        const int k_in = norm_l(L_in);
        const ScaledShort s_in = extract_h(L_shl(L_in, k_in));
        ScaledLong L_out = 0;
        for (int i = 0; i < 40; ++i) L_out = L_add(L_out, L_abs(L_deposit_l(expected[i])));
        if (L_out == 0) {
          expected_gain = 0;
          done = true;
        } else {
          const int k_out = norm_l(L_out);
          const ScaledShort s_out = extract_h(L_shl(L_out, k_out));
          int sh_g0 = sub(add(k_in, 1), k_out);
          if (sub(s_in, s_out) < 0) {
            g0 = div_s(s_in, s_out, expected_status);
          } else {
            g0 = add(shr(div_s(sub(s_in, s_out), s_out, expected_status), 1), kOneQ14);
            sh_g0 = sub(sh_g0, 1);
          }
          g0 = shr(g0, sh_g0);
          g0 = mult(g0, 410 * 256);
        }
      }
      if (!done) {
        ScaledShort gain = expected_gain;
        for (int i = 0; i < 40; ++i) {
          gain = add(mult(32358 * 256, gain), g0);
          expected[i] = extract_h(L_shl(L_mult(gain, expected[i]), 1));
        }
        expected_gain = gain;
      }
    }
    const int expected_overflow = Overflow;
    saturated += expected_overflow;

    Overflow = initial_overflow;
    scale_st(in, out, gain_prec, status);
    ASSERT_EQ(Overflow, expected_overflow) << trial;
    ASSERT_EQ(status, expected_status) << trial;
    ASSERT_EQ(gain_prec, expected_gain) << trial;
    for (int i = 0; i < 40; ++i) ASSERT_EQ(out[i], expected[i]) << trial << " " << i;
  }
  EXPECT_GT(saturated, 100);
}

// calc_st_filt through the operators as written.
void ReferenceCalcStFilt(const ScaledShort* apond2, const ScaledShort* apond1, ScaledShort& parcor0,
                         ScaledShort* sig, StatusCode& status) {
  ScaledShort mem[10] = {};
  ScaledShort h[20];
  Syn_filt(10, apond1, apond2, h, 20, mem, 0);
  parcor0 = calc_rc0_h(h, 20, status);
  ScaledLong L_g0 = 0;
  for (int i = 0; i < 20; ++i) L_g0 = L_add(L_g0, L_deposit_l(abs_s(h[i])));
  const ScaledShort g0 = extract_h(L_shl(L_g0, 14));
  if (sub(g0, 1024 * 256) > 0) {
    const ScaledShort temp = div_s(1024 * 256, g0, status);
    for (int i = 0; i < 40; ++i) sig[i] = mult(sig[i], temp);
  }
}

// The normalisation's sums and products in closed form against the
// operators, for filters that amplify a lot, a little or not at all.
TEST(CalcStFilt, MatchesTheOperators) {
  std::mt19937 rng(93);
  int normalised = 0;
  for (int trial = 0; trial < 5000; ++trial) {
    ScaledShort apond2[32] = {}, apond1[11];
    apond2[0] = apond1[0] = kOneQ12;
    const int shift = static_cast<int>(rng() % 8);
    for (int j = 1; j <= 10; ++j) {
      apond2[j] = testing_support::AnyLevel(rng) >> (shift + 2);
      apond1[j] = testing_support::AnyLevel(rng) >> (shift + 2);
    }
    ScaledShort input[40], sig[40], expected[40];
    for (int i = 0; i < 40; ++i) input[i] = sig[i] = expected[i] = testing_support::AnyLevel(rng);
    ScaledShort parcor0 = 0, expected_parcor0 = 0;
    StatusCode status = 0, expected_status = 0;
    const ScaledShort mem_zero[30] = {};
    const int initial_overflow = trial % 2;
    Overflow = initial_overflow;
    ReferenceCalcStFilt(apond2, apond1, expected_parcor0, expected, expected_status);
    const int expected_overflow = Overflow;
    Overflow = initial_overflow;
    calc_st_filt(apond2, apond1, parcor0, sig, 20, 10, mem_zero, status);
    ASSERT_EQ(Overflow, expected_overflow) << trial;
    ASSERT_EQ(parcor0, expected_parcor0) << trial;
    ASSERT_EQ(status, expected_status) << trial;
    bool changed = false;
    for (int i = 0; i < 40; ++i) {
      ASSERT_EQ(sig[i], expected[i]) << trial << " " << i;
      changed |= expected[i] != input[i];
    }
    normalised += changed;
  }
  EXPECT_GT(normalised, 500);  // amplifying filters were normalised
}

TEST(FiltMu, ZeroTiltAddsOneUnit) {
  // mu = 0 takes the 0.9 branch; the two half-unit roundings of the filter
  // add up to one unit on every sample.
  ScaledShort in[41], out[40];
  for (int i = 0; i < 41; ++i) in[i] = (i * 3001 % 20000 - 10000) * kUnit + i;
  StatusCode status = 0;
  filt_mu(in, out, 0, status);
  for (int n = 0; n < 40; ++n) EXPECT_EQ(out[n], in[n + 1] + kUnit) << n;
  EXPECT_EQ(status, 0);
}

TEST(FiltMu, PositiveTiltAddsAFifthOfIt) {
  // parcor0 0.5: mu = 0.1, out = (x(n) + 0.1 x(n-1)) / 0.9.
  ScaledShort in[41], out[40];
  for (ScaledShort& v : in) v = 9000 * kUnit;
  StatusCode status = 0;
  filt_mu(in, out, kHalfQ15, status);
  for (ScaledShort v : out) EXPECT_NEAR(v, 11000 * kUnit, 3 * kUnit);
}

TEST(FiltMu, NegativeTiltSubtractsNineTenthsOfIt) {
  // parcor0 -0.5: mu = -0.45, out = (x(n) - 0.45 x(n-1)) / 0.55.
  ScaledShort in[41], out[40];
  in[0] = 0;
  for (int i = 1; i < 41; ++i) in[i] = 5500 * kUnit;
  StatusCode status = 0;
  filt_mu(in, out, -kHalfQ15, status);
  EXPECT_NEAR(out[0], 10000 * kUnit, 3 * kUnit);
  for (int n = 1; n < 40; ++n) EXPECT_NEAR(out[n], 5500 * kUnit, 3 * kUnit);
}

TEST(FiltMu, LoudOutputSaturates) {
  // mu = -0.45 on an alternating signal: +-29000 / 0.55 is beyond full scale.
  ScaledShort in[41], out[40];
  for (int i = 0; i < 41; ++i) in[i] = (i % 2 ? 20000 : -20000) * kUnit;
  StatusCode status = 0;
  filt_mu(in, out, -kHalfQ15, status);
  for (int n = 0; n < 40; ++n) EXPECT_EQ(out[n], n % 2 ? MIN_S : MAX_S) << n;
}

TEST(FiltMu, NumeratorBeyondShortRangeWrapsBeforeTheGain) {
  // x(n) + 0.1 x(n-1) = 33000 units does not fit a short; its low 24 bits
  // read as a large negative value, which the gain then saturates.
  ScaledShort in[41], out[40];
  for (ScaledShort& v : in) v = 30000 * kUnit;
  StatusCode status = 0;
  filt_mu(in, out, kHalfQ15, status);
  for (ScaledShort v : out) EXPECT_EQ(v, MIN_S);
}

TEST(ScaleSt, EqualLevelsKeepTheGain) {
  ScaledShort in[40], out[40];
  for (int i = 0; i < 40; ++i) in[i] = out[i] = (i % 2 ? 1 : -1) * (1000 + 37 * i) * kUnit;
  ScaledShort gain = kOneQ14;
  StatusCode status = 0;
  scale_st(in, out, gain, status);
  EXPECT_NEAR(gain, kOneQ14, 40 * kUnit);
  for (int i = 0; i < 40; ++i) EXPECT_NEAR(out[i], in[i], std::abs(in[i]) / 200 + kUnit);
  EXPECT_EQ(status, 0);
}

TEST(ScaleSt, GainMovesTowardsTheLevelRatio) {
  // Output twice as loud as the input: the target gain is 0.5.
  ScaledShort in[40], out[40];
  StatusCode status = 0;
  ScaledShort gain = kOneQ14;
  for (int sub = 0; sub < 30; ++sub) {
    for (int i = 0; i < 40; ++i) {
      in[i] = (i % 3 - 1) * 2000 * kUnit;
      out[i] = 2 * in[i];
    }
    scale_st(in, out, gain, status);
  }
  EXPECT_NEAR(gain, kOneQ14 / 2, 64 * kUnit);
  for (int i = 0; i < 40; ++i) EXPECT_NEAR(out[i], in[i], 20 * kUnit);
  EXPECT_EQ(status, 0);
}

TEST(ScaleSt, SilentInputLetsTheGainDecay) {
  ScaledShort in[40] = {}, out[40];
  for (ScaledShort& v : out) v = 1000 * kUnit;
  ScaledShort gain = kOneQ14;
  StatusCode status = 0;
  scale_st(in, out, gain, status);
  // 0.9875 per sample, truncated: 0.9875^40 = 0.6045.
  EXPECT_NEAR(gain, std::pow(0.9875, 40) * kOneQ14, 40 * kUnit);
  EXPECT_LT(gain, std::pow(0.9875, 40) * kOneQ14);
  EXPECT_NEAR(out[0], 987.5 * kUnit, kUnit);
  EXPECT_NEAR(out[39], 604.5 * kUnit, 2 * kUnit);
  EXPECT_GT(gain, 0);
}

TEST(ScaleSt, SilentOutputZeroesTheGainAndRestartsFromIt) {
  ScaledShort in[40], out[40] = {};
  for (ScaledShort& v : in) v = 1000 * kUnit;
  ScaledShort gain = kOneQ14;
  StatusCode status = 0;
  scale_st(in, out, gain, status);
  EXPECT_EQ(gain, 0);
  for (ScaledShort v : out) EXPECT_EQ(v, 0);

  // Next subframe at equal levels: the gain rises from 0 by about 0.0125
  // per sample towards 1.
  for (ScaledShort& v : out) v = 1000 * kUnit;
  scale_st(in, out, gain, status);
  const double expected = 1 - std::pow(0.9875, 40);
  EXPECT_NEAR(gain, expected * kOneQ14, 80 * kUnit);
  EXPECT_NEAR(out[0], 12.5 * kUnit, kUnit);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace postfilter
