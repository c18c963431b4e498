// Double-precision helpers: a long split into a high and a low short, and
// the product of such a pair with a short.
#pragma once

#include "celp/basic_op.h"

namespace celp {

struct HiLo {
  ScaledShort hi;
  ScaledShort lo;
};

inline HiLo L_Extract(ScaledLong L) {
  const ScaledShort hi = extract_h(L) & ~0xFF;
  const ScaledShort lo = extract_l(L_shr(L_msu(L_shr(L, 1), hi, 0x400000), 8));
  return {hi, lo};
}

inline ScaledLong L_Comp(ScaledShort hi, ScaledShort lo) {
  return L_mac(L_deposit_h(hi), lo, 0x100);
}

inline ScaledLong Mpy_32_16(ScaledShort hi, ScaledShort lo, ScaledShort n) {
  return L_add(L_mult(hi, n), L_shr(L_mult(lo, n), 15));
}

}  // namespace celp
