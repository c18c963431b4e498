// Input conditioning before analysis. The decoder ends with a high-pass at
// about 100 Hz that doubles the signal; speech whose fundamental lies near
// it would come out weakened and phase-shifted. The encoder therefore aims
// its synthesis at the input passed through the inverse of that filter
// (its poles become zeros here) times a much lower high-pass (25 Hz) and a
// DC blocker, and halved: the decoder's output then follows the input
// itself above a few tens of hertz.
//
// That inverse boosts whatever lies under the speech band (20 dB at 20 Hz),
// so low-frequency trouble in a recording is dealt with before it: steady
// tones and hum are notched out (LowToneCanceller), and while the band
// under 50 Hz holds most of the energy (a tone not yet found, a thump) a
// 60 Hz high-pass fades in; it comes in at once, whatever that share, where
// the boost would drive the synthesis near its limit (the first cycles of a
// loud low tone, the rise of a thump). It fades out again once the speech dominates,
// as its phase turn near 100 to 300 Hz would cost the speech's waveform.
#pragma once

#include <cstdint>

#include "encoder/low_cut_filter.h"
#include "encoder/low_tone_canceller.h"

namespace encoder {

class PreprocessFilter {
 public:
  PreprocessFilter();
  void Run(const int16_t* in, float* out, int lg);

 private:
  // The sample with the 60 Hz high-pass faded in as far as the low band's
  // share of the energy asks.
  double GuardLowBand(double x);

  // The inverse of the output filter times the 25 Hz high-pass, halved.
  struct Shaper {
    double gain = 0, c1 = 0, c2 = 0;  // the 25 Hz high-pass's gain and poles
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double Shape(double d);
  };

  double dc_x1_ = 0.0, dc_y1_ = 0.0;
  Shaper shaper_;
  Shaper unguarded_;  // the same, run on the signal before the guard
  LowToneCanceller tones_;
  LowCutFilter guard_cut_{60, 4};
  LowCutFilter low_band_{50, 4, LowCutFilter::kLowPass};
  double low_energy_ = 0, all_energy_ = 0;
  double guard_ = 0;  // 0: no high-pass, 1: fully high-passed
};

}  // namespace encoder
