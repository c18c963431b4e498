// 4-bit ADPCM at 32 kbit/s: a logarithmic inverse quantiser with an adaptive
// scale factor and a sign-sign adapted predictor with two poles and six
// zeros. All fields hold the reference value x 256.
#pragma once

#include <algorithm>
#include <cstdint>

namespace voice {

struct AdpcmState {
  int32_t se = 0;                  // signal estimate for the next sample
  int32_t y = 0x22000;             // quantiser scale factor, within [0x22000, 0x140000]
  int32_t sez = 0;                 // partial estimate from the six zeros
  int32_t a2 = 0, a1 = 0;          // pole coefficients, 0x400000 = 1.0
  int32_t b[6] = {};               // zero coefficients b1..b6
  int32_t p0 = 0, p1 = 0, p2 = 0;  // last three dq + sez (signs only)
  int32_t sr0 = 0, sr1 = 0;        // last two reconstructed signal values
  int32_t dq[7] = {};              // last seven quantised differences, dq[0] newest
};

void adpcm_reset(AdpcmState& state);

namespace adpcm_detail {

// Log magnitude of the inverse quantiser (x 1024), indexed by the magnitude
// half of the code; code I >= 8 takes the entry of 15 - I.
inline constexpr int32_t kDqln[8] = {-2048 * 1024, 4 * 1024,   135 * 1024, 213 * 1024,
                                     273 * 1024,   323 * 1024, 373 * 1024, 425 * 1024};

inline int32_t clamp24(int64_t x) {
  return static_cast<int32_t>(std::clamp<int64_t>(x, -0x800000, 0x7FFFFF));
}

}  // namespace adpcm_detail

// The two halves of decoding one code that an encoder weighs codes by: the
// quantised difference a code stands for at scale factor `y`, and the sample
// it gives on top of the signal estimate `se`. Inline: the encoder tries
// every code on every candidate path.
inline int32_t adpcm_reconstruct_dq(int code, int32_t y) {
  const int magnitude = (code & 8) ? 15 - code : code;
  const int32_t dql = adpcm_detail::kDqln[magnitude] + y;
  if (dql < 0) return 0;
  const int e = (dql >> 17) & 15;
  int32_t m = (((dql >> 10) & 127) + 128) << 8;
  m = e < 7 ? m >> (7 - e) : m << (e - 7);
  return (code & 8) ? -m : m;
}

inline int16_t adpcm_output(int32_t se, int32_t dq) {
  return static_cast<int16_t>(adpcm_detail::clamp24((int64_t{se} + dq) * 4) >> 8);
}

// Decodes the low four bits of `code` into one 16-bit sample.
int16_t adpcm_decode(int code, AdpcmState& state);

// Decodes the 80 codes of a 40-byte frame, low nibble of each byte first,
// into 160 bytes of little-endian PCM.
void adpcm_decode_frame(const uint8_t* frame, AdpcmState& state, uint8_t* pcm);

}  // namespace voice
