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
// saturating case, MIN_S x MIN_S, lies beyond it too): the plain sum, in any
// order, is what the operators give, and like them it leaves Overflow alone.
// With X the largest input of the call, the bound holds for every sample as
// long as no output read exceeds the limit returned here: (MAX_L / 2 -
// |a0| X) / sum |a_j|, at most MAX_S + 1 (which no output exceeds), and -1
// when even the input alone could saturate. An output beyond it sends the
// rest of the call through the saturating sequence.
int32_t output_limit(int m, const ScaledShort* a, const ScaledShort* x, int lg) {
  int64_t x_max = 0;
  for (int i = 0; i < lg; ++i)
    if (magnitude(x[i]) > x_max) x_max = magnitude(x[i]);
  int64_t a_sum = 0;
  for (int j = 1; j <= m; ++j) a_sum += magnitude(a[j]);
  const int64_t budget = MAX_L / 2 - magnitude(a[0]) * x_max;
  if (budget < 0) return -1;
  if (a_sum == 0 || budget / a_sum > MAX_S) return MAX_S + 1;
  return static_cast<int32_t>(budget / a_sum);
}

bool history_within(const ScaledShort* mem, int m, int32_t limit) {
  if (limit < 0) return false;
  for (int i = 0; i < m; ++i)
    if (!within(mem[i], limit)) return false;
  return true;
}

// The memory and the outputs form one history (kept in 64 bits, as the
// products take it), so that the recursion reads its past outputs without a
// case for the first m samples.
void finish(const int64_t* w, ScaledShort* y, int lg, ScaledShort* mem, int m, int update) {
  for (int k = 0; k < lg; ++k) y[k] = static_cast<ScaledShort>(w[k]);
  if (update)
    for (int k = 0; k < m; ++k) mem[k] = static_cast<ScaledShort>(w[lg - m + k]);
}

// Any order: one output at a time.
void syn_filt_any_order(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
                        ScaledShort* mem, int update) {
  int64_t work[30 + 80];
  int64_t* w = work + m;
  for (int i = 0; i < m; ++i) work[i] = mem[i];
  const int32_t limit = output_limit(m, a, x, lg);

  int i = 0;
  if (history_within(mem, m, limit)) {
    while (i < lg) {
      int64_t s = int64_t{a[0]} * x[i];
      for (int j = m; j >= 1; --j) s -= int64_t{a[j]} * w[i - j];
      const ScaledShort out = output_from_sum(s);
      w[i++] = out;
      if (!within(out, limit)) [[unlikely]]
        break;
    }
  }
  for (; i < lg; ++i) w[i] = syn_sample_saturating(m, a, x[i], w + i);
  finish(w, y, lg, mem, m, update);
}

// The decoder's order 10. The scalar multiplier limits this recursion, one
// product per cycle, so the five oldest taps go to the floating-point units
// instead: each product a_j w is below 2^46 and their sum below 2^49 in
// magnitude, integers a double holds exactly, so every step is exact (in
// any rounding mode, fused or not) and the conversion back gives the same
// int64 as integer arithmetic would. Those outputs are six or more samples
// old, which keeps the conversions off the critical path; the five newest
// stay in registers, newest last.
void syn_filt_order10(const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
                      ScaledShort* mem, int update) {
  constexpr int kOrder = 10;
  double work_fp[kOrder + 80];
  double* w_fp = work_fp + kOrder;
  for (int i = 0; i < kOrder; ++i) work_fp[i] = mem[i];
  const int32_t limit = output_limit(kOrder, a, x, lg);

  // The outputs go straight to y: each input is read before its output is
  // written and never after, so x and y may be the same buffer.
  int i = 0;
  if (history_within(mem, kOrder, limit)) {
    const int64_t a0 = a[0], a1 = a[1], a2 = a[2], a3 = a[3], a4 = a[4], a5 = a[5];
    const double a6 = a[6], a7 = a[7], a8 = a[8], a9 = a[9], a10 = a[10];
    int64_t w1 = mem[9], w2 = mem[8], w3 = mem[7], w4 = mem[6], w5 = mem[5];
    while (i < lg) {
      const double older = (a6 * w_fp[i - 6] + a7 * w_fp[i - 7]) +
                           (a8 * w_fp[i - 8] + a9 * w_fp[i - 9]) + a10 * w_fp[i - 10];
      const int64_t s =
          a0 * x[i] - static_cast<int64_t>(older) - a5 * w5 - a4 * w4 - a3 * w3 - a2 * w2 - a1 * w1;
      const ScaledShort out = output_from_sum(s);
      y[i] = out;
      w_fp[i] = out;
      ++i;
      w5 = w4;
      w4 = w3;
      w3 = w2;
      w2 = w1;
      w1 = out;
      if (!within(out, limit)) [[unlikely]]
        break;
    }
  }
  if (i == lg && !update) return;

  // The rest of the call, and the memory update, from the whole history.
  int64_t work[kOrder + 80];
  int64_t* w = work + kOrder;
  for (int k = 0; k < kOrder; ++k) work[k] = mem[k];
  for (int k = 0; k < i; ++k) w[k] = y[k];
  for (; i < lg; ++i) w[i] = syn_sample_saturating(kOrder, a, x[i], w + i);
  finish(w, y, lg, mem, kOrder, update);
}

}  // namespace

void Syn_filt(int m, const ScaledShort* a, const ScaledShort* x, ScaledShort* y, int lg,
              ScaledShort* mem, int update) {
  if (m == 10)
    syn_filt_order10(a, x, y, lg, mem, update);
  else
    syn_filt_any_order(m, a, x, y, lg, mem, update);
}

}  // namespace celp
