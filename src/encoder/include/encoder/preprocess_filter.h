// Input conditioning before analysis. The decoder ends with a high-pass at
// about 100 Hz that doubles the signal; speech whose fundamental lies near
// it would come out weakened and phase-shifted. The encoder therefore aims
// its synthesis at the input passed through the inverse of that filter
// (its poles become zeros here) times a much lower high-pass (25 Hz) and a
// DC blocker, and halved: the decoder's output then follows the input
// itself above a few tens of hertz.
#pragma once

#include <cstdint>

namespace encoder {

class PreprocessFilter {
 public:
  PreprocessFilter();
  void Run(const int16_t* in, float* out, int lg);

 private:
  double gain_, c1_, c2_;  // the 25 Hz high-pass's gain and poles
  double dc_x1_ = 0.0, dc_y1_ = 0.0;
  double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};

}  // namespace encoder
