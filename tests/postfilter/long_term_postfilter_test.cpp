#include "postfilter/long_term_postfilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "postfilter/postfilter_state.h"
#include "postfilter/postfilter_tables.h"

namespace postfilter {

using namespace celp;
namespace {

constexpr ScaledShort kUnit = 256;  // one G.729 unit
constexpr ScaledShort kMaxHarmonicGain = 21845 * kUnit;

// A residual subframe with its full history in front, x[-153 .. 39].
struct Residual {
  ScaledShort buf[RES2_HISTORY + 40] = {};
  ScaledShort* x = buf + RES2_HISTORY;

  // Smooth pulses of the given height every `period` samples (fractional
  // periods allowed), one of them centred on `pos`.
  void pulses(double period, double pos, double height) {
    for (int n = -RES2_HISTORY; n < 40; ++n) {
      double v = 0;
      for (int k = -3; k <= 3; ++k) {
        const double t = n - pos - k * period;
        if (std::fabs(t) < 4) v += (1 + std::cos(M_PI * t / 4)) / 2;
      }
      x[n] = static_cast<ScaledShort>(std::lround(v * height)) * kUnit;
    }
  }
};

TEST(LtpTables, InterpolationFiltersHoldTheQ15ValuesTimes256) {
  EXPECT_EQ(tab_hup_s[0], -188 * kUnit);
  EXPECT_EQ(tab_hup_s[2], 31650 * kUnit);
  EXPECT_EQ(tab_hup_s[27], -188 * kUnit);
  EXPECT_EQ(tab_hup_l[8], 31915 * kUnit);
  EXPECT_EQ(tab_hup_l[16 + 7], 9639 * kUnit);
  EXPECT_EQ(tab_hup_l[48 + 15], -123 * kUnit);
  EXPECT_EQ(tab_hup_l[111], -40 * kUnit);
  // Phase 8 - p is phase p reversed, in both tables.
  for (int p = 1; p <= 7; ++p) {
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(tab_hup_s[(p - 1) * 4 + i], tab_hup_s[(7 - p) * 4 + 3 - i]);
    for (int i = 0; i < 16; ++i)
      EXPECT_EQ(tab_hup_l[(p - 1) * 16 + i], tab_hup_l[(7 - p) * 16 + 15 - i]);
  }
  // Every filter has a DC gain close to 1 (the 4-tap ones within 1.1%).
  for (int p = 0; p < 7; ++p) {
    int sum_s = 0, sum_l = 0;
    for (int i = 0; i < 4; ++i) sum_s += tab_hup_s[p * 4 + i] / kUnit;
    for (int i = 0; i < 16; ++i) sum_l += tab_hup_l[p * 16 + i] / kUnit;
    EXPECT_NEAR(sum_s, 32768, 400) << p;
    EXPECT_NEAR(sum_l, 32768, 100) << p;
  }
}

TEST(FiltPlt, MixesCurrentAndDelayedSignal) {
  ScaledShort x[40], y[40], out[40];
  for (int n = 0; n < 40; ++n) {
    x[n] = 3000 * kUnit;
    y[n] = 6000 * kUnit;
  }
  filt_plt(x, y, out, kMaxHarmonicGain);  // 2/3 x + 1/3 y
  for (ScaledShort v : out) EXPECT_NEAR(v, 4000 * kUnit, kUnit);

  // g = 0: 1 - g saturates just below 1, so the delayed signal passes with
  // a truncation of at most one step.
  filt_plt(x, y, out, 0);
  for (ScaledShort v : out) EXPECT_NEAR(v, 6000 * kUnit, 1);
}

TEST(FiltPlt, DelayedSignalMayShareTheOutputBuffer) {
  ScaledShort x[40], y_out[40];
  for (int n = 0; n < 40; ++n) {
    x[n] = (n - 20) * 100 * kUnit;
    y_out[n] = (20 - n) * 100 * kUnit;
  }
  filt_plt(x, y_out, y_out, 0x400000);  // g = 1/2: x and -x cancel
  for (ScaledShort v : y_out) EXPECT_NEAR(v, 0, 1);
}

TEST(SelectLtp, ComparesNumSquaredOverDenAtTheirScales) {
  // No energy in the second candidate: keep the first.
  EXPECT_EQ(select_ltp(1000, 2000, 3, 3, 5000, 0, 3, 3), 1);
  // Equal ratios: the tie keeps the first.
  EXPECT_EQ(select_ltp(0x300000, 0x400000, 10, 10, 0x300000, 0x400000, 10, 10), 1);
  EXPECT_EQ(select_ltp(0x300000, 0x400000, 10, 10, 0x310000, 0x400000, 10, 10), 2);
  EXPECT_EQ(select_ltp(0x300000, 0x400000, 10, 10, 0x300000, 0x3F0000, 10, 10), 2);
  // The same shorts at a larger numerator shift stand for a larger
  // correlation; at a larger denominator shift for a larger energy.
  EXPECT_EQ(select_ltp(0x300000, 0x400000, 10, 10, 0x300000, 0x400000, 11, 10), 2);
  EXPECT_EQ(select_ltp(0x300000, 0x400000, 10, 10, 0x300000, 0x400000, 10, 11), 1);
  EXPECT_EQ(select_ltp(0x300000, 0x400000, 11, 10, 0x300000, 0x400000, 10, 10), 1);
}

TEST(SearchDel, EqualIntegerCorrelationsTakeTheShorterDelay) {
  // One impulse now, two equal ones in the history at t0 - 1 and t0 back.
  // The integer search must settle on t0 - 1; the fractional search around
  // it then finds the midpoint t0 - 1/2 as (t0 - 1) + 1 - 4/8, offset 0.
  // Had it settled on t0, the midpoint would be t0 - 4/8 with offset 1.
  ScaledShort buf[RES2_HISTORY + 40] = {};
  ScaledShort* s = buf + RES2_HISTORY;
  s[20] = s[20 - 59] = s[20 - 60] = 1000 * kUnit;
  LtpSearch r;
  search_del(60, s, r);
  EXPECT_EQ(r.ltpdel, 60);
  EXPECT_EQ(r.phase, 4);
  EXPECT_EQ(r.off_yup, 0);
  EXPECT_GT(r.gain.num, 0);
}

TEST(SearchDel, IntegerPeriodNeedsNoInterpolation) {
  Residual res;
  res.pulses(60, 20, 3000);
  LtpSearch r;
  search_del(60, res.x, r);
  EXPECT_EQ(r.ltpdel, 60);
  EXPECT_EQ(r.phase, 0);
  EXPECT_EQ(r.off_yup, 1);
  EXPECT_EQ(r.gain.num, r.gain.den);
}

TEST(SearchDel, FractionalPeriodIsFoundToAnEighth) {
  Residual res;
  res.pulses(80.375, 30, 2000);  // 81 - 5/8
  LtpSearch r;
  search_del(80, res.x, r);
  EXPECT_EQ(r.ltpdel, 81);
  EXPECT_EQ(r.phase, 5);
  EXPECT_EQ(r.off_yup, 0);
}

TEST(PstLtp, SilentSubframeIsUnvoicedWhateverTheHistory) {
  Residual res;
  res.pulses(50, -10, 8000);
  for (int n = 0; n < 40; ++n) res.x[n] = 0;
  ScaledShort out[40];
  for (ScaledShort& v : out) v = 12345;
  StatusCode status = 0;
  pst_ltp(50, res.x, out, status);
  for (ScaledShort v : out) EXPECT_EQ(v, 0);
  EXPECT_EQ(status, 0);
}

TEST(PstLtp, NegativeCorrelationsAtAllThreeLagsAreUnvoiced) {
  // A sine of period 2 t0 is in antiphase with itself at t0 - 1, t0, t0 + 1.
  Residual res;
  for (int n = -RES2_HISTORY; n < 40; ++n)
    res.x[n] = static_cast<ScaledShort>(std::lround(2000 * std::sin(M_PI * n / 70.0))) * kUnit;
  LtpSearch r;
  search_del(70, res.x, r);
  EXPECT_EQ(r.gain.num, 0);
  EXPECT_EQ(r.ltpdel, 0);

  ScaledShort out[40];
  StatusCode status = 0;
  pst_ltp(70, res.x, out, status);
  for (int n = 0; n < 40; ++n) EXPECT_EQ(out[n], res.x[n]);
}

TEST(PstLtp, PeriodicResidualPassesUnchanged) {
  // g x(n) + (1 - g) x(n - T) with x(n - T) = x(n) gives x(n) exactly.
  Residual res;
  res.pulses(60, 20, 3000);
  ScaledShort out[40];
  StatusCode status = 0;
  pst_ltp(60, res.x, out, status);
  for (int n = 0; n < 40; ++n) EXPECT_EQ(out[n], res.x[n]) << n;
  EXPECT_EQ(status, 0);
}

TEST(PstLtp, GainIsBoundedWhenTheHistoryIsQuieter) {
  // Correlation above the energy of the delayed signal: g = 1/1.5.
  Residual res;
  res.x[20] = 3000 * kUnit;
  res.x[20 - 60] = 1500 * kUnit;
  ScaledShort out[40];
  StatusCode status = 0;
  pst_ltp(60, res.x, out, status);
  EXPECT_NEAR(out[20], 2500 * kUnit, kUnit);  // 2/3 3000 + 1/3 1500
}

TEST(PstLtp, GainFollowsTheCorrelationWhenTheHistoryIsLouder) {
  // num / den = 1/2: g = 1 / (1 + 0.5 x 0.5) = 0.8.
  Residual res;
  res.x[20] = 3000 * kUnit;
  res.x[20 - 60] = 6000 * kUnit;
  ScaledShort out[40];
  StatusCode status = 0;
  pst_ltp(60, res.x, out, status);
  EXPECT_NEAR(out[20], 3600 * kUnit, 2 * kUnit);  // 0.8 3000 + 0.2 6000
  EXPECT_EQ(status, 0);
}

TEST(PstLtp, LargestLagReadsTheDeepestHistorySample) {
  // A period of 145.5 with t0 = 144: the integer search ends at 145 and the
  // fractional one at 146 - 4/8, whose 16-tap window reaches x[-153].
  Residual res;
  res.pulses(145.5, 20, 3000);
  LtpSearch r;
  search_del(144, res.x, r);  // the pulses are small enough to need no scaling
  ASSERT_EQ(r.ltpdel, 146);
  ASSERT_EQ(r.phase, 4);

  ScaledShort out[40];
  StatusCode status = 0;
  pst_ltp(144, res.x, out, status);
  EXPECT_NEAR(out[20], res.x[20], 2 * kUnit);

  // That sample carries the last tap of the filter into out[0].
  res.x[-RES2_HISTORY] = 3000 * kUnit;
  ScaledShort out2[40];
  pst_ltp(144, res.x, out2, status);
  EXPECT_NE(out2[0], out[0]);
  for (int n = 1; n < 40; ++n) EXPECT_NEAR(out2[n], out[n], kUnit) << n;
  EXPECT_EQ(status, 0);
}

// The harmonic filter's closed form against L_mult and L_mac, in place and
// apart, for every weight including the ends of the range.
TEST(FiltPlt, MatchesTheOperators) {
  std::mt19937 rng(44);
  auto any = [&] {
    if (rng() % 16 == 0) return rng() % 2 ? MAX_S : MIN_S;
    const int bits = 4 + static_cast<int>(rng() % 20);
    const auto v = static_cast<ScaledShort>(rng() & ((1u << bits) - 1));
    return rng() % 2 ? v : -v;
  };
  int clipped = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    ScaledShort x[40], y[40], expected[40];
    for (int n = 0; n < 40; ++n) {
      x[n] = any();
      y[n] = any();
      // With g >= 0 the weights add up to one and nothing clips; a negative
      // g with full-scale samples of opposite signs does.
      if (trial % 5 == 0 && rng() % 4 == 0) {
        x[n] = rng() % 2 ? MIN_S : MAX_S;
        y[n] = x[n] == MIN_S ? MAX_S : MIN_S;
      }
    }
    const ScaledShort g = trial % 7 == 0 ? (trial % 2 ? MIN_S : 0) : any();
    Overflow = 0;
    const ScaledShort g1 = add(sub(32767 * kUnit, g), 256);
    for (int n = 0; n < 40; ++n) expected[n] = extract_h(L_mac(L_mult(g, x[n]), g1, y[n]));
    const int expected_overflow = Overflow;
    clipped += expected_overflow;
    const bool in_place = trial % 2 == 0;
    ScaledShort apart[40];
    ScaledShort* out = in_place ? y : apart;
    Overflow = 0;
    filt_plt(x, y, out, g);
    ASSERT_EQ(Overflow, expected_overflow) << trial;
    for (int n = 0; n < 40; ++n) ASSERT_EQ(out[n], expected[n]) << trial << " " << n;
  }
  EXPECT_GT(clipped, 100);
}

TEST(PstLtp, ShortestLagStaysInsideTheSubframe) {
  Residual res;
  res.pulses(19.5, 20, 3000);
  ScaledShort out[40];
  StatusCode status = 0;
  pst_ltp(19, res.x, out, status);
  EXPECT_NEAR(out[20], res.x[20], 2 * kUnit);
  EXPECT_EQ(status, 0);
}

TEST(PstLtp, LagsOutsideTheRangeAreClamped) {
  Residual res;
  res.pulses(145.5, 20, 3000);
  ScaledShort at_max[40], beyond[40];
  StatusCode status = 0;
  pst_ltp(LTP_T0_MAX, res.x, at_max, status);
  pst_ltp(400, res.x, beyond, status);
  for (int n = 0; n < 40; ++n) EXPECT_EQ(beyond[n], at_max[n]);

  res.pulses(19.5, 20, 3000);
  ScaledShort at_min[40], below[40];
  pst_ltp(LTP_T0_MIN, res.x, at_min, status);
  pst_ltp(-5, res.x, below, status);
  for (int n = 0; n < 40; ++n) EXPECT_EQ(below[n], at_min[n]);
}

TEST(PstLtp, QuietSignalIsScaledUpForTheSearch) {
  // At a peak of 30 units the common scaling shifts left; the same
  // fractional period must still be found, and the delayed candidate is
  // scaled back before it is mixed in.
  Residual loud, quiet;
  loud.pulses(80.375, 30, 2000);
  quiet.pulses(80.375, 30, 2000.0 / 64);
  ScaledShort out_loud[40], out_quiet[40];
  StatusCode status = 0;
  pst_ltp(80, loud.x, out_loud, status);
  pst_ltp(80, quiet.x, out_quiet, status);
  for (int n = 0; n < 40; ++n) EXPECT_NEAR(out_quiet[n] * 64.0, out_loud[n], 64 * 3 * kUnit) << n;
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace postfilter
