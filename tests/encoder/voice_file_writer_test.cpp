// Files from the writer, read back through the decoder's own interface.
#include "encoder/voice_file_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "encoder/voice_header.h"
#include "support/voice_file_builder.h"
#include "voice/frame_reader.h"
#include "voice/vdec.h"

namespace {

using encoder::DurationFields;
using encoder::VoiceFileWriter;
using testing_support::Bytes;
using testing_support::read_file;
using testing_support::TempFile;
using voice::VoiceMode;

constexpr VoiceMode kModes[] = {VoiceMode::Celp56, VoiceMode::Celp64, VoiceMode::Celp80,
                                VoiceMode::Adpcm40};

struct Written {
  bool ok = false;
  std::string error;
};

// Writes `frames` after `leading` into `path` and closes it.
Written write_voice(const std::string& path, VoiceMode mode, const Bytes& leading,
                    const std::vector<Bytes>& frames) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  VoiceFileWriter writer(out, mode);
  bool ok = writer.begin(leading);
  for (const Bytes& f : frames) ok = ok && writer.append(f);
  ok = ok && writer.finish();
  const bool closed = std::fclose(out) == 0;
  return {ok && closed, writer.error()};
}

std::vector<Bytes> speech_frames(VoiceMode mode, int count) {
  testing_support::VoiceFileBuilder builder(mode);
  std::vector<Bytes> frames;
  for (int i = 0; i < count; ++i) frames.push_back(builder.make_speech_frame(i));
  return frames;
}

Bytes current_frame(const voice::DecoderState& st) {
  return Bytes(st.frame, st.frame + st.frame_bytes);
}

TEST(VoiceFileWriter, EveryModeReadsBackFrameForFrame) {
  for (VoiceMode mode : kModes) {
    SCOPED_TRACE(voice::mode_name(mode));
    const TempFile file;
    const std::vector<Bytes> frames = speech_frames(mode, 7);
    const Bytes leading(2 * voice::frame_bytes_of(mode), 0x5A);
    ASSERT_TRUE(write_voice(file.path(), mode, leading, frames).ok);

    voice::DecoderState st;
    int mode_value = -1;
    StatusCode result = -1;
    EXPECT_EQ(vdec_query(st, file.c_str(), &mode_value, &result), 7);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(mode_value, static_cast<int>(mode));
    ASSERT_EQ(vdec_restart_at(st, file.c_str(), 0), 0);
    for (const Bytes& f : frames) {
      ASSERT_EQ(voice::read_frame(st, true), 0);
      EXPECT_EQ(current_frame(st), f);
    }
    EXPECT_EQ(voice::read_frame(st, true), status::kEndOfFile) << "the end marker follows";

    const Bytes bytes = read_file(file.path());
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 15),
              Bytes(voice::kMagic.begin(), voice::kMagic.end()));
    EXPECT_EQ(bytes.size(), voice::kFirstFrameOffset + 9u * voice::frame_bytes_of(mode));
  }
}

// Stepping back from the first frame passes the two leading frames as
// ordinary frames, then stops at the header region.
TEST(VoiceFileWriter, SilentLeadingFramesAreOrdinaryFrames) {
  const auto leading = encoder::silent_leading_frames(VoiceMode::Adpcm40);
  ASSERT_TRUE(leading);
  const TempFile file;
  ASSERT_TRUE(
      write_voice(file.path(), VoiceMode::Adpcm40, *leading, speech_frames(VoiceMode::Adpcm40, 3))
          .ok);
  voice::DecoderState st;
  ASSERT_EQ(vdec_open(st, file.c_str(), nullptr), 0);
  ASSERT_EQ(vdec_restart_at(st, file.c_str(), 0), 0);
  EXPECT_EQ(vdec_skip_backward(st, 2), 0);
  EXPECT_EQ(current_frame(st), Bytes(leading->begin(), leading->begin() + 40));
  // Decoded from there they are silence.
  uint8_t pcm[voice::kPcmFrameBytes];
  int32_t position = 0;
  for (int f = 0; f < 2; ++f) {
    ASSERT_EQ(vdec_decode_frame(st, pcm, &position), 0);
    EXPECT_EQ(Bytes(pcm, pcm + sizeof pcm), Bytes(sizeof pcm, 0));
  }
  EXPECT_EQ(vdec_skip_backward(st, 3), status::kEndOfFile);
}

