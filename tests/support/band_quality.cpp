#include "support/band_quality.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "support/speech_quality.h"

namespace testing_support {

namespace {

constexpr double kRate = 8000;
constexpr double kPi = std::numbers::pi;
constexpr int kBandTaps = 401;  // odd: linear phase with a whole-sample delay
constexpr int kSpectrumPoints = 256;

// A windowed-sinc band-pass applied without delay (the signal is known in
// full), so that both signals keep their alignment.
std::vector<double> band_passed(std::span<const int16_t> x) {
  const int half = kBandTaps / 2;
  std::vector<double> taps(kBandTaps);
  for (int k = -half; k <= half; ++k) {
    const auto sinc = [k](double hz) {
      const double w = 2 * kPi * hz / kRate;
      return k == 0 ? w / kPi : std::sin(w * k) / (kPi * k);
    };
    const double blackman =
        0.42 + 0.5 * std::cos(kPi * k / half) + 0.08 * std::cos(2 * kPi * k / half);
    taps[k + half] = (sinc(kBandHighHz) - sinc(kBandLowHz)) * blackman;
  }
  const long n = static_cast<long>(x.size());
  std::vector<double> y(x.size(), 0.0);
  for (long i = 0; i < n; ++i) {
    double s = 0;
    for (int k = -half; k <= half; ++k) {
      const long j = i - k;
      if (j >= 0 && j < n) s += taps[k + half] * x[static_cast<size_t>(j)];
    }
    y[static_cast<size_t>(i)] = s;
  }
  return y;
}

// Power spectrum of one Hann-windowed segment, at the bins within the band.
std::vector<double> band_spectrum(const double* x) {
  const int first = static_cast<int>(std::ceil(kBandLowHz / kRate * kSpectrumPoints));
  const int last = static_cast<int>(kBandHighHz / kRate * kSpectrumPoints);
  std::vector<double> power;
  for (int bin = first; bin <= last; ++bin) {
    double re = 0, im = 0;
    for (int n = 0; n < kSegmentSamples; ++n) {
      const double w = 0.5 - 0.5 * std::cos(2 * kPi * (n + 0.5) / kSegmentSamples);
      const double phase = 2 * kPi * bin * n / kSpectrumPoints;
      re += w * x[n] * std::cos(phase);
      im -= w * x[n] * std::sin(phase);
    }
    power.push_back(re * re + im * im);
  }
  return power;
}

double log_spectral_distance(const double* r, const double* d) {
  const std::vector<double> pr = band_spectrum(r), pd = band_spectrum(d);
  double sum = 0;
  for (size_t k = 0; k < pr.size(); ++k) {
    // A floor 90 dB under full scale, so that empty bins do not dominate.
    constexpr double kFloor = 1e-9 * 32768.0 * 32768.0 * kSegmentSamples;
    const double diff = 10 * std::log10((pr[k] + kFloor) / (pd[k] + kFloor));
    sum += diff * diff;
  }
  return std::sqrt(sum / static_cast<double>(pr.size()));
}

}  // namespace

BandQuality measure_band_quality(std::span<const int16_t> clean, std::span<const int16_t> decoded,
                                 int max_lag) {
  const std::vector<double> r = band_passed(clean), d = band_passed(decoded);
  BandQuality q;
  q.lag = best_lag(std::span<const double>(r), std::span<const double>(d), max_lag);
  struct Segment {
    double reference = 0, error = 0;
    size_t at = 0;
  };
  std::vector<Segment> segments;
  for (size_t at = static_cast<size_t>(std::max(0, -q.lag));
       at + kSegmentSamples <= r.size() &&
       static_cast<long>(at + kSegmentSamples) + q.lag <= static_cast<long>(d.size());
       at += kSegmentSamples) {
    Segment s;
    s.at = at;
    for (size_t i = at; i < at + kSegmentSamples; ++i) {
      const double e = r[i] - d[static_cast<size_t>(static_cast<long>(i) + q.lag)];
      s.reference += r[i] * r[i];
      s.error += e * e;
    }
    segments.push_back(s);
  }
  double loudest = 0;
  for (const Segment& s : segments) loudest = std::max(loudest, s.reference);
  const double silent = loudest * std::pow(10.0, -kSilenceBelowLoudestDb / 10);
  double snr_sum = 0, lsd_sum = 0;
  int counted = 0;
  for (const Segment& s : segments) {
    if (s.reference <= silent) continue;
    const double snr = s.error > 0 ? 10 * std::log10(s.reference / s.error) : kSegmentSnrCeilingDb;
    snr_sum += std::clamp(snr, kSegmentSnrFloorDb, kSegmentSnrCeilingDb);
    lsd_sum +=
        log_spectral_distance(&r[s.at], &d[static_cast<size_t>(static_cast<long>(s.at) + q.lag)]);
    ++counted;
  }
  if (counted) {
    q.seg_snr_db = snr_sum / counted;
    q.log_spectral_db = lsd_sum / counted;
  }
  return q;
}

double line_dbfs(std::span<const int16_t> x, double hz) {
  // Hann-windowed correlation with the line, scaled so that a sine of
  // amplitude A reads A.
  double re = 0, im = 0, wsum = 0;
  const double n_total = static_cast<double>(x.size());
  for (size_t n = 0; n < x.size(); ++n) {
    const double w = 0.5 - 0.5 * std::cos(2 * kPi * (static_cast<double>(n) + 0.5) / n_total);
    const double phase = 2 * kPi * hz * static_cast<double>(n) / kRate;
    re += w * x[n] * std::cos(phase);
    im += w * x[n] * std::sin(phase);
    wsum += w;
  }
  const double amplitude = 2 * std::sqrt(re * re + im * im) / std::max(wsum, 1.0);
  return 20 * std::log10(std::max(amplitude, 1e-3) / 32768.0);
}

double strongest_line_dbfs(std::span<const int16_t> x, double low_hz, double high_hz) {
  double best = -200;
  for (double hz = low_hz; hz <= high_hz; hz += 1) best = std::max(best, line_dbfs(x, hz));
  return best;
}

double strongest_line_hz(std::span<const int16_t> x, double low_hz, double high_hz) {
  double best = -200, best_hz = low_hz;
  for (double hz = low_hz; hz <= high_hz; hz += 1) {
    const double level = line_dbfs(x, hz);
    if (level > best) {
      best = level;
      best_hz = hz;
    }
  }
  return best_hz;
}

}  // namespace testing_support
