// Input conditioning before analysis: a 140 Hz high-pass that also halves
// the signal. The decoder's output filter doubles it again, so the encoder
// matches its synthesis to the halved signal.
#pragma once

#include <cstdint>

namespace encoder {

class PreprocessFilter {
 public:
  void Run(const int16_t* in, float* out, int lg);

 private:
  float x1_ = 0.0f, x2_ = 0.0f, y1_ = 0.0f, y2_ = 0.0f;
};

}  // namespace encoder
