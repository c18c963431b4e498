// Runs the built vocdec and vocinfo programs on voice files composed for
// each case and checks what they write and how they exit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/voice_file_builder.h"
#include "tools/tool_run.h"
#include "tools/wav_size.h"
#include "voice/adpcm.h"
#include "voice/vdec.h"

namespace {

using ::testing::HasSubstr;
using testing_support::Audio;
using testing_support::Bytes;
using testing_support::Outcome;
using testing_support::read_audio;
using testing_support::read_file;
using testing_support::run;
using testing_support::TempFile;
using testing_support::vocdec;
using testing_support::vocinfo;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

// What the library itself makes of the first `frames` speech frames.
std::vector<int16_t> library_samples(const VoiceFileBuilder& file, int frames) {
  voice::AdpcmState state;
  voice::adpcm_reset(state);
  std::vector<int16_t> samples;
  uint8_t pcm[voice::kPcmFrameBytes];
  for (int f = 0; f < frames; ++f) {
    voice::adpcm_decode_frame(file.make_speech_frame(f).data(), state, pcm);
    for (int i = 0; i < voice::kSamplesPerFrame; ++i)
      samples.push_back(static_cast<int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8));
  }
  return samples;
}

std::vector<int16_t> from_little_endian(const Bytes& bytes) {
  std::vector<int16_t> samples;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    samples.push_back(static_cast<int16_t>(bytes[i] | bytes[i + 1] << 8));
  return samples;
}

VoiceFileBuilder adpcm_file(int frames) {
  VoiceFileBuilder file(VoiceMode::Adpcm40);
  file.speech_frames(frames).end_marker();
  return file;
}

