// Closed-loop search of the adaptive codebook: the lag, in thirds of a
// sample, whose interpolated past excitation, passed through the weighted
// synthesis filter, best matches the target. The lags offered are exactly
// those the decoder's lag codes can express.
#pragma once

namespace encoder {

// More than any lag window offers: up to 14 whole lags in thirds.
inline constexpr int kMaxLagCandidates = 48;

struct LagCandidate {
  int T0;     // integer part as the decoder holds it
  int frac;   // -1, 0 or 1 thirds: the lag is T0 + frac / 3
  int index;  // the pitch field that decodes to it
};

// Every first-subframe lag within [t0_min - 2/3, t0_max + 2/3] that an
// 8-bit pitch field can code; returns the count (at most
// kMaxLagCandidates: the window spans at most 14 samples).
int first_subframe_candidates(int t0_min, int t0_max, LagCandidate* out);

// Every second-subframe code (32 at 8 kbit/s, 16 at 6.4 kbit/s) decoded
// relative to the first subframe's integer lag.
int second_subframe_candidates(int T0_first, int rate, LagCandidate* out);

// The adaptive codebook vector of one lag, as the decoder interpolates it:
// exc[0 .. 39] from exc[-154 .. -1] (and, for short lags, from its own
// start). In floating point.
void interpolate_past_excitation(float* exc, int T0, int frac);

// exc: points at the subframe start, with 154 samples of history before
// it; the 40 places from exc on are used as scratch. Writes the positions
// in `cands` of the best candidates, best first, to best[0 .. max_best-1];
// returns how many were written (at least 1). Candidates scoring under
// min_share of the best one's normalised correlation are left out.
int search_pitch(float* exc, const float* x, const float* h, const LagCandidate* cands, int n,
                 int* best, int max_best, float min_share = 0.0f);

}  // namespace encoder
