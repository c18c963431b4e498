// Real speech (two espeak-ng utterances, committed) encoded in every mode,
// written as a voice file and played by the decoder: the decoded speech must
// stay near the quality the encoders reach. The floors sit a little below
// the measured values (in the comments), so that a real loss shows while
// the encoders' ordinary tuning does not trip them; everything is
// deterministic.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "encoder/frame_encoder.h"
#include "encoder/low_cut_filter.h"
#include "encoder/voice_file_writer.h"
#include "support/band_quality.h"
#include "support/speech_quality.h"
#include "support/voice_file_builder.h"
#include "voice/vdec.h"

namespace {

using testing_support::BandQuality;
using testing_support::SpeechQuality;
using testing_support::TempFile;
using voice::VoiceMode;

std::vector<int16_t> read_speech(const std::string& name) {
  const std::string path = std::string(TEST_SPEECH_DIR) + "/" + name;
  SF_INFO info{};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  if (!f) {
    ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
    return {};
  }
  EXPECT_EQ(info.samplerate, 8000);
  EXPECT_EQ(info.channels, 1);
  std::vector<int16_t> pcm(static_cast<size_t>(info.frames));
  sf_read_short(f, pcm.data(), info.frames);
  sf_close(f);
  pcm.resize(pcm.size() / voice::kSamplesPerFrame * voice::kSamplesPerFrame);
  return pcm;
}

// Encodes into a voice file the way vocenc writes one.
void write_voice_file(VoiceMode mode, const std::vector<int16_t>& pcm, const std::string& path) {
  const auto encoder = encoder::MakeFrameEncoder(mode);
  const auto leading = encoder::silent_leading_frames(mode);
  ASSERT_TRUE(encoder && leading);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"),
                                                            std::fclose);
  ASSERT_TRUE(out);
  encoder::VoiceFileWriter writer(out.get(), mode);
  ASSERT_TRUE(writer.begin(*leading)) << writer.error();
  std::vector<uint8_t> frame(static_cast<size_t>(writer.frame_bytes()));
  for (size_t i = 0; i < pcm.size(); i += voice::kSamplesPerFrame) {
    encoder->EncodeFrame(&pcm[i], frame.data());
    ASSERT_TRUE(writer.append(frame)) << writer.error();
  }
  ASSERT_TRUE(writer.finish()) << writer.error();
}

std::vector<int16_t> decode_voice_file(const std::string& path) {
  voice::DecoderState st;
  EXPECT_EQ(vdec_open(st, path.c_str(), nullptr), 0);
  EXPECT_EQ(vdec_restart_at(st, path.c_str(), 0), 0);
  std::vector<int16_t> out;
  uint8_t pcm[voice::kPcmFrameBytes];
  while (vdec_decode_frame(st, pcm, nullptr) == 0)
    for (int k = 0; k < voice::kSamplesPerFrame; ++k)
      out.push_back(static_cast<int16_t>(pcm[2 * k] | pcm[2 * k + 1] << 8));
  return out;
}

struct Floor {
  VoiceMode mode;
  const char* speech;
  double snr_db, seg_snr_db;
};

// Measured when the floors were set, SNR / segmental SNR in dB:
//   speech-m3: Celp56 4.4 / 5.2, Celp64 7.5 / 6.6, Celp80 9.7 / 8.2, Adpcm40 23.3 / 24.9
//   speech-f3: Celp56 7.5 / 7.0, Celp64 9.5 / 8.0, Celp80 11.2 / 9.5, Adpcm40 25.0 / 25.9
// The CELP floors are about 1.5 dB below; the ADPCM ones 1 dB, closer than the
// 1.3 to 1.8 dB that choosing codes a frame at a time gains over choosing
// them sample by sample. None is below what the modes are meant to reach on
// speech (Celp80 5 / 3.5, Adpcm40 20).
constexpr Floor kFloors[] = {
    {VoiceMode::Celp56, "speech-m3.wav", 3.0, 3.5},
    {VoiceMode::Celp56, "speech-f3.wav", 6.0, 5.5},
    {VoiceMode::Celp64, "speech-m3.wav", 6.0, 5.0},
    {VoiceMode::Celp64, "speech-f3.wav", 8.0, 6.5},
    {VoiceMode::Celp80, "speech-m3.wav", 8.0, 6.5},
    {VoiceMode::Celp80, "speech-f3.wav", 9.5, 8.0},
    {VoiceMode::Adpcm40, "speech-m3.wav", 22.5, 24.0},
    {VoiceMode::Adpcm40, "speech-f3.wav", 24.0, 25.0},
};

