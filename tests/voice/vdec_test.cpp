#include "voice/vdec.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "voice/voice_test_util.h"

namespace voice {
namespace {

using testing_support::Bytes;
using testing_support::OpenedVoice;
using testing_support::TempFile;
using testing_support::VoiceFileBuilder;

Bytes decode_reference_adpcm(const VoiceFileBuilder& b, int index, AdpcmState& state) {
  Bytes pcm(160);
  adpcm_decode_frame(b.make_speech_frame(index).data(), state, pcm.data());
  return pcm;
}

TEST(Open, FrameCountComesFromTheDurationFields) {
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.duration(0, 23, 7, 62).speech_frames(4).end_marker();
  DecoderState st;
  TempFile f(b.bytes());
  int mode = -1;
  StatusCode result = -1;
  EXPECT_EQ(vdec_query(st, f.c_str(), &mode, &result), 138760);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(st.frame_bytes, 7);
  EXPECT_EQ(st.frame_bits, 56);
  EXPECT_EQ(st.direct_index_mode, 1);
}

TEST(Open, DurationBoundaryAndModeChecks) {
  struct Case {
    uint8_t hundredths;
    uint8_t mode_byte;
    StatusCode expected;
    int frame_count;
  };
  const Case cases[] = {
      {2, 0, 0x4000, 0},                      // no playable frame
      {3, 0, 0, 1},         {3, 0x30, 0, 1},  // high nibble ignored
      {3, 0x05, 64, 1},                       // no such mode
      {2, 0x05, 0x4000, 0},                   // the frame count is checked first
      {2, 0x03, 0x4000, 0}, {3, 0x13, 0, 1},  // ADPCM
  };
  for (const Case& c : cases) {
    VoiceFileBuilder b(VoiceMode::Celp56);
    b.duration(0, 0, 0, c.hundredths).mode_byte(c.mode_byte).speech_frames(1).end_marker();
    OpenedVoice v(b);
    EXPECT_EQ(v.open_result, c.expected) << int(c.hundredths) << " " << int(c.mode_byte);
    EXPECT_EQ(v.st.status, c.expected);
    if (c.expected == 0) {
      EXPECT_EQ(v.st.frame_count, c.frame_count);
    }
  }
}

TEST(Open, AnyMagicIsAccepted) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.magic("not a voice file").speech_frames(2).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.open_result, 0);
  ASSERT_EQ(v.rewind(), 0);
  uint8_t pcm[160];
  int32_t pos = 0;
  EXPECT_EQ(vdec_decode_frame(v.st, pcm, &pos), 0);
}

TEST(Open, ShortFileDoesNotInheritAnEarlierHeader) {
  VoiceFileBuilder good(VoiceMode::Celp64);
  good.speech_frames(3).end_marker();
  DecoderState st;
  TempFile good_file(good.bytes());
  StatusCode r = -1;
  ASSERT_EQ(vdec_query(st, good_file.c_str(), nullptr, &r), 3);
  vdec_close(st);
  TempFile tiny(Bytes(20, 0x41));
  EXPECT_EQ(vdec_query(st, tiny.c_str(), nullptr, &r), -1);
  EXPECT_EQ(r, 0x4000);
}

TEST(Query, MissingFileLatchesUntilReset) {
  DecoderState st;
  int mode = 0;
  StatusCode r = 0;
  EXPECT_EQ(vdec_query(st, "/nonexistent/dir/file.voc", &mode, &r), -1);
  EXPECT_EQ(r, 32);
  VoiceFileBuilder b(VoiceMode::Celp80);
  b.speech_frames(2).end_marker();
  TempFile f(b.bytes());
  EXPECT_EQ(vdec_query(st, f.c_str(), &mode, &r), -1) << "the status is latched";
  EXPECT_EQ(r, 32);
  vdec_reset_status(st);
  EXPECT_EQ(vdec_query(st, f.c_str(), &mode, &r), 2);
  EXPECT_EQ(mode, 2);
}

TEST(Query, SecondQueryDoesNotRereadTheHeader) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(5).end_marker();
  DecoderState st;
  TempFile f(b.bytes());
  StatusCode r = -1;
  ASSERT_EQ(vdec_query(st, f.c_str(), nullptr, &r), 5);
  VoiceFileBuilder other(VoiceMode::Celp56);
  other.speech_frames(9).end_marker();
  other.write(f.path());
  int mode = -1;
  EXPECT_EQ(vdec_query(st, f.c_str(), &mode, &r), 5);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(mode, 3);
}

