// Turns the bit string of a CELP frame into its parameter vector.
#pragma once

#include <cstdint>

#include "celp/celp_state.h"
#include "celp/status_code.h"

namespace celp {

// Next n bits (1..16), first bit read becoming bit 0. Destructive: every
// bit read is shifted out of its frame byte.
int read_bits(int n, uint8_t* frame, int& bit_position, int& byte_position);

// Fills slot 1 and the field slots for 56-, 64- or 80-bit frames (56-bit
// frames widened to the 64-bit form). Any other size fills nothing, latches
// status 8 unless a status is latched already, and returns false.
bool unpack_frame_params(uint8_t* frame, FrameParams& prm, int frame_bits, StatusCode& status);

// 0 when the parity bit matches the six top bits of the pitch index, else 1.
int Check_Parity_Pitch(int pitch_index, int parity);

}  // namespace celp
