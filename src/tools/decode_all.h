// Decoding a whole voice file into a sink, and what to say about how the
// reading ended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/pcm_sinks.h"
#include "voice/decoder_state.h"

namespace tools {

struct DecodeResult {
  StatusCode status = status::kSuccess;  // the decoder's, once it stopped
  int64_t frames = 0;                    // frames of samples written
  int64_t failed_frame = 0;              // the frame the status came from
  bool written = true;                   // false when the sink failed
};

// Decodes from the frame `st` stands at until the decoder returns non-zero,
// keeping every frame of samples the decoder wrote, the one that raised the
// final status included.
DecodeResult decode_all(voice::DecoderState& st, PcmSink& sink);

// Nothing for a clean end: the end of the frames after at least as many as
// the header counts. Else "truncated after N of M frames" (the end came
// early) or "damaged at frame N: <status text>" (any other status; frames
// count from 0, as positions do).
std::optional<std::string> reading_fault(StatusCode status, int64_t frames, int64_t failed_frame,
                                         int64_t header_frames, const char* status_text);

}  // namespace tools
