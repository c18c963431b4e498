#include "encoder/float_filters.h"

#include <algorithm>

namespace encoder {

void residual(const float* a, const float* x, float* y, int lg) {
  for (int n = 0; n < lg; ++n) {
    float s = x[n];
    for (int k = 1; k <= kOrder; ++k) s += a[k] * x[n - k];
    y[n] = s;
  }
}

void synthesis(const float* a, const float* x, float* y, int lg, float* mem, bool update) {
  float buf[kOrder + 2 * kFrame];
  for (int k = 0; k < kOrder; ++k) buf[k] = mem[k];
  float* w = buf + kOrder;
  for (int n = 0; n < lg; ++n) {
    float s = x[n];
    for (int k = 1; k <= kOrder; ++k) s -= a[k] * w[n - k];
    w[n] = s;
  }
  for (int n = 0; n < lg; ++n) y[n] = w[n];
  if (update)
    for (int k = 0; k < kOrder; ++k) mem[k] = w[lg - kOrder + k];
}

void bandwidth_expand(const float* a, float gamma, float* ap) {
  float g = 1.0f;
  for (int k = 0; k <= kOrder; ++k) {
    ap[k] = a[k] * g;
    g *= gamma;
  }
}

void weighted_impulse_response(const float* ap1, const float* aq, const float* ap2, float* h,
                               int lg) {
  float x[kFrame] = {};
  for (int k = 0; k <= kOrder && k < lg; ++k) x[k] = ap1[k];
  float mem[kOrder] = {};
  synthesis(aq, x, h, lg, mem, false);
  synthesis(ap2, h, h, lg, mem, false);
}

namespace {

// convolve over one subframe with h behind a subframe of zeros: every input
// sample then adds a product of the same, fixed length, which vectorises
// fully. The zeros added change no sum, so the result is convolve's.
void convolve_subframe(const float* x, const float* h, float* y) {
  float padded[2 * kSubframe] = {};
  std::copy(h, h + kSubframe, padded + kSubframe);
  float acc[kSubframe] = {};
  for (int i = 0; i < kSubframe; ++i) {
    const float xi = x[i];
    if (xi == 0.0f) continue;
    const float* shifted = padded + kSubframe - i;
    for (int n = 0; n < kSubframe; ++n) acc[n] += xi * shifted[n];
  }
  std::copy(acc, acc + kSubframe, y);
}

}  // namespace

void convolve(const float* x, const float* h, float* y, int lg) {
  if (lg == kSubframe) {
    convolve_subframe(x, h, y);
    return;
  }
  for (int n = 0; n < lg; ++n) y[n] = 0.0f;
  // Each input sample adds a scaled copy of h: contiguous, vectorisable.
  for (int i = 0; i < lg; ++i) {
    const float xi = x[i];
    if (xi == 0.0f) continue;
    for (int n = i; n < lg; ++n) y[n] += xi * h[n - i];
  }
}

}  // namespace encoder
