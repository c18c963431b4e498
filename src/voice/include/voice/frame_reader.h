// Reads the next frame of an open voice file, forwards or backwards, into the
// state's frame buffer, following end markers, jump records and (in the
// ADPCM mode) half-frame realignments.
#pragma once

#include "voice/decoder_state.h"

namespace voice {

StatusCode read_frame(DecoderState& st, bool forward);

}  // namespace voice