class EncodedSpeech : public ::testing::TestWithParam<Floor> {};

INSTANTIATE_TEST_SUITE_P(EveryModeAndVoice, EncodedSpeech, ::testing::ValuesIn(kFloors),
                         [](const auto& info) {
                           std::string name = std::string(voice::mode_name(info.param.mode)) + "_" +
                                              info.param.speech;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

TEST_P(EncodedSpeech, StaysAboveItsFloor) {
  const Floor& floor = GetParam();
  const std::vector<int16_t> speech = read_speech(floor.speech);
  ASSERT_GT(speech.size(), 16000u) << "at least 2 s of speech";
  const TempFile file;
  write_voice_file(floor.mode, speech, file.path());
  const std::vector<int16_t> decoded = decode_voice_file(file.path());
  ASSERT_EQ(decoded.size(), speech.size());

  const SpeechQuality q = testing_support::measure_speech_quality(speech, decoded);
  std::printf("%s %s: lag %d, SNR %.2f dB, segmental SNR %.2f dB\n", voice::mode_name(floor.mode),
              floor.speech, q.lag, q.snr_db, q.seg_snr_db);
  // The encoders look ahead by at most half a frame.
  EXPECT_GE(q.lag, 0);
  EXPECT_LE(q.lag, 40);
  EXPECT_GE(q.snr_db, floor.snr_db);
  EXPECT_GE(q.seg_snr_db, floor.seg_snr_db);
}

// Low-frequency trouble under an utterance (the male one unless named),
// brought 8 dB down so that a -6 dBFS tone fits beside it: the decoded speech
// is measured in band against the utterance alone, and the trouble must not
// come out louder.
enum class Trouble { kHum, kTone20, kRumble, kTone40 };

struct TroubleFloor {
  VoiceMode mode;
  Trouble trouble;
  double band_seg_snr_db;
  const char* speech = "speech-m3.wav";
};

double rms(const std::vector<int16_t>& x) {
  double sum = 0;
  for (int16_t s : x) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(x.size()));
}

std::vector<double> sine(size_t n, double hz, double amplitude) {
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / 8000);
  return out;
}

// Brown noise under 40 Hz (a fixed seed), at a given RMS.
std::vector<double> rumble(size_t n, double level) {
  std::mt19937 rng(7);
  std::normal_distribution<double> white(0, 1);
  std::vector<float> noise(n);
  double walk = 0;
  for (float& v : noise) v = static_cast<float>(walk = 0.999 * walk + white(rng));
  for (int pass = 0; pass < 2; ++pass)
    encoder::LowCutFilter(40, 4, encoder::LowCutFilter::kLowPass)
        .Run(noise.data(), static_cast<int>(n));
  double sum = 0;
  for (float v : noise) sum += double{v} * v;
  const double scale = level / std::sqrt(sum / static_cast<double>(n));
  std::vector<double> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = scale * noise[i];
  return out;
}

std::vector<int16_t> with_trouble(const std::vector<int16_t>& speech, Trouble trouble) {
  const size_t n = speech.size();
  const double sine_at_speech = rms(speech) * std::numbers::sqrt2;
  std::vector<double> added(n, 0.0);
  const auto add = [&](const std::vector<double>& x) {
    for (size_t i = 0; i < n; ++i) added[i] += x[i];
  };
  switch (trouble) {
    case Trouble::kHum:  // 20 dB under the speech, harmonics at 26 and 30 dB
      add(sine(n, 50, sine_at_speech * 0.1));
      add(sine(n, 100, sine_at_speech * 0.05));
      add(sine(n, 150, sine_at_speech * 0.0316));
      break;
    case Trouble::kTone20:
      add(sine(n, 20, 16384));  // -6 dBFS
      break;
    case Trouble::kRumble:
      add(rumble(n, rms(speech) * 0.316));  // 10 dB under the speech
      break;
    case Trouble::kTone40:  // -6 dBFS from the first sample, before it is found
      add(sine(n, 40, 16384));
      break;
  }
  std::vector<int16_t> out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = static_cast<int16_t>(std::lround(std::clamp(speech[i] + added[i], -32768.0, 32767.0)));
  return out;
}

