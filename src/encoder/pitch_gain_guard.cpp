#include "encoder/pitch_gain_guard.h"

#include <algorithm>
#include <cstring>

#include "celp/codebook_tables.h"

namespace encoder {
namespace {

constexpr int kTaps = 20;

// The taps of the decoder's adaptive codebook interpolation for one
// fraction, laid over the samples x0 - 9 .. x0 + 10 as it reads them.
struct InterpolationTaps {
  float w[3][kTaps];
  InterpolationTaps() {
    for (int f = 0; f < 3; ++f)
      for (int i = 0; i < 10; ++i) {
        const float left = celp::inter_3l[f + 3 * i] / (256.0f * 32768.0f);
        const float right = celp::inter_3l[3 - f + 3 * i] / (256.0f * 32768.0f);
        w[f][9 - i] = left;
        w[f][10 + i] = right;
      }
  }
};

const InterpolationTaps kInterpolation;

}  // namespace

PitchGainGuard::Reads PitchGainGuard::ReadsOf(const LagCandidate& lag) {
  // The decoder reads a lag of T0 + 1/3 as T0 + 1 - 2/3.
  if (lag.frac > 0) return {3 - lag.frac, lag.T0 + 1};
  return {-lag.frac, lag.T0};
}

// The taps reach from x0 - 9 to x0 + 10: a lag of at least kSubframe + 10
// reads only earlier subframes, each of the subframe's samples on its own,
// which lets the sums run side by side.
bool PitchGainGuard::ReadsHistoryOnly(const Reads& r) {
  return r.back >= kSubframe + 10;
}

void PitchGainGuard::HistorySums(int i0, const Reads& r, float* sums) const {
  const float* window = growth_ + kHistory + i0 - r.back - 9;
  std::fill(sums, sums + kSubframe, 0.0f);
  for (int k = 0; k < kTaps; ++k)
    for (int n = 0; n < kSubframe; ++n) sums[n] += kInterpolation.w[r.phase][k] * window[n + k];
}

float PitchGainGuard::Peak(int i0, const Reads& r, float gain_pit, float* growth) const {
  std::copy(growth_, growth_ + kHistory + i0, growth);
  float peak = 0.0f;
  // T0 >= 20, so a lag shorter than the subframe reads only values this
  // loop has made already.
  for (int n = 0; n < kSubframe; ++n) {
    const int at = kHistory + i0 + n;
    const float* window = growth + at - r.back - 9;
    float reach = 0.0f;
    for (int k = 0; k < kTaps; ++k) reach += kInterpolation.w[r.phase][k] * window[k];
    growth[at] = 1.0f + gain_pit * reach;
    peak = std::max(peak, growth[at]);
  }
  return peak;
}

float PitchGainGuard::MaxGain(int i0, const LagCandidate& lag) const {
  constexpr float kHighest = 2.0f;  // above every gain the tables hold
  const Reads r = ReadsOf(lag);
  if (ReadsHistoryOnly(r)) {
    // Then the peak is 1 + gain x the largest sum.
    float sums[kSubframe];
    HistorySums(i0, r, sums);
    const float largest = *std::max_element(sums, sums + kSubframe);
    if (largest * kHighest <= kLimit - 1.0f) return kHighest;
    return std::max(kSafeGain, (kLimit - 1.0f) / largest);
  }
  float trial[kHistory + celp::L_FRAME];
  if (Peak(i0, r, kHighest, trial) <= kLimit) return kHighest;
  if (Peak(i0, r, kSafeGain, trial) > kLimit) return kSafeGain;
  // The peak grows with the gain: halve the interval in between.
  float low = kSafeGain, high = kHighest;
  for (int step = 0; step < 10; ++step) {
    const float mid = 0.5f * (low + high);
    (Peak(i0, r, mid, trial) <= kLimit ? low : high) = mid;
  }
  return low;
}

void PitchGainGuard::Update(int i0, const LagCandidate& lag, float gain_pit) {
  const Reads r = ReadsOf(lag);
  float* made = growth_ + kHistory + i0;
  if (ReadsHistoryOnly(r)) {
    float sums[kSubframe];
    HistorySums(i0, r, sums);
    for (int n = 0; n < kSubframe; ++n) made[n] = 1.0f + gain_pit * sums[n];
    return;
  }
  float trial[kHistory + celp::L_FRAME];
  Peak(i0, r, gain_pit, trial);
  std::copy(trial + kHistory + i0, trial + kHistory + i0 + kSubframe, made);
}

void PitchGainGuard::EndFrame() {
  std::memmove(growth_, growth_ + celp::L_FRAME, kHistory * sizeof(float));
}

}  // namespace encoder
