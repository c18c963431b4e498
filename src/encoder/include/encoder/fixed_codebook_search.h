// Algebraic codebook searches: the signed unit pulses that, filtered by the
// (pitch-sharpened) weighted synthesis filter, best match the target left
// after the adaptive codebook. Results are the decoder's position and sign
// fields.
#pragma once

namespace encoder {

struct PulseFields {
  int positions;
  int signs;
};

inline constexpr int kMaxPulseCandidates = 8;

// 8 kbit/s: four pulses on the tracks 5k, 5k+1, 5k+2 and 5k+3 or 5k+4.
// Writes the best max_out (at most kMaxPulseCandidates) choices, best
// first, and returns their count.
int search_four_pulses(const float* x, const float* h, PulseFields* out, int max_out);

// 6.4 kbit/s: one pulse on 16 positions, one on 32 (Gray-coded fields);
// `reduced`: the 56-bit frames' grid, pulse 1 on 5k+3 and pulse 2 on 5k, in
// the widened form of the position field the decoder reads. Writes the
// best max_out choices, best first, and returns their count.
int search_two_pulses(const float* x, const float* h, bool reduced, PulseFields* out, int max_out);

// The same where a pulse's filtered response is not a shift of one
// impulse response: g[p] is the response to a unit pulse at p (as the
// decoder's phase dispersion makes it).
int search_two_pulses_responses(const float* x, const float (*g)[40], bool reduced,
                                PulseFields* out, int max_out);

}  // namespace encoder
