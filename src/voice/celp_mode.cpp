#include "voice/mode_steps.h"

namespace voice {

void celp_open_step(DecoderState& st) {
  st.celp_frames_decoded = 0;
  if (!read_frame_count(st)) return;
  const auto mode = mode_from_value(st.mode);
  if (!mode) {
    st.status = status::kBadFileFormat;
    return;
  }
  st.frame_bytes = frame_bytes_of(*mode);
  st.frame_bits = 8 * st.frame_bytes;
  skip_leading_frames(st);
  st.direct_index_mode = st.frame_bits == 56 ? 1 : 0;
}

// The CELP synthesis does not exist yet: a CELP frame is read but cannot be
// turned into samples, which the caller learns from a latched status.
void celp_frame_step(DecoderState& st, uint8_t*) {
  st.status = status::kDecodingFail;
}

}  // namespace voice
