// The record of everything a decoder keeps between calls. The player uses one
// process-wide instance behind the vdec_ functions; tools and tests may build
// their own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "celp/celp_state.h"
#include "celp/status_code.h"
#include "postfilter/postfilter_state.h"
#include "voice/adpcm.h"
#include "voice/voice_format.h"

namespace voice {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

struct DecoderState {
  FileHandle file;                       // the open voice file, or none
  StatusCode status = status::kSuccess;  // latched status
  uint8_t header[kHeaderSize] = {};      // file bytes 16 to 31
  int mode = -1;                         // mode value of the open file
  int32_t frame_bytes = 0;               // F: 7, 8, 10 or 40
  int32_t frame_bits = 0;                // 56, 64 or 80; 40 for ADPCM
  uint8_t frame[kMaxFrameBytes] = {};    // the current frame, first F bytes used
  int32_t frame_count = 0;               // playable frames N
  int32_t position = 0;                  // caller-visible frame position
  uint64_t celp_frames_decoded = 0;      // CELP frames unpacked since the last open
  int32_t direct_index_mode = 0;         // 1 for 56-bit frames
  AdpcmState adpcm;
  celp::CelpDecoderState celp;         // CELP decoder memories
  postfilter::PostFilterState post;    // post-filter memories
  postfilter::HighPassState highpass;  // output filter memories
  char text[64] = {};                  // the last formatted status text
};

}  // namespace voice
