// Random scaled values of random size, now and then an end of the range:
// inputs that reach both quiet arithmetic and every saturation point.
#pragma once

#include <random>

#include "celp/basic_op.h"

namespace testing_support {

inline celp::ScaledShort AnyLevel(std::mt19937& rng) {
  switch (rng() % 32) {
    case 0:
      return celp::MIN_S;
    case 1:
      return celp::MAX_S;
    default:
      break;
  }
  const int bits = 4 + static_cast<int>(rng() % 20);
  const auto v = static_cast<celp::ScaledShort>(rng() & ((1u << bits) - 1));
  return rng() % 2 ? v : -v;
}

}  // namespace testing_support
