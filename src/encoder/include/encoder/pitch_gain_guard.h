// Keeps the frames safe for decoders whose arithmetic rounds differently.
//
// The adaptive codebook feeds the excitation back on itself: a decoder whose
// excitation differs from ours by a rounding step sees that difference come
// back one lag later, multiplied by the pitch gain. The interpolation of a
// fractional lag passes low frequencies unchanged, so there a run of pitch
// gains above 1 makes the difference grow without bound. Our own decoder
// never shows it, as every code is chosen against its exact state; a 16-bit
// decoder keeps its own rounding, and on a steady tone near the band edge
// (where the interpolation loses level, so the best pitch gains stay above
// 1 for seconds) it played up to 17 dB louder, with added low-frequency
// noise, until it clipped.
//
// The guard follows, for every excitation sample, how strongly a difference
// made at any earlier sample can have come back into it (each sample adds
// one, the pitch loop carries the rest forward through the interpolation),
// and caps a subframe's pitch gain so that this stays under kLimit. Speech
// seldom holds a gain above 1 for long and is not touched.
#pragma once

#include "celp/celp_state.h"
#include "encoder/pitch_search.h"

namespace encoder {

class PitchGainGuard {
 public:
  // The largest pitch gain the subframe starting at i0 (0 or 40) may take
  // with this lag without letting the growth pass kLimit; at least
  // kSafeGain.
  float MaxGain(int i0, const LagCandidate& lag) const;
  // Records the pitch gain and lag the subframe starting at i0 was given.
  void Update(int i0, const LagCandidate& lag, float gain_pit);
  // At the end of a frame, as the decoder moves its excitation.
  void EndFrame();

  // A difference may come back up to 40 dB stronger than it was made; a
  // pitch gain of kSafeGain always lets it die away.
  static constexpr float kLimit = 100.0f;
  static constexpr float kSafeGain = 0.95f;

 private:
  static constexpr int kHistory = celp::EXC_HISTORY;
  static constexpr int kSubframe = 40;
  // Where the decoder's interpolation reads a lag: the phase of its taps
  // and how far back the sample x0 they centre on lies.
  struct Reads {
    int phase;
    int back;
  };
  static Reads ReadsOf(const LagCandidate& lag);
  static bool ReadsHistoryOnly(const Reads& r);
  // What the pitch loop carries into each of the subframe's samples, per
  // unit of gain, when the lag reads only earlier subframes.
  void HistorySums(int i0, const Reads& r, float* sums) const;
  // The subframe's growth with this gain, into growth (laid out as
  // growth_), and its largest value.
  float Peak(int i0, const Reads& r, float gain_pit, float* growth) const;

  // The growth of each excitation sample, laid out as the decoder's.
  float growth_[celp::EXC_HISTORY + celp::L_FRAME] = {};
};

}  // namespace encoder
