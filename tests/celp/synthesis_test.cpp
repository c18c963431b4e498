#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "celp/dispersion_tables.h"
#include "celp/phase_dispersion.h"
#include "celp/synthesis_filter.h"
#include "support/random_levels.h"

namespace celp {
namespace {

constexpr ScaledShort kOneQ12 = 4096 * 256;
constexpr ScaledShort kPulse = 8191 * 256;  // +1.0 in Q13

TEST(SynthesisFilter, FirstOrderImpulseResponseHalvesEachSample) {
  const ScaledShort a[2] = {kOneQ12, -2048 * 256};  // 1 / (1 - 0.5 z^-1)
  ScaledShort x[8] = {1000 * 256};
  ScaledShort y[8];
  ScaledShort mem[1] = {0};
  Syn_filt(1, a, x, y, 8, mem, 0);
  ScaledShort expected = 1000 * 256;
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(y[i], expected) << i;
    expected /= 2;
  }
  EXPECT_EQ(mem[0], 0) << "no update requested";
}

TEST(SynthesisFilter, MemoryStartsTheRecursionAndUpdatesOnRequest) {
  const ScaledShort a[3] = {kOneQ12, -2048 * 256, 0};
  ScaledShort x[4] = {};
  ScaledShort y[4];
  ScaledShort mem[2] = {0, 64 * 256};  // the last output was 64
  Syn_filt(2, a, x, y, 4, mem, 1);
  EXPECT_EQ(y[0], 32 * 256);
  EXPECT_EQ(y[3], 4 * 256);
  EXPECT_EQ(mem[0], y[2]);
  EXPECT_EQ(mem[1], y[3]);
}

TEST(SynthesisFilter, SaturationSetsOverflowAndKeepsSaturatedOutputs) {
  const ScaledShort a[2] = {kOneQ12, -4000 * 256};  // a near-unstable pole
  ScaledShort x[40];
  for (ScaledShort& v : x) v = 30000 * 256;
  ScaledShort y[40];
  ScaledShort mem[1] = {0};
  Overflow = 0;
  Syn_filt(1, a, x, y, 40, mem, 0);
  EXPECT_EQ(Overflow, 1);
  EXPECT_EQ(y[39], MAX_S);
}

TEST(SynthesisFilter, WorksInPlace) {
  const ScaledShort a[3] = {kOneQ12, -3000 * 256, 1500 * 256};
  ScaledShort x[40], y[40];
  for (int i = 0; i < 40; ++i) x[i] = ((i * 7919) % 2001 - 1000) * 256;
  ScaledShort mem1[2] = {5 * 256, -7 * 256}, mem2[2] = {5 * 256, -7 * 256};
  Syn_filt(2, a, x, y, 40, mem1, 0);
  Syn_filt(2, a, x, x, 40, mem2, 0);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(x[i], y[i]);
}

// The filter as the plain operator sequence, one output at a time.
void reference_syn_filt(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
                        ScaledShort* mem) {
  std::vector<ScaledShort> w(mem, mem + m);
  for (int i = 0; i < lg; ++i) {
    ScaledLong s = L_mult(x[i], a[0]);
    for (int j = 1; j <= m; ++j) s = L_msu(s, a[j], w[static_cast<size_t>(m + i - j)]);
    w.push_back(extract_h(L_shl(s, 3)));
  }
  for (int i = 0; i < lg; ++i) y[i] = w[static_cast<size_t>(m + i)];
  for (int i = 0; i < m; ++i) mem[i] = w[static_cast<size_t>(lg + i)];
}

// A random value of random size, now and then the most negative short.
ScaledShort loud_value(std::mt19937& rng) {
  if (rng() % 64 == 0) return MIN_S;
  const int bits = 8 + static_cast<int>(rng() % 16);
  const auto v = static_cast<ScaledShort>(rng() & ((1u << bits) - 1));
  return rng() % 2 ? v : -v;
}

// Plain sums stand in for the saturating operators only where no partial sum
// can saturate; filters and inputs of every size, with saturation setting in
// part-way through a call, must give the operators' outputs and Overflow.
TEST(SynthesisFilter, MatchesTheSaturatingOperatorsAtEveryLevel) {
  std::mt19937 rng(729);
  int saturated = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const int m = trial % 2 ? 10 : 1 + static_cast<int>(rng() % 30);
    const int lg = trial % 3 ? 40 : 1 + static_cast<int>(rng() % 80);
    ScaledShort a[31];
    a[0] = trial % 4 ? kOneQ12 : loud_value(rng);
    for (int j = 1; j <= m; ++j) a[j] = loud_value(rng) >> (rng() % 4);
    ScaledShort x[80];
    for (int i = 0; i < lg; ++i) x[i] = loud_value(rng);
    ScaledShort mem[30];
    for (int i = 0; i < m; ++i) mem[i] = loud_value(rng) >> 4;
    ScaledShort expected_mem[30];
    std::copy(mem, mem + m, expected_mem);

    ScaledShort expected[80];
    Overflow = 0;
    reference_syn_filt(m, a, x, expected, lg, expected_mem);
    const int expected_overflow = Overflow;
    saturated += expected_overflow;

    ScaledShort y[80];
    Overflow = 0;
    Syn_filt(m, a, x, y, lg, mem, 1);
    ASSERT_EQ(Overflow, expected_overflow) << "trial " << trial;
    for (int i = 0; i < lg; ++i)
      ASSERT_EQ(y[i], expected[i]) << "trial " << trial << " sample " << i;
    for (int i = 0; i < m; ++i) ASSERT_EQ(mem[i], expected_mem[i]) << "trial " << trial;
  }
  // Both regimes were exercised.
  EXPECT_GT(saturated, 300);
  EXPECT_LT(saturated, 2700);
}