TEST(Decode, AdpcmDecodesFromTheFirstFrameToTheEnd) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(3).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  AdpcmState reference;
  int32_t pos = -1;
  for (int i = 0; i < 3; ++i) {
    Bytes pcm(160);
    ASSERT_EQ(vdec_decode_frame(v.st, pcm.data(), &pos), 0);
    EXPECT_EQ(pos, i + 1);
    EXPECT_EQ(pcm, decode_reference_adpcm(b, i, reference)) << "frame " << i;
  }
  Bytes untouched(160, 0xEE);
  EXPECT_EQ(vdec_decode_frame(v.st, untouched.data(), &pos), 1);
  EXPECT_EQ(untouched, Bytes(160, 0xEE));
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(v.st.position, 3);
}

TEST(Decode, RestartClearsTheEndAndKeepsTheAdpcmState) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(2).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  AdpcmState reference;
  Bytes pcm(160);
  int32_t pos = 0;
  while (vdec_decode_frame(v.st, pcm.data(), &pos) == 0) {
  }
  decode_reference_adpcm(b, 0, reference);
  decode_reference_adpcm(b, 1, reference);

  ASSERT_EQ(v.rewind(), 0);
  EXPECT_EQ(v.st.position, 0);
  ASSERT_EQ(vdec_decode_frame(v.st, pcm.data(), &pos), 0);
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(pcm, decode_reference_adpcm(b, 0, reference)) << "memories carry over a restart";
}

TEST(Decode, RestartDoesNotClearOtherFailures) {
  VoiceFileBuilder b(VoiceMode::Celp80);
  b.forward_jump(3).speech_frames(1);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  uint8_t pcm[160];
  int32_t pos = 0;
  EXPECT_EQ(vdec_decode_frame(v.st, pcm, &pos), 16);
  EXPECT_EQ(v.rewind(), 16);
  EXPECT_EQ(vdec_skip_forward(v.st, 1), 16);
}

TEST(Decode, DecodingStartsAfterNonZeroLeadingFrames) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.leading_frames(Bytes(80, 0x31)).speech_frames(1).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  Bytes pcm(160);
  int32_t pos = 0;
  ASSERT_EQ(vdec_decode_frame(v.st, pcm.data(), &pos), 0);
  AdpcmState reference;
  EXPECT_EQ(pcm, decode_reference_adpcm(b, 0, reference));
}

TEST(Skip, PositionMovesByTheFullCountEvenAtTheEnd) {
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.speech_frames(2).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  EXPECT_EQ(vdec_skip_forward(v.st, 5), 1);
  EXPECT_EQ(v.st.position, 5);
  EXPECT_EQ(vdec_skip_forward(v.st, 0), 0);
  EXPECT_EQ(v.st.position, 5);
  EXPECT_EQ(vdec_skip_backward(v.st, 2), 1) << "latched";
  EXPECT_EQ(v.st.position, 3);
}

TEST(Skip, BackwardsAndForwardsRevisitTheSameFrames) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(6).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(vdec_skip_forward(v.st, 4), 0);
  ASSERT_EQ(vdec_skip_backward(v.st, 2), 0);  // re-reads frame 3, then frame 2
  EXPECT_EQ(v.st.position, 2);
  EXPECT_EQ(v.frame(), b.make_speech_frame(2));
  ASSERT_EQ(vdec_skip_forward(v.st, 1), 0);
  EXPECT_EQ(v.frame(), b.make_speech_frame(2)) << "a change of direction re-reads the frame";
}

TEST(RestartAt, CountSkipsFromWhereTheFileStands) {
  VoiceFileBuilder b(VoiceMode::Celp80);
  b.speech_frames(8).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(vdec_skip_forward(v.st, 2), 0);
  EXPECT_EQ(vdec_restart_at(v.st, v.file.c_str(), 3), 0);
  EXPECT_EQ(v.st.position, 3);
  EXPECT_EQ(v.frame(), b.make_speech_frame(4));
}

TEST(RestartAt, LatchedStatusSkipsNothing) {
  VoiceFileBuilder b(VoiceMode::Celp80);
  b.speech_frames(2).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  EXPECT_EQ(vdec_skip_forward(v.st, 4), 1);
  EXPECT_EQ(vdec_restart_at(v.st, v.file.c_str(), 3), 1);
  EXPECT_EQ(v.st.position, 0);
}

