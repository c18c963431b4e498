// The real dialog off the happy path: gestures that overlap, a device that
// goes away, a recording that cannot be read to its end, a header that
// claims hundreds of hours, and a few hundred random steps. Message boxes
// run a nested event loop here, as real ones do, so that every handler can
// be re-entered while one is up.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

#include "app/seek_slider.h"
#include "player_dialog_fixture.h"

namespace {

using app_testing::PlayerDialogFixture;
using playback_testing::LiveDecodeThreads;
using testing_support::VoiceFileBuilder;
using voice::VoiceMode;

// Ends the test program when a step does not come back within ten
// seconds: a handler that waits for ever would otherwise stall the run.
class HangWatchdog {
 public:
  HangWatchdog()
      : thread_([this] {
          std::unique_lock lock(mutex_);
          while (!done_) {
            const int step = step_;
            if (!kicked_.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return done_ || step_ != step; })) {
              std::fprintf(stderr, "the dialog stopped answering at step %d\n", step);
              std::abort();
            }
          }
        }) {}
  ~HangWatchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    kicked_.notify_one();
    thread_.join();
  }
  void Step(int step) {
    {
      std::lock_guard lock(mutex_);
      step_ = step;
    }
    kicked_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable kicked_;
  int step_ = 0;
  bool done_ = false;
  std::thread thread_;
};

class PlayerRobustnessTest : public PlayerDialogFixture {
 protected:
  void OpenWithNestedBoxes(playback_testing::Bytes recording) {
    OpenWith(std::move(recording));
    dialog_->SetMessageBoxFunction([this](QWidget*, const QString& text, const QString& caption) {
      boxes_.push_back({text.toStdString(), caption.toStdString(), false});
      QEventLoop box;
      QTimer::singleShot(20, &box, &QEventLoop::quit);
      box.exec();
    });
  }
  void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
  app::SeekSlider* Position() { return Find<app::SeekSlider>("IDC_POSITION"); }
  QPoint OnSlider(int x) { return {x, Position()->Geometry().thumbHeight / 2}; }
  const playback::PlaybackState& State() { return dialog_->engine().state(); }
  // A message posted now is handled: the dialog's thread is not stuck.
  bool Answers() {
    bool answered = false;
    QMetaObject::invokeMethod(
        dialog_.get(), [&] { answered = true; }, Qt::QueuedConnection);
    return PumpUntil([&] { return answered; });
  }
  void ExpectIdleWithMessage(const std::string& text, const std::string& caption) {
    ASSERT_FALSE(boxes_.empty());
    EXPECT_EQ(boxes_.back().text, text);
    EXPECT_EQ(boxes_.back().caption, caption);
    EXPECT_EQ(Text("IDC_PLAY"), "&Play");
    EXPECT_FALSE(Button("IDC_STOP")->isEnabled());
    EXPECT_FALSE(Position()->isEnabled());
    EXPECT_FALSE(device_.is_open());
    EXPECT_EQ(LiveDecodeThreads(), 0);
  }
};

// Play, hold the position slider, Play again with Return, let go: the
// release ends the stream Return started and plays from the chosen point.
TEST_F(PlayerRobustnessTest, PlayWhileTheSliderIsHeldLeavesOneStreamAtTheChosenPoint) {
  HangWatchdog watchdog;
  OpenWithNestedBoxes(playback_testing::MakeRecording(VoiceMode::Adpcm40, 1000));
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  ASSERT_TRUE(PlayBuffers(2));

  const QPoint point = OnSlider(Position()->width() * 3 / 4);
  QTest::mousePress(Position(), Qt::LeftButton, {}, point);
  Pump();
  const int chosen = Position()->value();
  QTest::keyClick(dialog_.get(), Qt::Key_Return);
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  EXPECT_EQ(Position()->value(), chosen) << "the held thumb stays under the pointer";
  const int opens = device_.opens();
  QTest::mouseRelease(Position(), Qt::LeftButton, {}, point);
  ASSERT_TRUE(PumpUntil([&] { return device_.opens() == opens + 1 && Streaming(); }));

  EXPECT_TRUE(boxes_.empty());
  EXPECT_EQ(LiveDecodeThreads(), 1);
  const uint32_t seconds = static_cast<uint32_t>(chosen) * 10 / 36000;
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:0" + std::to_string(seconds));
  ASSERT_TRUE(PlayBuffers(2));
  EXPECT_GE(Position()->value(), chosen);
}

// The device stops playing (its sound server is gone): the stream ends with
// the device's message, the controls go back to idle where the sound
// stopped, and the next Play opens a device afresh.
TEST_F(PlayerRobustnessTest, ALostDeviceEndsTheStreamAndPlayOpensAFreshOne) {
  OpenWithNestedBoxes(playback_testing::MakeRecording(VoiceMode::Adpcm40, 1000));
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  ASSERT_TRUE(PlayBuffers(5));
  device_.Lose();
  ASSERT_TRUE(PumpUntil([this] { return !device_.is_open(); }));
  ExpectIdleWithMessage("The audio output device stopped playing.", "Error B!");
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:02");

  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  ASSERT_TRUE(PlayBuffers(1));
  EXPECT_EQ(boxes_.size(), 1u);
}

