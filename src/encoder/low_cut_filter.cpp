#include "encoder/low_cut_filter.h"

#include <cmath>
#include <numbers>

namespace encoder {

LowCutFilter::LowCutFilter(double cutoff_hz, int order, Kind kind) {
  const double pi = std::numbers::pi;
  const double w = 2 * pi * cutoff_hz / 8000.0;
  const double c = std::cos(w);
  for (int i = 0; i < order / 2; ++i) {
    // The section quality factors that make the cascade maximally flat.
    const double q = 1.0 / (2 * std::sin(pi * (2 * i + 1) / (2 * order)));
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    if (kind == kLowPass)
      sections_.push_back({(1 - c) / 2 / a0, (1 - c) / a0, -2 * c / a0, (1 - alpha) / a0});
    else
      sections_.push_back({(1 + c) / 2 / a0, -(1 + c) / a0, -2 * c / a0, (1 - alpha) / a0});
  }
}

void LowCutFilter::Run(float* x, int lg) {
  for (Section& s : sections_) {
    for (int n = 0; n < lg; ++n) {
      const double in = x[n];
      const double y = s.b0 * (in + s.x2) + s.b1 * s.x1 - s.a1 * s.y1 - s.a2 * s.y2;
      s.x2 = s.x1;
      s.x1 = in;
      s.y2 = s.y1;
      s.y1 = y;
      x[n] = static_cast<float>(y);
    }
  }
}

double LowCutFilter::Step(double x) {
  for (Section& s : sections_) {
    const double y = s.b0 * (x + s.x2) + s.b1 * s.x1 - s.a1 * s.y1 - s.a2 * s.y2;
    s.x2 = s.x1;
    s.x1 = x;
    s.y2 = s.y1;
    s.y1 = y;
    x = y;
  }
  return x;
}

}  // namespace encoder
