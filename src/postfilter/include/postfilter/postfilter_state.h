// Memories of the adaptive post-filter and of the output high-pass filter.
#pragma once

#include "celp/basic_op.h"
#include "celp/oper_32b.h"

namespace postfilter {

using celp::HiLo;
using celp::ScaledShort;

inline constexpr int GAMMA1_PST = 22938 * 256;  // 0.70, Q15
inline constexpr int GAMMA2_PST = 18022 * 256;  // 0.55, Q15
inline constexpr int LONG_H_ST = 20;            // impulse response length
// Residual history the long-term post-filter may read: a delay of up to 144
// plus the reach of its 16-tap interpolation.
inline constexpr int RES2_HISTORY = 153;
// The part of that history the common signal scaling looks at.
inline constexpr int RES2_SCALED_HISTORY = 152;

struct PostFilterState {
  ScaledShort res2_buf[RES2_HISTORY + 40] = {};  // residual history, then the subframe
  ScaledShort mem_stp[30] = {};                  // last outputs of 1/A(z/gamma1)
  ScaledShort apond2[32] = {};                   // A(z/gamma2), zero beyond the order
  ScaledShort mem_zero[30] = {};                 // always zero
  ScaledShort gain_prec = 16384 * 256;           // adaptive gain control, Q14
};

struct HighPassState {
  ScaledShort hp_x0 = 0, hp_x1 = 0;
  HiLo hp_y1 = {0, 0}, hp_y2 = {0, 0};
};

}  // namespace postfilter
