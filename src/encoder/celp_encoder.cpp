#include "encoder/celp_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "celp/decode_frame.h"
#include "celp/decode_steps.h"
#include "celp/decoder_reset.h"
#include "celp/unpack_frame_params.h"
#include "encoder/decoder_steps.h"
#include "encoder/dispersion_model.h"
#include "encoder/fixed_codebook_search.h"
#include "encoder/float_filters.h"
#include "encoder/lsp_conversion.h"
#include "encoder/lsp_quantizer.h"
#include "encoder/open_loop_pitch.h"
#include "encoder/pitch_search.h"

namespace encoder {
namespace {

constexpr int kFrameStart = 120;  // the frame's place in the analysis buffer
constexpr int kPitMax = 143;
constexpr int kExcHistory = celp::EXC_HISTORY;

constexpr float kShortScale = 1.0f / 256.0f;  // a scaled short of Q0 to a sample

// Removes from sets[] those among tried[]; returns how many are left.
int drop_tried(const PulseFields* tried, int n_tried, PulseFields* sets, int n) {
  int kept = 0;
  for (int k = 0; k < n; ++k) {
    const bool seen = std::any_of(tried, tried + n_tried, [&](const PulseFields& p) {
      return p.positions == sets[k].positions && p.signs == sets[k].signs;
    });
    if (!seen) sets[kept++] = sets[k];
  }
  return kept;
}

}  // namespace

struct CelpEncoder::SubframeAnalysis {
  float ap1[11], ap2[11];  // weighting filter A(z/g1) / A(z/g2)
};

CelpEncoder::CelpEncoder(voice::VoiceMode mode) : mode_(mode) {
  rate_ = mode == voice::VoiceMode::Celp80 ? 1 : 0;
  direct_index_mode_ = mode == voice::VoiceMode::Celp56 ? 1 : 0;
  gain_table_ = rate_ == 1                ? GainTable::k8k
                : direct_index_mode_ != 0 ? GainTable::k6kEvenCodes
                                          : GainTable::k6k;
  guard_pitch_gain_ = rate_ == 1;
  // The decoder's state after opening a file in a fresh program.
  celp::Init_Decod_ld8(tracked_);
  for (int j = 0; j < 10; ++j) lsp_old_[j] = tracked_.lsp_old[j] / (256.0f * 32768.0f);
}

void CelpEncoder::EncodeFrame(const int16_t* pcm, uint8_t* frame) {
  std::memmove(speech_, speech_ + kFrame, (kWindowLength - kFrame) * sizeof(float));
  preprocess_.Run(pcm, speech_ + kWindowLength - kFrame, kFrame);
  std::memmove(speech_low_cut_, speech_low_cut_ + kFrame, (kWindowLength - kFrame) * sizeof(float));
  float* newest = speech_low_cut_ + kWindowLength - kFrame;
  std::copy(speech_ + kWindowLength - kFrame, speech_ + kWindowLength, newest);
  spectrum_cut_.Run(newest, kFrame);

  // Unquantised spectra of this frame. The synthesis filter's comes from
  // the speech without its lowest band, where the pre-processing's boost
  // leaves rumble, DC wander and tones not yet removed: a pole pair spent on
  // them would be missing from the formants. Only the envelope is taken from
  // that copy, so its phase turn costs nothing.
  const LpResult lp = lp_.Analyse(speech_low_cut_);
  float lsp_new[10];
  if (!lp.stable || !lp_to_lsp(lp.a, lsp_new)) std::copy(lsp_old_, lsp_old_ + 10, lsp_new);
  float lsp_sub[2][10];  // interpolated for the first subframe
  for (int j = 0; j < 10; ++j) {
    lsp_sub[0][j] = 0.5f * (lsp_old_[j] + lsp_new[j]);
    lsp_sub[1][j] = lsp_new[j];
  }
  std::copy(lsp_new, lsp_new + 10, lsp_old_);
  // The weighting keeps the full spectrum, whose zeros on such a low band
  // keep the trouble from counting in the error; it is the frame's own in
  // both subframes, as interpolating it would need its line spectrum too.
  const LpResult full = lp_.Analyse(speech_);
  if (full.stable) std::copy(full.a, full.a + 11, weighting_a_);
  const float rc[2] = {full.stable ? full.rc[0] : 0.0f, full.stable ? full.rc[1] : 0.0f};
  WeightingGammas gammas[2];
  weighting_.Compute(rc, lsp_sub, gammas);
  SubframeAnalysis an[2];
  for (int s = 0; s < 2; ++s) {
    bandwidth_expand(weighting_a_, gammas[s].g1, an[s].ap1);
    bandwidth_expand(weighting_a_, gammas[s].g2, an[s].ap2);
  }

  // Weighted speech of the frame, for the open-loop pitch estimate.
  std::memmove(wsp_, wsp_ + kFrame, kPitMax * sizeof(float));
  for (int s = 0; s < 2; ++s) {
    float* w = wsp_ + kPitMax + kSubframe * s;
    residual(an[s].ap1, speech_ + kFrameStart + kSubframe * s, w, kSubframe);
    synthesis(an[s].ap2, w, w, kSubframe, mem_wsp_, true);
  }
  const int open_loop_lag = open_loop_pitch(wsp_ + kPitMax, kFrame);

  CelpFields fields{};
  const LspCodes lsp_codes = quantize_lsp(lsp_new, tracked_.freq_prev);
  fields.L1 = lsp_codes.L1;
  fields.L2 = lsp_codes.L2;

  celp::CelpDecoderState work = tracked_;
  celp::ScaledShort A_t[2 * celp::MP1];
  celp::begin_frame(work, fields.L1, fields.L2, A_t);
  for (int s = 0; s < 2; ++s)
    EncodeSubframe(s, work, A_t + celp::MP1 * s, an[s], open_loop_lag, fields);
  celp::end_frame(work);
  if (guard_pitch_gain_) pitch_guard_.EndFrame();
  fields.parity = pitch_parity(fields.sub[0].pitch);

  pack_celp_frame(mode_, fields, frame);
  DecodeReturnedFrame(frame);
}

void CelpEncoder::EncodeSubframe(int s, celp::CelpDecoderState& work, const celp::ScaledShort* Az,
                                 const SubframeAnalysis& an, int open_loop_lag,
                                 CelpFields& fields) {
  const int i0 = kSubframe * s;
  const float* speech = speech_ + kFrameStart + i0;
  const celp::SubframeMode mode{rate_, direct_index_mode_};

  float aq[11];
  for (int k = 0; k <= kOrder; ++k) aq[k] = Az[k] / (256.0f * 4096.0f);

  // Target: the weighted speech less the weighted synthesis filter's
  // response to its past, through the memories of the real decoded error.
  // The error is weighted by A(z/g1)/A(z/g2) and a gentle 80 Hz low cut:
  // what is left of hum, rumble or a thump after pre-processing then takes
  // few bits, and the decoder's output filter removes most of it anyway. As
  // the cut weights the error, not the speech, it turns no phase.
  float err[kOrder + kSubframe];
  std::copy(mem_err_, mem_err_ + kOrder, err);
  float res[kSubframe];
  residual(aq, speech, res, kSubframe);
  synthesis(aq, res, err + kOrder, kSubframe, mem_err_, false);
  float x[kSubframe];
  residual(an.ap1, err + kOrder, x, kSubframe);
  synthesis(an.ap2, x, x, kSubframe, mem_w0_, false);
  LowCutFilter target_cut = error_cut_;
  target_cut.Run(x, kSubframe);

  float h[kSubframe];
  weighted_impulse_response(an.ap1, aq, an.ap2, h, kSubframe);
  LowCutFilter response_cut{kErrorCutHz, 2};
  response_cut.Run(h, kSubframe);
  if (rate_ == 0)
    for (int state = 0; state < 2; ++state)
      dispersed_responses(h, state, kSubframe, 0.0f, dispersed_basis_[state]);

  // Adaptive codebook: the lags that best predict the target, each tried
  // with its own fixed codebook and gains.
  float exc[kExcHistory + kSubframe];
  for (int n = 0; n < kExcHistory; ++n) exc[n] = work.old_exc[i0 + n] * kShortScale;
  LagCandidate cands[kMaxLagCandidates];
  int count;
  if (s == 0) {
    int t0_min = std::max(open_loop_lag - 3, 20);
    int t0_max = t0_min + 6;
    if (t0_max > kPitMax) {
      t0_max = kPitMax;
      t0_min = kPitMax - 6;
    }
    count = first_subframe_candidates(t0_min, t0_max, cands);
  } else {
    count = second_subframe_candidates(work.old_T0, rate_, cands);
  }
  int ranked[kPitchTrials];
  // The second subframe's lag is coded relative to the first and its best
  // candidate is nearly always the one kept: one trial is enough there.
  const int max_trials = s == 0 ? kPitchTrials : 1;
  const int trials =
      search_pitch(exc + kExcHistory, x, h, cands, count, ranked, max_trials, kLagShareTried);
  Trial best;
  for (int t = 0; t < trials; ++t) {
    Trial trial;
    const LagCandidate& lag = cands[ranked[t]];
    trial.max_gain_pit = guard_pitch_gain_ ? pitch_guard_.MaxGain(i0, lag) : INFINITY;
    TryLag(s, work, lag, x, h, fields, t == 0 ? INFINITY : best.gains.error, trial);
    if (t == 0 || trial.gains.error < best.gains.error) best = trial;
  }

  fields.sub[s] = {best.lag.index, best.pulses.positions, best.pulses.signs, best.gains.index};
  adaptive_vector(work, i0, best.lag.T0, best.lag.frac);
  celp::finish_subframe(work, mode, i0, best.gains.index, best.code, Az);
  if (guard_pitch_gain_) pitch_guard_.Update(i0, best.lag, best.gains.gain_pit);

  // Memories of the error between the speech and what the decoder made of it.
  float e[kOrder + kSubframe];
  std::copy(mem_err_, mem_err_ + kOrder, e);
  const celp::ScaledShort* synth = work.synth_buf + celp::SYNTH_HISTORY + i0;
  for (int n = 0; n < kSubframe; ++n) e[kOrder + n] = speech[n] - synth[n] * kShortScale;
  float ew[kSubframe];
  residual(an.ap1, e + kOrder, ew, kSubframe);
  synthesis(an.ap2, ew, ew, kSubframe, mem_w0_, true);
  error_cut_.Run(ew, kSubframe);
  std::copy(e + kSubframe, e + kSubframe + kOrder, mem_err_);
}

void CelpEncoder::TryLag(int s, const celp::CelpDecoderState& work, const LagCandidate& lag,
                         const float* x, const float* h, const CelpFields& fields,
                         float error_to_beat, Trial& trial) const {
  const int i0 = kSubframe * s;
  trial.lag = lag;
  celp::ScaledShort v_exact[kSubframe];
  adaptive_vector_trial(work, i0, lag.T0, lag.frac, v_exact);
  float v[kSubframe], y1[kSubframe];
  for (int n = 0; n < kSubframe; ++n) v[n] = v_exact[n] * kShortScale;
  convolve(v, h, y1, kSubframe);

  // Fixed codebook, on the target left by the unquantised pitch gain.
  const float yy = dot(y1, y1, kSubframe);
  float gp = yy > 0.0f ? dot(x, y1, kSubframe) / yy : 0.0f;
  gp = std::clamp(gp, 0.0f, std::min(1.2f, trial.max_gain_pit));
  float x2[kSubframe];
  for (int n = 0; n < kSubframe; ++n) x2[n] = x[n] - gp * y1[n];
  const float sharp = work.sharp / (256.0f * 16384.0f);
  float h2[kSubframe];
  std::copy(h, h + kSubframe, h2);
  if (lag.T0 < kSubframe)
    for (int n = lag.T0; n < kSubframe; ++n) h2[n] += sharp * h2[n - lag.T0];
  // The best few pulse sets, each judged with its quantised gains, which
  // the search's criterion (the best unquantised gain) does not know.
  const bool reduced = direct_index_mode_ != 0;
  PulseFields candidates[kPulseTrials];
  int n = rate_ == 1 ? search_four_pulses(x2, h2, candidates, kPulseTrials)
                     : search_two_pulses(x2, h2, reduced, candidates, kPulseTrials);
  BestOfPulses(s, work, x, y1, h, fields, candidates, n, true, trial);
  if (rate_ == 1 || trial.gains.dispersion == 2) return;
  // A lag whose first pulses leave more error than an earlier lag's best
  // seldom overtakes it with dispersed ones: not worth the second search.
  if (!(trial.gains.error < error_to_beat)) return;

  // The decoder will disperse these pulses: search again with each pulse's
  // response as the chosen gains make the decoder disperse it, and keep
  // whichever pulses then leave the smaller error.
  // Sharpening changes the responses only for a lag shorter than the
  // subframe; otherwise they are searched where they are.
  const float(*g)[kSubframe] = dispersed_basis_[trial.gains.dispersion];
  float sharpened[kSubframe][kSubframe];
  if (lag.T0 < kSubframe) {
    std::copy(&g[0][0], &g[0][0] + kSubframe * kSubframe, &sharpened[0][0]);
    sharpen_responses(lag.T0, sharp, sharpened);
    g = sharpened;
  }
  PulseFields again[kPulseTrials];
  const int m = search_two_pulses_responses(x2, g, reduced, again, kDispersedPulseTrials);
  // A pulse set judged already would be judged the same again.
  const int fresh = drop_tried(candidates, n, again, m);
  BestOfPulses(s, work, x, y1, h, fields, again, fresh, false, trial);
}

void CelpEncoder::BestOfPulses(int s, const celp::CelpDecoderState& work, const float* x,
                               const float* y1, const float* h, const CelpFields& fields,
                               const PulseFields* candidates, int n, bool first,
                               Trial& trial) const {
  for (int k = 0; k < n; ++k) {
    if (first && k == 0) {
      FinishTrial(s, work, x, y1, h, fields, candidates[0], trial);
      continue;
    }
    Trial other = trial;
    FinishTrial(s, work, x, y1, h, fields, candidates[k], other);
    if (other.gains.error < trial.gains.error) trial = other;
  }
}

void CelpEncoder::FinishTrial(int s, const celp::CelpDecoderState& work, const float* x,
                              const float* y1, const float* h, const CelpFields& fields,
                              const PulseFields& pulses, Trial& trial) const {
  const celp::SubframeMode mode{rate_, direct_index_mode_};
  trial.pulses = pulses;
  celp::fixed_vector(work, mode, pulses.positions, pulses.signs, trial.lag.T0, trial.code);
  float c[kSubframe], y2[kSubframe];
  for (int n = 0; n < kSubframe; ++n) c[n] = trial.code[n] / (256.0f * 8192.0f);
  convolve(c, h, y2, kSubframe);

  // Gains. An all-zero frame would read as a special record: when every
  // other field of the frame is zero, the last gain field must not be.
  // The 80- and 64-bit frames store every field as it is, so a non-zero
  // field rules that out without packing; the 56-bit frames store some
  // fields narrowed.
  bool skip_zero = false;
  const SubframeFields& first = fields.sub[0];
  const bool maybe_zero = direct_index_mode_ != 0 ||
                          (fields.L1 == 0 && fields.L2 == 0 && first.pitch == 0 &&
                           first.positions == 0 && first.signs == 0 && first.gain == 0 &&
                           trial.lag.index == 0 && pulses.positions == 0 && pulses.signs == 0);
  if (s == 1 && maybe_zero) {
    CelpFields probe_fields = fields;
    probe_fields.sub[1] = {trial.lag.index, pulses.positions, pulses.signs, 0};
    uint8_t probe[16];
    pack_celp_frame(mode_, probe_fields, probe);
    const int bytes = celp_frame_bytes(mode_);
    skip_zero = std::all_of(probe, probe + bytes, [](uint8_t b) { return b == 0; });
  }
  if (rate_ == 1) {
    trial.gains = quantize_gains(gain_table_, x, y1, y2, trial.code, work.past_qua_en, nullptr,
                                 skip_zero, trial.max_gain_pit);
    return;
  }
  float y2_low[kSubframe], y2_mid[kSubframe];
  filter_dispersed_pulses(c, dispersed_basis_[0], y2_low);
  filter_dispersed_pulses(c, dispersed_basis_[1], y2_mid);
  const DispersedCode dispersed{&work.phdisp, {y2_low, y2_mid, y2}};
  trial.gains = quantize_gains(gain_table_, x, y1, y2, trial.code, work.past_qua_en, &dispersed,
                               skip_zero, trial.max_gain_pit);
}

void CelpEncoder::DecodeReturnedFrame(const uint8_t* frame) {
  const int bytes = celp_frame_bytes(mode_);
  uint8_t copy[16];
  std::copy(frame, frame + bytes, copy);
  celp::FrameParams prm{};
  StatusCode status = 0;
  celp::unpack_frame_params(copy, prm, 8 * bytes, status);
  if (bytes == 10) prm[5] = celp::Check_Parity_Pitch(prm[4], prm[5]);
  prm[0] = 0;
  celp::ScaledShort A_t[2 * celp::MP1];
  int T0_first = 0, m_pst = 0, frame_type = 0;
  celp::celp_decode_frame(tracked_, prm, direct_index_mode_, A_t, T0_first, m_pst, frame_type);
}

}  // namespace encoder
