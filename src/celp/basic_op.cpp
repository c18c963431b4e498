#include "celp/basic_op.h"

namespace celp {

ScaledShort div_s(ScaledShort a, ScaledShort b, StatusCode& status) {
  constexpr ScaledShort kFailed = 0x1FFF;
  if (a > b || a < 0 || b < 0) {
    if (status == status::kSuccess) status = status::kDivisionError;
    return kFailed;
  }
  if (b == 0) {
    if (status == status::kSuccess) status = status::kDivisionByZero;
    return kFailed;
  }
  if (a == 0) return 0;
  if (a == b) return MAX_S;

  // Restoring division on the operands with their lowest bit dropped: 15
  // quotient bits, each worth 256 in the scaled result.
  ScaledLong num = (L_deposit_l(a) >> 1) & ~ScaledLong{0xFF};
  const ScaledLong den = (L_deposit_l(b) >> 1) & ~ScaledLong{0xFF};
  ScaledShort q = 0;
  for (int i = 0; i < 15; ++i) {
    q = 2 * q;
    num = 2 * num;
    if (num >= den) {
      num = L_sub(num, den);
      q = add(q, 256);
    }
  }
  return q;
}

}  // namespace celp
