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
  // (0 <= num - den, q < 2^23), so the steps are plain, and
  // the one trace the operators leave is add clearing Overflow, which it
  // does as soon as one quotient bit is set.
  ScaledLong num = (L_deposit_l(a) >> 1) & ~ScaledLong{0xFF};
  const ScaledLong den = (L_deposit_l(b) >> 1) & ~ScaledLong{0xFF};
  ScaledShort q = 0;
  for (int i = 0; i < 15; ++i) {
    // The quotient bits follow no pattern a branch predictor could learn:
    // the subtraction is undone by a sign mask instead.
    const ScaledLong diff = 2 * num - den;
    const ScaledLong below = diff >> 63;  // all ones when 2 num < den
    num = diff + (den & below);
    q = 2 * q + (256 & ~static_cast<ScaledShort>(below));
  }
  if (q != 0) Overflow = 0;
  return q;
}

}  // namespace celp
