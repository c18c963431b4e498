#include "voice/mode_steps.h"

namespace voice {

void adpcm_open_step(DecoderState& st) {
  adpcm_reset(st.adpcm);
  if (!read_frame_count(st)) return;
  st.frame_bits = 40;
  st.frame_bytes = 40;
  skip_leading_frames(st);
}

void adpcm_frame_step(DecoderState& st, uint8_t* pcm) {
  adpcm_decode_frame(st.frame, st.adpcm, pcm);
}

}  // namespace voice
