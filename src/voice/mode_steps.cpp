#include "voice/mode_steps.h"

namespace voice {

bool read_frame_count(DecoderState& st) {
  const uint8_t* d = st.header + (kDurationOffset - kHeaderKeptFrom);
  st.frame_count = frame_count_from_duration(duration_hundredths(d[0], d[1], d[2], d[3]));
  if (st.frame_count > 0) return true;
  st.status = status::kNoFrames;
  return false;
}

void skip_leading_frames(DecoderState& st) {
  uint8_t discard[kMaxFrameBytes];
  for (int i = 0; i < 2; ++i)
    (void)std::fread(discard, 1, static_cast<size_t>(st.frame_bytes), st.file.get());
}

}  // namespace voice
