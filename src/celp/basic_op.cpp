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
  // quotient bits, each worth 256 in the scaled result. The reference
  // subtracts with L_sub and counts with add; neither can saturate here
  // (0 <= num - den, q < 2^23), so the steps are plain and their quotient is
  // the integer one, floor(num 2^15 / den) for num < den; num == den (a and b
  // differing in the dropped bit only) fills all 15 bits instead. The one
  // trace the operators leave is add clearing Overflow, which it does as
  // soon as one quotient bit is set.
  const ScaledLong num = (L_deposit_l(a) >> 1) & ~ScaledLong{0xFF};
  const ScaledLong den = (L_deposit_l(b) >> 1) & ~ScaledLong{0xFF};
  const ScaledLong bits = num == den ? 0x7FFF : (num << 15) / den;
  const auto q = static_cast<ScaledShort>(bits * 256);
  if (q != 0) Overflow = 0;
  return q;
}

}  // namespace celp