// The first products of the sum overshoot the long range and the last ones
// bring it back: the saturated partial sum must stay in the output.
TEST(SynthesisFilter, KeepsASaturationInsideTheSum) {
  // Past outputs of 2^22, so that each product doubles to 2^23 |a_j|: taps 1
  // to 5 add up to 2^24 + 2^19 - 1 of positive contribution, 6 to 10 to
  // 2^24 - 2^19 of negative.
  const int32_t positive = (1 << 24) + (1 << 19) - 1;
  const int32_t negative = (1 << 24) - (1 << 19);
  ScaledShort a[11] = {0};
  for (int j = 1; j <= 5; ++j) a[j] = -(positive / 5) - (j - 1 < positive % 5 ? 1 : 0);
  for (int j = 6; j <= 10; ++j) a[j] = negative / 5 + (j - 6 < negative % 5 ? 1 : 0);
  ScaledShort mem[10];
  for (ScaledShort& v : mem) v = 0x400000;
  const ScaledShort x[1] = {0};
  ScaledShort y[1];
  Overflow = 0;
  Syn_filt(10, a, x, y, 1, mem, 0);
  EXPECT_EQ(Overflow, 1);
  // MAX_L - (2^47 - 2^42) = 2^42 - 1, shifted by 3 and truncated to a short.
  EXPECT_EQ(y[0], ((int64_t{1} << 45) - 8) >> 24);
}

// Which impulse response the dispersion applied to a single pulse at 0.
int applied_state(const ScaledShort inno[40]) {
  const int32_t* tables[3] = {ph_imp_low, ph_imp_mid, ph_imp_none};
  for (int s = 0; s < 3; ++s) {
    bool match = true;
    for (int i = 0; i < 40; ++i) match = match && inno[i] == mult(kPulse, tables[s][i]);
    if (match) return s;
  }
  return -1;
}

struct Dispersion {
  PhDispState st;
  ScaledShort inno[40] = {};
  ScaledShort x[40] = {};
  ScaledShort y[40] = {};

  int run(ScaledShort cb_gain, ScaledShort ltp_gain, int pulse_at = 0) {
    for (ScaledShort& v : inno) v = 0;
    inno[pulse_at] = kPulse;
    for (int i = 0; i < 40; ++i)
      x[i] = (i % 5) * 256 + extract_h(L_shl(L_mult(cb_gain, inno[i]), 1));
    PhDisp(st, x, y, cb_gain, ltp_gain, inno);
    return pulse_at == 0 ? applied_state(inno) : -1;
  }
};

