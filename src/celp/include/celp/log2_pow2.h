// Base-2 logarithm and power by table interpolation. The exponent and the
// fraction (Q15, 0 to 32767) they exchange are plain integers.
#pragma once

#include "celp/basic_op.h"

namespace celp {

struct Log2Result {
  int exponent;
  int fraction;
};

Log2Result Log2(ScaledLong L);
ScaledLong Pow2(int exponent, int fraction);

}  // namespace celp
