#include "voice/adpcm.h"

#include <algorithm>

namespace voice {
namespace {

// Scale-factor multiplier (x 256), indexed by the magnitude half of the
// code; code I >= 8 takes the entry of 15 - I.
constexpr int32_t kW[8] = {-12 * 256, 18 * 256,  41 * 256,  64 * 256,
                           112 * 256, 198 * 256, 355 * 256, 1122 * 256};

constexpr int32_t kYMin = 0x22000;
constexpr int32_t kYMax = 0x140000;

using adpcm_detail::clamp24;

int64_t sgn(int32_t x) {
  return x >= 0 ? 1 : -1;
}

// The coefficient updates keep only what lies above bit 32 of their products.
int64_t drop_low32(int64_t x) {
  return x & ~int64_t{0xFFFFFFFF};
}

void adapt_scale_factor(int code, int32_t& y) {
  const int magnitude = (code & 8) ? 15 - code : code;
  y = y + kW[magnitude] + ((-y >> 5) & ~0xFF);
  y = std::clamp(y, kYMin, kYMax);
}

void update_predictor(int32_t dq, AdpcmState& s) {
  s.p2 = s.p1;
  s.p1 = s.p0;
  s.sr1 = s.sr0;
  for (int k = 6; k > 0; --k) s.dq[k] = s.dq[k - 1];
  s.dq[0] = dq;
  s.sr0 = clamp24(int64_t{dq} + s.se);
  s.p0 = clamp24(int64_t{dq} + s.sez);

  const int64_t pp1 = sgn(s.p0) * sgn(s.p1);
  const int64_t pp2 = sgn(s.p0) * sgn(s.p2);

  const int64_t f = clamp24(4 * int64_t{s.a1});
  int64_t A = int64_t{s.a2} * 0x7F00 * 512 - pp1 * f * (int64_t{1} << 17);
  A = drop_low32(A) + pp2 * (int64_t{1} << 39);
  s.a2 = std::clamp(clamp24(A >> 24), -0x300000, 0x300000);

  A = drop_low32(pp1 * 192 * (int64_t{1} << 32) + int64_t{s.a1} * 0x7F80 * 512);
  s.a1 = clamp24(A >> 24);
  const int32_t limit = 0x3C0000 - s.a2;
  if (s.a1 > limit)
    s.a1 = limit;
  else if (s.a1 < -limit)
    s.a1 = -limit;

  const int64_t g = dq == 0 ? 0 : sgn(dq) * 0x8000;
  for (int k = 0; k < 6; ++k) {
    A = drop_low32(sgn(s.dq[k + 1]) * g * (int64_t{1} << 24) + int64_t{s.b[k]} * 0x7F80 * 512);
    s.b[k] = clamp24(A >> 24);
  }

  int64_t Z = 0;
  for (int k = 0; k < 6; ++k) Z = drop_low32(Z + 2 * int64_t{s.b[k]} * s.dq[k]);
  Z = 2 * Z;
  int64_t P = drop_low32(2 * int64_t{s.a1} * s.sr0);
  P = drop_low32(P + 2 * int64_t{s.a2} * s.sr1);
  P = 2 * P;
  s.se = clamp24((Z + P) >> 24);
  s.sez = clamp24(Z >> 24);
}

}  // namespace

void adpcm_reset(AdpcmState& state) {
  state = AdpcmState{};
}

int16_t adpcm_decode(int code, AdpcmState& state) {
  code &= 15;
  const int32_t dq = adpcm_reconstruct_dq(code, state.y);
  adapt_scale_factor(code, state.y);
  const int16_t sample = adpcm_output(state.se, dq);
  update_predictor(dq, state);
  return sample;
}

void adpcm_decode_frame(const uint8_t* frame, AdpcmState& state, uint8_t* pcm) {
  for (int i = 0; i < 40; ++i) {
    for (int nibble = 0; nibble < 2; ++nibble) {
      const auto sample = static_cast<uint16_t>(adpcm_decode(frame[i] >> (4 * nibble), state));
      *pcm++ = static_cast<uint8_t>(sample);
      *pcm++ = static_cast<uint8_t>(sample >> 8);
    }
  }
}

}  // namespace voice
