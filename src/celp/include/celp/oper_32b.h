// Double-precision helpers: a long split into a high and a low short, and
// the product of such a pair with a short.
#pragma once

#include "celp/basic_op.h"

namespace celp {

struct HiLo {
  ScaledShort hi;
  ScaledShort lo;
};

// hi = extract_h(L) with its 8 extra fraction bits cleared, lo =
// extract_l(L_shr(L_msu(L_shr(L, 1), hi, 0x400000), 8)). For L in the long
// range L >> 24 is a short already, so hi is floor(L / 2^32) 2^8; the msu
// then leaves floor(L / 2) mod 2^31, which never saturates, and lo is bits
// 9 to 31 of L. Neither form touches Overflow.
inline HiLo L_Extract(ScaledLong L) {
  const auto hi = static_cast<ScaledShort>((L >> 32) * 256);
  const auto lo = static_cast<ScaledShort>((L >> 9) & 0x7FFFFF);
  return {hi, lo};
}

inline ScaledLong L_Comp(ScaledShort hi, ScaledShort lo) {
  return L_mac(L_deposit_h(hi), lo, 0x100);
}

inline ScaledLong Mpy_32_16(ScaledShort hi, ScaledShort lo, ScaledShort n) {
  return L_add(L_mult(hi, n), L_shr(L_mult(lo, n), 15));
}

}  // namespace celp
