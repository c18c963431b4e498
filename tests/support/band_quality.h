// How close decoded speech is to the clean speech when the encoder was given
// that speech with low-frequency interference added (hum, rumble, a tone): the
// measures look only at the speech band, where the interference is absent,
// and at how loud the interference comes out. Shared by the quality report and
// the encoder's guard tests.
#pragma once

#include <cstdint>
#include <span>

namespace testing_support {

// Telephone speech band, Hz.
inline constexpr double kBandLowHz = 200, kBandHighHz = 3400;

struct BandQuality {
  int lag = 0;                 // decoded[n + lag] lines up with clean[n]
  double seg_snr_db = 0;       // segmental SNR of the band-passed signals
  double log_spectral_db = 0;  // mean log-spectral distance within the band
};

// Both in-band measures of decoded against clean, the delay found on the
// band-passed signals.
BandQuality measure_band_quality(std::span<const int16_t> clean, std::span<const int16_t> decoded,
                                 int max_lag = 200);

// The level in dBFS (a full-scale sine is 0) of the strongest spectral line
// between low_hz and high_hz, at 1 Hz steps over the whole signal.
double strongest_line_dbfs(std::span<const int16_t> x, double low_hz, double high_hz);

// The frequency of that line.
double strongest_line_hz(std::span<const int16_t> x, double low_hz, double high_hz);

// The level in dBFS of the line at one frequency.
double line_dbfs(std::span<const int16_t> x, double hz);

}  // namespace testing_support
