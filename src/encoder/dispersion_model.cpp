#include "encoder/dispersion_model.h"

#include <algorithm>

#include "celp/basic_op.h"
#include "celp/dispersion_tables.h"
#include "encoder/float_filters.h"

namespace encoder {
namespace {

struct Responses {
  float r[2][kSubframe];
  Responses() {
    for (int i = 0; i < kSubframe; ++i) {
      r[0][i] = celp::ph_imp_low[i] / (256.0f * 32768.0f);
      r[1][i] = celp::ph_imp_mid[i] / (256.0f * 32768.0f);
    }
  }
};

const float* response(int state) {
  static const Responses responses;
  return responses.r[state];
}

}  // namespace

void disperse_and_filter(const float* c, const float* h, int state, float* y) {
  const float* r = response(state);
  float d[kSubframe] = {};
  for (int p = 0; p < kSubframe; ++p) {
    if (c[p] == 0.0f) continue;
    for (int i = p; i < kSubframe; ++i) d[i] += c[p] * r[i - p];
    for (int i = 0; i < p; ++i) d[i] += c[p] * r[i - p + kSubframe];
  }
  convolve(d, h, y, kSubframe);
}

void dispersed_responses(const float* h, int state, int T0, float sharp, float (*g)[40]) {
  const float* r = response(state);
  // A pulse at p is dispersed into r shifted by p, its tail wrapped to the
  // subframe's start. At p = 0 nothing wraps: g[0] = h * r. Each next place
  // shifts the response one sample on and wraps one more tap of r,
  // r[39 - p], to the start:
  // g[p + 1][n] = r[39 - p] h[n] + g[p][n - 1] (g[p][-1] = 0),
  // one pass over the taps per place.
  convolve(r, h, g[0], kSubframe);
  for (int p = 0; p + 1 < kSubframe; ++p) {
    const float tap = r[kSubframe - 1 - p];
    g[p + 1][0] = tap * h[0];
    for (int n = 1; n < kSubframe; ++n) g[p + 1][n] = tap * h[n] + g[p][n - 1];
  }
  sharpen_responses(T0, sharp, g);
}

void sharpen_responses(int T0, float sharp, float (*g)[40]) {
  // Sharpening repeats a pulse at p + T0, p + 2 T0, ... with falling
  // weights, each repeat dispersed in turn.
  if (T0 < kSubframe)
    for (int p = kSubframe - 1 - T0; p >= 0; --p)
      for (int n = 0; n < kSubframe; ++n) g[p][n] += sharp * g[p + T0][n];
}

void filter_dispersed_pulses(const float* c, const float (*g)[40], float* y) {
  // The pulses' places first, without a branch per place: where they fall is
  // anyone's guess.
  int at[kSubframe];
  int pulses = 0;
  for (int p = 0; p < kSubframe; ++p) {
    at[pulses] = p;
    pulses += c[p] != 0.0f ? 1 : 0;
  }
  float acc[kSubframe] = {};
  for (int k = 0; k < pulses; ++k) {
    const float cp = c[at[k]];
    const float* gp = g[at[k]];
    for (int n = 0; n < kSubframe; ++n) acc[n] += cp * gp[n];
  }
  std::copy(acc, acc + kSubframe, y);
}

void dispersion_states(const celp::PhDispState& st, const celp::ScaledShort* ltp_gain,
                       const celp::ScaledShort* cb_gain, int n, int* state) {
  // The decoder's thresholds on the pitch gain: 0.6 and 0.9 in Q14.
  constexpr celp::ScaledShort kGain06 = 9830 * 256, kGain09 = 14745 * 256;
  // Its comparisons subtract with saturation, which keeps the sign of the
  // difference: they are plain comparisons.
  int low_remembered = 0;
  for (int i = 0; i < 5; ++i) low_remembered += st.gain_mem[i] < kGain06 ? 1 : 0;
  const bool held_onset = st.onset > 1;  // still held after counting down
  for (int k = 0; k < n; ++k) {
    const celp::ScaledShort ltp = ltp_gain[k];
    const int by_gain = ltp >= kGain09 ? 2 : ltp > kGain06 ? 1 : 0;
    // An onset: the fixed gain more than doubled, or one held from before.
    const bool onset = held_onset || (cb_gain[k] >> 1) > st.prev_cb_gain;
    const int low = low_remembered + (ltp < kGain06 ? 1 : 0);
    int quiet = low > 2 ? 0 : by_gain;
    quiet -= quiet > st.prev_state + 1 ? 1 : 0;
    const int lifted = by_gain < 2 ? by_gain + 1 : 2;
    state[k] = onset ? lifted : quiet;
  }
  if (n > 0) celp::sub(celp::shr(cb_gain[n - 1], 1), st.prev_cb_gain);
}

}  // namespace encoder
