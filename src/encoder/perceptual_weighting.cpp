#include "encoder/perceptual_weighting.h"

#include <algorithm>
#include <cmath>

namespace encoder {

void WeightingControl::Compute(const float rc[2], const float lsp[2][10], WeightingGammas out[2]) {
  float lar_new[2];
  for (int i = 0; i < 2; ++i) {
    const float k = std::clamp(rc[i], -0.9999f, 0.9999f);
    lar_new[i] = std::log((1.0f + k) / (1.0f - k));
  }
  for (int s = 0; s < 2; ++s) {
    float lar[2];
    for (int i = 0; i < 2; ++i) lar[i] = s == 0 ? 0.5f * (lar_old_[i] + lar_new[i]) : lar_new[i];
    // Hysteresis between the flat and the tilted setting.
    if (flat_) {
      if (lar[0] < -1.74f && lar[1] > 0.65f) flat_ = false;
    } else if (lar[0] > -1.52f || lar[1] < 0.43f) {
      flat_ = true;
    }
    if (flat_) {
      out[s] = {0.94f, 0.6f};
      continue;
    }
    float d_min = 10.0f;
    float prev = std::acos(std::clamp(lsp[s][0], -1.0f, 1.0f));
    for (int j = 1; j < 10; ++j) {
      const float f = std::acos(std::clamp(lsp[s][j], -1.0f, 1.0f));
      d_min = std::min(d_min, f - prev);
      prev = f;
    }
    out[s] = {0.98f, std::clamp(-6.0f * d_min + 1.0f, 0.4f, 0.7f)};
  }
  lar_old_[0] = lar_new[0];
  lar_old_[1] = lar_new[1];
}

}  // namespace encoder
