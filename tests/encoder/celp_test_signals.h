// Deterministic test inputs for the CELP encoder and the measures its round
// trips are judged by.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace celp_test {

inline int16_t clip16(double v) {
  return static_cast<int16_t>(std::lrint(std::clamp(v, -32768.0, 32767.0)));
}

// Vowel-like speech: a glottal pulse train whose pitch glides between
// 90 and 160 Hz, through three formant resonators, with a syllable
// envelope.
inline std::vector<int16_t> voiced_speech(int samples, double peak = 12000.0) {
  const double pi = std::numbers::pi;
  const double formants[3] = {650.0, 1100.0, 2500.0};
  double y1[3] = {}, y2[3] = {};
  std::vector<double> raw(samples);
  double phase = 0.0;
  for (int n = 0; n < samples; ++n) {
    const double t = n / 8000.0;
    const double f0 = 125.0 + 35.0 * std::sin(2 * pi * 1.3 * t);
    phase += f0 / 8000.0;
    double x = 0.0;
    if (phase >= 1.0) {
      phase -= 1.0;
      x = 1.0;
    }
    for (int k = 0; k < 3; ++k) {
      const double r = std::exp(-pi * 80.0 / 8000.0);
      const double y = x + 2 * r * std::cos(2 * pi * formants[k] / 8000.0) * y1[k] - r * r * y2[k];
      y2[k] = y1[k];
      y1[k] = y;
      x = y;
    }
    const double envelope = 0.55 + 0.45 * std::sin(2 * pi * 2.0 * t);
    raw[n] = x * envelope;
  }
  const double max = *std::max_element(
      raw.begin(), raw.end(), [](double a, double b) { return std::fabs(a) < std::fabs(b); });
  std::vector<int16_t> out(samples);
  for (int n = 0; n < samples; ++n) out[n] = clip16(raw[n] * peak / std::fabs(max));
  return out;
}

// A sine whose frequency rises linearly from f_lo to f_hi.
inline std::vector<int16_t> sine_sweep(int samples, double f_lo, double f_hi, double amplitude) {
  std::vector<int16_t> out(samples);
  double phase = 0.0;
  for (int n = 0; n < samples; ++n) {
    phase += 2 * std::numbers::pi * (f_lo + (f_hi - f_lo) * n / samples) / 8000.0;
    out[n] = clip16(amplitude * std::sin(phase));
  }
  return out;
}

// Inputs at and beyond the limits: full-scale noise, a full-scale square
// wave, the Nyquist alternation, isolated clicks and a DC step.
inline std::vector<std::vector<int16_t>> extreme_inputs(int samples) {
  std::vector<std::vector<int16_t>> all(5, std::vector<int16_t>(samples));
  uint32_t seed = 1;
  for (int n = 0; n < samples; ++n) {
    seed = seed * 1664525u + 1013904223u;
    all[0][n] = static_cast<int16_t>(seed >> 16);
    all[1][n] = (n / 37) % 2 ? 32767 : -32768;
    all[2][n] = n % 2 ? 32767 : -32768;
    all[3][n] = n % 331 == 0 ? 32767 : 0;
    all[4][n] = n < samples / 2 ? 0 : -32768;
  }
  return all;
}

// SNR in dB of `got` against `ref`, with `got` delayed by `lag` samples.
inline double snr_db(const std::vector<int16_t>& ref, const std::vector<int16_t>& got, int lag) {
  double signal = 0.0, noise = 0.0;
  for (size_t i = 0; i + lag < got.size() && i < ref.size(); ++i) {
    const double d = static_cast<double>(got[i + lag]) - ref[i];
    signal += static_cast<double>(ref[i]) * ref[i];
    noise += d * d;
  }
  return 10.0 * std::log10(signal / std::max(noise, 1.0));
}

// The delay (0 .. max_lag samples) at which `got` best matches `ref`.
inline int best_lag(const std::vector<int16_t>& ref, const std::vector<int16_t>& got, int max_lag) {
  int best = 0;
  double best_corr = -1e300;
  for (int lag = 0; lag <= max_lag; ++lag) {
    double c = 0.0;
    for (size_t i = 0; i + lag < got.size() && i < ref.size(); ++i)
      c += static_cast<double>(ref[i]) * got[i + lag];
    if (c > best_corr) {
      best_corr = c;
      best = lag;
    }
  }
  return best;
}

}  // namespace celp_test
