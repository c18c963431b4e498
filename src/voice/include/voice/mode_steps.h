// The steps that depend on the coding mode: an open step, run once the header
// has been read, and a frame step, run once a frame's bytes have been read.
#pragma once

#include <cstdint>

#include "voice/decoder_state.h"

namespace voice {

// Frame count from the header's duration fields; latches 0x4000 when the
// file holds no playable frame. Returns whether the count is usable.
bool read_frame_count(DecoderState& st);
// Reads and discards the two frames that precede the first one decoded.
void skip_leading_frames(DecoderState& st);

void adpcm_open_step(DecoderState& st);
void adpcm_frame_step(DecoderState& st, uint8_t* pcm);

void celp_open_step(DecoderState& st);
void celp_frame_step(DecoderState& st, uint8_t* pcm);

}  // namespace voice
