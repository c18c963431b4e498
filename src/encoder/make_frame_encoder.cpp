#include "encoder/adpcm_encoder.h"
#include "encoder/celp_encoder.h"
#include "encoder/frame_encoder.h"

namespace encoder {

// Every voice mode has an encoder: the ADPCM one, and one CELP encoder for
// the three CELP frame sizes. Nothing for a value that is no mode.
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
