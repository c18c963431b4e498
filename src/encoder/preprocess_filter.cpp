#include "encoder/preprocess_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace encoder {
namespace {

// The decoder's output filter: 2 b0 (1 - z^-1)^2 / (1 - a1 z^-1 - a2 z^-2).
constexpr double kOutB0 = 0.93982;
constexpr double kOutA1 = 1.93311, kOutA2 = -0.93591;

constexpr double kCutoff = 25.0;   // Hz
constexpr double kDcPole = 0.995;  // about 6 Hz

// The guard high-pass fades in when the band under 50 Hz holds this share
// of the energy (over about 5 ms), which speech alone never comes near,
// and not in near silence.
constexpr double kGuardLowShare = 0.95;
constexpr double kGuardQuietest = 1e5;  // mean square: an RMS of 316
constexpr double kEnergyLeak = 1.0 / 40.0;
constexpr double kGuardAttack = 1.0 / 16.0;    // in within 2 ms
constexpr double kGuardRelease = 1.0 / 800.0;  // out over 100 ms
// It comes in at once, whatever the share, where the low band would push
// the shaped sample over half the synthesis's range: at the onset of a
// loud low tone not yet found, or a thump.
constexpr double kGuardLoud = 16384.0;

}  // namespace

PreprocessFilter::PreprocessFilter() {
  // Second-order Butterworth high-pass by the bilinear transform. Its double
  // zero at DC cancels the output filter's, leaving a plain biquad.
  const double k = std::tan(std::numbers::pi * kCutoff / 8000.0);
  const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
  shaper_.c1 = 2.0 * (1.0 - k * k) * norm;
  shaper_.c2 = -(1.0 - std::numbers::sqrt2 * k + k * k) * norm;
  shaper_.gain = norm / (2.0 * kOutB0);
  unguarded_ = shaper_;
}

double PreprocessFilter::GuardLowBand(double x) {
  const double low = low_band_.Step(x), cut = guard_cut_.Step(x);
  low_energy_ += kEnergyLeak * (low * low - low_energy_);
  all_energy_ += kEnergyLeak * (x * x - all_energy_);
  const bool low_dominates =
      low_energy_ > kGuardLowShare * all_energy_ && all_energy_ > kGuardQuietest;
  // The same sample shaped without the guard: what the synthesis would have
  // to follow. Low frequencies boosted that far would drive it to its limit.
  const bool too_loud = std::abs(unguarded_.Shape(x)) > kGuardLoud;
  guard_ = low_dominates || too_loud ? std::min(1.0, guard_ + kGuardAttack)
                                     : std::max(0.0, guard_ - kGuardRelease);
  return x + guard_ * (cut - x);
}

double PreprocessFilter::Shaper::Shape(double d) {
  const double y = gain * (d - kOutA1 * x1 - kOutA2 * x2) + c1 * y1 + c2 * y2;
  x2 = x1;
  x1 = d;
  y2 = y1;
  y1 = y;
  return y;
}

void PreprocessFilter::Run(const int16_t* in, float* out, int lg) {
  for (int n = 0; n < lg; ++n) {
    // The output filter and the 25 Hz high-pass leave DC through; this
    // removes it before it costs any bits.
    const double x = in[n];
    const double d = x - dc_x1_ + kDcPole * dc_y1_;
    dc_x1_ = x;
    dc_y1_ = d;
    const double y = shaper_.Shape(GuardLowBand(tones_.Run(d)));
    out[n] = static_cast<float>(y);
  }
}

}  // namespace encoder
