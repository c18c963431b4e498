// Short floating-point filters the encoder's analysis runs on: order-10 LP
// polynomials A(z) = 1 + a1 z^-1 + ... + a10 z^-10 with a[0] = 1.
#pragma once

namespace encoder {

inline constexpr int kOrder = 10;
inline constexpr int kSubframe = 40;
inline constexpr int kFrame = 80;

// y[n] = sum a[k] x[n-k] for n = 0 .. lg-1; reads x[-10 .. lg-1].
void residual(const float* a, const float* x, float* y, int lg);

// y = x filtered by 1/A(z). mem holds the 10 outputs before y[0], oldest
// first; with `update` it takes the last 10 outputs. y may be x.
void synthesis(const float* a, const float* x, float* y, int lg, float* mem, bool update);

// ap[k] = a[k] * gamma^k: A(z/gamma), whose roots move towards the origin.
void bandwidth_expand(const float* a, float gamma, float* ap);

// The first `lg` samples of the impulse response of ap1(z) / (aq(z) ap2(z)):
// the weighted synthesis filter the searches match the target through.
void weighted_impulse_response(const float* ap1, const float* aq, const float* ap2, float* h,
                               int lg);

// y = x convolved with h, the first lg samples (zero state).
void convolve(const float* x, const float* h, float* y, int lg);

// Inline, as the searches call it for every place and lag.
inline float dot(const float* x, const float* y, int lg) {
  // Eight partial sums, so that the compiler may keep them in one vector.
  float acc[8] = {};
  int n = 0;
  for (; n + 8 <= lg; n += 8)
    for (int k = 0; k < 8; ++k) acc[k] += x[n + k] * y[n + k];
  float s = 0.0f;
  for (; n < lg; ++n) s += x[n] * y[n];
  for (int k = 0; k < 8; ++k) s += acc[k];
  return s;
}

}  // namespace encoder
