// A synthetic stand-in for speech: voiced syllables (a glottal pulse train
// with a wandering pitch through three formant resonators and the lips'
// radiation, rising and falling in level), a hissed consonant and short pauses. Deterministic, at
// any sample rate, so that encoders can be measured without a recording.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace testing_support {

// Samples in [-peak, peak].
inline std::vector<double> speech_like(int rate, double seconds, double peak = 0.5) {
  struct Vowel {
    double f[3];
  };
  static constexpr Vowel kVowels[] = {
      {{730, 1090, 2440}}, {{270, 2290, 3010}}, {{300, 870, 2240}}, {{530, 1840, 2480}}};
  const double pi = std::acos(-1.0);
  const auto n = static_cast<size_t>(seconds * rate);
  std::vector<double> out(n, 0.0);
  constexpr double kSyllable = 0.30, kVoiced = 0.22, kHiss = 0.05;
  double phase = 0, y1[3] = {}, y2[3] = {}, last = 0;
  uint32_t noise = 12345;
  for (size_t i = 0; i < n; ++i) {
    const double t = static_cast<double>(i) / rate;
    const auto syllable = static_cast<int>(t / kSyllable);
    const double in_syllable = t - syllable * kSyllable;
    const Vowel& v = kVowels[syllable % 4];
    double x = 0;
    if (in_syllable < kVoiced) {
      const double f0 = 110 + 25 * std::sin(2 * pi * 0.7 * t) + 8 * (syllable % 3);
      phase += f0 / rate;
      if (phase >= 1) phase -= 1;
      // A skewed glottal pulse: a slow opening, a sharp closure.
      const double pulse = phase < 0.6 ? 0.5 - 0.5 * std::cos(pi * phase / 0.6)
                                       : std::cos(0.5 * pi * (phase - 0.6) / 0.4);
      x = (pulse - 0.45) * std::sin(pi * in_syllable / kVoiced);
    } else if (in_syllable < kVoiced + kHiss && syllable % 2 == 1) {
      noise = noise * 1664525u + 1013904223u;
      x = 0.3 * ((noise >> 8) / 16777216.0 - 0.5) * std::sin(pi * (in_syllable - kVoiced) / kHiss);
    }
    // Three resonators in cascade, each with a 100 Hz bandwidth.
    for (int k = 0; k < 3; ++k) {
      if (v.f[k] >= rate / 2.0) continue;
      const double r = std::exp(-pi * 100.0 / rate);
      const double a1 = 2 * r * std::cos(2 * pi * v.f[k] / rate), a2 = -r * r;
      const double y = (1 - r) * x + a1 * y1[k] + a2 * y2[k];
      y2[k] = y1[k];
      y1[k] = y;
      x = y;
    }
    // The lips radiate the difference of the flow: 6 dB more per octave.
    out[i] = x - last;
    last = x;
  }
  double max = 0;
  for (double s : out) max = std::max(max, std::abs(s));
  if (max > 0)
    for (double& s : out) s *= peak / max;
  return out;
}

// The same at 8000 Hz as 16-bit samples, whole 10 ms frames.
inline std::vector<int16_t> speech_like_pcm(double seconds, double peak = 0.5) {
  std::vector<int16_t> pcm;
  for (double s : speech_like(8000, seconds, peak))
    pcm.push_back(static_cast<int16_t>(std::lrint(s * 32767)));
  pcm.resize(pcm.size() / 80 * 80);
  return pcm;
}

// The same as bare 16-bit little-endian bytes, as raw input files hold them.
inline std::vector<uint8_t> speech_like_raw(double seconds) {
  std::vector<uint8_t> bytes;
  for (int16_t s : speech_like_pcm(seconds)) {
    bytes.push_back(static_cast<uint8_t>(s & 0xFF));
    bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return bytes;
}

}  // namespace testing_support
