#include "encoder/lp_analysis.h"

#include <cmath>
#include <numbers>

#include "encoder/float_filters.h"

namespace encoder {

LpAnalyzer::LpAnalyzer() {
  const double pi = std::numbers::pi;
  // A long rising half and a short falling quarter: most weight lies on the
  // frame while the look-ahead stays short.
  for (int n = 0; n < 200; ++n)
    window_[n] = static_cast<float>(0.54 - 0.46 * std::cos(2 * pi * n / 399.0));
  for (int n = 200; n < kWindowLength; ++n)
    window_[n] = static_cast<float>(std::cos(2 * pi * (n - 200) / 159.0));
  // A Gaussian lag window widens the formant peaks (60 Hz) so that sharp
  // resonances do not make the quantised filter ring.
  for (int k = 0; k <= kOrder; ++k) {
    const double f = 2 * pi * 60.0 * k / 8000.0;
    lag_window_[k] = std::exp(-0.5 * f * f);
  }
}

LpResult LpAnalyzer::Analyse(const float* x) const {
  float w[kWindowLength];
  for (int n = 0; n < kWindowLength; ++n) w[n] = x[n] * window_[n];
  // Each lag's sum runs in the order of n, the lags side by side: eleven
  // sums that do not wait on one another.
  double r[kOrder + 1] = {};
  for (int n = 0; n < kOrder; ++n)
    for (int k = 0; k <= n; ++k) r[k] += static_cast<double>(w[n]) * w[n - k];
  for (int n = kOrder; n < kWindowLength; ++n)
    for (int k = 0; k <= kOrder; ++k) r[k] += static_cast<double>(w[n]) * w[n - k];
  for (int k = 0; k <= kOrder; ++k) r[k] *= lag_window_[k];
  // A floor for silence and a white-noise correction of -40 dB keep the
  // recursion well conditioned.
  if (r[0] < 1.0) r[0] = 1.0;
  r[0] *= 1.0001;

  LpResult out{};
  double a[kOrder + 1] = {1.0};
  double err = r[0];
  out.stable = true;
  for (int i = 1; i <= kOrder; ++i) {
    double acc = r[i];
    for (int j = 1; j < i; ++j) acc += a[j] * r[i - j];
    const double k = -acc / err;
    if (!(std::fabs(k) < 0.9999)) {
      out.stable = false;
      break;
    }
    double t[kOrder + 1];
    for (int j = 1; j < i; ++j) t[j] = a[j] + k * a[i - j];
    for (int j = 1; j < i; ++j) a[j] = t[j];
    a[i] = k;
    if (i <= 2) out.rc[i - 1] = static_cast<float>(k);
    err *= 1.0 - k * k;
  }
  for (int k = 0; k <= kOrder; ++k) out.a[k] = static_cast<float>(a[k]);
  return out;
}

}  // namespace encoder
