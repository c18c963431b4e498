// 4-bit ADPCM at 32 kbit/s: a logarithmic inverse quantiser with an adaptive
// scale factor and a sign-sign adapted predictor with two poles and six
// zeros. All fields hold the reference value x 256.
#pragma once

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

// Decodes the low four bits of `code` into one 16-bit sample.
int16_t adpcm_decode(int code, AdpcmState& state);

// Decodes the 80 codes of a 40-byte frame, low nibble of each byte first,
// into 160 bytes of little-endian PCM.
void adpcm_decode_frame(const uint8_t* frame, AdpcmState& state, uint8_t* pcm);

}  // namespace voice
