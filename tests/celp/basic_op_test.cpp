#include "celp/basic_op.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "celp/closed_forms.h"
#include "celp/oper_32b.h"

namespace celp {
namespace {

TEST(Saturation, AddAndSubSetAndClearOverflow) {
  Overflow = 0;
  EXPECT_EQ(add(MAX_S, 1), MAX_S);
  EXPECT_EQ(Overflow, 1);
  EXPECT_EQ(add(1, 1), 2);
  EXPECT_EQ(Overflow, 0);
  EXPECT_EQ(sub(MIN_S, 1), MIN_S);
  EXPECT_EQ(Overflow, 1);
  EXPECT_EQ(sub(5, 7), -2);
  EXPECT_EQ(Overflow, 0);
}

TEST(Saturation, LongOperatorsNeverClearOverflow) {
  Overflow = 0;
  EXPECT_EQ(L_add(MAX_L, 1), MAX_L);
  EXPECT_EQ(Overflow, 1);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(L_add(i, 1), i + 1);
  EXPECT_EQ(L_sub(MIN_L, 1), MIN_L);
  EXPECT_EQ(L_mac(0, 2, 3), 12);
  EXPECT_EQ(Overflow, 1);
}

TEST(Multiplication, ShortAndLongProducts) {
  Overflow = 0;
  EXPECT_EQ(mult(0x400000, 0x400000), 0x200000);
  EXPECT_EQ(mult(-0x400000, 0x400000), -0x200000);
  EXPECT_EQ(mult(MIN_S, MIN_S), MAX_S);
  EXPECT_EQ(Overflow, 1);
  // Truncation, not rounding: -1 x tiny is -1 after the arithmetic shift.
  EXPECT_EQ(mult(-1, 1), -1);

  Overflow = 0;
  EXPECT_EQ(L_mult(0x400000, 0x400000), int64_t{1} << 45);
  EXPECT_EQ(extract_h(L_mult(0x400000, 0x400000)), 0x200000);
  EXPECT_EQ(Overflow, 0);
  EXPECT_EQ(L_mult(MIN_S, MIN_S), MAX_L);
  EXPECT_EQ(Overflow, 1);
  EXPECT_EQ(L_mult(MIN_S, MAX_S), -2 * int64_t{0x800000} * 0x7FFFFF);
}

TEST(Shifts, ShortShiftsSaturateAndKeepSign) {
  Overflow = 0;
  EXPECT_EQ(shl(1, 30), MAX_S);
  EXPECT_EQ(Overflow, 1);
  Overflow = 0;
  EXPECT_EQ(shl(0, 30), 0);
  EXPECT_EQ(Overflow, 0);
  EXPECT_EQ(shl(-1, 30), MIN_S);
  EXPECT_EQ(shl(0x100000, 3), MAX_S);
  Overflow = 0;
  EXPECT_EQ(shl(-0x100000, 3), MIN_S);  // exactly representable: no saturation
  EXPECT_EQ(Overflow, 0);
  EXPECT_EQ(shl(-0x100000, 4), MIN_S);
  EXPECT_EQ(Overflow, 1);
  EXPECT_EQ(shl(3, -1), 1);
  EXPECT_EQ(shr(-1, 30), -1);
  EXPECT_EQ(shr(-5, 1), -3);
  EXPECT_EQ(shr(5, 23), 0);
  EXPECT_EQ(shr(3, -2), 12);
}

TEST(Shifts, LongShiftsSaturateAndTruncate) {
  Overflow = 0;
  EXPECT_EQ(L_shl(1, 10), 1024);
  EXPECT_EQ(Overflow, 0);
  EXPECT_EQ(L_shl(0x4000'0000'0000, 1), MAX_L);
  EXPECT_EQ(Overflow, 1);
  EXPECT_EQ(L_shl(-0x4000'0000'0000, 1), MIN_L);  // -2^46 doubles exactly to MIN_L
  EXPECT_EQ(L_shl(-0x4000'0000'0001, 1), MIN_L);
  EXPECT_EQ(L_shl(0, 1000), 0);
  EXPECT_EQ(L_shl(8, -2), 2);
  EXPECT_EQ(L_shr(-1, 60), -1);
  EXPECT_EQ(L_shr_z(-1, 60), 0);
  EXPECT_EQ(L_shr_z(-1, 47), -1);
  EXPECT_EQ(L_shr(-0x1000, 4), -0x100);
}

TEST(Conversions, ExtractDepositAndAbsolute) {
  EXPECT_EQ(extract_l(0x1800000), -0x800000);  // bit 23 is the sign
  EXPECT_EQ(extract_l(0x17FFFFF), 0x7FFFFF);
  EXPECT_EQ(extract_h(int64_t{0x123456} << 24 | 0xFFFFFF), 0x123456);
  EXPECT_EQ(extract_h(-1), -1);
  EXPECT_EQ(L_deposit_h(-2), -(int64_t{2} << 24));
  EXPECT_EQ(L_deposit_l(3), 768);
  EXPECT_EQ(L_abs(MIN_L), int64_t{1} << 47);
  EXPECT_EQ(abs_s(MIN_S), MAX_S);
  EXPECT_EQ(abs_s(-7), 7);
  EXPECT_EQ(negate(MIN_S), MAX_S);
  EXPECT_EQ(negate(9), -9);
}

TEST(Normalisation, CountsDoublingsToTheTopBit) {
  EXPECT_EQ(norm_s(1), 22);
  EXPECT_EQ(norm_s(-1), 23);
  EXPECT_EQ(norm_s(MIN_S), 0);
  EXPECT_EQ(norm_s(0), 0);
  EXPECT_EQ(norm_s(0x400000), 0);
  EXPECT_EQ(norm_s(0x3FFFFF), 1);
  EXPECT_EQ(norm_s(-0x400001), 0);
  EXPECT_EQ(norm_l(1), 46);
  EXPECT_EQ(norm_l(-1), 47);
  EXPECT_EQ(norm_l(0), 0);
  EXPECT_EQ(norm_l(MIN_L), 0);
  EXPECT_EQ(norm_l(int64_t{1} << 46), 0);
  EXPECT_EQ(norm_l(-(int64_t{1} << 20)), 27);  // one's complement: 2^20 - 1
}

TEST(Division, QuotientsAndLatchedFailures) {
  StatusCode st = 0;
  EXPECT_EQ(div_s(0x200000, 0x400000, st), 0x400000);
  EXPECT_EQ(div_s(1, 3, st), 0);  // the dropped low bits
  EXPECT_EQ(div_s(0, 5, st), 0);
  EXPECT_EQ(div_s(77, 77, st), MAX_S);
  EXPECT_EQ(div_s(0x100000, 0x300000, st), 0x2AAA00);  // one third, 15 bits
  EXPECT_EQ(st, 0);

  EXPECT_EQ(div_s(5, 3, st), 0x1FFF);
  EXPECT_EQ(st, 512);
  EXPECT_EQ(div_s(0, 0, st), 0x1FFF);
  EXPECT_EQ(st, 512) << "a second fault keeps the first status";

  st = 0;
  EXPECT_EQ(div_s(0, 0, st), 0x1FFF);
  EXPECT_EQ(st, 1024);
  st = 0;
  EXPECT_EQ(div_s(-1, 3, st), 0x1FFF);
  EXPECT_EQ(st, 512);
}

TEST(DoublePrecision, ExtractAndRecompose) {
  const ScaledLong L = 0x1234'5678'9ABC;
  const HiLo parts = L_Extract(L);
  EXPECT_EQ(parts.hi & 0xFF, 0);
  EXPECT_EQ(parts.hi, 0x123400);
  // Recomposing loses only what lies below the low part's resolution.
  EXPECT_NEAR(static_cast<double>(L_Comp(parts.hi, parts.lo)), static_cast<double>(L), 1 << 16);
  // Mpy_32_16 by one half halves the long.
  EXPECT_NEAR(static_cast<double>(Mpy_32_16(parts.hi, parts.lo, 0x400000)),
              static_cast<double>(L) / 2, 1 << 16);
}

// div_s without branches must be the restoring division through L_sub and
// add, down to add clearing Overflow once a quotient bit is set.
TEST(Division, MatchesTheOperatorForm) {
  std::mt19937 rng(15);
  auto reference = [](ScaledShort a, ScaledShort b) {
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
  };
  std::vector<std::pair<ScaledShort, ScaledShort>> pairs;
  // Operands equal but for the bit the division drops, and tiny divisors.
  for (ScaledShort m : {1, 2, 3, 127, 128, 4095, 0x3FFFFF}) pairs.emplace_back(2 * m, 2 * m + 1);
  for (ScaledShort b = 2; b < 600; ++b)
    for (ScaledShort a = 1; a < b; ++a) pairs.emplace_back(a, b);
  for (int i = 0; i < 200000; ++i) {
    const int bits = 1 + static_cast<int>(rng() % 23);
    const auto b = static_cast<ScaledShort>(rng() & ((1u << bits) - 1));
    pairs.emplace_back(static_cast<ScaledShort>(rng() % (static_cast<uint32_t>(b) + 1)), b);
  }
  for (const auto& [a, b] : pairs) {
    if (a == 0 || a == b) continue;  // handled before the loop
    Overflow = 1;
    const ScaledShort expected = reference(a, b);
    const int expected_overflow = Overflow;
    Overflow = 1;
    StatusCode status = 0;
    ASSERT_EQ(div_s(a, b, status), expected) << a << " / " << b;
    ASSERT_EQ(Overflow, expected_overflow) << a << " / " << b;
    ASSERT_EQ(status, 0);
  }
}

// The closed forms stand in for operator sequences in vectorised loops: same
// values for any shorts, range ends included, and "saturated" exactly when
// the operators would set Overflow.
TEST(ClosedForms, MatchTheOperatorSequences) {
  std::mt19937 rng(17);
  auto any = [&] {
    switch (rng() % 16) {
      case 0:
        return MIN_S;
      case 1:
        return MAX_S;
      case 2:
        return MIN_S + 1;
      default:
        break;
    }
    const int bits = 1 + static_cast<int>(rng() % 23);
    const auto v = static_cast<ScaledShort>(rng() & ((1u << bits) - 1));
    return rng() % 2 ? v : -v;
  };
  for (int i = 0; i < 500000; ++i) {
    const ScaledShort a = any(), b = any(), c = any(), d = any();

    Overflow = 0;
    const ScaledShort product = mult(a, b);
    const int product_saturated = Overflow;
    ASSERT_EQ(short_product(a, b), product) << a << " " << b;
    ASSERT_EQ(product_saturated, a == MIN_S && b == MIN_S);

    Overflow = 0;
    const ScaledShort shifted = extract_h(L_shl(L_mult(a, b), 1));
    const int32_t unclamped = gain_product_unclamped(a, b);
    ASSERT_EQ(gain_product(a, b), shifted) << a << " " << b;
    ASSERT_EQ(Overflow, clamp_short(unclamped) != unclamped ? 1 : 0) << a << " " << b;

    Overflow = 0;
    ASSERT_EQ(clamp_short(int64_t{a} + c), add(a, c));
    ASSERT_EQ(Overflow, (int64_t{a} + c > MAX_S || int64_t{a} + c < MIN_S) ? 1 : 0);

    if (b == MIN_S || d == MIN_S) continue;  // outside the two-product forms' range
    Overflow = 0;
    const ScaledShort mac = extract_h(L_mac(L_mult(a, b), c, d));
    const int32_t mac_unclamped = mac_high_unclamped(a, b, c, d);
    ASSERT_EQ(clamp_short(mac_unclamped), mac) << a << " " << b << " " << c << " " << d;
    ASSERT_EQ(Overflow, clamp_short(mac_unclamped) != mac_unclamped ? 1 : 0);

    Overflow = 0;
    const ScaledShort two = extract_h(L_shl(L_mac(L_mult(a, b), c, d), 1));
    const int32_t two_unclamped = two_gain_product_unclamped(a, b, c, d);
    ASSERT_EQ(clamp_short(two_unclamped), two) << a << " " << b << " " << c << " " << d;
    ASSERT_EQ(Overflow, clamp_short(two_unclamped) != two_unclamped ? 1 : 0);
  }
}

// L_Extract is computed in closed form; it must agree with its definition
// through the operators on every long, the range ends included.
TEST(DoublePrecision, ExtractMatchesTheOperatorDefinition) {
  std::mt19937_64 rng(5);
  std::vector<ScaledLong> values = {MIN_L,
                                    MAX_L,
                                    0,
                                    -1,
                                    1,
                                    int64_t{1} << 32,
                                    -(int64_t{1} << 32),
                                    (int64_t{1} << 32) - 1,
                                    -(int64_t{1} << 32) - 1,
                                    511,
                                    -512};
  for (int i = 0; i < 100000; ++i)
    values.push_back(static_cast<ScaledLong>(rng() % (uint64_t{1} << 48)) + MIN_L);
  for (ScaledLong L : values) {
    Overflow = 0;
    const ScaledShort hi = extract_h(L) & ~0xFF;
    const ScaledShort lo = extract_l(L_shr(L_msu(L_shr(L, 1), hi, 0x400000), 8));
    ASSERT_EQ(Overflow, 0) << L;
    const HiLo parts = L_Extract(L);
    ASSERT_EQ(parts.hi, hi) << L;
    ASSERT_EQ(parts.lo, lo) << L;
  }
}

}  // namespace
}  // namespace celp
