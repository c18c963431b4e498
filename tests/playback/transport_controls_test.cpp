// Play/Pause, Stop, seeking with the position slider and the volume slider.
#include <gtest/gtest.h>

#include <chrono>

#include "playback/message_routing.h"
#include "player_harness.h"

namespace playback_testing {
namespace {

using playback::MakeScrollMessage;
using playback::RouteMessage;
using playback::WM_HSCROLL;
using playback::WM_VSCROLL;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

constexpr int kLineDown = 1, kPageUp = 2, kRelease = 4, kPress = 5, kHome = 6, kEnd = 7,
              kEndScroll = 8;

// 10,000 frames: a duration of 100 seconds.
Bytes HundredSeconds() {
  return MakeRecording(VoiceMode::Adpcm40, 10000);
}

// The position slider's notification, handled at once.
void Position(PlayerHarness& h, int code) {
  RouteMessage(h.engine, MakeScrollMessage(WM_HSCROLL, code, h.view.position(Control::kPosition),
                                           Control::kPosition));
}

// A press at `units` and the release there, as the seek slider reports them.
void SeekTo(PlayerHarness& h, int units) {
  h.view.SetSliderPosition(Control::kPosition, units);
  Position(h, kPress);
  Position(h, kRelease);
}

bool PlayBuffers(PlayerHarness& h, int n) {
  for (int i = 0; i < n; ++i)
    if (!h.PlayBuffer()) return false;
  return true;
}

TEST(Transport, PauseShowsThePausedPointAndPlayResumesThere) {
  PlayerHarness h(HundredSeconds());
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(PlayBuffers(h, 125));  // 50 s
  h.engine.OnPlay();
  EXPECT_EQ(h.view.text(Control::kElapsed), "Paused at: 00:00:50");
  EXPECT_EQ(h.view.position(Control::kPosition), 18000);
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");
  EXPECT_TRUE(h.device.is_paused());
  h.engine.OnPlay();
  EXPECT_FALSE(h.device.is_paused());

  ASSERT_TRUE(PlayBuffers(h, 84));
  h.device.Advance(4800);  // 83.9 s
  h.engine.OnPlay();
  EXPECT_EQ(h.view.text(Control::kElapsed), "Paused at: 00:01:23");
  const size_t played = h.device.played().size();
  h.device.Advance(16000);
  EXPECT_EQ(h.device.played().size(), played);
  h.engine.OnPlay();
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:01:23");
  EXPECT_EQ(h.view.text(Control::kPlay), "&Pause");
}

void ExpectStoppedControls(PlayerHarness& h) {
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");
  EXPECT_FALSE(h.view.enabled(Control::kStop));
  EXPECT_FALSE(h.view.enabled(Control::kPosition));
  EXPECT_EQ(h.view.position(Control::kPosition), 0);
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:00");
}

TEST(Transport, StopWhilePausedResumesTheDeviceBeforeStoppingIt) {
  PlayerHarness h(HundredSeconds());
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayBuffer());
  h.engine.OnPlay();
  h.engine.OnStop();
  const std::vector<std::string> ending(h.device.calls().end() - 6, h.device.calls().end());
  EXPECT_EQ(ending, (std::vector<std::string>{"restart", "pause", "reset", "unprepare", "unprepare",
                                              "close"}));
  EXPECT_FALSE(h.state().paused || h.state().playing);
  EXPECT_EQ(h.engine.decode_block().status.load(), status::kSuccess);
  ExpectStoppedControls(h);

