#include "celp/decode_frame.h"

#include "celp/adaptive_codebook.h"
#include "celp/closed_forms.h"
#include "celp/fixed_codebook.h"
#include "celp/gain_decode.h"
#include "celp/lp_filters.h"
#include "celp/lsp_decode.h"
#include "celp/phase_dispersion.h"
#include "celp/pitch_lag.h"
#include "celp/simd_clones.h"
#include "celp/synthesis_filter.h"

namespace celp {
namespace {

constexpr ScaledShort SHARPMIN = 3277 * 256;   // 0.2, Q14
constexpr ScaledShort SHARPMAX = 13017 * 256;  // 0.7945, Q14

// Lag of the first subframe. A pitch index whose parity failed reuses the
// last good lag and nudges it up for the next frame.
void first_subframe_lag(CelpDecoderState& st, int index, int bad_pitch, int rate, int& T0,
                        int& T0_frac) {
  if (!bad_pitch) {
    Dec_lag3(index, PIT_MIN, PIT_MAX, 0, T0, T0_frac, rate);
    st.old_T0 = T0;
    return;
  }
  T0 = st.old_T0;
  T0_frac = 0;
  st.old_T0 = add(st.old_T0, 1);
  if (st.old_T0 > PIT_MAX) st.old_T0 = PIT_MAX;
}

// exc = extract_h(L_shl(L_mac(L_mult(exc, gain_pit), code, gain_code), 1)),
// in closed form unless a gain is MIN_S. These operators only ever set
// Overflow, which is set when any sample saturates.
VOICE_SIMD_CLONES void scale_excitation(ScaledShort* exc, const ScaledShort* code,
                                        ScaledShort gain_pit, ScaledShort gain_code) {
  if (gain_pit == MIN_S || gain_code == MIN_S) {
    for (int i = 0; i < L_SUBFR; ++i)
      exc[i] = extract_h(L_shl(L_mac(L_mult(exc[i], gain_pit), code[i], gain_code), 1));
    return;
  }
  int saturated = 0;
  for (int i = 0; i < L_SUBFR; ++i) {
    const int32_t r = two_gain_product_unclamped(exc[i], gain_pit, code[i], gain_code);
    exc[i] = clamp_short(r);
    saturated |= exc[i] != r;
  }
  if (saturated) Overflow = 1;
}

// Repeats the pulses at the pitch period for lags shorter than a subframe.
void sharpen(ScaledShort code[L_SUBFR], int T0, ScaledShort sharp) {
  const ScaledShort pit_sharp = shl(sharp, 1);
  if (T0 < L_SUBFR)
    for (int i = T0; i < L_SUBFR; ++i) code[i] = add(code[i], mult(code[i - T0], pit_sharp));
}

}  // namespace

void celp_decode_frame(CelpDecoderState& st, const FrameParams& prm, int direct_index_mode,
                       ScaledShort A_t_out[2 * MP1], int& T0_first, int& m_pst, int& frame_type) {
  ScaledShort* synth = st.synth_buf + SYNTH_HISTORY;
  ScaledShort* exc = st.old_exc + EXC_HISTORY;
  Copy(st.synth_buf + L_FRAME, st.synth_buf, SYNTH_HISTORY);

  frame_type = prm[1];
  const int rate = frame_type - 2;  // 1: 8 kbit/s, 0: 6.4 kbit/s
  int field = 2;

  ScaledShort lsp_new[M];
  D_lsp(prm[field], prm[field + 1], lsp_new, st.freq_prev);
  field += 2;
  ScaledShort A_t[2 * MP1];
  Int_qlpc(st.lsp_old, lsp_new, A_t);
  Copy(lsp_new, st.lsp_old, M);

  for (int i0 = 0; i0 < L_FRAME; i0 += L_SUBFR) {
    const ScaledShort* Az = A_t + (i0 == 0 ? 0 : MP1);
    int T0 = 0;
    int T0_frac = 0;
    const int pitch_index = prm[field++];
    if (i0 == 0) {
      const int bad_pitch = rate == 1 ? prm[field++] : 0;
      first_subframe_lag(st, pitch_index, bad_pitch, rate, T0, T0_frac);
      T0_first = T0;
    } else {
      T0 = T0_first;
      Dec_lag3(pitch_index, PIT_MIN, PIT_MAX, i0, T0, T0_frac, rate);
      st.old_T0 = T0;
    }
    Pred_lt_3(exc + i0, T0, T0_frac, L_SUBFR);

    ScaledShort code[L_SUBFR];
    const int positions = prm[field++];
    const int signs = prm[field++];
    if (rate == 1)
      Decod_ACELP(signs, positions, code);
    else
      Decod_ACELP64(signs, positions, code, direct_index_mode);
    sharpen(code, T0, st.sharp);

    const int gain_index = prm[field++];
    if (rate == 1)
      Dec_gain(gain_index, code, L_SUBFR, st.past_qua_en, st.gain_pit, st.gain_code);
    else
      Dec_gain_6k(gain_index, code, L_SUBFR, st.past_qua_en, direct_index_mode, st.gain_pit,
                  st.gain_code);
    st.sharp = st.gain_pit;
    if (st.sharp > SHARPMAX) st.sharp = SHARPMAX;
    if (st.sharp < SHARPMIN) st.sharp = SHARPMIN;

    scale_excitation(exc + i0, code, st.gain_pit, st.gain_code);

    // A first synthesis only to detect overflow: when it saturates, the whole
    // stored excitation loses 12 dB so that later subframes stay in range.
    ScaledShort* mem = st.mem_syn + 30 - M;
    Overflow = 0;
    Syn_filt(M, Az, exc + i0, synth + i0, L_SUBFR, mem, 0);
    const bool rescaled = Overflow != 0;
    if (rescaled)
      for (ScaledShort& e : st.old_exc) e = shr(e, 2);

    if (rate == 0) {
      ScaledShort dispersed[L_SUBFR];
      PhDisp(st.phdisp, exc + i0, dispersed, st.gain_code, st.gain_pit, code);
      Syn_filt(M, Az, dispersed, synth + i0, L_SUBFR, mem, 0);
    } else {
      // The second pass filters the first pass's input with the same,
      // unchanged memory: without a rescale its output is already in synth.
      if (rescaled) Syn_filt(M, Az, exc + i0, synth + i0, L_SUBFR, mem, 0);
      Update_PhDisp(st.phdisp, st.gain_pit, st.gain_code);
    }
    Copy(synth + i0 + 10, st.mem_syn, 30);
  }

  Copy(st.old_exc + L_FRAME, st.old_exc, EXC_HISTORY);
  Copy(A_t, A_t_out, 2 * MP1);
  m_pst = M;
}

}  // namespace celp
