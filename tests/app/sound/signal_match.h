// Finds a known signal in a recording of it and says how well it matches.
// The recording went through a sound server that resampled it, so it is
// delayed by some fraction of a sample besides whole samples, and slightly
// low-passed; both would lower a plain correlation of identical audio. The
// reference is therefore shifted by the measured fraction (windowed-sinc
// interpolation) before it is compared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sound_testing {

struct Alignment {
  // recording[i + delay] corresponds to reference[i]; a fraction of a sample
  // included.
  double delay = 0;
  // Normalised cross-correlation of the whole reference with the recording
  // at that delay: 1 for a perfect copy at any level.
  double correlation = 0;
};

// The first sample whose magnitude exceeds `threshold`, or the size.
size_t FirstAbove(std::span<const int16_t> signal, int threshold);

// Normalised cross-correlation of two equally long signals; 0 if either is
// silent.
double Correlation(std::span<const float> a, std::span<const float> b);

// `signal` delayed by `fraction` of a sample (-1 < fraction < 1).
std::vector<float> Delayed(std::span<const int16_t> signal, double fraction);

// The recording's samples from `start` (a whole sample), `count` of them;
// zeros where the recording has none.
std::vector<float> Excerpt(std::span<const int16_t> recording, ptrdiff_t start, size_t count);

// Searches whole-sample delays from `first` to `last` for the best match,
// then refines it below one sample.
Alignment Align(std::span<const int16_t> recording, std::span<const int16_t> reference,
                ptrdiff_t first, ptrdiff_t last);

// The correlation of each `block`-sample block of the reference with the
// recording at `alignment`: a lost, repeated or silent stretch shows as a
// block that does not match, even when the whole still correlates well.
std::vector<double> BlockCorrelations(std::span<const int16_t> recording,
                                      std::span<const int16_t> reference,
                                      const Alignment& alignment, size_t block);

}  // namespace sound_testing
