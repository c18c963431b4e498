// How close decoded speech is to the speech that was encoded: the codec's
// delay found by cross-correlation, then waveform SNR and segmental SNR over
// the aligned samples. Shared by the quality report and the guard tests, so
// that both measure alike.
#pragma once

#include <cstdint>
#include <span>

namespace testing_support {

struct SpeechQuality {
  int lag = 0;            // decoded[n + lag] lines up with reference[n]
  double snr_db = 0;      // over every aligned sample
  double seg_snr_db = 0;  // mean over the 20 ms segments that are not silent
  int segments = 0;       // segments that counted
};

// The segment length (20 ms at 8000 Hz) and the per-segment clamp: a segment
// of near-perfect or hopeless coding must not outweigh the rest.
inline constexpr int kSegmentSamples = 160;
inline constexpr double kSegmentSnrFloorDb = -10;
inline constexpr double kSegmentSnrCeilingDb = 35;
// Segments this far below the loudest one are silence and do not count.
inline constexpr double kSilenceBelowLoudestDb = 40;

// The lag in [-max_lag, max_lag] with the highest normalised
// cross-correlation between the two over their overlap.
int best_lag(std::span<const int16_t> reference, std::span<const int16_t> decoded, int max_lag);
int best_lag(std::span<const double> reference, std::span<const double> decoded, int max_lag);

// Both measures at a given lag.
SpeechQuality quality_at_lag(std::span<const int16_t> reference, std::span<const int16_t> decoded,
                             int lag);

// best_lag, then quality_at_lag.
SpeechQuality measure_speech_quality(std::span<const int16_t> reference,
                                     std::span<const int16_t> decoded, int max_lag = 200);

}  // namespace testing_support
