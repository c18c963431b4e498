// Basic operators of the codec's scaled fixed-point arithmetic.
//
// Every 16-bit quantity of the reference codec is held here with 8 more
// fraction bits (value x 256 in a 32-bit integer, range -2^23 .. 2^23-1) and
// every 32-bit quantity with 16 more (value x 65536 in a 64-bit integer,
// range -2^47 .. 2^47-1). The operators keep the reference names and
// semantics on these wider containers: they saturate at the scaled bounds,
// report saturation through the Overflow flag (one per thread) and never round (where
// the reference rounds, the codec truncates).
//
// The order in which callers apply these operators is part of the codec's
// output: saturation and the Overflow flag depend on it.
#pragma once

#include <bit>
#include <cstdint>

#include "celp/status_code.h"

namespace celp {

using ScaledShort = int32_t;
using ScaledLong = int64_t;

inline constexpr ScaledShort MAX_S = 0x7FFFFF;
inline constexpr ScaledShort MIN_S = -0x800000;
inline constexpr ScaledLong MAX_L = 0x7FFF'FFFF'FFFF;
inline constexpr ScaledLong MIN_L = -0x8000'0000'0000;

// Set by every saturating operator; cleared only by saturate() and so by
// add, sub and mult when their result is in range. One per thread: the flag
// steers the decoding of the frame under way (the synthesis rescale), so two
// decoders on two threads must never see each other's saturations.
inline thread_local int32_t Overflow = 0;

// Low 24 bits of x, sign-extended from bit 23.
inline ScaledShort extract_l(int64_t x) {
  return static_cast<int32_t>(static_cast<uint32_t>(x) << 8) >> 8;
}

inline ScaledShort extract_h(ScaledLong L) {
  return extract_l(L >> 24);
}

inline ScaledShort saturate(int64_t x) {
  if (x > MAX_S) {
    Overflow = 1;
    return MAX_S;
  }
  if (x < MIN_S) {
    Overflow = 1;
    return MIN_S;
  }
  Overflow = 0;
  return extract_l(x);
}

inline ScaledShort add(ScaledShort a, ScaledShort b) {
  return saturate(static_cast<int64_t>(a) + b);
}

inline ScaledShort sub(ScaledShort a, ScaledShort b) {
  return saturate(static_cast<int64_t>(a) - b);
}

inline ScaledShort abs_s(ScaledShort a) {
  if (a == MIN_S) return MAX_S;
  return a < 0 ? -a : a;
}

inline ScaledShort negate(ScaledShort a) {
  return a == MIN_S ? MAX_S : -a;
}

inline ScaledShort shr(ScaledShort a, int n);

inline ScaledShort shl(ScaledShort a, int n) {
  if (n < 0) return shr(a, -n);
  if (n > 23) {
    if (a == 0) return 0;
    Overflow = 1;
    return a > 0 ? MAX_S : MIN_S;
  }
  const int64_t p = static_cast<int64_t>(a) * (int64_t{1} << n);
  if (p > MAX_S || p < MIN_S) {
    Overflow = 1;
    return a > 0 ? MAX_S : MIN_S;
  }
  return extract_l(p);
}

inline ScaledShort shr(ScaledShort a, int n) {
  if (n < 0) return shl(a, -n);
  if (n >= 23) return a < 0 ? -1 : 0;
  return a >> n;
}

inline ScaledShort mult(ScaledShort a, ScaledShort b) {
  int64_t p = (static_cast<int64_t>(a) * b) >> 23;
  // The reference sign-extends its product from bit 16; on the wider
  // container that bit is bit 24.
  if (p & (int64_t{1} << 24)) p |= ~((int64_t{1} << 25) - 1);
  return saturate(p);
}

// Whether a 64-bit value lies outside the long range: one unsigned compare
// on the hot accumulation paths.
inline bool outside_long_range(int64_t s) {
  return static_cast<uint64_t>(s - MIN_L) > static_cast<uint64_t>(MAX_L - MIN_L);
}

[[gnu::cold, gnu::noinline]] inline ScaledLong saturate_long(int64_t s) {
  Overflow = 1;
  return s > MAX_L ? MAX_L : MIN_L;
}

[[gnu::cold, gnu::noinline]] inline ScaledLong saturated_product() {
  Overflow = 1;
  return MAX_L;
}

inline ScaledLong L_mult(ScaledShort a, ScaledShort b) {
  const int64_t p = static_cast<int64_t>(a) * b;
  // Only MIN_S x MIN_S doubles past the long range.
  if (p == (int64_t{1} << 46)) [[unlikely]]
    return saturated_product();
  return 2 * p;
}

inline ScaledLong L_add(ScaledLong L1, ScaledLong L2) {
  const int64_t s = L1 + L2;
  if (outside_long_range(s)) [[unlikely]]
    return saturate_long(s);
  return s;
}

inline ScaledLong L_sub(ScaledLong L1, ScaledLong L2) {
  const int64_t s = L1 - L2;
  if (outside_long_range(s)) [[unlikely]]
    return saturate_long(s);
  return s;
}

inline ScaledLong L_mac(ScaledLong L, ScaledShort a, ScaledShort b) {
  return L_add(L, L_mult(a, b));
}

inline ScaledLong L_msu(ScaledLong L, ScaledShort a, ScaledShort b) {
  return L_sub(L, L_mult(a, b));
}

inline ScaledLong L_shr(ScaledLong L, int n);

inline ScaledLong L_shl(ScaledLong L, int n) {
  if (n <= 0) return L_shr(L, -n);
  if (L == 0) return 0;  // doubling zero never saturates
  // A value that no doubling can push past the range shifts in one go; the
  // others double step by step, saturating at the first step that would
  // leave the range.
  if (n < 47 && L >= -(int64_t{1} << (47 - n)) && L < (int64_t{1} << (47 - n)))
    return L * (int64_t{1} << n);
  for (; n > 0; --n) {
    if (L > 0x3FFF'FFFF'FFFF) {
      Overflow = 1;
      return MAX_L;
    }
    if (L < -0x4000'0000'0000) {
      Overflow = 1;
      return MIN_L;
    }
    L *= 2;
  }
  return L;
}

inline ScaledLong L_shr(ScaledLong L, int n) {
  if (n < 0) return L_shl(L, -n);
  if (n >= 47) return L < 0 ? -1 : 0;
  return L >> n;
}

// Truncating shift that also drops the sign when everything is shifted out.
inline ScaledLong L_shr_z(ScaledLong L, int n) {
  return n >= 48 ? 0 : L_shr(L, n);
}

inline ScaledLong L_deposit_h(ScaledShort a) {
  return static_cast<int64_t>(a) * (int64_t{1} << 24);
}

inline ScaledLong L_deposit_l(ScaledShort a) {
  return static_cast<int64_t>(a) * 256;
}

inline ScaledLong L_abs(ScaledLong L) {
  return L < 0 ? -L : L;
}

// Doublings that bring |a| (one's complement for negatives) to 0x400000.
inline int norm_s(ScaledShort a) {
  if (a == 0) return 0;
  if (a == -1) return 23;
  const uint32_t x = static_cast<uint32_t>(a < 0 ? ~a : a);
  const int n = std::countl_zero(x) - 9;
  return n > 0 ? n : 0;
}

// Doublings that bring |L| (one's complement for negatives) to 2^46.
inline int norm_l(ScaledLong L) {
  if (L == 0) return 0;
  if (L == -1) return 47;
  const uint64_t x = static_cast<uint64_t>(L < 0 ? ~L : L);
  const int n = std::countl_zero(x) - 17;
  return n > 0 ? n : 0;
}

// Fractional division a / b for 0 <= a <= b. Operands out of order or
// negative latch 512 and a zero divisor 1024 into `status` (only while it is
// still 0); both return 0x1FFF and let the caller carry on.
ScaledShort div_s(ScaledShort a, ScaledShort b, StatusCode& status);

// Ascending copy of n words; moving a history down within one buffer relies
// on the ascending order.
inline void Copy(const ScaledShort* x, ScaledShort* y, int n) {
  for (int i = 0; i < n; ++i) y[i] = x[i];
}

}  // namespace celp
