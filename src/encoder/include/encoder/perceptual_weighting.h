// Chooses the perceptual weighting W(z) = A(z/g1) / A(z/g2) of each
// subframe from the tilt of its spectrum (the log area ratios of the first two
// reflection coefficients) and, for tilted spectra, from the closest LSF
// spacing, so that the coding noise hides under the formants.
#pragma once

namespace encoder {

struct WeightingGammas {
  float g1, g2;
};

class WeightingControl {
 public:
  // rc: this frame's first two reflection coefficients; lsp[s]: the
  // unquantised LSPs (cosine domain) of subframe s.
  void Compute(const float rc[2], const float lsp[2][10], WeightingGammas out[2]);

 private:
  bool flat_ = true;
  float lar_old_[2] = {0.0f, 0.0f};
};

}  // namespace encoder
