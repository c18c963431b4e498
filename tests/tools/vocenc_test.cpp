// Runs the built vocenc on audio files made for each case, and reads what it
// wrote back through the decoder and the other tools.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "encoder/adpcm_encoder.h"
#include "support/speech_like.h"
#include "support/voice_file_builder.h"
#include "tools/tool_run.h"
#include "voice/frame_reader.h"
#include "voice/vdec.h"

namespace {

using ::testing::HasSubstr;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::read_file;
using testing_support::read_voice;
using testing_support::run;
using testing_support::ScratchDir;
using testing_support::TempFile;
using testing_support::vocenc;
using testing_support::VoiceInfo;
using voice::VoiceMode;

// The frames the ADPCM encoder makes of `pcm`, whole frames of 80 samples.
std::vector<Bytes> adpcm_frames(const std::vector<int16_t>& pcm) {
  encoder::AdpcmEncoder enc;
  std::vector<Bytes> frames;
  for (size_t i = 0; i + 80 <= pcm.size(); i += 80) {
    Bytes frame(40);
    enc.EncodeFrame(&pcm[i], frame.data());
    frames.push_back(frame);
  }
  return frames;
}

void write_wav(const std::string& path, int rate, const std::vector<double>& left,
               const std::vector<double>& right) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  std::vector<double> interleaved;
  for (size_t i = 0; i < left.size(); ++i) {
    interleaved.push_back(left[i]);
    interleaved.push_back(right[i]);
  }
  sf_writef_double(f, interleaved.data(), static_cast<sf_count_t>(left.size()));
  sf_close(f);
}

Bytes little_endian(const std::vector<int16_t>& samples) {
  Bytes b;
  for (int16_t s : samples) {
    b.push_back(static_cast<uint8_t>(s & 0xFF));
    b.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  return b;
}

double correlation(const std::vector<double>& a, const std::vector<int16_t>& b) {
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    ab += a[i] * b[i];
    aa += a[i] * a[i];
    bb += double(b[i]) * b[i];
  }
  return ab / std::sqrt(aa * bb);
}

template <typename T>
double rms(const std::vector<T>& x) {
  double sum = 0;
  for (T v : x) sum += double(v) * v;
  return std::sqrt(sum / static_cast<double>(x.size()));
}

// Three partials under 4 kHz with a slow swell: the same signal at any rate.
std::vector<double> chord(int rate, double seconds, double level) {
  const double pi = std::acos(-1.0);
  std::vector<double> out;
  for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double swell = 0.5 - 0.5 * std::cos(2 * pi * t / seconds);
    out.push_back(level * swell *
                  (std::sin(2 * pi * 310 * t) + 0.5 * std::sin(2 * pi * 1270 * t) +
                   0.25 * std::sin(2 * pi * 2630 * t)) /
                  1.75);
  }
  return out;
}