TEST(RestartAt, CountOpensAFileAndStopsAtTheEnd) {
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.speech_frames(2).end_marker();
  TempFile f(b.bytes());
  DecoderState st;
  // Opening leaves the file inside the zero-filled header region, which
  // reads as an end marker: only a restart at the first frame gets past it.
  EXPECT_EQ(vdec_restart_at(st, f.c_str(), 10), 1);
  EXPECT_EQ(st.position, 1);
}

TEST(RestartAt, ToTheFirstFrameNeedsAnOpenFile) {
  DecoderState st;
  EXPECT_EQ(vdec_restart_at(st, "ignored", 0), 32);
  EXPECT_EQ(st.status, 0) << "nothing was attempted, nothing is latched";
  uint8_t pcm[160];
  int32_t pos = 0;
  EXPECT_EQ(vdec_decode_frame(st, pcm, &pos), 32);
  EXPECT_EQ(vdec_skip_backward(st, 1), 32);
}

TEST(RestartAt, AFailedRewindIsABackwardSeekFailure) {
  // A pipe in place of the file: its seek fails.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  DecoderState st;
  st.file.reset(fdopen(fds[0], "rb"));
  EXPECT_EQ(vdec_restart_at(st, "ignored", 0), status::kBackwardSeekFailed);
  EXPECT_EQ(st.status, 0) << "a rewind's seek failure is not latched";
  close(fds[1]);
}

TEST(Close, StatusSurvivesTheClose) {
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.speech_frames(1).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  EXPECT_EQ(vdec_skip_forward(v.st, 3), 1);
  vdec_close(v.st);
  EXPECT_EQ(v.st.file, nullptr);
  StatusCode r = 0;
  EXPECT_EQ(vdec_query(v.st, v.file.c_str(), nullptr, &r), -1);
  EXPECT_EQ(r, 1);
  vdec_reset_status(v.st);
  EXPECT_EQ(vdec_query(v.st, v.file.c_str(), nullptr, &r), 1);
}

TEST(StatusText, EveryCodeHasItsText) {
  DecoderState st;
  const std::pair<StatusCode, const char*> fixed[] = {
      {0, "Successful"},
      {1, "End of file error"},
      {2, "Decoding fail"},
      {16, "Error Jump length < 0"},
      {32, "Error opening file!!"},
      {64, "Bad file format"},
      {128, "Error Pitch index"},
      {256, "Error in truncation"},
      {1024, "Division by 0, Fatal error"},
      {2048, "Error backward search!"},
      {4096, "Error forward search!"},
      {8192, "Error cannot end file!"},
      {0x4000, "Framesize is negative value"},
      {0xFFFFFF, "Already terminated"},
      {3, "System error"},
      {-1, "System error"},
      {0x8000, "System error"},
  };
  for (const auto& [code, text] : fixed) EXPECT_STREQ(vdec_status_text(st, code), text) << code;

  st.position = 42;
  EXPECT_STREQ(vdec_status_text(st, 512), "000042: Division Error");
  st.celp_frames_decoded = (uint64_t{1} << 32) + 17;
  EXPECT_STREQ(vdec_status_text(st, 4), "Frame Erased: 17");
  st.frame_bits = 40;
  EXPECT_STREQ(vdec_status_text(st, 8), "Unrecognized frame type: uncorrect value of 40");
}

TEST(ProcessWideState, PlayerCallingOrder) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(2).end_marker();
  TempFile f(b.bytes());
  vdec_reset_status();
  int mode = -1;
  StatusCode r = -1;
  ASSERT_EQ(vdec_query(f.c_str(), &mode, &r), 2);
  ASSERT_EQ(vdec_restart_at(f.c_str(), 0), 0);
  uint8_t pcm[160];
  int32_t pos = 0;
  EXPECT_EQ(vdec_decode_frame(pcm, &pos), 0);
  EXPECT_EQ(vdec_skip_forward(1), 0);
  EXPECT_EQ(vdec_skip_backward(1), 0);
  EXPECT_EQ(vdec_decode_frame(pcm, &pos), 0);
  EXPECT_EQ(vdec_decode_frame(pcm, &pos), 1);
  EXPECT_STREQ(vdec_status_text(1), "End of file error");
  vdec_close();
  EXPECT_EQ(vdec_state().file, nullptr);
  vdec_reset_status();
}

}  // namespace
}  // namespace voice
