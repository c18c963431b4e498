// 4-bit ADPCM frames, chosen code by code against the decoder's own state so
// that the decoder reproduces exactly the signal the encoder aimed at.
#pragma once

#include <cstdint>

#include "encoder/frame_encoder.h"
#include "voice/adpcm.h"

namespace encoder {

class AdpcmEncoder : public FrameEncoder {
 public:
  AdpcmEncoder();
  void EncodeFrame(const int16_t* pcm, uint8_t* frame) override;

  // The decoder state after the last frame returned: what a decoder that has
  // read every frame so far holds.
  const voice::AdpcmState& state() const { return state_; }

 private:
  int EncodeSample(int16_t sample);

  voice::AdpcmState state_;
};

}  // namespace encoder
