// Closed forms of short operator sequences, for loops that should vectorise.
//
// Each gives the value the operators give, for any operands in the short
// range, but leaves Overflow alone: a caller that uses one where the flag
// could still matter sets it itself, to what the last operator would have
// left. 64-bit floors are taken on a biased, non-negative value by a logical
// shift, because AVX2 has no 64-bit arithmetic shift.
#pragma once

#include "celp/basic_op.h"

namespace celp {

// add and sub: the exact sum, clamped.
inline ScaledShort clamp_short(int64_t v) {
  return static_cast<ScaledShort>(v < MIN_S ? MIN_S : v > MAX_S ? MAX_S : v);
}

// mult(a, b): |a b| <= 2^46, so (a b) >> 23 lies in [-2^23, 2^23] and the
// sign extension from bit 24 changes nothing; only MIN_S x MIN_S exceeds the
// range.
inline ScaledShort short_product(ScaledShort a, ScaledShort b) {
  const uint64_t biased = static_cast<uint64_t>(int64_t{a} * b + (int64_t{1} << 46)) >> 23;
  const int32_t r = static_cast<int32_t>(biased) - (1 << 23);
  return r > MAX_S ? MAX_S : r;
}

// extract_h(L_shl(L_mult(g, c), 1)) before its saturation: L_mult doubles
// g c (MIN_S x MIN_S saturating to MAX_L), L_shl doubles again, saturating
// exactly when 4 g c leaves the long range, and extract_h keeps the bits from
// 24 up. So the result is floor(g c / 2^22) clamped to the short range, and
// the operators saturate exactly when this value lies outside it.
inline int32_t gain_product_unclamped(ScaledShort g, ScaledShort c) {
  const uint64_t biased = static_cast<uint64_t>(int64_t{g} * c + (int64_t{1} << 46)) >> 22;
  return static_cast<int32_t>(biased) - (1 << 24);
}

inline ScaledShort gain_product(ScaledShort g, ScaledShort c) {
  return clamp_short(gain_product_unclamped(g, c));
}

// extract_h(L_mac(L_mult(x, g1), c, g2)) before its saturation, for g1 and
// g2 other than MIN_S (then neither L_mult saturates): the mac saturates
// exactly when 2 (x g1 + c g2) leaves the long range, so the result is
// floor((x g1 + c g2) / 2^23) clamped to the short range, and the operators
// saturate exactly when this value lies outside it.
inline int32_t mac_high_unclamped(ScaledShort x, ScaledShort g1, ScaledShort c, ScaledShort g2) {
  const int64_t sum = int64_t{x} * g1 + int64_t{c} * g2;
  const uint64_t biased = static_cast<uint64_t>(sum + (int64_t{1} << 47)) >> 23;
  return static_cast<int32_t>(biased) - (1 << 24);
}

// extract_h(L_shl(L_mac(L_mult(x, g1), c, g2), 1)) before its saturation,
// for g1 and g2 other than MIN_S (then neither L_mult saturates): the sum
// x g1 + c g2 lies within +-2^47; if the mac saturates, the sum doubled
// twice leaves the range on the same side, so L_shl saturates to the same
// bound either way. The result is floor((x g1 + c g2) / 2^22) clamped to the
// short range, and the operators saturate exactly when this value lies
// outside it.
inline int32_t two_gain_product_unclamped(ScaledShort x, ScaledShort g1, ScaledShort c,
                                          ScaledShort g2) {
  const int64_t sum = int64_t{x} * g1 + int64_t{c} * g2;
  const uint64_t biased = static_cast<uint64_t>(sum + (int64_t{1} << 47)) >> 22;
  return static_cast<int32_t>(biased) - (1 << 25);
}

}  // namespace celp