constexpr ScaledShort kHighPitchGain = 15000 * 256;  // above 0.9 in Q14
constexpr ScaledShort kMidPitchGain = 12000 * 256;
constexpr ScaledShort kLowPitchGain = 5000 * 256;  // below 0.6

TEST(PhaseDispersion, FirstSubframeCountsAsOnsetAndRaisesTheState) {
  Dispersion d;
  EXPECT_EQ(d.run(100 * 256, kLowPitchGain), 1);
  EXPECT_EQ(d.st.onset, 2);
  EXPECT_EQ(d.st.prev_state, 1);
}

TEST(PhaseDispersion, OnsetNeedsTheFixedGainToMoreThanDouble) {
  Dispersion d;
  d.st.prev_cb_gain = 100 * 256;
  d.st.prev_state = 2;
  for (ScaledShort& g : d.st.gain_mem) g = kHighPitchGain;
  d.run(200 * 256, kHighPitchGain);  // exactly double: no onset
  EXPECT_EQ(d.st.onset, 0);
  d.run(401 * 256, kHighPitchGain);
  EXPECT_EQ(d.st.onset, 2);
}

TEST(PhaseDispersion, StateTwoPassesTheExcitationAlmostUnchanged) {
  Dispersion d;
  d.st.prev_cb_gain = 1000 * 256;
  d.st.prev_state = 2;
  for (ScaledShort& g : d.st.gain_mem) g = kHighPitchGain;
  EXPECT_EQ(d.run(1000 * 256, kHighPitchGain), 2);
  for (int i = 0; i < 40; ++i) EXPECT_NEAR(d.y[i], d.x[i], 2 * 256) << i;
}

TEST(PhaseDispersion, ManyLowPitchGainsForceStrongDispersion) {
  Dispersion d;
  d.st.prev_cb_gain = 1000 * 256;
  d.st.prev_state = 2;
  for (int i = 0; i < 3; ++i) d.st.gain_mem[i] = kLowPitchGain;
  for (int i = 3; i < 6; ++i) d.st.gain_mem[i] = kHighPitchGain;
  // The newest gain is high, but three of the last six stay low.
  EXPECT_EQ(d.run(1000 * 256, kHighPitchGain), 0);
}

TEST(PhaseDispersion, WithoutOnsetTheStateRisesOneStepAtATime) {
  Dispersion d;
  d.st.prev_cb_gain = 1000 * 256;
  d.st.prev_state = 0;
  for (ScaledShort& g : d.st.gain_mem) g = kHighPitchGain;
  EXPECT_EQ(d.run(1000 * 256, kHighPitchGain), 1);
  EXPECT_EQ(d.run(1000 * 256, kHighPitchGain), 2);
  EXPECT_EQ(d.run(1000 * 256, kMidPitchGain), 1);
}

TEST(PhaseDispersion, ResponseOfTheLastSampleWrapsAround) {
  Dispersion d;
  d.st.prev_cb_gain = 1000 * 256;
  d.st.prev_state = 0;
  for (ScaledShort& g : d.st.gain_mem) g = kLowPitchGain;
  d.run(1000 * 256, kLowPitchGain, 39);
  EXPECT_EQ(d.inno[39], mult(kPulse, ph_imp_low[0]));
  for (int i = 0; i < 39; ++i) EXPECT_EQ(d.inno[i], mult(kPulse, ph_imp_low[i + 1])) << i;
}

TEST(PhaseDispersion, UpdateWithoutFilteringRecordsTheGains) {
  PhDispState st;
  st.onset = 2;
  Update_PhDisp(st, kMidPitchGain, 77 * 256);
  EXPECT_EQ(st.gain_mem[0], kMidPitchGain);
  EXPECT_EQ(st.prev_state, 2);
  EXPECT_EQ(st.prev_cb_gain, 77 * 256);
  EXPECT_EQ(st.onset, 0);
}

