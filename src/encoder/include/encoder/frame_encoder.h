// Turns 10 ms of 8 kHz speech at a time into one frame of a coding mode.
//
// How the encoder layer reports trouble: encoding itself cannot fail (any
// input gives a frame); analysis steps that can break down say so in their
// result (a bool, or a flag such as LpResult::stable) and the encoder falls
// back; only writing a file fails, which VoiceFileWriter reports as false
// with its error() text. Nothing throws.
#pragma once

#include <cstdint>
#include <memory>

#include "voice/voice_format.h"

namespace encoder {

class FrameEncoder {
 public:
  virtual ~FrameEncoder() = default;
  // Encodes 80 samples into one frame of the mode's size (7, 8, 10 or 40
  // bytes). The frame is never one the reader would take for an end marker
  // or a jump record: the encoder picks the nearest ordinary frame instead,
  // and its tracked decoder follows the frame actually returned.
  virtual void EncodeFrame(const int16_t* pcm, uint8_t* frame) = 0;
  // How many samples the decoded speech lags the input: the input's last
  // samples come out only when this much more (silence) has been encoded.
  virtual int DelaySamples() const { return 0; }
};

std::unique_ptr<FrameEncoder> MakeFrameEncoder(voice::VoiceMode mode);

}  // namespace encoder
