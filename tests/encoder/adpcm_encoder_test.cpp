// The ADPCM encoder against this project's decoder: what it aims at is what
// the decoder makes of its frames, and no frame it writes is read as a
// record.
#include "encoder/adpcm_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <span>
#include <vector>

#include "encoder/voice_file_writer.h"
#include "support/speech_like.h"
#include "voice/adpcm.h"

namespace {

using encoder::AdpcmEncoder;
using voice::AdpcmState;
using voice::VoiceMode;

constexpr int kFrameBytes = 40;

struct Coded {
  std::vector<uint8_t> frames;
  std::vector<int16_t> decoded;
  AdpcmState decoder;  // after the last frame
};

// Encodes whole frames of `pcm` and decodes them again with the decoder.
Coded round_trip(const std::vector<int16_t>& pcm, AdpcmEncoder& enc) {
  Coded c;
  voice::adpcm_reset(c.decoder);
  uint8_t out[voice::kPcmFrameBytes];
  for (size_t i = 0; i + voice::kSamplesPerFrame <= pcm.size(); i += voice::kSamplesPerFrame) {
    uint8_t frame[kFrameBytes];
    enc.EncodeFrame(&pcm[i], frame);
    c.frames.insert(c.frames.end(), frame, frame + kFrameBytes);
    voice::adpcm_decode_frame(frame, c.decoder, out);
    for (int k = 0; k < voice::kSamplesPerFrame; ++k)
      c.decoded.push_back(static_cast<int16_t>(out[2 * k] | out[2 * k + 1] << 8));
  }
  return c;
}

double snr_db(const std::vector<int16_t>& ref, const std::vector<int16_t>& got) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < ref.size(); ++i) {
    const double d = double(got[i]) - ref[i];
    signal += double(ref[i]) * ref[i];
    noise += d * d;
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// The state has only 32-bit fields and no padding.
bool same_state(const AdpcmState& a, const AdpcmState& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<std::span<const uint8_t>> frames_of(const std::vector<uint8_t>& bytes) {
  std::vector<std::span<const uint8_t>> frames;
  for (size_t i = 0; i < bytes.size(); i += kFrameBytes)
    frames.emplace_back(bytes.data() + i, kFrameBytes);
  return frames;
}

TEST(AdpcmEncoder, RoundTripKeepsSpeechWellAboveTheNoise) {
  // Measured at about 33 to 35 dB over the three levels; a wrong nibble
  // order or a drifting tracked state falls far below.
  for (double peak : {0.05, 0.5, 0.95}) {
    const std::vector<int16_t> pcm = testing_support::speech_like_pcm(3.0, peak);
    AdpcmEncoder enc;
    const Coded c = round_trip(pcm, enc);
    EXPECT_GT(snr_db(pcm, c.decoded), 27.0) << "peak " << peak;
    EXPECT_TRUE(same_state(enc.state(), c.decoder)) << "peak " << peak;
  }
}

TEST(AdpcmEncoder, FullScaleSquareWaveIsFollowedIntoTheClamps) {
  // A full-scale square wave drives the predictor past full scale, where the
  // output clamps and many codes give the same sample. Each edge takes a few
  // samples (the step size is bounded); the plateaus must then be held, not
  // left to the predictor's ringing.
  constexpr int kHalfPeriod = 20;
  std::vector<int16_t> pcm;
  for (int i = 0; i < 80 * 50; ++i) pcm.push_back(i / kHalfPeriod % 2 ? 32767 : -32768);
  AdpcmEncoder enc;
  const Coded c = round_trip(pcm, enc);
  EXPECT_TRUE(same_state(enc.state(), c.decoder));
  for (size_t i = 80 * 10; i < pcm.size(); ++i) {
    if (i % kHalfPeriod < 5) continue;
    ASSERT_NEAR(c.decoded[i], pcm[i], 2000) << i;
  }
}

// The encoder writes code 15 wherever code 0 would do; that is free only
// because the two decode alike from every state.
TEST(AdpcmEncoder, CodesZeroAndFifteenDecodeAlikeFromAnyState) {
  AdpcmState state;
  voice::adpcm_reset(state);
  uint32_t x = 7;
  for (int i = 0; i < 5000; ++i) {
    AdpcmState zero = state, fifteen = state;
    ASSERT_EQ(voice::adpcm_decode(0, zero), voice::adpcm_decode(15, fifteen)) << i;
    ASSERT_TRUE(same_state(zero, fifteen)) << i;
    x = x * 1664525u + 1013904223u;
    voice::adpcm_decode(static_cast<int>(x >> 28), state);
  }
}

TEST(AdpcmEncoder, NoFrameReadsAsARecord) {
  // Inputs whose nearest codes would be zero for a frame or half a frame:
  // silence from the start, silence after speech (the predictor rings on),
  // speech with one half of a frame silent, and the reverse.
  std::vector<int16_t> pcm(80 * 20, 0);
  const std::vector<int16_t> speech = testing_support::speech_like_pcm(0.5);
  pcm.insert(pcm.end(), speech.begin(), speech.end());
  pcm.insert(pcm.end(), 80 * 30, 0);
  for (int f = 0; f < 10; ++f) {
    const bool speech_first = f % 2 == 0;
    for (int i = 0; i < 80; ++i)
      pcm.push_back((i < 40) == speech_first ? speech[static_cast<size_t>(f * 80 + i)] : 0);
  }
  AdpcmEncoder enc;
  const Coded c = round_trip(pcm, enc);
  for (auto frame : frames_of(c.frames))
    EXPECT_FALSE(encoder::reads_as_record(VoiceMode::Adpcm40, frame));
  // ...and avoiding the records costs nothing: silence decodes to silence.
  for (int i = 0; i < 80 * 20; ++i) ASSERT_EQ(c.decoded[static_cast<size_t>(i)], 0) << i;
  EXPECT_TRUE(same_state(enc.state(), c.decoder));
}

}  // namespace
