// Decoded samples pinned for each mode: any change of the arithmetic, of a
// table or of an optimised kernel (the vectorised and the baseline builds
// both run this) shows up here as a different digest.
#include <gtest/gtest.h>

#include <cstdint>

#include "voice/voice_test_util.h"

namespace voice {
namespace {

using testing_support::TempFile;
using testing_support::VoiceFileBuilder;

// FNV-1a over every PCM byte from the first frame to the end of the stream.
uint64_t pcm_digest(VoiceMode mode, int frames) {
  VoiceFileBuilder b(mode);
  b.speech_frames(frames).end_marker();
  TempFile f(b.bytes());
  DecoderState st;
  EXPECT_EQ(vdec_open(st, f.c_str(), nullptr), 0);
  EXPECT_EQ(vdec_restart_at(st, f.c_str(), 0), 0);
  uint64_t h = 0xcbf29ce484222325u;
  uint8_t pcm[kPcmFrameBytes];
  int32_t pos = 0;
  int decoded = 0;
  while (vdec_decode_frame(st, pcm, &pos) == 0) {
    for (uint8_t byte : pcm) h = (h ^ byte) * 0x100000001b3u;
    ++decoded;
  }
  EXPECT_EQ(decoded, frames);
  return h;
}

TEST(GoldenOutput, EveryModeDecodesToItsKnownSamples) {
  // Digests of the samples that a separate, straightforward implementation
  // of the decoder computes for the same files.
  EXPECT_EQ(pcm_digest(VoiceMode::Celp56, 400), 0x7b1f0fbaeac116dau) << "Celp56";
  EXPECT_EQ(pcm_digest(VoiceMode::Celp64, 400), 0x15393f413e2a61e9u) << "Celp64";
  EXPECT_EQ(pcm_digest(VoiceMode::Celp80, 400), 0xf1e1f12b0ff8704cu) << "Celp80";
  EXPECT_EQ(pcm_digest(VoiceMode::Adpcm40, 400), 0xec014a425257b80du) << "Adpcm40";
}

}  // namespace
}  // namespace voice
