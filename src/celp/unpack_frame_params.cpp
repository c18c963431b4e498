#include "celp/unpack_frame_params.h"

namespace celp {

namespace {

// Field widths in frame order, slot 2 onwards.
constexpr int kFields80[11] = {8, 10, 8, 1, 13, 4, 7, 5, 13, 4, 7};
constexpr int kFields64[10] = {8, 10, 8, 9, 2, 6, 4, 9, 2, 6};
constexpr int kFields56[10] = {8, 10, 8, 6, 2, 5, 4, 6, 2, 5};

template <int N>
void read_fields(const int (&widths)[N], uint8_t* frame, FrameParams& prm) {
  int bit_position = 0;
  int byte_position = 0;
  for (int i = 0; i < N; ++i) prm[2 + i] = read_bits(widths[i], frame, bit_position, byte_position);
}

// The 56-bit layout keeps only three bits per pulse position; spreading them
// into the form of the 64-bit position code lets both layouts run through the
// same 6.4 kbit/s decoding, which reads them back in direct-index mode.
int widen_positions(int c) {
  return 48 * ((c >> 3) & 7) + 2 * (c & 7) + 1;
}

}  // namespace

int read_bits(int n, uint8_t* frame, int& bit_position, int& byte_position) {
  // The accumulator fills from its top bit and slides down, so the first
  // bit read ends up as bit 0 of the field.
  int acc = 0;
  for (int i = 0; i < n; ++i) {
    acc >>= 1;
    uint8_t& byte = frame[byte_position];
    if (byte & 0x80) acc += 0x8000;
    byte = static_cast<uint8_t>(byte << 1);
    if (++bit_position == 8) {
      bit_position = 0;
      ++byte_position;
    }
  }
  return acc >> (16 - n);
}

bool unpack_frame_params(uint8_t* frame, FrameParams& prm, int frame_bits, StatusCode& status) {
  switch (frame_bits) {
    case 80:
      prm[1] = 3;
      read_fields(kFields80, frame, prm);
      return true;
    case 64:
      prm[1] = 2;
      read_fields(kFields64, frame, prm);
      return true;
    case 56:
      prm[1] = 2;
      read_fields(kFields56, frame, prm);
      prm[5] = widen_positions(prm[5]);
      // The 5-bit gain codes lack the lowest second-stage bit; it comes back as 0.
      prm[7] = prm[7] << 1;
      prm[9] = widen_positions(prm[9]);
      prm[11] = prm[11] << 1;
      return true;
    default:
      // The first failure stays latched; later ones are not reported.
      if (status == status::kSuccess) status = status::kBadFrameType;
      return false;
  }
}

int Check_Parity_Pitch(int pitch_index, int parity) {
  // Done with the saturating operators like the rest of the decoder, so the
  // check leaves the Overflow flag cleared.
  int t = shr(pitch_index, 1);
  int sum = 1;
  for (int i = 0; i < 6; ++i) {
    t = shr(t, 1);
    sum = add(sum, t & 1);
  }
  sum = add(sum, parity);
  return sum & 1;
}

}  // namespace celp
