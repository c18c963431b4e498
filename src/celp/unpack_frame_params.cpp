#include "celp/unpack_frame_params.h"

#include <array>

#include "celp/frame_layout.h"

namespace celp {

namespace {

// Each byte with its bit order reversed.
constexpr std::array<uint8_t, 256> kReversed = [] {
  std::array<uint8_t, 256> table{};
  for (int v = 0; v < 256; ++v)
    for (int b = 0; b < 8; ++b)
      if (v & (1 << b)) table[v] |= static_cast<uint8_t>(0x80 >> b);
  return table;
}();

// What read_bits gives field after field, without going bit by bit: with
// every byte reversed and byte k placed at bits 8k up of a bit string, the
// frame's first bit is bit 0, and a field starting at bit p, its first bit
// read becoming its bit 0, is simply the string shifted down by p and masked
// to its width. The fields fill whole bytes, and read_bits leaves each byte
// it read through at zero: so does this.
template <int N>
constexpr int total_bits(const FrameField (&layout)[N]) {
  int total = 0;
  for (const FrameField& f : layout) total += f.width;
  return total;
}
static_assert(total_bits(kLayout80) == 80 && total_bits(kLayout64) == 64 &&
              total_bits(kLayout56) == 56);

template <int N>
void read_fields(const FrameField (&layout)[N], uint8_t* frame, FrameParams& prm) {
  const int bytes = total_bits(layout) / 8;
  uint64_t low = 0;   // bytes 0 to 7
  uint64_t high = 0;  // bytes 8 and up
  for (int k = 0; k < bytes; ++k) {
    if (k < 8)
      low |= uint64_t{kReversed[frame[k]]} << (8 * k);
    else
      high |= uint64_t{kReversed[frame[k]]} << (8 * (k - 8));
  }
  int position = 0;
  for (int i = 0; i < N; ++i) {
    const int width = layout[i].width;
    uint64_t field;
    if (position >= 64)
      field = high >> (position - 64);
    else if (position + width <= 64)
      field = low >> position;
    else
      field = (low >> position) | (high << (64 - position));
    prm[kFirstFieldSlot + i] = static_cast<int>(field & ((uint64_t{1} << width) - 1));
    position += width;
  }
  for (int k = 0; k < bytes; ++k) frame[k] = 0;
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
      read_fields(kLayout80, frame, prm);
      return true;
    case 64:
      prm[1] = 2;
      read_fields(kLayout64, frame, prm);
      return true;
    case 56:
      prm[1] = 2;
      read_fields(kLayout56, frame, prm);
      for (int s = 0; s < 2; ++s) {
        const int positions = field_slot(kLayout56, Field::Positions, s);
        const int gain = field_slot(kLayout56, Field::Gain, s);
        prm[positions] = widen_positions(prm[positions]);
        // The 5-bit gain codes lack the lowest second-stage bit; it comes back as 0.
        prm[gain] = prm[gain] << 1;
      }
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
