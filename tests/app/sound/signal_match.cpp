#include "signal_match.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace sound_testing {

namespace {

// Taps on each side of the interpolation point: enough for a flat response
// well into the upper band, which the server's resamplers cut anyway.
constexpr int kHalfTaps = 24;

// Windowed sinc at distance x from the interpolation point.
double InterpolationTap(double x) {
  if (std::abs(x) >= kHalfTaps + 1) return 0;
  const double sinc = x == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
  const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * x / (kHalfTaps + 1));
  return sinc * window;
}

// The whole-sample correlation, computed in place: this runs for every
// candidate delay.
double CorrelationAt(std::span<const int16_t> recording, std::span<const int16_t> reference,
                     ptrdiff_t delay) {
  double cross = 0, energyRec = 0, energyRef = 0;
  const auto size = static_cast<ptrdiff_t>(recording.size());
  for (size_t i = 0; i < reference.size(); ++i) {
    const ptrdiff_t j = delay + static_cast<ptrdiff_t>(i);
    const double r = j >= 0 && j < size ? recording[static_cast<size_t>(j)] : 0.0;
    cross += r * reference[i];
    energyRec += r * r;
    energyRef += static_cast<double>(reference[i]) * reference[i];
  }
  if (energyRec == 0 || energyRef == 0) return 0;
  return cross / std::sqrt(energyRec * energyRef);
}

// The vertex of the parabola through the correlations at -1, 0 and +1.
double ParabolicPeak(double before, double at, double after) {
  const double curvature = before - 2 * at + after;
  if (curvature >= 0) return 0;
  return std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5);
}

double FractionalCorrelation(const std::vector<float>& excerpt, std::span<const int16_t> reference,
                             double fraction) {
  return Correlation(excerpt, Delayed(reference, fraction));
}

// Golden-section search for the fraction that correlates best, around the
// parabola's estimate.
Alignment RefineFraction(std::span<const int16_t> recording, std::span<const int16_t> reference,
                         ptrdiff_t whole, double estimate) {
  const std::vector<float> excerpt = Excerpt(recording, whole, reference.size());
  const double ratio = (std::sqrt(5.0) - 1) / 2;
  double lo = std::max(estimate - 0.5, -0.95), hi = std::min(estimate + 0.5, 0.95);
  double x1 = hi - ratio * (hi - lo), x2 = lo + ratio * (hi - lo);
  double f1 = FractionalCorrelation(excerpt, reference, x1);
  double f2 = FractionalCorrelation(excerpt, reference, x2);
  while (hi - lo > 0.005) {
    if (f1 > f2) {
      hi = x2, x2 = x1, f2 = f1;
      x1 = hi - ratio * (hi - lo);
      f1 = FractionalCorrelation(excerpt, reference, x1);
    } else {
      lo = x1, x1 = x2, f1 = f2;
      x2 = lo + ratio * (hi - lo);
      f2 = FractionalCorrelation(excerpt, reference, x2);
    }
  }
  const double fraction = (lo + hi) / 2;
  return {static_cast<double>(whole) + fraction,
          FractionalCorrelation(excerpt, reference, fraction)};
}

}  // namespace

size_t FirstAbove(std::span<const int16_t> signal, int threshold) {
  const auto it = std::find_if(signal.begin(), signal.end(),
                               [threshold](int16_t s) { return std::abs(s) > threshold; });
  return static_cast<size_t>(it - signal.begin());
}

double Correlation(std::span<const float> a, std::span<const float> b) {
  double cross = 0, energyA = 0, energyB = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    cross += static_cast<double>(a[i]) * b[i];
    energyA += static_cast<double>(a[i]) * a[i];
    energyB += static_cast<double>(b[i]) * b[i];
  }
  if (energyA == 0 || energyB == 0) return 0;
  return cross / std::sqrt(energyA * energyB);
}

std::vector<float> Delayed(std::span<const int16_t> signal, double fraction) {
  double taps[2 * kHalfTaps + 1];
  for (int k = -kHalfTaps; k <= kHalfTaps; ++k)
    taps[k + kHalfTaps] = InterpolationTap(k - fraction);
  const auto size = static_cast<ptrdiff_t>(signal.size());
  std::vector<float> out(signal.size());
  for (ptrdiff_t n = 0; n < size; ++n) {
    double sum = 0;
    for (int k = -kHalfTaps; k <= kHalfTaps; ++k) {
      const ptrdiff_t m = n - k;
      if (m >= 0 && m < size) sum += taps[k + kHalfTaps] * signal[static_cast<size_t>(m)];
    }
    out[static_cast<size_t>(n)] = static_cast<float>(sum);
  }
  return out;
}

std::vector<float> Excerpt(std::span<const int16_t> recording, ptrdiff_t start, size_t count) {
  std::vector<float> out(count, 0.0f);
  for (size_t i = 0; i < count; ++i) {
    const ptrdiff_t j = start + static_cast<ptrdiff_t>(i);
    if (j >= 0 && j < static_cast<ptrdiff_t>(recording.size()))
      out[i] = recording[static_cast<size_t>(j)];
  }
  return out;
}

Alignment Align(std::span<const int16_t> recording, std::span<const int16_t> reference,
                ptrdiff_t first, ptrdiff_t last) {
  ptrdiff_t best = first;
  double bestCorrelation = -2;
  for (ptrdiff_t delay = first; delay <= last; ++delay) {
    const double c = CorrelationAt(recording, reference, delay);
    if (c > bestCorrelation) best = delay, bestCorrelation = c;
  }
  const double estimate =
      ParabolicPeak(CorrelationAt(recording, reference, best - 1), bestCorrelation,
                    CorrelationAt(recording, reference, best + 1));
  return RefineFraction(recording, reference, best, estimate);
}

std::vector<double> BlockCorrelations(std::span<const int16_t> recording,
                                      std::span<const int16_t> reference,
                                      const Alignment& alignment, size_t block) {
  const auto whole = static_cast<ptrdiff_t>(std::floor(alignment.delay + 0.5));
  const std::vector<float> shifted =
      Delayed(reference, alignment.delay - static_cast<double>(whole));
  const std::vector<float> heard = Excerpt(recording, whole, reference.size());
  std::vector<double> correlations;
  for (size_t start = 0; start < reference.size(); start += block) {
    const size_t n = std::min(block, reference.size() - start);
    correlations.push_back(
        Correlation(std::span(heard).subspan(start, n), std::span(shifted).subspan(start, n)));
  }
  return correlations;
}

}  // namespace sound_testing
