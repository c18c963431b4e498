#include "encoder/adpcm_encoder.h"
#include "encoder/frame_encoder.h"

namespace encoder {

// Each mode's encoder registers itself here as it is written.
std::unique_ptr<FrameEncoder> MakeFrameEncoder(voice::VoiceMode mode) {
  switch (mode) {
    case voice::VoiceMode::Adpcm40:
      return std::make_unique<AdpcmEncoder>();
    default:
      return nullptr;
  }
}

}  // namespace encoder
