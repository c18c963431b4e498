#include "encoder/decoder_steps.h"

#include <algorithm>

#include "celp/adaptive_codebook.h"
#include "celp/fixed_codebook.h"
#include "celp/gain_decode.h"
#include "celp/lp_filters.h"
#include "celp/lsp_decode.h"
#include "celp/oper_32b.h"
#include "celp/phase_dispersion.h"
#include "celp/synthesis_filter.h"

namespace encoder {

using namespace celp;

namespace {

constexpr ScaledShort kSharpMin = 3277 * 256;   // 0.2, Q14
constexpr ScaledShort kSharpMax = 13017 * 256;  // 0.7945, Q14

}  // namespace

void begin_frame(CelpDecoderState& st, int L1, int L2, ScaledShort A_t[2 * MP1]) {
  Copy(st.synth_buf + L_FRAME, st.synth_buf, SYNTH_HISTORY);
  ScaledShort lsp_new[M];
  D_lsp(L1, L2, lsp_new, st.freq_prev);
  Int_qlpc(st.lsp_old, lsp_new, A_t);
  Copy(lsp_new, st.lsp_old, M);
}

void adaptive_vector(CelpDecoderState& st, int i0, int T0, int frac) {
  st.old_T0 = T0;
  Pred_lt_3(st.old_exc + EXC_HISTORY + i0, T0, frac, L_SUBFR);
}

void adaptive_vector_trial(const CelpDecoderState& st, int i0, int T0, int frac,
                           ScaledShort v[L_SUBFR]) {
  ScaledShort buf[EXC_HISTORY + L_SUBFR];
  Copy(st.old_exc + i0, buf, EXC_HISTORY);
  Pred_lt_3(buf + EXC_HISTORY, T0, frac, L_SUBFR);
  Copy(buf + EXC_HISTORY, v, L_SUBFR);
}

void fixed_vector(const CelpDecoderState& st, const DecoderStepsConfig& cfg, int positions,
                  int signs, int T0, ScaledShort code[L_SUBFR]) {
  if (cfg.rate == 1)
    Decod_ACELP(signs, positions, code);
  else
    Decod_ACELP64(signs, positions, code, cfg.direct_index_mode);
  const ScaledShort pit_sharp = shl(st.sharp, 1);
  if (T0 < L_SUBFR)
    for (int i = T0; i < L_SUBFR; ++i) code[i] = add(code[i], mult(code[i - T0], pit_sharp));
}

void finish_subframe(CelpDecoderState& st, const DecoderStepsConfig& cfg, int i0, int gain,
                     ScaledShort code[L_SUBFR], const ScaledShort* Az) {
  if (cfg.rate == 1)
    Dec_gain(gain, code, L_SUBFR, st.past_qua_en, st.gain_pit, st.gain_code);
  else
    Dec_gain_6k(gain, code, L_SUBFR, st.past_qua_en, cfg.direct_index_mode, st.gain_pit,
                st.gain_code);
  st.sharp = st.gain_pit;
  if (st.sharp > kSharpMax) st.sharp = kSharpMax;
  if (st.sharp < kSharpMin) st.sharp = kSharpMin;

  ScaledShort* exc = st.old_exc + EXC_HISTORY + i0;
  for (int i = 0; i < L_SUBFR; ++i)
    exc[i] = extract_h(L_shl(L_mac(L_mult(exc[i], st.gain_pit), code[i], st.gain_code), 1));

  ScaledShort* synth = st.synth_buf + SYNTH_HISTORY + i0;
  ScaledShort* mem = st.mem_syn + 30 - M;
  Overflow = 0;
  Syn_filt(M, Az, exc, synth, L_SUBFR, mem, 0);
  const bool rescaled = Overflow != 0;
  if (rescaled)
    for (ScaledShort& e : st.old_exc) e = shr(e, 2);
  if (cfg.rate == 0) {
    ScaledShort dispersed[L_SUBFR];
    PhDisp(st.phdisp, exc, dispersed, st.gain_code, st.gain_pit, code);
    Syn_filt(M, Az, dispersed, synth, L_SUBFR, mem, 0);
  } else {
    if (rescaled) Syn_filt(M, Az, exc, synth, L_SUBFR, mem, 0);
    Update_PhDisp(st.phdisp, st.gain_pit, st.gain_code);
  }
  Copy(synth + 10, st.mem_syn, 30);
}

int dispersion_state(const PhDispState& st, ScaledShort cb_gain, ScaledShort ltp_gain) {
  constexpr ScaledShort kGain06 = 9830 * 256;   // 0.6, Q14
  constexpr ScaledShort kGain09 = 14745 * 256;  // 0.9, Q14
  int state = ltp_gain < kGain09 ? (ltp_gain > kGain06 ? 1 : 0) : 2;
  // A fixed gain more than doubling is an onset, held for two subframes.
  const int onset = (cb_gain >> 1) > st.prev_cb_gain ? 2 : std::max(st.onset - 1, 0);
  int low_gains = ltp_gain < kGain06 ? 1 : 0;
  for (int i = 0; i < 5; ++i) low_gains += st.gain_mem[i] < kGain06 ? 1 : 0;
  if (low_gains > 2 && onset == 0) state = 0;
  if (state > st.prev_state + 1 && onset == 0) --state;
  if (onset != 0 && state < 2) ++state;
  return state;
}

void end_frame(CelpDecoderState& st) {
  Copy(st.old_exc + L_FRAME, st.old_exc, EXC_HISTORY);
}

}  // namespace encoder
