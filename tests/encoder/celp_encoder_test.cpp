// The CELP encoder judged through this project's own decoder: the frames
// it returns are written to a voice file and played back by the reader and
// the full CELP decoder, post-filter and output filter included.
#include "encoder/celp_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "encoder/celp_test_signals.h"
#include "support/voice_file_builder.h"
#include "voice/vdec.h"

namespace {

using testing_support::Bytes;
using testing_support::TempFile;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

constexpr int kDelay = 40;  // the encoder's look-ahead

std::vector<Bytes> encode(VoiceMode mode, const std::vector<int16_t>& pcm,
                          encoder::CelpEncoder* enc_out = nullptr) {
  encoder::CelpEncoder local(mode);
  encoder::CelpEncoder& enc = enc_out ? *enc_out : local;
  const int bytes = voice::frame_bytes_of(mode);
  std::vector<Bytes> frames;
  for (size_t i = 0; i + 80 <= pcm.size(); i += 80) {
    Bytes frame(bytes);
    enc.EncodeFrame(&pcm[i], frame.data());
    frames.push_back(frame);
  }
  return frames;
}

// Plays the frames from a voice file; `st` is left as the last frame left it.
std::vector<int16_t> play(VoiceMode mode, const std::vector<Bytes>& frames,
                          voice::DecoderState& st) {
  VoiceFileBuilder b(mode);
  for (const Bytes& f : frames) b.frame(f);
  b.end_marker();
  TempFile file(b.bytes());
  int file_mode = -1;
  EXPECT_EQ(vdec_open(st, file.c_str(), &file_mode), 0);
  EXPECT_EQ(vdec_restart_at(st, file.c_str(), 0), 0);
  std::vector<int16_t> out;
  uint8_t pcm[voice::kPcmFrameBytes];
  int32_t position = 0;
  while (vdec_decode_frame(st, pcm, &position) == 0)
    for (int k = 0; k < 80; ++k)
      out.push_back(static_cast<int16_t>(pcm[2 * k] | pcm[2 * k + 1] << 8));
  vdec_close(st);
  return out;
}

std::vector<int16_t> play(VoiceMode mode, const std::vector<Bytes>& frames) {
  voice::DecoderState st;
  return play(mode, frames, st);
}

class EveryCelpMode : public ::testing::TestWithParam<VoiceMode> {};

INSTANTIATE_TEST_SUITE_P(Modes, EveryCelpMode,
                         ::testing::Values(VoiceMode::Celp56, VoiceMode::Celp64, VoiceMode::Celp80),
                         [](const auto& info) {
                           return std::string(voice::mode_name(info.param));
                         });

// SNR floors per mode (56, 64, 80 bits) with a few dB of margin below what
// the encoder reaches; they fail on a broken search, not on tuning.
double floor_for(VoiceMode mode, const double (&floors)[3]) {
  return floors[static_cast<int>(mode)];
}

TEST_P(EveryCelpMode, VoicedSpeechComesBackAtTheEncoderDelay) {
  const auto pcm = celp_test::voiced_speech(8000);
  const auto out = play(GetParam(), encode(GetParam(), pcm));
  ASSERT_EQ(out.size(), pcm.size());
  const int lag = celp_test::best_lag(pcm, out, 120);
  EXPECT_NEAR(lag, kDelay, 1);
  EXPECT_GT(celp_test::snr_db(pcm, out, lag), floor_for(GetParam(), {8.0, 9.0, 10.0}));
}

TEST_P(EveryCelpMode, SineSweepComesBack) {
  const auto pcm = celp_test::sine_sweep(16000, 150.0, 3400.0, 8000.0);
  const auto out = play(GetParam(), encode(GetParam(), pcm));
  EXPECT_GT(celp_test::snr_db(pcm, out, kDelay), floor_for(GetParam(), {9.0, 10.0, 12.0}));
}

TEST_P(EveryCelpMode, QuietAndLoudVersionsOfOneSignalCodeAlike) {
  // The gain codebooks and the energy prediction must follow the level:
  // 30 dB quieter speech keeps most of its SNR.
  const auto loud = celp_test::voiced_speech(8000, 16000.0);
  const auto quiet = celp_test::voiced_speech(8000, 500.0);
  const double loud_snr =
      celp_test::snr_db(loud, play(GetParam(), encode(GetParam(), loud)), kDelay);
  const double quiet_snr =
      celp_test::snr_db(quiet, play(GetParam(), encode(GetParam(), quiet)), kDelay);
  EXPECT_GT(quiet_snr, loud_snr - 3.0);
}

TEST_P(EveryCelpMode, NoFrameIsEverASpecialRecord) {
  std::vector<std::vector<int16_t>> inputs = celp_test::extreme_inputs(4000);
  inputs.push_back(std::vector<int16_t>(4000, 0));
  for (const auto& pcm : inputs) {
    const auto frames = encode(GetParam(), pcm);
    for (const Bytes& f : frames) ASSERT_NE(f, Bytes(f.size(), 0));
    // The reader delivers every frame: none was taken for a record.
    EXPECT_EQ(play(GetParam(), frames).size(), pcm.size());
  }
}

TEST_P(EveryCelpMode, SilenceDecodesToNearSilence) {
  const auto out = play(GetParam(), encode(GetParam(), std::vector<int16_t>(8000, 0)));
  for (int16_t s : out) EXPECT_LE(std::abs(s), 4);
}

TEST_P(EveryCelpMode, FullScaleInputStaysLoud) {
  // Full-scale noise and a full-scale square wave must not drive the
  // decoder's synthesis into overflow and its excitation into silence.
  // Waveform matching shrinks what it cannot predict, so noise comes out
  // quieter, but not by more than 20 dB.
  const auto inputs = celp_test::extreme_inputs(8000);
  for (int i : {0, 1}) {
    const auto out = play(GetParam(), encode(GetParam(), inputs[i]));
    double in_energy = 0.0, out_energy = 0.0;
    for (size_t n = 4000; n < out.size(); ++n) {
      in_energy += double(inputs[i][n]) * inputs[i][n];
      out_energy += double(out[n]) * out[n];
    }
    EXPECT_GT(out_energy, in_energy / 100.0) << "input " << i;
  }
}

TEST_P(EveryCelpMode, EncodingIsDeterministic) {
  const auto pcm = celp_test::voiced_speech(4000);
  EXPECT_EQ(encode(GetParam(), pcm), encode(GetParam(), pcm));
}

TEST_P(EveryCelpMode, TrackedDecoderEndsWhereAFreshDecoderEnds) {
  auto pcm = celp_test::voiced_speech(8000);
  const auto extra = celp_test::extreme_inputs(2000);
  for (const auto& e : extra) pcm.insert(pcm.end(), e.begin(), e.end());
  encoder::CelpEncoder enc(GetParam());
  const auto frames = encode(GetParam(), pcm, &enc);
  voice::DecoderState st;
  play(GetParam(), frames, st);
  EXPECT_EQ(std::memcmp(&enc.tracked_state(), &st.celp, sizeof st.celp), 0);
}

}  // namespace