TEST(Vocdec, EveryOutputFormHoldsTheLibrarysSamples) {
  const VoiceFileBuilder file = adpcm_file(12);
  const TempFile in(file.bytes());
  const auto expected = library_samples(file, 12);
  const TempFile wav(Bytes{}, ".wav"), flac(Bytes{}, ".flac"), ogg(Bytes{}, ".ogg"),
      raw(Bytes{}, ".wav");

  const Outcome r = vocdec({in.path(), wav.path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const Audio w = read_audio(wav.path());
  EXPECT_EQ(w.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(w.samples, expected);

  ASSERT_EQ(vocdec({in.path(), flac.path()}).exit_code, 0);
  EXPECT_EQ(read_audio(flac.path()).samples, expected) << "FLAC is lossless";
  ASSERT_EQ(vocdec({in.path(), ogg.path()}).exit_code, 0);
  EXPECT_EQ(read_audio(ogg.path()).format, SF_FORMAT_OGG | SF_FORMAT_VORBIS);

  // --raw wins over the .wav name, and on standard output too.
  ASSERT_EQ(vocdec({"--raw", in.path(), raw.path()}).exit_code, 0);
  EXPECT_EQ(from_little_endian(read_file(raw.path())), expected);
  const Outcome piped = vocdec({"--raw", in.path(), "-"});
  EXPECT_EQ(piped.exit_code, 0);
  EXPECT_EQ(from_little_endian(Bytes(piped.out.begin(), piped.out.end())), expected);
}

TEST(Vocdec, BadJumpKeepsTheSamplesDecodedBeforeIt) {
  VoiceFileBuilder file(VoiceMode::Adpcm40);
  file.speech_frames(3).zero_frame().jump_frame(5).speech_frames(2).end_marker();
  const TempFile in(file.bytes()), out(Bytes{}, ".wav");
  const Outcome r = vocdec({in.path(), out.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_THAT(r.err, HasSubstr("Error Jump length < 0"));
  EXPECT_EQ(read_audio(out.path()).samples, library_samples(file, 3));
}

TEST(Vocdec, UnreadableInputCreatesNoOutput) {
  const TempFile missing, out;
  std::filesystem::remove(out.path());
  const Outcome r = vocdec({missing.path() + ".none", out.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "vocdec: " + missing.path() + ".none: No such file or directory\n");
  EXPECT_FALSE(std::filesystem::exists(out.path()));

  VoiceFileBuilder no_frames(VoiceMode::Adpcm40);
  const TempFile empty(no_frames.playable_frames(0).end_marker().bytes());
  EXPECT_THAT(vocdec({empty.path(), out.path()}).err, HasSubstr("Framesize is negative value"));
  EXPECT_FALSE(std::filesystem::exists(out.path()));
}

// CELP files decode through the same path: vocdec writes exactly what the
// decoder interface yields for the file.
TEST(Vocdec, CelpFileDecodesLikeTheLibrary) {
  VoiceFileBuilder file(VoiceMode::Celp64);
  const TempFile in(file.speech_frames(5).end_marker().bytes()), out(Bytes{}, ".raw");
  const Outcome r = vocdec({"--raw", in.path(), out.path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;

  voice::DecoderState st;
  ASSERT_EQ(vdec_open(st, in.c_str(), nullptr), 0);
  ASSERT_EQ(vdec_restart_at(st, in.c_str(), 0), 0);
  Bytes expected;
  uint8_t pcm[voice::kPcmFrameBytes];
  int32_t pos = 0;
  while (vdec_decode_frame(st, pcm, &pos) == 0)
    expected.insert(expected.end(), pcm, pcm + sizeof pcm);
  EXPECT_EQ(expected.size(), 5u * voice::kPcmFrameBytes);
  EXPECT_EQ(read_file(out.path()), expected);
}

TEST(Vocdec, FailedWriteLeavesNoPartialOutput) {
  std::string dir = std::filesystem::temp_directory_path() / "vocdec-XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const TempFile in(adpcm_file(100).bytes());
  const std::string out = dir + "/out.wav";
  { std::ofstream(out) << "old"; }

  // A file size limit of 2 KiB makes writing the 16 kB of samples fail; with
  // the signal ignored the write returns an error instead of killing.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--raw", in.path(), out}, {in.path(), out}}) {
    const Outcome r = run(VOCDEC_PATH, args, "trap '' XFSZ; ulimit -f 4;");
    EXPECT_EQ(r.exit_code, 1) << args[0];
    EXPECT_THAT(r.err, HasSubstr(out)) << args[0];
  }
  const Bytes kept = read_file(out);
  EXPECT_EQ(std::string(kept.begin(), kept.end()), "old") << "the older file survives";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no leftovers";
  std::filesystem::remove_all(dir);

  const Outcome full = run(VOCDEC_PATH, {in.path(), "-"}, "", ">/dev/full");
  EXPECT_EQ(full.exit_code, 1);
  EXPECT_THAT(full.err, HasSubstr("standard output"));
}

// A plain WAV file's RIFF and data sizes are 32-bit: 26,843,545 frames of
// 160 bytes and the 44-byte header come to 4,294,967,244 bytes, one frame
// more passes 4 GiB.
TEST(Vocdec, Rf64DecisionAtThe4GiBBoundary) {
  EXPECT_FALSE(tools::wav_needs_rf64(1));
  EXPECT_FALSE(tools::wav_needs_rf64(26'843'545));
  EXPECT_TRUE(tools::wav_needs_rf64(26'843'546));
  EXPECT_TRUE(tools::wav_needs_rf64(27'000'000));  // 75 hours
  EXPECT_TRUE(tools::wav_needs_rf64(int64_t{255} * 360'000 + 59 * 6000 + 59 * 100 + 99));
  EXPECT_TRUE(tools::wav_fits(0xFFFFFFFF - 44));
  EXPECT_FALSE(tools::wav_fits(0xFFFFFFFF - 43));
}

// The header's frame count decides, before decoding: files whose headers
// claim the lengths on either side of the boundary, each holding 3 frames
// (truncated, so reported, and written all the same).
TEST(Vocdec, HeaderFrameCountChoosesBetweenWavAndRf64) {
  const testing_support::ScratchDir dir;
  for (const int32_t claimed : {26'843'545, 26'843'546}) {
    VoiceFileBuilder file(VoiceMode::Adpcm40);
    file.playable_frames(claimed).speech_frames(3).end_marker();
    const TempFile in(file.bytes());
    const std::string out = dir / "out.wav";
    const Outcome r = vocdec({in.path(), out});
    EXPECT_EQ(r.err, "vocdec: " + in.path() + ": truncated after 3 of " + std::to_string(claimed) +
                         " frames\n");
    const Audio a = read_audio(out);
    EXPECT_EQ(a.samples, library_samples(file, 3)) << claimed;
    if (claimed == 26'843'545) {
      EXPECT_EQ(a.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
      const Bytes bytes = read_file(out);
      EXPECT_EQ(bytes.size(), 44u + 3 * 160) << "the header overhead counted";
      EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    } else {
      EXPECT_EQ(a.format, SF_FORMAT_RF64 | SF_FORMAT_PCM_16);
    }
  }
}

TEST(Tools, HelpAndBadUsage) {
  for (const char* program : {VOCDEC_PATH, VOCINFO_PATH}) {
    const Outcome help = run(program, {"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_THAT(help.out, HasSubstr("usage:"));
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{}, {"--bogus", "a", "b"}}) {
      const Outcome r = run(program, bad);
      EXPECT_EQ(r.exit_code, 2) << program;
      EXPECT_THAT(r.err, HasSubstr("usage:"));
      EXPECT_EQ(r.out, "");
    }
  }
}

TEST(Vocinfo, HeaderFieldsAndTheFramesActuallyReadable) {
  // A skipped region is passed over: 7 frames to read, as the header says.
  VoiceFileBuilder file(VoiceMode::Adpcm40);
  file.playable_frames(7)
      .speech_frames(4)
      .skipped_region(Bytes(80, 0x11))
      .speech_frames(3)
      .end_marker();
  const TempFile in(file.bytes());
  const Outcome r = vocinfo({in.path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Mode:            adpcm40\n"
            "Frame size:      40 bytes\n"
            "Bitrate:         32000 bit/s\n"
            "Frames:          7\n"
            "Duration:        00:00:00.07 (0 s)\n"
            "Readable frames: 7\n"
            "Verdict:         complete (status 1)\n");
}

TEST(Vocinfo, LongDurationsAndSeveralFiles) {
  VoiceFileBuilder hour(VoiceMode::Celp80), largest(VoiceMode::Celp56);
  const TempFile a(hour.duration(1, 2, 3, 6).speech_frames(2).end_marker().bytes());
  const TempFile b(largest.duration(255, 255, 255, 255).speech_frames(2).end_marker().bytes());
  const TempFile missing;
  std::filesystem::remove(missing.path());

  const Outcome r = vocinfo({a.path(), missing.path(), b.path()});
  EXPECT_EQ(r.exit_code, 1) << "one file failed to open";
  EXPECT_THAT(r.err, HasSubstr(missing.path() + ": No such file or directory"));
  EXPECT_THAT(r.out, HasSubstr(a.path() + ":\n  Mode:            celp80\n"));
  EXPECT_THAT(r.out, HasSubstr("  Duration:        01:02:03.04 (3723 s)\n"));
  // 93,355,753 frames: more than 32 bits once multiplied by 80 samples.
  EXPECT_THAT(r.out, HasSubstr("\n\n" + b.path() + ":\n  Mode:            celp56\n"));
  EXPECT_THAT(r.out, HasSubstr("  Duration:        259:19:17.53 (933557 s)\n"));
  EXPECT_THAT(r.out, HasSubstr("  Readable frames: 2\n"));
}

}  // namespace