TEST(VoiceFileWriter, RefusesWhatTheDecoderCouldNotRead) {
  const TempFile file;
  std::FILE* out = std::fopen(file.c_str(), "wb");
  VoiceFileWriter adpcm(out, VoiceMode::Adpcm40);
  EXPECT_FALSE(adpcm.begin(Bytes(79, 1))) << "two leading frames are 80 bytes";
  ASSERT_TRUE(adpcm.begin(Bytes(80, 1)));
  EXPECT_FALSE(adpcm.finish()) << "no frames: the decoder would refuse the file";
  EXPECT_FALSE(adpcm.append(Bytes(39, 1)));
  Bytes half(40, 7);
  std::fill(half.begin() + 20, half.end(), 0);
  EXPECT_FALSE(adpcm.append(half)) << "realigned when read forwards";
  std::fill(half.begin(), half.end(), 7);
  std::fill(half.begin(), half.begin() + 20, 0);
  EXPECT_FALSE(adpcm.append(half)) << "realigned when read backwards";
  EXPECT_EQ(adpcm.frames(), 0);
  std::fclose(out);

  // In the CELP modes only a whole zero frame is a record.
  EXPECT_TRUE(encoder::reads_as_record(VoiceMode::Celp56, Bytes(7, 0)));
  EXPECT_FALSE(encoder::reads_as_record(VoiceMode::Celp56, Bytes{0, 0, 0, 0, 0, 0, 1}));
  EXPECT_FALSE(write_voice(file.path(), VoiceMode::Celp80, Bytes(20, 1), {Bytes(10, 0)}).ok);
}

TEST(VoiceFileWriter, AFailedWriteIsReported) {
  // Buffered writes fail only when flushed, at the latest in finish().
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  VoiceFileWriter writer(full, VoiceMode::Celp64);
  bool ok = writer.begin(Bytes(16, 1));
  for (const Bytes& f : speech_frames(VoiceMode::Celp64, 3)) ok = ok && writer.append(f);
  ok = ok && writer.finish();
  EXPECT_FALSE(ok);
  EXPECT_NE(writer.error(), "");
  std::fclose(full);
}

TEST(DurationFields, CountTheFramesAsTheDecoderAddsThemUp) {
  auto decoded = [](const DurationFields& d) {
    return voice::duration_hundredths(d[0], d[1], d[2], d[3]);
  };
  // The player's own recording: 00:23:07.62.
  EXPECT_EQ(encoder::duration_fields(138762), (DurationFields{0, 23, 7, 62}));
  EXPECT_EQ(encoder::duration_fields(3), (DurationFields{0, 0, 0, 3}));
  // Past 255 hours the minutes, then seconds, then hundredths take the rest.
  EXPECT_EQ(encoder::duration_fields(255 * 360000 + 359999), (DurationFields{255, 59, 59, 99}));
  EXPECT_EQ(encoder::duration_fields(255 * 360000 + 360000), (DurationFields{255, 60, 0, 0}));
  EXPECT_EQ(encoder::duration_fields(encoder::kMaxStoredFrames),
            (DurationFields{255, 255, 255, 255}));
  EXPECT_FALSE(encoder::duration_fields(encoder::kMaxStoredFrames + 1));
  EXPECT_FALSE(encoder::duration_fields(-1));
  for (int64_t n : {int64_t{0}, int64_t{99}, int64_t{6001}, int64_t{359999}, int64_t{92159999},
                    int64_t{92200000}, encoder::kMaxStoredFrames - 1})
    EXPECT_EQ(decoded(*encoder::duration_fields(n)), n) << n;
}

}  // namespace
