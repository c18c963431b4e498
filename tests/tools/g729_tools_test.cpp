// vocdec --g729 and vocenc --from-g729, run as built: each undoes the other,
// the frames come out in the order the player plays them, and what the voice
// file cannot hold is refused.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/speech_like.h"
#include "support/voice_file_builder.h"
#include "tools/g729_bitstream.h"
#include "tools/tool_run.h"

namespace {

using ::testing::HasSubstr;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::read_file;
using testing_support::read_voice;
using testing_support::run;
using testing_support::ScratchDir;
using testing_support::TempFile;
using testing_support::vocdec;
using testing_support::vocenc;
using testing_support::VoiceFileBuilder;
using testing_support::write_file;
using voice::VoiceMode;

std::string bps_of(VoiceMode mode) {
  return std::to_string(tools::g729_bps(*tools::g729_rate_of(mode)));
}

Bytes standard_frame_of(VoiceMode mode, const Bytes& frame) {
  Bytes out(static_cast<size_t>(tools::g729_frame_bytes(*tools::g729_rate_of(mode))));
  tools::g729_frame_from_voice(mode, frame.data(), out.data());
  return out;
}

class EveryCelpMode : public ::testing::TestWithParam<VoiceMode> {};

INSTANTIATE_TEST_SUITE_P(Modes, EveryCelpMode,
                         ::testing::Values(VoiceMode::Celp56, VoiceMode::Celp64, VoiceMode::Celp80),
                         [](const auto& info) {
                           return std::string(voice::mode_name(info.param));
                         });

// Encoded speech out to a bitstream and back: the frames are the same (a
// 56-bit file comes back as the 64-bit file of its 6.4 kbit/s frames), so
// is every decoded sample, and so is the bitstream the second file gives.
TEST_P(EveryCelpMode, BitstreamAndBackKeepsFramesAndSound) {
  const VoiceMode mode = GetParam();
  const ScratchDir dir;
  Bytes pcm;
  for (int16_t s : testing_support::speech_like_pcm(0.6)) {
    pcm.push_back(static_cast<uint8_t>(s & 0xFF));
    pcm.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  write_file(dir / "in.raw", pcm);
  std::string name = voice::mode_name(mode);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_EQ(vocenc({"--mode", name, "--raw", dir / "in.raw", dir / "a.voc"}).exit_code, 0);

  const Outcome out = vocdec({"--g729", dir / "a.voc", dir / "a.g729"});
  ASSERT_EQ(out.exit_code, 0) << out.err;
  const auto original = read_voice(dir / "a.voc");
  const Bytes bitstream = read_file(dir / "a.g729");
  EXPECT_EQ(bitstream.size(), original.run.size() * (mode == VoiceMode::Celp80 ? 10 : 8));

  const Outcome in = vocenc({"--from-g729", bps_of(mode), dir / "a.g729", dir / "b.voc"});
  ASSERT_EQ(in.exit_code, 0) << in.err;
  const auto rewrapped = read_voice(dir / "b.voc");
  EXPECT_EQ(rewrapped.mode,
            static_cast<int>(mode == VoiceMode::Celp80 ? VoiceMode::Celp80 : VoiceMode::Celp64));
  EXPECT_EQ(rewrapped.frames, original.frames);
  if (mode != VoiceMode::Celp56) {
    EXPECT_EQ(rewrapped.run, original.run);
  }

  ASSERT_EQ(vocdec({"--g729", dir / "b.voc", dir / "b.g729"}).exit_code, 0);
  EXPECT_EQ(read_file(dir / "b.g729"), bitstream);
  ASSERT_EQ(vocdec({"--raw", dir / "a.voc", dir / "a.pcm"}).exit_code, 0);
  ASSERT_EQ(vocdec({"--raw", dir / "b.voc", dir / "b.pcm"}).exit_code, 0);
  const Bytes decoded = read_file(dir / "a.pcm");
  // The encoder's look-ahead adds one frame of silence at the end.
  EXPECT_EQ(decoded.size(), pcm.size() + voice::kPcmFrameBytes);
  EXPECT_TRUE(read_file(dir / "b.pcm") == decoded) << "decoded samples differ";
}

// Any bitstream without an all-zero frame is stored and given back bit for
// bit, at either rate.
TEST(G729Tools, RandomBitstreamsComeBackBitForBit) {
  const ScratchDir dir;
  std::mt19937 rng(6400);
  for (const int frame_bytes : {10, 8}) {
    const std::string bps = frame_bytes == 10 ? "8000" : "6400";
    Bytes bitstream(static_cast<size_t>(frame_bytes) * 300);
    for (uint8_t& b : bitstream) b = static_cast<uint8_t>(rng());
    // Frames with a single bit set, at each end.
    std::fill_n(bitstream.begin(), frame_bytes, 0);
    bitstream[0] = 0x80;
    std::fill_n(bitstream.end() - frame_bytes, frame_bytes, 0);
    bitstream.back() = 0x01;
    write_file(dir / "in.g729", bitstream);
    const Outcome in = vocenc({"--from-g729", bps, dir / "in.g729", dir / "x.voc"});
    ASSERT_EQ(in.exit_code, 0) << in.err;
    EXPECT_EQ(read_voice(dir / "x.voc").frames, 300);
    const Outcome out = vocdec({"--g729", dir / "x.voc", dir / "out.g729"});
    ASSERT_EQ(out.exit_code, 0) << out.err;
    EXPECT_TRUE(read_file(dir / "out.g729") == bitstream) << bps;
  }
}

// The frames come in the order the player reads them: a skipped region is
// passed over, and nothing after the end marker is written.
TEST(G729Tools, FramesFollowJumpRecordsAndStopAtTheEndMarker) {
  VoiceFileBuilder file(VoiceMode::Celp80);
  file.playable_frames(5).speech_frames(3).skipped_region(Bytes(50, 0x5A)).speech_frames(2);
  file.end_marker();
  file.speech_frames(4);
  const TempFile voc(file.bytes());
  const ScratchDir dir;
  const Outcome r = vocdec({"--g729", voc.path(), dir / "out.g729"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  Bytes expected;
  for (int i = 0; i < 5; ++i) {
    const Bytes frame = standard_frame_of(VoiceMode::Celp80, file.make_speech_frame(i));
    expected.insert(expected.end(), frame.begin(), frame.end());
  }
  EXPECT_TRUE(read_file(dir / "out.g729") == expected);
}

// As when decoding, a malformed record ends the output there with an error,
// and the frames before it are still written.
TEST(G729Tools, MalformedJumpEndsTheBitstreamWithAnError) {
  VoiceFileBuilder file(VoiceMode::Celp64);
  file.speech_frames(2).zero_frame().jump_frame(3).speech_frames(2).end_marker();
  const TempFile voc(file.bytes());
  const ScratchDir dir;
  const Outcome r = vocdec({"--g729", voc.path(), dir / "out.g729"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr("Jump"));
  EXPECT_EQ(read_file(dir / "out.g729").size(), 16u);
}

TEST(G729Tools, WhatCannotBeConvertedIsRefusedWithoutOutput) {
  const ScratchDir dir;
  VoiceFileBuilder adpcm(VoiceMode::Adpcm40);
  adpcm.speech_frames(3).end_marker();
  adpcm.write(dir / "adpcm.voc");
  Bytes with_zero_frame(10 * 5, 0x33);
  std::fill_n(with_zero_frame.begin() + 20, 10, 0);
  write_file(dir / "zero.g729", with_zero_frame);
  write_file(dir / "partial.g729", Bytes(8 * 4 + 3, 0x44));
  write_file(dir / "empty.g729", Bytes{});

  struct Case {
    const char* program;
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {VOCDEC_PATH, {"--g729", dir / "adpcm.voc", dir / "out"}, "adpcm40 frames are not CELP"},
      {VOCENC_PATH,
       {"--from-g729", "8000", dir / "zero.g729", dir / "out"},
       "frame 3 (bytes 20 to 29) has every bit zero"},
      {VOCENC_PATH,
       {"--from-g729", "6400", dir / "partial.g729", dir / "out"},
       "partial frame: frame 5 (bytes 32 to 39) has only 3 of its 8 bytes"},
      {VOCENC_PATH, {"--from-g729", "6400", dir / "empty.g729", dir / "out"}, "empty file"},
      {VOCENC_PATH, {"--from-g729", "8000", dir / "missing", dir / "out"}, "No such file"},
  };
  for (const Case& c : cases) {
    const Outcome r = run(c.program, c.args);
    EXPECT_EQ(r.exit_code, 1) << c.says;
    EXPECT_THAT(r.err, HasSubstr(c.says));
    EXPECT_FALSE(std::filesystem::exists(dir / "out")) << c.says;
  }
}

TEST(G729Tools, UsageErrorsAndHelp) {
  EXPECT_THAT(vocdec({"--help"}).out, HasSubstr("--g729"));
  EXPECT_THAT(vocenc({"--help"}).out, HasSubstr("--from-g729 8000|6400"));
  const std::pair<const char*, std::vector<std::string>> bad[] = {
      {VOCENC_PATH, {"--from-g729", "7000", "a", "b"}},
      {VOCENC_PATH, {"--from-g729", "8000x", "a", "b"}},
      {VOCENC_PATH, {"--from-g729"}},
      {VOCENC_PATH, {"--from-g729", "8000", "--mode", "celp80", "a", "b"}},
      {VOCENC_PATH, {"--from-g729", "6400", "--raw", "a", "b"}},
      {VOCDEC_PATH, {"--g729", "--raw", "a", "b"}},
  };
  for (const auto& [program, args] : bad) {
    const Outcome r = run(program, args);
    EXPECT_EQ(r.exit_code, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_THAT(r.err, HasSubstr("usage:"));
  }
}

}  // namespace
