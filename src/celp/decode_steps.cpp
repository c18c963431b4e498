#include "celp/decode_steps.h"

#include "celp/closed_forms.h"
#include "celp/fixed_codebook.h"
#include "celp/gain_decode.h"
#include "celp/lp_filters.h"
#include "celp/lsp_decode.h"
#include "celp/phase_dispersion.h"
#include "celp/simd_clones.h"
#include "celp/synthesis_filter.h"

namespace celp {
namespace {

constexpr ScaledShort SHARPMIN = 3277 * 256;   // 0.2, Q14
constexpr ScaledShort SHARPMAX = 13017 * 256;  // 0.7945, Q14

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

void begin_frame(CelpDecoderState& st, int L1, int L2, ScaledShort A_t[2 * MP1]) {
  Copy(st.synth_buf + L_FRAME, st.synth_buf, SYNTH_HISTORY);
  ScaledShort lsp_new[M];
  D_lsp(L1, L2, lsp_new, st.freq_prev);
  Int_qlpc(st.lsp_old, lsp_new, A_t);
  Copy(lsp_new, st.lsp_old, M);
}

void fixed_vector(const CelpDecoderState& st, const SubframeMode& mode, int positions, int signs,
                  int T0, ScaledShort code[L_SUBFR]) {
  if (mode.rate == 1)
    Decod_ACELP(signs, positions, code);
  else
    Decod_ACELP64(signs, positions, code, mode.direct_index_mode);
  sharpen(code, T0, st.sharp);
}

void finish_subframe(CelpDecoderState& st, const SubframeMode& mode, int i0, int gain,
                     ScaledShort code[L_SUBFR], const ScaledShort* Az) {
  if (mode.rate == 1)
    Dec_gain(gain, code, L_SUBFR, st.past_qua_en, st.gain_pit, st.gain_code);
  else
    Dec_gain_6k(gain, code, L_SUBFR, st.past_qua_en, mode.direct_index_mode, st.gain_pit,
                st.gain_code);
  st.sharp = st.gain_pit;
  if (st.sharp > SHARPMAX) st.sharp = SHARPMAX;
  if (st.sharp < SHARPMIN) st.sharp = SHARPMIN;

  ScaledShort* exc = st.old_exc + EXC_HISTORY + i0;
  ScaledShort* synth = st.synth_buf + SYNTH_HISTORY + i0;
  scale_excitation(exc, code, st.gain_pit, st.gain_code);

  // A first synthesis only to detect overflow: when it saturates, the whole
  // stored excitation loses 12 dB so that later subframes stay in range.
  ScaledShort* mem = st.mem_syn + 30 - M;
  Overflow = 0;
  Syn_filt(M, Az, exc, synth, L_SUBFR, mem, 0);
  const bool rescaled = Overflow != 0;
  if (rescaled)
    for (ScaledShort& e : st.old_exc) e = shr(e, 2);

  if (mode.rate == 0) {
    ScaledShort dispersed[L_SUBFR];
    PhDisp(st.phdisp, exc, dispersed, st.gain_code, st.gain_pit, code);
    Syn_filt(M, Az, dispersed, synth, L_SUBFR, mem, 0);
  } else {
    // The second pass filters the first pass's input with the same,
    // unchanged memory: without a rescale its output is already in synth.
    if (rescaled) Syn_filt(M, Az, exc, synth, L_SUBFR, mem, 0);
    Update_PhDisp(st.phdisp, st.gain_pit, st.gain_code);
  }
  Copy(synth + 10, st.mem_syn, 30);
}

void end_frame(CelpDecoderState& st) {
  Copy(st.old_exc + L_FRAME, st.old_exc, EXC_HISTORY);
}

}  // namespace celp
