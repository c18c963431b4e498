// Analysis-by-synthesis encoder of the three CELP modes. Each frame is
// analysed in floating point, and every choice is made against the exact
// excitation, gains and synthesis of this project's own decoder, which runs
// alongside on the frames actually returned.
//
// The LP analysis looks 5 ms ahead, so the decoded speech lags the input by
// 40 samples: the last 40 samples of a recording come out only with one
// more frame (of silence, say) after it.
//
// An encoder is used by one thread at a time; encoders (and decoders) on
// different threads do not meet, as the arithmetic's saturation flag is
// one per thread.
#pragma once

#include <cstdint>

#include "celp/celp_state.h"
#include "encoder/fixed_codebook_search.h"
#include "encoder/frame_encoder.h"
#include "encoder/frame_packer.h"
#include "encoder/gain_quantizer.h"
#include "encoder/low_cut_filter.h"
#include "encoder/lp_analysis.h"
#include "encoder/perceptual_weighting.h"
#include "encoder/pitch_gain_guard.h"
#include "encoder/pitch_search.h"
#include "encoder/preprocess_filter.h"
#include "voice/voice_format.h"

namespace encoder {

class CelpEncoder : public FrameEncoder {
 public:
  // mode: Celp56, Celp64 or Celp80.
  explicit CelpEncoder(voice::VoiceMode mode);
  void EncodeFrame(const int16_t* pcm, uint8_t* frame) override;
  int DelaySamples() const override { return kLookAheadSamples; }
  static constexpr int kLookAheadSamples = 40;

  // The memories of the decoder that has decoded every frame returned so
  // far, from the state a decoder has after opening a file.
  const celp::CelpDecoderState& tracked_state() const { return tracked_; }

 private:
  struct SubframeAnalysis;
  // One lag tried with its best pulses and gains.
  struct Trial {
    LagCandidate lag;
    float max_gain_pit;  // the largest pitch gain this lag may take
    PulseFields pulses;
    GainChoice gains;
    celp::ScaledShort code[40];
  };
  static constexpr int kPitchTrials = 2;
  // A lag whose normalised correlation falls this far behind the best
  // one's is not worth a trial: it nearly never wins.
  static constexpr float kLagShareTried = 0.95f;
  static constexpr int kPulseTrials = 2;
  // Only the dispersed search's best pulse set is judged with its gains:
  // judging a second costs more time than it saves error.
  static constexpr int kDispersedPulseTrials = 1;

  void EncodeSubframe(int s, celp::CelpDecoderState& work, const celp::ScaledShort* A_t,
                      const SubframeAnalysis& an, int open_loop_lag, CelpFields& fields);
  void TryLag(int s, const celp::CelpDecoderState& work, const LagCandidate& lag, const float* x,
              const float* h, const CelpFields& fields, float error_to_beat, Trial& trial) const;
  // The code vector, filtered vectors and gains of chosen pulses.
  void FinishTrial(int s, const celp::CelpDecoderState& work, const float* x, const float* y1,
                   const float* h, const CelpFields& fields, const PulseFields& pulses,
                   Trial& trial) const;
  // Keeps in `trial` the candidate pulses whose gains leave the smallest
  // error; `first`: `trial` holds nothing yet.
  void BestOfPulses(int s, const celp::CelpDecoderState& work, const float* x, const float* y1,
                    const float* h, const CelpFields& fields, const PulseFields* candidates, int n,
                    bool first, Trial& trial) const;
  void DecodeReturnedFrame(const uint8_t* frame);

  voice::VoiceMode mode_;
  int rate_;               // 1: 8 kbit/s, 0: 6.4 kbit/s
  int direct_index_mode_;  // 56-bit frames
  GainTable gain_table_;

  PreprocessFilter preprocess_;
  LpAnalyzer lp_;
  WeightingControl weighting_;

  // Pre-processed speech: 120 past samples, the frame, 40 of look-ahead.
  float speech_[kWindowLength] = {};
  // The same without the band under 70 Hz, for the synthesis filter's
  // spectrum only (see EncodeFrame).
  float speech_low_cut_[kWindowLength] = {};
  LowCutFilter spectrum_cut_{70, 4};
  float lsp_old_[10];  // unquantised LSPs of the previous frame
  // The full spectrum's A(z), for the weighting; kept from the last frame
  // whose analysis was stable.
  float weighting_a_[11] = {1};
  // Weighted speech: the lag range of history, then the frame.
  float wsp_[143 + 80] = {};
  float mem_wsp_[10] = {};  // weighting filter memory of wsp_
  float mem_err_[10] = {};  // last samples of speech minus decoded synthesis
  float mem_w0_[10] = {};   // last samples of the weighted error
  // The weighted error's low cut (see EncodeSubframe), with the memory of
  // the real weighted error.
  LowCutFilter error_cut_{kErrorCutHz, 2};
  static constexpr double kErrorCutHz = 80;

  celp::CelpDecoderState tracked_;
  // Celp80 only: its frames are the ones other decoders most often play.
  bool guard_pitch_gain_;
  PitchGainGuard pitch_guard_;
  // The subframe's filtered responses to a pulse at each place, dispersed as
  // in state 0 and 1, unsharpened (6.4 kbit/s modes): h is the same for
  // every lag and pulse set tried.
  float dispersed_basis_[2][40][40];
};

}  // namespace encoder
