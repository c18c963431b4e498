#include "celp/log2_pow2.h"

#include "celp/g729_tables.h"

namespace celp {

Log2Result Log2(ScaledLong L) {
  if (L <= 0) return {0, 0};
  const int e = norm_l(L);
  L = L_shl(L, e);
  const int exponent = sub(30, e);

  // Table index from the top 5 bits below the leading one, interpolation
  // weight from the 23 bits after them.
  L = L_shr(L, 9);
  int i = extract_h(L >> 8);
  L = L_shr(L, 1);
  const ScaledShort a = extract_l(L >> 8) & 0x7FFFFF;
  i = sub(i, 32);
  // Only a long beyond the scaled range (|MIN_L| itself) can reach past the
  // table's last interval; keep it on the table.
  if (i > 31) i = 31;

  ScaledLong y = L_deposit_h(tablog[i]);
  y = L_msu(y, sub(tablog[i], tablog[i + 1]), a);
  return {exponent, shr(extract_h(y), 8)};
}

ScaledLong Pow2(int exponent, int fraction) {
  ScaledLong x = L_mult(fraction * 256, 0x2000);
  const int i = extract_h(x >> 8);
  x = L_shr(x, 1);
  const ScaledShort a = extract_l(x >> 8) & 0x7FFFFF;

  x = L_deposit_h(tabpow[i]);
  x = L_msu(x, sub(tabpow[i], tabpow[i + 1]), a);
  return L_shr_z(x, sub(30, exponent) + 8);
}

}  // namespace celp
