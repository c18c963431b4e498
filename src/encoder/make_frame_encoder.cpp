#include "encoder/frame_encoder.h"

namespace encoder {

// Each mode's encoder registers itself here as it is written.
std::unique_ptr<FrameEncoder> MakeFrameEncoder(voice::VoiceMode) {
  return nullptr;
}

}  // namespace encoder