  const size_t calls = h.device.calls().size();
  h.engine.OnStop();  // idle: the controls only
  EXPECT_EQ(h.device.calls().size(), calls);
  ExpectStoppedControls(h);
}

TEST(Transport, WhileAStreamOpensPlayIsIgnoredAndStopDoesNotPreventIt) {
  PlayerHarness h(HundredSeconds());
  h.engine.OnPlay();
  h.engine.OnPlay();
  EXPECT_EQ(h.device.opens(), 1);
  h.engine.OnStop();
  ExpectStoppedControls(h);
  ASSERT_TRUE(h.PumpUntil([&] { return h.state().playing; }));
  EXPECT_EQ(h.view.text(Control::kPlay), "&Pause");
  EXPECT_TRUE(h.view.enabled(Control::kStop));
  EXPECT_EQ(h.device.opens(), 1);
}

TEST(Transport, ASeekMovesTheDecoderByWholeFramesForwardsAndBackwards) {
  PlayerHarness h(HundredSeconds());
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(PlayBuffers(h, 8));
  ASSERT_EQ(h.state().decodedFrame, 400);

  h.view.SetSliderPosition(Control::kPosition, 9000);
  Position(h, kPress);
  EXPECT_FALSE(h.device.is_open()) << "the sound stops while the slider moves";
  EXPECT_TRUE(h.state().seekInProgress);
  Position(h, kRelease);
  EXPECT_EQ(h.state().seekBaseBytes, 400000);
  EXPECT_EQ(h.decoder.position, 2500);  // 400 + (400,000 - 64,000) / 160
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:25");
  EXPECT_FALSE(h.view.enabled(Control::kPosition));
  ASSERT_TRUE(h.PumpUntil([&] { return h.state().playing && h.BuffersQueued(); }));
  EXPECT_TRUE(h.view.enabled(Control::kPosition));

  ASSERT_TRUE(PlayBuffers(h, 2));
  SeekTo(h, 4500);
  EXPECT_EQ(h.decoder.position, 1250);
  EXPECT_EQ(h.state().seekBaseBytes, 200000);
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:12");
}

TEST(Transport, ASeekLandsWhereTheLabelSaysWhenTheThreadWasAhead) {
  PlayerHarness h(HundredSeconds());
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(PlayBuffers(h, 8));
  ASSERT_TRUE(h.device.PlayNextBuffer());
  RouteMessage(h.engine, *h.queue.TakeWithin(std::chrono::seconds(10)));  // the buffer's return
  // The refill is decoded, its ready message not handled yet.
  const auto ready = h.queue.TakeWithin(std::chrono::seconds(10));
  ASSERT_TRUE(ready);
  ASSERT_EQ(ready->lparam, 440);

  SeekTo(h, 9000);
  EXPECT_EQ(h.state().decodedFrame, 440);
  EXPECT_EQ(h.decoder.position, 2500);
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:25");
  RouteMessage(h.engine, *ready);
  EXPECT_EQ(h.device.queued(), 0u) << "the old stream's buffer is dropped";
}

TEST(Transport, ASeekWhilePausedEndsTheStreamAndTheNextPlayStartsFromTheBeginning) {
  PlayerHarness h(HundredSeconds());
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(PlayBuffers(h, 8));
  h.engine.OnPlay();
  h.view.SetSliderPosition(Control::kPosition, 9000);
  Position(h, kPress);
  EXPECT_TRUE(h.device.is_open() && h.device.is_paused())
      << "the device stays paused while seeking";
  Position(h, kRelease);
  EXPECT_FALSE(h.device.is_open());
  EXPECT_EQ(h.view.text(Control::kElapsed), "Paused at: 00:00:25");
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");
  EXPECT_TRUE(h.view.enabled(Control::kStop));
  EXPECT_TRUE(h.view.enabled(Control::kPosition));

  // No stream plays now: the slider moves without seeking.
  SeekTo(h, 18000);
  EXPECT_EQ(h.view.text(Control::kElapsed), "Paused at: 00:00:25");
  EXPECT_FALSE(h.device.is_open());

  h.engine.OnPlay();
  EXPECT_EQ(h.decoder.position, 0) << "the point chosen while paused is not kept";
  EXPECT_FALSE(h.state().paused);
  ASSERT_TRUE(h.PumpUntil([&] { return h.state().playing; }));
  EXPECT_EQ(h.view.text(Control::kPlay), "&Pause");
}

TEST(Transport, AFailedSeekLeavesThePlayButtonReadyToPlay) {
  // Skipping from the start to three seconds crosses a broken jump record.
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(200).zero_frame().jump_frame(1).speech_frames(200).end_marker();
  PlayerHarness h(b.bytes());
  ASSERT_TRUE(h.Play());
  SeekTo(h, 27000);
  ASSERT_EQ(h.view.message_boxes().size(), 1u);
  EXPECT_EQ(h.view.message_boxes()[0].text, "Error Jump length < 0");
  EXPECT_EQ(h.view.message_boxes()[0].caption, "Warning Open Device");
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");
  EXPECT_FALSE(h.view.enabled(Control::kStop));
  EXPECT_FALSE(h.view.enabled(Control::kPosition));
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:03");
  EXPECT_FALSE(h.state().playing);
}

TEST(Transport, ASeekWhoseDeviceFailsToOpenLeavesThePlayButtonReadyToPlay) {
  PlayerHarness h(HundredSeconds());
  ASSERT_TRUE(h.Play());
  h.device.FailOpen(playback::wave_result::kAllocated);
  SeekTo(h, 9000);
  ASSERT_EQ(h.view.message_boxes().size(), 1u);
  EXPECT_EQ(h.view.message_boxes()[0].caption, "Warning open device");
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");
  EXPECT_FALSE(h.view.enabled(Control::kStop));
}

TEST(Transport, HomeAndEndMoveTheSliderWithoutSeekingArrowKeysSeek) {
  PlayerHarness h(HundredSeconds());
  ASSERT_TRUE(h.Play());
  for (const int key : {kHome, kEnd}) {
    Position(h, key);
    Position(h, kEndScroll);
    EXPECT_TRUE(h.state().playing);
    EXPECT_EQ(h.device.opens(), 1);
  }
  h.view.SetSliderPosition(Control::kPosition, 9000);
  Position(h, kLineDown);
  Position(h, kEndScroll);
  EXPECT_EQ(h.device.opens(), 2);
  EXPECT_EQ(h.decoder.position, 2500);
}

TEST(Transport, ASeekAfterTheThreadMetTheEndEndsTheStream) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 100));
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayBuffer());
  ASSERT_NE(h.engine.decode_block().status.load(), status::kSuccess);
  h.view.SetSliderPosition(Control::kPosition, 5000);
  Position(h, kPress);
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:01");
  EXPECT_EQ(h.view.position(Control::kPosition), 35999);
  EXPECT_EQ(h.view.text(Control::kPlay), "&Play");
  EXPECT_FALSE(h.view.enabled(Control::kStop));
  EXPECT_FALSE(h.view.enabled(Control::kPosition));
  EXPECT_FALSE(h.device.is_open());
  Position(h, kRelease);
  EXPECT_EQ(h.device.opens(), 1);
}

