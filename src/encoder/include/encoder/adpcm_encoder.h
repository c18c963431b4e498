// 4-bit ADPCM frames, chosen against the decoder's own state so that the
// decoder reproduces exactly the signal the encoder aimed at.
#pragma once

#include <array>
#include <cstdint>

#include "encoder/frame_encoder.h"
#include "voice/adpcm.h"
#include "voice/voice_format.h"

namespace encoder {

class AdpcmEncoder : public FrameEncoder {
 public:
  // Candidate code sequences kept through a frame. One is the plain
  // sample-by-sample choice; more let a code that misses now by a little
  // win when it leaves the decoder better placed for the samples after it.
  static constexpr int kPaths = 8;

  AdpcmEncoder();
  void EncodeFrame(const int16_t* pcm, uint8_t* frame) override;

  // The decoder state after the last frame returned: what a decoder that has
  // read every frame so far holds.
  const voice::AdpcmState& state() const { return state_; }

 private:
  struct Path {
    voice::AdpcmState state;
    double cost = 0;
    std::array<uint8_t, voice::kSamplesPerFrame> codes{};
  };
  struct Candidate {
    double cost;
    int path;
    int code;
  };

  int Extend(int16_t sample, int n, int live);

  voice::AdpcmState state_;
  // The live paths and their extensions, in turns.
  std::array<std::array<Path, kPaths>, 2> paths_;
  int current_ = 0;
};

}  // namespace encoder
