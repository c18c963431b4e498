#include "encoder/gain_quantizer.h"

#include <algorithm>
#include <cmath>

#include "celp/codebook_tables.h"
#include "celp/gain_decode.h"
#include "encoder/dispersion_model.h"
#include "encoder/float_filters.h"

namespace encoder {
namespace {

// The parts of a code's gains that do not depend on the subframe.
struct CodeTerms {
  celp::ScaledShort gain_pit;
  celp::ScaledShort correction;  // the factor applied to the predicted gain
};

struct CodeTable {
  CodeTerms terms[128];
  int count;
  int step;  // 56-bit frames reach only the even codes
  explicit CodeTable(GainTable table) {
    using namespace celp;
    count = table == GainTable::k8k ? 128 : 64;
    step = table == GainTable::k6kEvenCodes ? 2 : 1;
    for (int g = 0; g < count; ++g) {
      if (table == GainTable::k8k) {
        const int i1 = imap1[g >> 4], i2 = imap2[g & 15];
        const ScaledLong L = L_add(L_deposit_l(gbk1[i1][1]), L_deposit_l(gbk2[i2][1]));
        terms[g] = {add(gbk1[i1][0], gbk2[i2][0]), extract_l(L_shr(L, 1) >> 8)};
      } else {
        const bool direct = table == GainTable::k6kEvenCodes;
        const int i1 = direct ? g >> 3 : imap1_6k[g >> 3];
        const int i2 = direct ? g & 7 : imap2_6k[g & 7];
        const ScaledLong L =
            L_shr(L_add(L_deposit_l(gbk1_6k[i1][1]), L_deposit_l(gbk2_6k[i2][1])), 1);
        terms[g] = {add(gbk1_6k[i1][0], gbk2_6k[i2][0]), extract_l(L >> 8)};
      }
    }
  }
};

const CodeTable& code_table(GainTable table) {
  static const CodeTable t8(GainTable::k8k), t6(GainTable::k6k), t6e(GainTable::k6kEvenCodes);
  return table == GainTable::k8k ? t8 : table == GainTable::k6k ? t6 : t6e;
}

celp::ScaledShort fixed_gain(GainTable table, celp::ScaledShort correction,
                             celp::ScaledShort gcode0, int exp_gcode0) {
  using namespace celp;
  const int shift = table == GainTable::k8k ? 4 : 3;
  return extract_h(L_shl(L_mult(correction, gcode0), add(negate(exp_gcode0), shift)));
}

constexpr float kPitScale = 1.0f / (256.0f * 16384.0f);  // Q14
constexpr float kCodeScale = 1.0f / (256.0f * 2.0f);     // Q1

}  // namespace

void decoded_gains(GainTable table, int index, celp::ScaledShort gcode0, int exp_gcode0,
                   celp::ScaledShort& gain_pit, celp::ScaledShort& gain_code) {
  const CodeTerms& c = code_table(table).terms[index];
  gain_pit = c.gain_pit;
  gain_code = fixed_gain(table, c.correction, gcode0, exp_gcode0);
}

GainChoice quantize_gains(GainTable table, const float* x, const float* y, const float* z,
                          const celp::ScaledShort* code, const celp::ScaledShort past_qua_en[4],
                          const DispersedCode* dispersed, bool skip_zero, float max_gain_pit) {
  celp::ScaledShort gcode0;
  int exp_gcode0;
  celp::Gain_predict(past_qua_en, code, kSubframe, gcode0, exp_gcode0);

  const float xy = dot(x, y, kSubframe), yy = dot(y, y, kSubframe);
  float xz[3], zz[3], yz[3];
  for (int k = 0; k < 3; ++k) {
    const float* zk = dispersed ? dispersed->z[k] : z;
    xz[k] = dot(x, zk, kSubframe);
    zz[k] = dot(zk, zk, kSubframe);
    yz[k] = dot(y, zk, kSubframe);
  }
  // The decoder's gains of every code first, in code order as before;
  // then the errors side by side, which vectorises.
  const CodeTable& t = code_table(table);
  int codes[128], state[128];
  celp::ScaledShort pit[128], fixed[128];
  float gp[128], gc[128];
  int n = 0;
  for (int g = skip_zero ? t.step : 0; g < t.count; g += t.step, ++n) {
    codes[n] = g;
    pit[n] = t.terms[g].gain_pit;
    fixed[n] = fixed_gain(table, t.terms[g].correction, gcode0, exp_gcode0);
    gp[n] = pit[n] * kPitScale;
    gc[n] = fixed[n] * kCodeScale;
  }
  if (dispersed)
    dispersion_states(*dispersed->state, pit, fixed, n, state);
  else
    std::fill(state, state + n, 2);
  float err[128];
  if (dispersed) {
    for (int m = 0; m < n; ++m) {
      const int k = state[m];
      err[m] = gp[m] * (gp[m] * yy - 2.0f * xy) + gc[m] * (gc[m] * zz[k] - 2.0f * xz[k]) +
               2.0f * gp[m] * gc[m] * yz[k];
    }
  } else {
    for (int m = 0; m < n; ++m)
      err[m] = gp[m] * (gp[m] * yy - 2.0f * xy) + gc[m] * (gc[m] * zz[2] - 2.0f * xz[2]) +
               2.0f * gp[m] * gc[m] * yz[2];
  }
  GainChoice best{-1, 0.0f, 0.0f, INFINITY, 2};
  for (int m = 0; m < n; ++m)
    if (err[m] < best.error && gp[m] <= max_gain_pit)
      best = {codes[m], gp[m], gc[m], err[m], state[m]};
  return best;
}

}  // namespace encoder