// PhDisp through the operators as written, its state logic included.
void ReferencePhDisp(PhDispState& st, const ScaledShort* x, ScaledShort* y, ScaledShort cb_gain,
                     ScaledShort ltp_gain, ScaledShort* inno) {
  ScaledShort residual[40], inno_sav[40];
  for (int i = 0; i < 40; ++i) {
    residual[i] = sub(x[i], extract_h(L_shl(L_mult(cb_gain, inno[i]), 1)));
    inno_sav[i] = inno[i];
    inno[i] = 0;
  }
  // Thresholds 0.9 and 0.6 in Q14.
  int state = sub(ltp_gain, 14745 * 256) < 0 ? (sub(ltp_gain, 9830 * 256) > 0 ? 1 : 0) : 2;
  for (int i = 5; i > 0; --i) st.gain_mem[i] = st.gain_mem[i - 1];
  st.gain_mem[0] = ltp_gain;
  if (sub(shr(cb_gain, 1), st.prev_cb_gain) > 0)
    st.onset = 2;
  else if (st.onset > 0)
    --st.onset;
  int low_gains = 0;
  for (ScaledShort g : st.gain_mem)
    if (g < 9830 * 256) ++low_gains;
  if (low_gains > 2 && st.onset == 0) state = 0;
  if (state > st.prev_state + 1 && st.onset == 0) --state;
  if (st.onset != 0 && state < 2) ++state;
  st.prev_state = state;
  st.prev_cb_gain = cb_gain;
  const int32_t* h = state == 0 ? ph_imp_low : state == 1 ? ph_imp_mid : ph_imp_none;
  for (int p = 0; p < 40; ++p) {
    if (inno_sav[p] == 0) continue;
    for (int i = p; i < 40; ++i) inno[i] = add(inno[i], mult(inno_sav[p], h[i - p]));
    for (int i = 0; i < p; ++i) inno[i] = add(inno[i], mult(inno_sav[p], h[i - p + 40]));
  }
  for (int i = 0; i < 40; ++i)
    y[i] = add(residual[i], extract_h(L_shl(L_mult(cb_gain, inno[i]), 1)));
}

// The closed forms of the dispersion's operators, on sparse and dense
// innovations of every size with every gain, the most negative values
// included: the same samples, innovation, state and Overflow.
TEST(PhaseDispersion, MatchesTheOperatorsAtEveryLevel) {
  std::mt19937 rng(40);
  PhDispState st, expected_st;
  int saturated = 0;
  for (int trial = 0; trial < 4000; ++trial) {
    ScaledShort x[40], inno[40];
    const int density = 1 + static_cast<int>(rng() % 40);
    for (int i = 0; i < 40; ++i) {
      x[i] = testing_support::AnyLevel(rng);
      inno[i] = static_cast<int>(rng() % 40) < density ? testing_support::AnyLevel(rng) : 0;
    }
    const ScaledShort cb_gain = testing_support::AnyLevel(rng);
    const ScaledShort ltp_gain = static_cast<ScaledShort>(rng() % (20000 * 256));
    ScaledShort expected_inno[40], expected[40], y[40];
    std::copy(inno, inno + 40, expected_inno);
    Overflow = 0;
    ReferencePhDisp(expected_st, x, expected, cb_gain, ltp_gain, expected_inno);
    const int expected_overflow = Overflow;
    saturated += expected_overflow;
    Overflow = 1 - expected_overflow;
    PhDisp(st, x, y, cb_gain, ltp_gain, inno);
    ASSERT_EQ(Overflow, expected_overflow) << trial;
    for (int i = 0; i < 40; ++i) {
      ASSERT_EQ(y[i], expected[i]) << trial << " " << i;
      ASSERT_EQ(inno[i], expected_inno[i]) << trial << " " << i;
    }
    ASSERT_EQ(st.prev_state, expected_st.prev_state) << trial;
    ASSERT_EQ(st.onset, expected_st.onset) << trial;
  }
  EXPECT_GT(saturated, 20);  // the final add does saturate
}

TEST(DispersionTables, ReferenceEntries) {
  EXPECT_EQ(ph_imp_low[0], 14690 * 256);
  EXPECT_EQ(ph_imp_low[39], 10145 * 256);
  EXPECT_EQ(ph_imp_mid[0], 30274 * 256);
  EXPECT_EQ(ph_imp_mid[39], 655 * 256);
  EXPECT_EQ(ph_imp_none[0], 0x7FFF00);
  EXPECT_EQ(ph_imp_none[1], 0);
}

}  // namespace
}  // namespace celp
