// Short-term spectrum of the speech around the current frame: a 240-sample
// asymmetric window (120 past samples, the frame, 40 of look-ahead),
// autocorrelation with a lag window, and the Levinson-Durbin recursion.
#pragma once

namespace encoder {

inline constexpr int kWindowLength = 240;

struct LpResult {
  float a[11];  // A(z), a[0] = 1
  float rc[2];  // first two reflection coefficients, A(z) sign convention
  bool stable;  // false: the recursion broke down and `a` is not usable
};

class LpAnalyzer {
 public:
  LpAnalyzer();
  // x: kWindowLength samples, oldest first.
  LpResult Analyse(const float* x) const;

 private:
  float window_[kWindowLength];
  double lag_window_[11];
};

}  // namespace encoder
