#include "encoder/adpcm_encoder.h"
#include "encoder/celp_encoder.h"
#include "encoder/frame_encoder.h"

namespace encoder {

// Each mode's encoder registers itself here as it is written.
std::unique_ptr<FrameEncoder> MakeFrameEncoder(voice::VoiceMode mode) {
  switch (mode) {
    case voice::VoiceMode::Adpcm40:
      return std::make_unique<AdpcmEncoder>();
    case voice::VoiceMode::Celp56:
    case voice::VoiceMode::Celp64:
    case voice::VoiceMode::Celp80:
      return std::make_unique<CelpEncoder>(mode);
    default:
      return nullptr;
  }
}

}  // namespace encoder