std::vector<int16_t> coded(VoiceMode mode, const std::vector<int16_t>& pcm) {
  const TempFile file;
  write_voice_file(mode, pcm, file.path());
  return decode_voice_file(file.path());
}

int peak(const std::vector<int16_t>& x) {
  int p = 0;
  for (int16_t s : x) p = std::max(p, std::abs(int{s}));
  return p;
}

// Measured when the floors were set, in-band segmental SNR in dB:
//   hum: Celp56 5.8, Celp80 9.0; 20 Hz tone: Celp56 5.9, Celp80 8.4;
//   rumble: Celp56 5.7, Celp80 8.9 (8.3 while the synthesis filter's spectrum
//   still took in the boosted low band); female voice with a 40 Hz tone from
//   the start: Celp80 8.4 (its peak 6564, 9739 while the guard waited for
//   the low band's share). The encoder before it dealt with such trouble:
//   20 Hz tone -4.1 and -4.4, rumble 4.1 and 6.5. Floors 0.3 to 0.4 dB below.
constexpr TroubleFloor kTroubleFloors[] = {
    {VoiceMode::Celp56, Trouble::kHum, 5.5},
    {VoiceMode::Celp80, Trouble::kHum, 8.6},
    {VoiceMode::Celp56, Trouble::kTone20, 5.5},
    {VoiceMode::Celp80, Trouble::kTone20, 8.1},
    {VoiceMode::Celp56, Trouble::kRumble, 5.4},
    {VoiceMode::Celp80, Trouble::kRumble, 8.6},
    {VoiceMode::Celp80, Trouble::kTone40, 8.1, "speech-f3.wav"},
};

class LowFrequencyTrouble : public ::testing::TestWithParam<TroubleFloor> {};

std::string trouble_case_name(const TroubleFloor& floor) {
  static const char* const kNames[] = {"Hum", "Tone20Hz", "Rumble", "Tone40Hz"};
  return std::string(voice::mode_name(floor.mode)) + "_" + kNames[static_cast<int>(floor.trouble)];
}

INSTANTIATE_TEST_SUITE_P(HumToneAndRumble, LowFrequencyTrouble, ::testing::ValuesIn(kTroubleFloors),
                         [](const auto& info) { return trouble_case_name(info.param); });

TEST_P(LowFrequencyTrouble, LeavesTheSpeechBandAndComesOutNoLouder) {
  const TroubleFloor& floor = GetParam();
  std::vector<int16_t> speech = read_speech(floor.speech);
  ASSERT_GT(speech.size(), 16000u);
  for (int16_t& s : speech) s = static_cast<int16_t>(std::lround(s * 0.398));  // -8 dB
  const std::vector<int16_t> input = with_trouble(speech, floor.trouble);
  const std::vector<int16_t> clean_decoded = coded(floor.mode, speech);
  const std::vector<int16_t> decoded = coded(floor.mode, input);
  ASSERT_EQ(decoded.size(), speech.size());

  const BandQuality q = testing_support::measure_band_quality(speech, decoded);
  std::printf("in band %.2f dB, peak %d (alone %d)\n", q.seg_snr_db, peak(decoded),
              peak(clean_decoded));
  EXPECT_GE(q.seg_snr_db, floor.band_seg_snr_db);
  // The coded speech's own peak moves by a dB or so with any change of the
  // encoder, so the bound is the larger of the speech's and its coded peak,
  // 1.5 dB up; the trouble before it was handled reached 2 to 3 times that.
  const int alone = std::max(peak(speech), peak(clean_decoded));
  EXPECT_LE(peak(decoded), alone * 1.189) << "within 1.5 dB of " << alone;
  switch (floor.trouble) {
    case Trouble::kHum:
      EXPECT_GE(testing_support::line_dbfs(input, 50) - testing_support::line_dbfs(decoded, 50),
                10.0);
      break;
    case Trouble::kTone20:
    case Trouble::kTone40: {
      const double hz = floor.trouble == Trouble::kTone20 ? 20 : 40;
      EXPECT_GE(testing_support::line_dbfs(input, hz) - testing_support::line_dbfs(decoded, hz),
                30.0);
      break;
    }
    case Trouble::kRumble:
      EXPECT_LE(testing_support::strongest_line_dbfs(decoded, 20, 100),
                testing_support::strongest_line_dbfs(input, 20, 100) + 3.0);
      break;
  }
}

}  // namespace
