// Writes the frames of a CELP voice file as a standard G.729 bitstream, in the
// order the player would play them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "voice/decoder_state.h"

namespace tools {

struct G729Export {
  StatusCode status = status::kSuccess;  // the reader's, once it stopped
  int64_t frames = 0;                    // frames written
  std::string write_error;               // empty unless writing failed
};

// `st` holds an open CELP file standing at its first frame. Every frame the
// reader delivers before it stops (at the end marker, at a short read or on a
// malformed record) is written; jump records are followed.
G729Export export_g729(voice::DecoderState& st, std::FILE* out);

}  // namespace tools
