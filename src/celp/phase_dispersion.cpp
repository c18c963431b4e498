#include "celp/phase_dispersion.h"

#include "celp/closed_forms.h"
#include "celp/dispersion_tables.h"
#include "celp/simd_clones.h"

namespace celp {
namespace {

constexpr ScaledShort kGain06 = 9830 * 256;   // 0.6, Q14
constexpr ScaledShort kGain09 = 14745 * 256;  // 0.9, Q14

void remember_pitch_gain(PhDispState& st, ScaledShort ltp_gain) {
  for (int i = 5; i > 0; --i) st.gain_mem[i] = st.gain_mem[i - 1];
  st.gain_mem[0] = ltp_gain;
}

// The onset hold counter after a subframe with this fixed gain: a fixed gain
// more than doubling marks an onset, held for two subframes.
int next_onset(const PhDispState& st, ScaledShort cb_gain) {
  if (sub(shr(cb_gain, 1), st.prev_cb_gain) > 0) return 2;
  return st.onset > 0 ? st.onset - 1 : 0;
}

}  // namespace

int dispersion_state(const PhDispState& st, ScaledShort cb_gain, ScaledShort ltp_gain) {
  int state;
  if (sub(ltp_gain, kGain09) < 0)
    state = sub(ltp_gain, kGain06) > 0 ? 1 : 0;
  else
    state = 2;
  const int onset = next_onset(st, cb_gain);

  // The pitch gains of the last six subframes this one included: ltp_gain
  // and the five newest remembered.
  int low_gains = ltp_gain < kGain06 ? 1 : 0;
  for (int i = 0; i < 5; ++i)
    if (st.gain_mem[i] < kGain06) ++low_gains;
  if (low_gains > 2 && onset == 0) state = 0;
  if (state > st.prev_state + 1 && onset == 0) --state;
  if (onset != 0 && state < 2) ++state;
  return state;
}

VOICE_SIMD_CLONES void PhDisp(PhDispState& st, const ScaledShort* x, ScaledShort* y,
                              ScaledShort cb_gain, ScaledShort ltp_gain, ScaledShort* inno) {
  ScaledShort residual[L_SUBFR];
  ScaledShort inno_sav[L_SUBFR];
  int pulses[L_SUBFR];
  int n_pulses = 0;
  for (int i = 0; i < L_SUBFR; ++i) {
    residual[i] = clamp_short(int64_t{x[i]} - gain_product(cb_gain, inno[i]));
    inno_sav[i] = inno[i];
    inno[i] = 0;
  }
  // Without a branch per sample: where the pulses fall is anyone's guess.
  for (int i = 0; i < L_SUBFR; ++i) {
    pulses[n_pulses] = i;
    n_pulses += inno_sav[i] != 0;
  }

  const int state = dispersion_state(st, cb_gain, ltp_gain);
  st.onset = next_onset(st, cb_gain);
  remember_pitch_gain(st, ltp_gain);
  st.prev_state = state;
  st.prev_cb_gain = cb_gain;
  const int32_t* h = state == 0 ? ph_imp_low : state == 1 ? ph_imp_mid : ph_imp_none;

  // Circular convolution over the subframe: a pulse's response wraps
  // around to the subframe's start. With the response written out twice,
  // sample i of a pulse at p takes entry i - p + 40 for every i.
  ScaledShort h2[2 * L_SUBFR];
  for (int i = 0; i < L_SUBFR; ++i) h2[i] = h2[i + L_SUBFR] = h[i];
  for (int k = 0; k < n_pulses; ++k) {
    const int p = pulses[k];
    const ScaledShort* hp = h2 + L_SUBFR - p;
    for (int i = 0; i < L_SUBFR; ++i)
      inno[i] = clamp_short(int64_t{inno[i]} + short_product(inno_sav[p], hp[i]));
  }
  int64_t last = 0;
  for (int i = 0; i < L_SUBFR; ++i) {
    last = int64_t{residual[i]} + gain_product(cb_gain, inno[i]);
    y[i] = clamp_short(last);
  }
  // The operators leave Overflow as the final add set it.
  Overflow = last != y[L_SUBFR - 1] ? 1 : 0;
}

void Update_PhDisp(PhDispState& st, ScaledShort ltp_gain, ScaledShort cb_gain) {
  remember_pitch_gain(st, ltp_gain);
  st.prev_state = 2;
  st.prev_cb_gain = cb_gain;
  st.onset = 0;
}

}  // namespace celp
