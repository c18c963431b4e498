#include "encoder/preprocess_filter.h"

namespace encoder {
namespace {

// Second-order section, the numerator already halved.
constexpr float kB0 = 0.46363718f, kB1 = -0.92724705f, kB2 = 0.46363718f;
constexpr float kA1 = 1.9059465f, kA2 = -0.9114024f;

}  // namespace

void PreprocessFilter::Run(const int16_t* in, float* out, int lg) {
  for (int n = 0; n < lg; ++n) {
    const float x0 = in[n];
    const float y0 = kB0 * x0 + kB1 * x1_ + kB2 * x2_ + kA1 * y1_ + kA2 * y2_;
    x2_ = x1_;
    x1_ = x0;
    y2_ = y1_;
    // Flush denormals in long silences: they would only cost time.
    y1_ = (y0 > -1e-20f && y0 < 1e-20f) ? 0.0f : y0;
    out[n] = y0;
  }
}

}  // namespace encoder
