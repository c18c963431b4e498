#include "encoder/preprocess_filter.h"

#include <cmath>
#include <numbers>

namespace encoder {
namespace {

// The decoder's output filter: 2 b0 (1 - z^-1)^2 / (1 - a1 z^-1 - a2 z^-2).
constexpr double kOutB0 = 0.93982;
constexpr double kOutA1 = 1.93311, kOutA2 = -0.93591;

constexpr double kCutoff = 25.0;   // Hz
constexpr double kDcPole = 0.995;  // about 6 Hz

}  // namespace

PreprocessFilter::PreprocessFilter() {
  // Second-order Butterworth high-pass by the bilinear transform. Its double
  // zero at DC cancels the output filter's, leaving a plain biquad.
  const double k = std::tan(std::numbers::pi * kCutoff / 8000.0);
  const double norm = 1.0 / (1.0 + std::numbers::sqrt2 * k + k * k);
  c1_ = 2.0 * (1.0 - k * k) * norm;
  c2_ = -(1.0 - std::numbers::sqrt2 * k + k * k) * norm;
  gain_ = norm / (2.0 * kOutB0);
}

void PreprocessFilter::Run(const int16_t* in, float* out, int lg) {
  for (int n = 0; n < lg; ++n) {
    // The output filter and the 25 Hz high-pass leave DC through; this
    // removes it before it costs any bits.
    const double x = in[n];
    const double d = x - dc_x1_ + kDcPole * dc_y1_;
    dc_x1_ = x;
    dc_y1_ = d;
    const double y = gain_ * (d - kOutA1 * x1_ - kOutA2 * x2_) + c1_ * y1_ + c2_ * y2_;
    x2_ = x1_;
    x1_ = d;
    y2_ = y1_;
    y1_ = y;
    out[n] = static_cast<float>(y);
  }
}

}  // namespace encoder