TEST(Vocenc, StereoWavAt44kHzBecomesAVoiceFileOfTheSameLength) {
  const ScratchDir dir;
  write_wav(dir / "in.wav", 44100, chord(44100, 1.5, 0.8), chord(44100, 1.5, 0.4));

  const Outcome r = vocenc({"--mode", "adpcm40", dir / "in.wav", dir / "out.voc"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "") << "no progress line when stderr is not a terminal";
  const VoiceInfo v = read_voice(dir / "out.voc");
  EXPECT_EQ(v.mode, static_cast<int>(VoiceMode::Adpcm40));
  EXPECT_EQ(v.frames, 150) << "1.5 s of 10 ms frames";
  EXPECT_EQ(v.run.size(), 150u);

  ASSERT_EQ(run(VOCDEC_PATH, {dir / "out.voc", dir / "back.wav"}).exit_code, 0);
  const auto back = testing_support::read_audio(dir / "back.wav").samples;
  ASSERT_EQ(back.size(), 12000u);
  // Mixed to mono and resampled, the decoded speech is still the input's.
  // The channels are averaged: 0.8 and 0.4 make 0.6 of full scale.
  const std::vector<double> mixed = chord(8000, 1.5, 0.6 * 32767);
  EXPECT_GT(correlation(mixed, back), 0.99);
  EXPECT_NEAR(rms(back) / rms(mixed), 1.0, 0.05);
  EXPECT_EQ(dir.entries(), 3) << "no temporary file left";
}

// At 8000 Hz nothing is resampled: the frames are the encoder's own for the
// very samples given, the last one padded with zeros.
TEST(Vocenc, RawSamplesFromStandardInputAreEncodedAsGiven) {
  const ScratchDir dir;
  std::vector<int16_t> pcm = testing_support::speech_like_pcm(0.3);
  pcm.resize(pcm.size() + 5, 1234);
  const TempFile in(little_endian(pcm), ".raw");
  const Outcome r = run(VOCENC_PATH, {"--raw", "--mode", "adpcm40", "-", dir / "out.voc"}, "",
                        "<" + testing_support::shell_quoted(in.path()) + " >/dev/null");
  ASSERT_EQ(r.exit_code, 0) << r.err;

  pcm.resize((pcm.size() + 79) / 80 * 80, 0);
  const std::vector<Bytes> expected = adpcm_frames(pcm);
  const VoiceInfo v = read_voice(dir / "out.voc");
  EXPECT_EQ(v.frames, static_cast<int32_t>(expected.size()));
  EXPECT_EQ(v.run, expected);
}

void write_float_wav(const std::string& path, int rate, int channels,
                     const std::vector<float>& interleaved) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(f, nullptr);
  sf_writef_float(f, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
  sf_close(f);
}

// A float file can hold infinities, NaN and values far beyond full scale:
// they are clipped (NaN to silence), counted once, and spoil nothing else.
TEST(Vocenc, OutOfRangeFloatSamplesAreClippedAndCounted) {
  const ScratchDir dir;
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<int16_t> pcm = testing_support::speech_like_pcm(0.3);
  std::vector<float> floats;
  for (int16_t s : pcm) floats.push_back(static_cast<float>(s) / 32768.0f);
  const std::pair<size_t, std::pair<float, int16_t>> odd[] = {
      {100, {inf, 32767}}, {200, {std::nanf(""), 0}}, {300, {1e20f, 32767}}, {400, {-inf, -32768}}};
  for (const auto& [at, value] : odd) {
    floats[at] = value.first;
    pcm[at] = value.second;
  }
  write_float_wav(dir / "in.wav", 8000, 1, floats);
  const Outcome r = vocenc({"--mode", "adpcm40", dir / "in.wav", dir / "out.voc"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "vocenc: " + dir / "in.wav" + ": 4 samples out of range were clipped\n");
  // At 8000 Hz nothing is resampled: the frames are the encoder's own for
  // the clipped samples.
  const std::vector<Bytes> expected = adpcm_frames(pcm);
  EXPECT_EQ(read_voice(dir / "out.voc").run, expected);

  // Resampled, one NaN or infinity would spread over the whole signal.
  const std::vector<double> left = chord(44100, 1.0, 0.8), right = chord(44100, 1.0, 0.4);
  std::vector<float> stereo;
  for (size_t i = 0; i < left.size(); ++i) {
    stereo.push_back(static_cast<float>(left[i]));
    stereo.push_back(static_cast<float>(right[i]));
  }
  stereo[2 * 20000] = std::nanf("");
  stereo[2 * 30000 + 1] = inf;
  write_float_wav(dir / "stereo.wav", 44100, 2, stereo);
  const Outcome s = vocenc({"--mode", "adpcm40", dir / "stereo.wav", dir / "stereo.voc"});
  ASSERT_EQ(s.exit_code, 0) << s.err;
  EXPECT_THAT(s.err, HasSubstr(": 2 samples out of range were clipped\n"));
  ASSERT_EQ(run(VOCDEC_PATH, {dir / "stereo.voc", dir / "back.wav"}).exit_code, 0);
  const auto back = testing_support::read_audio(dir / "back.wav").samples;
  const std::vector<double> mixed = chord(8000, 1.0, 0.6 * 32767);
  EXPECT_GT(correlation(mixed, back), 0.99);
  EXPECT_NEAR(rms(back) / rms(mixed), 1.0, 0.05);
}

TEST(Vocenc, EachModeByNameAndCelp56ByDefault) {
  const ScratchDir dir;
  const TempFile in(little_endian(testing_support::speech_like_pcm(0.2)), ".raw");
  const std::pair<std::vector<std::string>, VoiceMode> cases[] = {
      {{}, VoiceMode::Celp56},
      {{"--mode", "celp56"}, VoiceMode::Celp56},
      {{"--mode", "celp64"}, VoiceMode::Celp64},
      {{"--mode", "celp80"}, VoiceMode::Celp80},
      {{"--mode", "adpcm40"}, VoiceMode::Adpcm40}};
  for (const auto& [mode_args, mode] : cases) {
    std::vector<std::string> args = mode_args;
    args.insert(args.end(), {"--raw", in.path(), dir / "out.voc"});
    const Outcome r = vocenc(args);
    if (r.exit_code == 1 && r.err.find("no encoder yet") != std::string::npos) {
      ADD_FAILURE() << voice::mode_name(mode) << " has no encoder: " << r.err;
      continue;
    }
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const VoiceInfo v = read_voice(dir / "out.voc");
    EXPECT_EQ(v.mode, static_cast<int>(mode));
    // 0.2 s is 20 frames; the CELP encoders look 40 samples ahead, so one
    // frame of silence more brings the input's last samples out.
    EXPECT_EQ(v.frames, mode == VoiceMode::Adpcm40 ? 20 : 21) << voice::mode_name(mode);
  }
}

TEST(Vocenc, FailuresLeaveNoOutputAndKeepAnOlderOne) {
  const ScratchDir dir;
  const std::string out = dir / "out.voc";
  { std::ofstream(out) << "old"; }
  const TempFile not_audio(Bytes(100, 'x'), ".wav"), empty(Bytes{}, ".raw");

  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {{dir / "missing.wav", out}, "No such file or directory"},
      {{not_audio.path(), out}, not_audio.path() + ": "},
      {{"--raw", empty.path(), out}, "empty file"},
  };
  for (const Case& c : cases) {
    const Outcome r = vocenc(c.args);
    EXPECT_EQ(r.exit_code, 1) << c.args[0];
    EXPECT_THAT(r.err, HasSubstr(c.says));
  }
  const Bytes kept = read_file(out);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "old");
  EXPECT_EQ(dir.entries(), 1) << "no leftovers";

  // An output that cannot be created, and one whose writing fails midway
  // (a 2 KiB file size limit, with the signal ignored so that the write
  // returns an error).
  const TempFile speech(little_endian(testing_support::speech_like_pcm(1.0)), ".raw");
  const Outcome nowhere = vocenc({"--raw", speech.path(), dir / "no/such/dir.voc"});
  EXPECT_EQ(nowhere.exit_code, 1);
  EXPECT_THAT(nowhere.err, HasSubstr("no/such/dir.voc"));
  const Outcome cut = run(VOCENC_PATH, {"--mode", "adpcm40", "--raw", speech.path(), out},
                          "trap '' XFSZ; ulimit -f 2;");
  EXPECT_EQ(cut.exit_code, 1);
  EXPECT_THAT(cut.err, HasSubstr(out));
  const Bytes still = read_file(out);
  EXPECT_EQ(std::string(still.begin(), still.end()), "old");
  EXPECT_EQ(dir.entries(), 1) << "no leftovers";
}

TEST(Vocenc, UsageErrors) {
  const Outcome help = vocenc({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_THAT(help.out, HasSubstr("usage: vocenc"));
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--mode", "celp99", "a", "b"},
        {"--mode"},
        {"only-input"},
        {"--bogus", "a", "b"}}) {
    const Outcome r = vocenc(bad);
    EXPECT_EQ(r.exit_code, 2) << bad[0];
    EXPECT_THAT(r.err, HasSubstr("usage:"));
  }
}

}  // namespace
