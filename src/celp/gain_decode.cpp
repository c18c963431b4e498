#include "celp/gain_decode.h"

#include "celp/basic_op.h"
#include "celp/codebook_tables.h"
#include "celp/log2_pow2.h"
#include "celp/oper_32b.h"

namespace celp {

void Dec_gain(int index, const ScaledShort* code, int L_subfr, ScaledShort past_qua_en[4],
              ScaledShort& gain_pit, ScaledShort& gain_code) {
  // The index maps undo the bit-error-robust ordering of the transmitted codes.
  const int i1 = imap1[shr(index, 4)];
  const int i2 = imap2[index & 15];

  gain_pit = add(gbk1[i1][0], gbk2[i2][0]);

  ScaledShort gcode0;
  int exp_gcode0;
  Gain_predict(past_qua_en, code, L_subfr, gcode0, exp_gcode0);

  // Correction factor in Q13, applied to the prediction in Q12.
  const ScaledLong L_gbk12 = L_add(L_deposit_l(gbk1[i1][1]), L_deposit_l(gbk2[i2][1]));
  const ScaledShort tmp = extract_l(L_shr(L_gbk12, 1) >> 8);
  const ScaledLong L = L_shl(L_mult(tmp, gcode0), add(negate(exp_gcode0), 4));
  gain_code = extract_h(L);

  Gain_update(past_qua_en, L_gbk12);
}

void Dec_gain_6k(int index, const ScaledShort* code, int L_subfr, ScaledShort past_qua_en[4],
                 int direct_index_mode, ScaledShort& gain_pit, ScaledShort& gain_code) {
  // The widened codes of the 56-bit frames index the codebooks directly.
  int i1;
  int i2;
  if (direct_index_mode) {
    i1 = shr(index, 3);
    i2 = index & 7;
  } else {
    i1 = imap1_6k[shr(index, 3)];
    i2 = imap2_6k[index & 7];
  }

  gain_pit = add(gbk1_6k[i1][0], gbk2_6k[i2][0]);

  ScaledShort gcode0;
  int exp_gcode0;
  Gain_predict(past_qua_en, code, L_subfr, gcode0, exp_gcode0);

  // These correction parts are Q14: halving the sum brings it to the Q13 the
  // energy update expects, and the shift below is one less than at 8 kbit/s.
  const ScaledLong L_gbk12 =
      L_shr(L_add(L_deposit_l(gbk1_6k[i1][1]), L_deposit_l(gbk2_6k[i2][1])), 1);
  const ScaledShort tmp = extract_l(L_gbk12 >> 8);
  const ScaledLong L = L_shl(L_mult(tmp, gcode0), add(negate(exp_gcode0), 3));
  gain_code = extract_h(L);

  Gain_update(past_qua_en, L_gbk12);
}

void Gain_predict(const ScaledShort past_qua_en[4], const ScaledShort* code, int L_subfr,
                  ScaledShort& gcode0, int& exp_gcode0) {
  ScaledLong L = 0;
  for (int i = 0; i < L_subfr; ++i) L = L_mac(L, code[i], code[i]);

  // Mean-removed energy in dB: -10 log10(energy) plus a fixed offset.
  const Log2Result lg = Log2(L);
  L = Mpy_32_16(lg.exponent * 256, lg.fraction * 256, -24660 * 256);
  L = L_mac(L, 32588 * 256, 32 * 256);

  // Add the MA prediction from the past quantised energies.
  L = L_shl(L, 10);
  for (int i = 0; i < 4; ++i) L = L_mac(L, pred[i], past_qua_en[i]);
  gcode0 = extract_h(L);

  // dB to a power of two: 10^(x/20) = 2^(x * 0.166).
  L = L_shr(L_mult(gcode0, 5439 * 256), 8);
  const HiLo hl = L_Extract(L);
  const int exp = shr(hl.hi, 8);
  const int frac = shr(hl.lo, 8);

  gcode0 = extract_l(Pow2(14, frac));
  exp_gcode0 = sub(14, exp);
}

void Gain_update(ScaledShort past_qua_en[4], ScaledLong L_gbk12) {
  for (int i = 3; i > 0; --i) past_qua_en[i] = past_qua_en[i - 1];

  // 20 log10 of the correction factor, from its base-2 logarithm.
  const Log2Result lg = Log2(L_gbk12);
  const ScaledLong L = L_Comp(sub(lg.exponent, 13) * 256, lg.fraction * 256);
  const ScaledShort tmp = extract_h(L_shl(L, 13));
  past_qua_en[0] = mult(tmp, 24660 * 256);
}

}  // namespace celp
