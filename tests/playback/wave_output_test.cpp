// The double-buffered output of a stream: opening, the buffer cycle, the end
// of the recording and the device's failures.
#include <gtest/gtest.h>

#include "player_harness.h"

namespace playback_testing {
namespace {

using playback::wave_result::kNoMemory;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

TEST(WaveOutput, TheOpenNotificationPreparesBothBuffersAndAsksForBoth) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 400));
  h.view.SetSliderRange(Control::kVolume, 0, 64);
  h.view.SetSliderPosition(Control::kVolume, 1);
  ASSERT_TRUE(h.Play());
  EXPECT_EQ(h.device.calls(),
            (std::vector<std::string>{"open", "prepare", "prepare", "write", "write"}));
  EXPECT_EQ(h.device.volume_requests(), std::vector<uint32_t>{0xFBC1FBC1});
  EXPECT_EQ(h.state().lastVolumeLevel, 0) << "the open sets the volume without the slider's memory";
  EXPECT_TRUE(h.state().deviceOpen);
  EXPECT_EQ(h.state().decodedFrame, 80);
  EXPECT_EQ(h.engine.decode_block().run.load(), 1);
}

TEST(WaveOutput, APrepareFailureOfBufferAClosesTheDeviceAndReleasesTheThread) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 400));
  h.device.FailPrepare(1, kNoMemory);
  h.engine.OnPlay();
  h.Pump();
  EXPECT_EQ(h.device.calls(), (std::vector<std::string>{"open", "prepare", "close"}));
  ASSERT_EQ(h.view.message_boxes().size(), 1u);
  EXPECT_EQ(h.view.message_boxes()[0].caption, "Error prepare A");
  EXPECT_EQ(h.view.message_boxes()[0].text,
            "There is not enough memory for the audio output device.");
  EXPECT_FALSE(h.state().playing || h.state().deviceOpen || h.state().opening);
  EXPECT_EQ(h.engine.decode_block().run.load(), 0);
  ASSERT_TRUE(h.Play()) << "the released thread has ended; a new stream starts";
}

TEST(WaveOutput, APrepareFailureOfBufferBReleasesBufferAFirst) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 400));
  h.device.FailPrepare(2, kNoMemory);
  h.engine.OnPlay();
  h.Pump();
  EXPECT_EQ(h.device.calls(),
            (std::vector<std::string>{"open", "prepare", "prepare", "unprepare", "close"}));
  ASSERT_EQ(h.view.message_boxes().size(), 1u);
  EXPECT_EQ(h.view.message_boxes()[0].caption, "Error prepare B");
  EXPECT_FALSE(h.device.is_open());
  EXPECT_FALSE(h.state().playing);
}

TEST(WaveOutput, AWriteFailureStopsTheStreamBeforeItIsReported) {
  const struct {
    int failingWrite;
    const char* caption;
  } cases[] = {{1, "Error A!"}, {2, "Error B!"}};
  for (const auto& c : cases) {
    PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 400));
    h.device.FailWrite(c.failingWrite, kNoMemory);
    bool stoppedFirst = false;
    h.view.on_message_box = [&](const MessageBoxShown&) { stoppedFirst = !h.device.is_open(); };
    h.engine.OnPlay();
    ASSERT_TRUE(h.PumpUntil([&] { return !h.view.message_boxes().empty(); }));
    EXPECT_EQ(h.view.message_boxes()[0].caption, c.caption);
    EXPECT_TRUE(stoppedFirst);
    EXPECT_FALSE(h.state().playing);
    // The controls are left as they were.
    EXPECT_EQ(h.view.text(Control::kPlay), "&Pause");
    EXPECT_TRUE(h.view.enabled(Control::kStop));
  }
}

TEST(WaveOutput, ABufferReadyAfterTheStreamStoppedChangesNothing) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 400));
  ASSERT_TRUE(h.Play());
  h.engine.OnStop();
  const size_t calls = h.device.calls().size();
  h.engine.OnBufferAReady(6400, 120);
  h.engine.OnBufferBReady(6400, 160);
  EXPECT_EQ(h.state().decodedFrame, 80);
  EXPECT_EQ(h.device.calls().size(), calls);
}

TEST(WaveOutput, TheLastBufferIsHeardBeforeTheStreamEnds) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 100));  // 40 + 40 + 20 frames
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayBuffer());  // A back: its refill is the short last buffer
  ASSERT_TRUE(h.state().lastBufferWritten);
  ASSERT_TRUE(h.PlayBuffer());  // B back: the end of the file is known, A still queued
  EXPECT_TRUE(h.state().playing);
  EXPECT_EQ(h.device.queued(), 1u);
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:00");
  EXPECT_EQ(h.view.text(Control::kPlay), "&Pause");

  ASSERT_TRUE(h.PlayBuffer());
  EXPECT_EQ(h.device.played().size(), 100u * 160);
  EXPECT_FALSE(h.state().playing);
  EXPECT_FALSE(h.device.is_open());
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:01");
  EXPECT_EQ(h.view.position(Control::kPosition), 35999);
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");
  EXPECT_FALSE(h.view.enabled(Control::kStop));
  EXPECT_FALSE(h.view.enabled(Control::kPosition));
}

TEST(WaveOutput, TheElapsedTimeStopsAtTheDurationAndTheSliderNeverGoesBack) {
  // The header claims one second; the file holds three.
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.playable_frames(100).speech_frames(300).end_marker();
  PlayerHarness h(b.bytes());
  ASSERT_TRUE(h.Play());
  h.view.SetSliderPosition(Control::kPosition, 20000);  // the user moves it on
  ASSERT_TRUE(h.PlayBuffer());
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:00");
  EXPECT_EQ(h.view.position(Control::kPosition), 20000);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(h.PlayBuffer());
  EXPECT_EQ(h.device.played().size(), 5u * 6400);  // two seconds
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:01");
  EXPECT_EQ(h.view.position(Control::kPosition), 35999);
}

}  // namespace
}  // namespace playback_testing
