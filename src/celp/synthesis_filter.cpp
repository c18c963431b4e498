#include "celp/synthesis_filter.h"

namespace celp {

namespace {

inline int64_t magnitude(ScaledShort v) {
  return v < 0 ? -int64_t{v} : int64_t{v};
}

// One output by the saturating operators, in their order.
ScaledShort syn_sample_saturating(int m, const ScaledShort* a, ScaledShort x, const int64_t* w_i) {
  ScaledLong s = L_mult(x, a[0]);
  for (int j = 1; j <= m; ++j) s = L_msu(s, a[j], static_cast<ScaledShort>(w_i[-j]));
  return extract_h(L_shl(s, 3));
}

// An output from the exact sum s = a0 x - sum a_j w of its products, not
// yet doubled: L_mult and L_msu double it, L_shl(., 3) saturates (and sets
// Overflow) exactly when 2 s lies outside [-2^44, 2^44), and extract_h keeps
// the bits from 24 up, so in range the output is s >> 20.
inline ScaledShort output_from_sum(int64_t s) {
  if (static_cast<uint64_t>(s + (int64_t{1} << 43)) >= (uint64_t{1} << 44)) [[unlikely]] {
    Overflow = 1;
    return s < 0 ? MIN_S : MAX_S;
  }
  return static_cast<ScaledShort>(s >> 20);
}

// |v| <= limit for 0 <= limit <= MAX_S + 1, as one unsigned compare.
inline bool within(ScaledShort v, int32_t limit) {
  return static_cast<uint32_t>(v + limit) <= static_cast<uint32_t>(2 * limit);
}

// Every partial sum of one output is at most 2 (|a0| |x| + sum |a_j| W) in
// magnitude, W being the largest past output it reads. While that stays
// within the long range, no L_mult or L_msu can saturate (L_mult's one
// saturating case, MIN_S x MIN_S, lies beyond it too): the plain sum is what
// the operators give, and like them it leaves Overflow alone. With X the
// largest input of the call, the bound holds for every sample as long as no
// output read exceeds w_limit; an output beyond it sends the rest of the call
// through the saturating sequence. The final L_shl saturates as before.
//
// kOrder 0 takes the order from m; the decoder's order 10 gets an unrolled
// sum whose newest term comes last, off the recursion's critical path.
template <int kOrder>
void syn_filt(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
              ScaledShort* mem, int update) {
  if constexpr (kOrder != 0) m = kOrder;
  constexpr int kMaxTaps = kOrder != 0 ? kOrder + 1 : 31;
  // The history is kept in 64 bits, as the products take it.
  int64_t work[30 + 80];
  int64_t* w = work + m;
  int64_t w_max = 0;
  for (int i = 0; i < m; ++i) {
    work[i] = mem[i];
    if (magnitude(mem[i]) > w_max) w_max = magnitude(mem[i]);
  }
  int64_t x_max = 0;
  for (int i = 0; i < lg; ++i)
    if (magnitude(x[i]) > x_max) x_max = magnitude(x[i]);
  int64_t coef[kMaxTaps];
  int64_t a_sum = 0;
  for (int j = 0; j <= m; ++j) coef[j] = a[j];
  for (int j = 1; j <= m; ++j) a_sum += magnitude(a[j]);

  // The largest |output| the plain sum may read: (MAX_L / 2 - |a0| X) /
  // sum |a_j|, or every output when the coefficients past a0 are all zero
  // (no output exceeds MAX_S + 1 in magnitude, so neither need the limit).
  const int64_t budget = MAX_L / 2 - magnitude(a[0]) * x_max;
  int64_t w_limit = -1;
  if (budget >= 0) w_limit = a_sum == 0 ? int64_t{MAX_S} + 1 : budget / a_sum;
  if (w_limit > int64_t{MAX_S} + 1) w_limit = int64_t{MAX_S} + 1;
  const auto limit = static_cast<int32_t>(w_limit);

  int i = 0;
  if (w_max <= w_limit) {
    while (i < lg) {
      int64_t s = coef[0] * x[i];
#pragma GCC unroll 10
      for (int j = m; j >= 1; --j) s -= coef[j] * w[i - j];
      const ScaledShort out = output_from_sum(s);
      w[i++] = out;
      if (!within(out, limit)) [[unlikely]]
        break;
    }
  }
  for (; i < lg; ++i) w[i] = syn_sample_saturating(m, a, x[i], w + i);

  for (int k = 0; k < lg; ++k) y[k] = static_cast<ScaledShort>(w[k]);
  if (update)
    for (int k = 0; k < m; ++k) mem[k] = static_cast<ScaledShort>(w[lg - m + k]);
}

}  // namespace

void Syn_filt(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
              ScaledShort* mem, int update) {
  if (m == 10)
    syn_filt<10>(m, a, x, y, lg, mem, update);
  else
    syn_filt<0>(m, a, x, y, lg, mem, update);
}

}  // namespace celp