// A bad jump record after 0.6 s: the sound stops there, the failure is said
// once as the stream ends, and every Play plays the readable part again.
TEST_F(PlayerRobustnessTest, AReadingFailureIsShownOnceAndEveryPlayStartsOver) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.speech_frames(60).zero_frame().jump_frame(1).speech_frames(100).end_marker();
  OpenWithNestedBoxes(b.bytes());
  for (size_t play = 1; play <= 2; ++play) {
    const size_t before = device_.played().size();
    Click("IDC_PLAY");
    ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
    while (State().playing) {
      ASSERT_TRUE(device_.PlayNextBuffer());
      ASSERT_TRUE(PumpUntil([this] { return !State().playing || Streaming(); }));
    }
    EXPECT_EQ(device_.played().size() - before, 60u * 160);
    ASSERT_EQ(boxes_.size(), play);
    ExpectIdleWithMessage("Error Jump length < 0", "Warning Decoding");
    EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:00");
  }
}

// A header may claim up to 255 hours; the times, the slider and the seek
// offsets of such a recording outgrow 32 bits and must not wrap.
TEST_F(PlayerRobustnessTest, ARecordingOfHundredsOfHoursSeeksAndShowsItsTimeWithoutWrapping) {
  VoiceFileBuilder b(VoiceMode::Adpcm40);
  b.duration(255, 0, 0, 0).speech_frames(300).end_marker();
  OpenWithNestedBoxes(b.bytes());
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  EXPECT_EQ(Text("IDC_DURATION"), "Voice duration: 254:59:59");

  QTest::mouseClick(Position(), Qt::LeftButton, {}, OnSlider(Position()->width() / 2));
  ASSERT_TRUE(PumpUntil([this] { return !State().seekInProgress && !State().opening; }));
  // The file holds far fewer frames than its header claims: the decoder
  // cannot get there, and the label shows the point that was asked for.
  const uint64_t seconds = uint64_t{static_cast<uint32_t>(Position()->value())} * 917999 / 36000;
  ASSERT_GT(seconds, 100u * 3600);
  char expected[64];
  std::snprintf(expected, sizeof expected, "Elapsed time: %02d:%02d:%02d",
                static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                static_cast<int>(seconds % 60));
  EXPECT_EQ(Text("IDC_ELAPSED"), expected);
  EXPECT_EQ(LiveDecodeThreads(), 0);
}

// Play, Stop, Exit, presses, drags, releases and clicks on the position
// slider and the device's clock, in a random order with a fixed seed: after
// every step the dialog answers, at most one decode thread runs, a device
// is open only for the stream the engine knows of, and nothing failed.
TEST_F(PlayerRobustnessTest, RandomStepsNeverFreezeTheDialogOrStartASecondStream) {
  HangWatchdog watchdog;
  const auto recording = playback_testing::MakeRecording(VoiceMode::Adpcm40, 600);
  OpenWithNestedBoxes(recording);
  std::mt19937 random(20261208);
  // Play, Stop, Exit, press, move, release, click, a buffer played, time.
  std::discrete_distribution<int> action({4, 1, 0.25, 3, 1, 3, 1, 2, 3});
  bool held = false;
  for (int step = 0; step < 400; ++step) {
    watchdog.Step(step);
    const int x = std::uniform_int_distribution<int>(0, Position()->width() - 1)(random);
    switch (action(random)) {
      case 0:
        Click("IDC_PLAY");
        break;
      case 1:
        Click("IDC_STOP");
        break;
      case 2:
        Click("IDOK");
        ASSERT_FALSE(device_.is_open()) << "step " << step;
        OpenWithNestedBoxes(recording);
        held = false;
        break;
      case 3:
        QTest::mousePress(Position(), Qt::LeftButton, {}, OnSlider(x));
        held = true;
        break;
      case 4:
        if (held) QTest::mouseMove(Position(), OnSlider(x));
        break;
      case 5:
        if (held) QTest::mouseRelease(Position(), Qt::LeftButton, {}, OnSlider(x));
        held = false;
        break;
      case 6:
        if (!held) QTest::mouseClick(Position(), Qt::LeftButton, {}, OnSlider(x));
        break;
      case 7:
        device_.PlayNextBuffer();
        break;
      default:
        device_.Advance(std::uniform_int_distribution<uint32_t>(0, 8000)(random));
        break;
    }
    ASSERT_TRUE(Answers()) << "step " << step;
    ASSERT_LE(LiveDecodeThreads(), 1) << "step " << step;
    ASSERT_EQ(device_.is_open(), State().deviceOpen || State().opening) << "step " << step;
    ASSERT_TRUE(boxes_.empty()) << "step " << step << ": " << boxes_.back().text;
  }
}

}  // namespace
