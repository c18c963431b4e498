#include "voice/frame_reader.h"

#include <gtest/gtest.h>

#include "voice/voice_test_util.h"

namespace voice {
namespace {

using testing_support::Bytes;
using testing_support::OpenedVoice;
using testing_support::VoiceFileBuilder;

constexpr bool kForward = true;
constexpr bool kBackward = false;

// The bytes of `file` from `offset` on, one frame long.
Bytes frame_at(const VoiceFileBuilder& b, size_t offset) {
  const Bytes all = b.bytes();
  return Bytes(all.begin() + static_cast<long>(offset),
               all.begin() + static_cast<long>(offset) + b.frame_bytes());
}

TEST(ReadForwards, EndMarkerEndsTheStreamAndLatches) {
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.speech_frames(3).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(read_frame(v.st, kForward), 0);
    EXPECT_EQ(v.frame(), b.make_speech_frame(i));
  }
  EXPECT_EQ(read_frame(v.st, kForward), 1);
  EXPECT_EQ(v.st.status, 1);
  EXPECT_EQ(read_frame(v.st, kForward), 1);
}

TEST(ReadForwards, ShortReadEndsAStreamWithoutEndMarker) {
  VoiceFileBuilder b(VoiceMode::Celp80);
  b.playable_frames(2).speech_frames(2).raw({1, 2, 3});
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 1);
}

TEST(ReadForwards, TwoZeroFramesEndTheStreamEvenIfSpeechFollows) {
  VoiceFileBuilder b(VoiceMode::Celp64);
  b.speech_frames(1).end_marker().speech_frames(3);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 1);
}

TEST(ReadForwards, JumpOfOneFrameResumesRightAfterTheJumpFrame) {
  VoiceFileBuilder b(VoiceMode::Celp64);
  b.speech_frames(1).forward_jump(8).speech_frames(1).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(v.frame(), b.make_speech_frame(1));
  EXPECT_EQ(read_frame(v.st, kForward), 1);
}

TEST(ReadForwards, JumpsChainAndSkipArbitraryBytes) {
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.speech_frames(1)
      .forward_jump(7 + 5)
      .raw({9, 9, 9, 9, 9})
      .forward_jump(7 + 7)
      .speech_frames(1)  // jumped over
      .speech_frames(1)
      .end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(v.frame(), b.make_speech_frame(2));
}

TEST(ReadForwards, JumpShorterThanAFrameFails) {
  VoiceFileBuilder b(VoiceMode::Celp80);
  b.speech_frames(1).forward_jump(9).speech_frames(2);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 16);
  EXPECT_EQ(v.st.status, 16);
}

TEST(ReadForwards, NegativeJumpFails) {
  VoiceFileBuilder b(VoiceMode::Celp80);
  b.forward_jump(-100).speech_frames(2);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 16);
}

TEST(ReadBothWays, SkippedRegionIsPassedOverInBothDirections) {
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.speech_frames(2).skipped_region(Bytes(30, 0x77)).speech_frames(2);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(read_frame(v.st, kForward), 0);
    EXPECT_EQ(v.frame(), b.make_speech_frame(i)) << "forwards " << i;
  }
  EXPECT_EQ(read_frame(v.st, kForward), 1) << "no end marker: the short read ends it";
  v.st.status = 0;
  // A change of direction re-reads the frame just delivered.
  for (int i = 3; i >= 0; --i) {
    ASSERT_EQ(read_frame(v.st, kBackward), 0);
    EXPECT_EQ(v.frame(), b.make_speech_frame(i)) << "backwards " << i;
  }
}

TEST(ReadBackwards, LeadingFramesThenTheHeaderRegionEndsTheStream) {
  VoiceFileBuilder b(VoiceMode::Celp64);
  Bytes leading(16);
  for (int i = 0; i < 16; ++i) leading[i] = static_cast<uint8_t>(i + 1);
  b.leading_frames(leading).speech_frames(2).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kBackward), 0);
  EXPECT_EQ(v.frame(), Bytes(leading.begin() + 8, leading.end()));
  ASSERT_EQ(read_frame(v.st, kBackward), 0);
  EXPECT_EQ(v.frame(), Bytes(leading.begin(), leading.begin() + 8));
  EXPECT_EQ(read_frame(v.st, kBackward), 1);
}

TEST(ReadBackwards, TooFewBytesBeforeThePositionFails) {
  // A backward jump that lands 3 bytes into the file leaves no room for a
  // whole frame before it.
  VoiceFileBuilder b(VoiceMode::Celp56);
  b.speech_frames(1);
  const auto jump_frame_start = static_cast<int32_t>(b.bytes().size());
  b.jump_frame(jump_frame_start + 7 - 3).zero_frame();
  const auto after_zero_frame = static_cast<long>(b.bytes().size());
  b.speech_frames(1);
  OpenedVoice v(b);
  ASSERT_EQ(std::fseek(v.st.file.get(), after_zero_frame, SEEK_SET), 0);
  EXPECT_EQ(read_frame(v.st, kBackward), 2048);
  EXPECT_EQ(v.st.status, 2048);
}

TEST(AdpcmRealignment, ForwardsTakesTheFortyBytesFromTheMiddle) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(1);
  const size_t half_zero_at = b.bytes().size();
  b.half_zero_frame(true).speech_frames(2);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(v.frame(), frame_at(b, half_zero_at + 20));
  // The run continues 20 bytes out of step.
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(v.frame(), frame_at(b, half_zero_at + 60));
}

TEST(AdpcmRealignment, ZeroMiddleIsAZeroFrame) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(1).half_zero_frame(true).raw(Bytes(20, 0)).jump_frame(40).speech_frames(1);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(v.frame(), b.make_speech_frame(1));
}

TEST(AdpcmRealignment, ZeroMiddleFollowedByZerosIsAnEndMarker) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(1).half_zero_frame(true).raw(Bytes(20, 0)).zero_frame().speech_frames(1);
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(read_frame(v.st, kForward), 1);
}

TEST(AdpcmRealignment, BackwardsIsTheMirrorImage) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(2);
  const size_t half_zero_at = b.bytes().size();
  b.half_zero_frame(false).speech_frames(1).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(vdec_skip_forward(v.st, 4), 0);  // to the end of the run
  ASSERT_EQ(read_frame(v.st, kBackward), 0);
  EXPECT_EQ(v.frame(), b.make_speech_frame(2));
  ASSERT_EQ(read_frame(v.st, kBackward), 0);
  // The frame that ends 20 bytes into the half-zero frame.
  EXPECT_EQ(v.frame(), frame_at(b, half_zero_at - 20));
}

TEST(AdpcmRealignment, SpeechWithZeroLeadingHalfIsNotRealigned) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.half_zero_frame(false).speech_frames(1).end_marker();
  OpenedVoice v(b);
  ASSERT_EQ(v.rewind(), 0);
  ASSERT_EQ(read_frame(v.st, kForward), 0);
  EXPECT_EQ(v.frame(), frame_at(b, 511));
}

}  // namespace
}  // namespace voice
