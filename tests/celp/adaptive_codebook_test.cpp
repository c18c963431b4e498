#include "celp/adaptive_codebook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "celp/celp_state.h"
#include "celp/codebook_tables.h"

namespace celp {
namespace {

constexpr int kHistory = EXC_HISTORY;  // samples before exc, as in the decoder

// Excitation buffer with a sinusoid of the given period (in samples) and
// amplitude (Q0) in its history; the current subframe starts zeroed.
struct Buffer {
  ScaledShort words[kHistory + L_SUBFR] = {};
  ScaledShort* exc() { return words + kHistory; }
};

double Sine(double period, double amplitude, double n) {
  return amplitude * std::sin(2.0 * std::numbers::pi * n / period);
}

Buffer SineHistory(double period, double amplitude) {
  Buffer b;
  for (int n = -kHistory; n < 0; ++n) {
    b.exc()[n] = static_cast<ScaledShort>(std::lround(Sine(period, amplitude, n) * 256));
  }
  return b;
}

// Largest deviation (Q0) of exc[0..39] from the history's sinusoid delayed by
// lag_thirds / 3 samples.
double MaxDeviation(Buffer& b, double period, double amplitude, int lag_thirds) {
  double worst = 0;
  for (int j = 0; j < L_SUBFR; ++j) {
    const double want = Sine(period, amplitude, j - lag_thirds / 3.0);
    worst = std::max(worst, std::abs(b.exc()[j] / 256.0 - want));
  }
  return worst;
}

TEST(Tables, InterpolationFilterEntries) {
  EXPECT_EQ(inter_3l[0], 29443 * 256);
  EXPECT_EQ(inter_3l[4], -4402 * 256);
  EXPECT_EQ(inter_3l[10], 0);
  EXPECT_EQ(inter_3l[29], 70 * 256);
  EXPECT_EQ(inter_3l[30], 0);
}

TEST(PredLt3, ConstantPastGivesTruncatedDcGain) {
  // At phase 0 the taps add up to 32723 / 32768; the result is truncated
  // toward minus infinity, not rounded.
  for (ScaledShort level : {1000 * 256, -1000 * 256}) {
    Buffer b;
    std::fill(b.words, b.words + kHistory, level);
    Pred_lt_3(b.exc(), 60, 0, L_SUBFR);
    const ScaledShort want = level > 0 ? 255648 : -255649;
    for (int j = 0; j < L_SUBFR; ++j) EXPECT_EQ(b.exc()[j], want) << j;
  }
}

TEST(PredLt3, IntegerLagReproducesTheDelayedPast) {
  const double period = 37.3;
  for (int T0 : {50, 57, 100, 143}) {
    Buffer b = SineHistory(period, 8000);
    Pred_lt_3(b.exc(), T0, 0, L_SUBFR);
    EXPECT_LT(MaxDeviation(b, period, 8000, 3 * T0), 40) << T0;
  }
}

TEST(PredLt3, FractionalLagInterpolatesBetweenSamples) {
  // A third of a sample at this period moves the sinusoid by about 1300;
  // the interpolation must land on the right side.
  const double period = 37.3;
  for (int T0 : {50, 85, 142}) {
    for (int frac : {-1, 1}) {
      Buffer b = SineHistory(period, 8000);
      Pred_lt_3(b.exc(), T0, frac, L_SUBFR);
      EXPECT_LT(MaxDeviation(b, period, 8000, 3 * T0 + frac), 40) << T0 << " " << frac;
    }
  }
}

TEST(PredLt3, ShortLagRepeatsTheSubframeStart) {
  // Period 25 = the lag: the 15 samples after the first 25 are built from
  // the subframe's own output and must continue the sinusoid.
  Buffer b = SineHistory(25, 8000);
  Pred_lt_3(b.exc(), 25, 0, L_SUBFR);
  EXPECT_LT(MaxDeviation(b, 25, 8000, 75), 60);

  // The samples of the subframe are only read after they are written, so
  // what the subframe held before does not matter.
  Buffer dirty = SineHistory(25, 8000);
  std::fill(dirty.exc(), dirty.exc() + L_SUBFR, MAX_S);
  Pred_lt_3(dirty.exc(), 25, 0, L_SUBFR);
  for (int j = 0; j < L_SUBFR; ++j) EXPECT_EQ(dirty.exc()[j], b.exc()[j]) << j;
}

TEST(PredLt3, ShortestLagsReadOnlyWrittenSamples) {
  // 19 1/3 and a whole 19 (the bad-pitch fallback can repeat it) reach
  // furthest forward.
  for (int frac : {1, 0}) {
    Buffer clean = SineHistory(30, 8000);
    Buffer dirty = clean;
    std::fill(dirty.exc(), dirty.exc() + L_SUBFR, MIN_S);
    Pred_lt_3(clean.exc(), 19, frac, L_SUBFR);
    Pred_lt_3(dirty.exc(), 19, frac, L_SUBFR);
    for (int j = 0; j < L_SUBFR; ++j) EXPECT_EQ(dirty.exc()[j], clean.exc()[j]) << j;
  }
}

TEST(PredLt3, LongestLagsReachExactly153SamplesBack) {
  // {T0, frac} pairs whose ten-tap span ends 153 samples before exc.
  const int cases[][2] = {{143, 1}, {144, -1}};
  for (const auto& c : cases) {
    Buffer b;
    b.exc()[-153] = 0x100000;
    b.exc()[-154] = MAX_S;  // beyond the reach: must not count
    Pred_lt_3(b.exc(), c[0], c[1], L_SUBFR);
    EXPECT_NE(b.exc()[0], 0) << c[0];

    Buffer only_153;
    only_153.exc()[-153] = 0x100000;
    Pred_lt_3(only_153.exc(), c[0], c[1], L_SUBFR);
    for (int j = 0; j < L_SUBFR; ++j) EXPECT_EQ(b.exc()[j], only_153.exc()[j]) << j;
  }
}

// The interpolation as the plain operator sequence.
void ReferencePredLt3(ScaledShort* exc, int T0, int frac) {
  const ScaledShort* x0 = exc - T0;
  int f = -frac;
  if (f < 0) {
    f += 3;
    --x0;
  }
  for (int j = 0; j < L_SUBFR; ++j) {
    ScaledLong s = 0;
    for (int i = 0; i < 10; ++i) {
      s = L_mac(s, x0[j - i], inter_3l[f + 3 * i]);
      s = L_mac(s, x0[j + 1 + i], inter_3l[3 - f + 3 * i]);
    }
    exc[j] = extract_h(s);
  }
}

// The plain sums may stand in for L_mac only while no partial sum can
// saturate: every lag and phase over histories of every size, up to full
// scale, must give the operators' samples and Overflow.
TEST(PredLt3, MatchesTheSaturatingOperatorsAtEveryLevel) {
  std::mt19937 rng(3);
  int saturated = 0;
  for (int T0 = 19; T0 <= 144; ++T0) {
    for (int frac = -1; frac <= 1; ++frac) {
      for (int level = 12; level <= 24; level += 4) {
        Buffer b;
        for (int n = -kHistory; n < 0; ++n) {
          const int bits = level == 24 ? 23 : level;
          const auto v = static_cast<ScaledShort>(rng() & ((1u << bits) - 1));
          b.exc()[n] = level == 24 && rng() % 8 == 0 ? MIN_S : (rng() % 2 ? v : -v);
        }
        Buffer expected = b;
        Overflow = 0;
        ReferencePredLt3(expected.exc(), T0, frac);
        const int expected_overflow = Overflow;
        saturated += expected_overflow;
        Overflow = 0;
        Pred_lt_3(b.exc(), T0, frac, L_SUBFR);
        ASSERT_EQ(Overflow, expected_overflow) << T0 << " " << frac << " " << level;
        for (int j = 0; j < L_SUBFR; ++j)
          ASSERT_EQ(b.exc()[j], expected.exc()[j]) << T0 << " " << frac << " " << level << " " << j;
      }
    }
  }
  EXPECT_GT(saturated, 50);  // the loudest histories do saturate
}

// Samples whose products with the taps are all positive over the first five
// tap pairs and all negative over the last five, at a level where the
// positive part alone overshoots the long range: the saturated partial sum
// must stay in the output, although the plain sum would fit.
TEST(PredLt3, KeepsASaturationInsideTheSum) {
  constexpr int kT0 = 100;
  for (int frac = -1; frac <= 1; ++frac) {
    const int f = frac == 1 ? 2 : -frac;
    Buffer b;
    ScaledShort* x0 = b.exc() - kT0 - (frac == 1 ? 1 : 0);
    int64_t tap_sum = 0;
    for (int i = 0; i < 10; ++i)
      tap_sum += std::abs(inter_3l[f + 3 * i]) + std::abs(inter_3l[3 - f + 3 * i]);
    const auto level = static_cast<ScaledShort>(MAX_L / tap_sum);
    auto sign = [](ScaledShort tap) { return tap < 0 ? -1 : 1; };
    for (int i = 0; i < 10; ++i) {
      const int side = i < 5 ? 1 : -1;
      x0[-i] = side * sign(inter_3l[f + 3 * i]) * level;
      x0[1 + i] = side * sign(inter_3l[3 - f + 3 * i]) * level;
    }
    Buffer expected = b;
    Overflow = 0;
    ReferencePredLt3(expected.exc(), kT0, frac);
    ASSERT_EQ(Overflow, 1) << frac;  // the case is what it claims
    Overflow = 0;
    Pred_lt_3(b.exc(), kT0, frac, L_SUBFR);
    EXPECT_EQ(Overflow, 1) << frac;
    for (int j = 0; j < L_SUBFR; ++j) EXPECT_EQ(b.exc()[j], expected.exc()[j]) << frac << " " << j;
  }
}

}  // namespace
}  // namespace celp
