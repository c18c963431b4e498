// Writes a CELP frame's fields as the decoder reads them: one bit string
// from the top bit of byte 0 down, each field least significant bit first.
// The fields are given in the form the decoder works with; for 56-bit
// frames the widened position and gain codes are narrowed here.
#pragma once

#include <cstdint>

#include "voice/voice_format.h"

namespace encoder {

struct SubframeFields {
  int pitch;      // 8 bits in subframe 1, relative code in subframe 2
  int positions;  // pulse position code
  int signs;      // pulse sign code
  int gain;       // gain code
};

struct CelpFields {
  int L1, L2;  // LSP fields
  int parity;  // 80-bit frames only
  SubframeFields sub[2];
};

// The frame size in bytes of a CELP mode: 7, 8 or 10.
int celp_frame_bytes(voice::VoiceMode mode);

void pack_celp_frame(voice::VoiceMode mode, const CelpFields& fields, uint8_t* frame);

// The parity bit that makes the decoder accept a first-subframe pitch
// field: one more than the number of ones in its top six bits, modulo 2.
int pitch_parity(int pitch_index);

}  // namespace encoder