// The volume slider's notification, through the queue.
void Volume(PlayerHarness& h, int position, int code, Control slider = Control::kVolume) {
  h.view.SetSliderPosition(Control::kVolume, position);
  h.queue.Post(MakeScrollMessage(WM_VSCROLL, code, position, slider));
  h.Pump();
}

TEST(Transport, TheVolumeSliderSendsItsLevelInBothChannels) {
  PlayerHarness h(HundredSeconds());
  h.view.SetSliderPosition(Control::kVolume, 32);
  ASSERT_TRUE(h.Play());   // the open sends level 32
  Volume(h, 0, kPress);    // level 64
  Volume(h, 1, kRelease);  // 63
  Volume(h, 63, 0);        // 1
  Volume(h, 10, kPageUp);  // paging waits for its end-of-scroll
  Volume(h, 10, kHome);
  Volume(h, 10, kEndScroll);                      // 54
  Volume(h, 20, kEndScroll, Control::kPosition);  // not the volume slider
  EXPECT_EQ(h.device.volume_requests(),
            (std::vector<uint32_t>{0x7FE07FE0, 0xFFFFFFFF, 0xFBC1FBC1, 0x03FF03FF, 0xD7CAD7CA}));
}

TEST(Transport, TheFirstMoveStraightToSilenceSendsNothing) {
  PlayerHarness h(HundredSeconds());
  Volume(h, 64, kRelease);
  EXPECT_TRUE(h.device.volume_requests().empty());
  Volume(h, 63, kRelease);  // no device open: fails, yet remembered
  EXPECT_EQ(h.device.volume_requests(), std::vector<uint32_t>{0x03FF03FF});
  EXPECT_EQ(h.state().lastVolumeLevel, 1);
}

TEST(Transport, TheStartUpProbeSetsTheVolumeSliderFromTheDevice) {
  const struct {
    uint32_t deviceVolume;
    int position;
  } cases[] = {{0xFFFF, 0}, {0x8000, 31}, {0, 63}};
  for (const auto& c : cases) {
    PlayerHarness h(HundredSeconds());  // has started up once already
    h.device.SetDeviceVolume(c.deviceVolume);
    h.engine.InitControls();
    h.Pump();  // the probe's open notification is no stream's
    EXPECT_EQ(h.view.position(Control::kVolume), c.position);
    EXPECT_TRUE(h.view.enabled(Control::kVolume));
    EXPECT_FALSE(h.device.is_open());
    EXPECT_FALSE(h.state().playing || h.state().deviceOpen);
    EXPECT_EQ(h.view.range(Control::kVolume), std::make_pair(0, 64));
    EXPECT_EQ(h.view.ticks(Control::kVolume), 8);
    EXPECT_EQ(h.view.range(Control::kPosition), std::make_pair(0, 35999));
  }

  PlayerHarness fixedVolume(HundredSeconds());
  fixedVolume.view.Enable(Control::kVolume, false);
  fixedVolume.device.SetCapabilities(0);
  fixedVolume.engine.InitControls();
  EXPECT_FALSE(fixedVolume.view.enabled(Control::kVolume));

  PlayerHarness noDevice(HundredSeconds());
  noDevice.view.Enable(Control::kVolume, false);
  noDevice.device.FailOpen(playback::wave_result::kBadDevice);
  noDevice.engine.InitControls();
  ASSERT_EQ(noDevice.view.message_boxes().size(), 1u);
  EXPECT_EQ(noDevice.view.message_boxes()[0].text, "There is no audio output device.");
  EXPECT_EQ(noDevice.view.message_boxes()[0].caption, "Warning open device");
  EXPECT_FALSE(noDevice.view.enabled(Control::kVolume));
}

TEST(Transport, ARecordingShorterThanASecondKeepsTheSliderAtTheStart) {
  PlayerHarness h(MakeRecording(VoiceMode::Adpcm40, 50));
  ASSERT_TRUE(h.Play());
  EXPECT_EQ(h.view.text(Control::kDuration), "Voice duration: 00:00:00");
  h.engine.OnPlay();
  EXPECT_EQ(h.view.text(Control::kElapsed), "Paused at: 00:00:00");
  EXPECT_EQ(h.view.position(Control::kPosition), 0);
  h.engine.OnPlay();
  ASSERT_TRUE(h.PlayToEnd());
  EXPECT_EQ(h.device.played().size(), 50u * 160);
  EXPECT_EQ(h.view.text(Control::kElapsed), "Elapsed time: 00:00:00");
}

}  // namespace
}  // namespace playback_testing
