// The real dialog playing through a simulated device: its buttons and
// sliders clicked as a user would, the device's clock advanced by the test,
// and the posted messages handled by Qt's event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/seek_slider.h"
#include "player_dialog_fixture.h"

namespace {

using app_testing::PlayerDialogFixture;

class PlayerDialogPlaybackTest : public PlayerDialogFixture {
 protected:
  void Click(const char* button) { QTest::mouseClick(Button(button), Qt::LeftButton); }
  bool TempVoiceFileExists() {
    for (const std::string& entry : scratch_.entries())
      if (std::filesystem::exists(std::filesystem::path(scratch_.path()) / entry / "temp.voc"))
        return true;
    return false;
  }
  // A press and a release at x on the position slider, in its thumb's band.
  void SeekAt(int x) {
    auto* slider = Find<app::SeekSlider>("IDC_POSITION");
    const QPoint point(x, slider->Geometry().thumbHeight / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, point);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, point);
  }
  int Position() { return Slider("IDC_POSITION")->value(); }
};

// Ten seconds of recording: one second is 3600 slider units, 2.5 buffers.
TEST_F(PlayerDialogPlaybackTest, PlayPausePlaySeekStopAndExit) {
  Open(1000);

  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  EXPECT_TRUE(TempVoiceFileExists());
  EXPECT_EQ(Text("IDC_PLAY"), "&Pause");
  EXPECT_EQ(Text("IDC_FILENAME"), "Voice filename: voiceplayer.VOC");
  EXPECT_EQ(Text("IDC_DURATION"), "Voice duration: 00:00:10");
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:00");
  EXPECT_TRUE(Button("IDC_STOP")->isEnabled());
  EXPECT_TRUE(Slider("IDC_POSITION")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is back to normal";

  // Two seconds played.
  ASSERT_TRUE(PlayBuffers(5));
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:02");
  EXPECT_EQ(Position(), 7200);

  Click("IDC_PLAY");
  Pump();
  EXPECT_TRUE(device_.is_paused());
  EXPECT_EQ(Text("IDC_ELAPSED"), "Paused at: 00:00:02");
  EXPECT_EQ(Text("IDC_PLAY"), "&Play");

  Click("IDC_PLAY");
  Pump();
  EXPECT_FALSE(device_.is_paused());
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:02");
  EXPECT_EQ(Text("IDC_PLAY"), "&Pause");

  // A press on the last quarter of the slider stops the sound, the release
  // starts a new stream there.
  const int opens = device_.opens();
  SeekAt(Slider("IDC_POSITION")->width() * 3 / 4);
  const int target = Position();
  EXPECT_GT(target, 24000);
  ASSERT_TRUE(PumpUntil([&] { return device_.opens() == opens + 1 && Streaming(); }));
  const uint32_t seconds = static_cast<uint32_t>(target) * 10 / 36000;
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:0" + std::to_string(seconds));
  EXPECT_TRUE(Slider("IDC_POSITION")->isEnabled()) << "back once the new stream's device opened";
  ASSERT_TRUE(PlayBuffers(1));
  EXPECT_GE(Position(), target);

  Click("IDC_STOP");
  Pump();
  EXPECT_FALSE(device_.is_open());
  EXPECT_EQ(Text("IDC_PLAY"), "&Play");
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:00");
  EXPECT_EQ(Position(), 0);
  EXPECT_FALSE(Button("IDC_STOP")->isEnabled());
  EXPECT_FALSE(Slider("IDC_POSITION")->isEnabled());

  // Exit while playing: the sound stops before the dialog ends, and the
  // temporary copy goes with the window.
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  Click("IDOK");
  EXPECT_FALSE(device_.is_open());
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_TRUE(TempVoiceFileExists());
  dialog_.reset();
  EXPECT_FALSE(TempVoiceFileExists());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PlayerDialogPlaybackTest, EscapeAndTheCloseBoxStopTheSoundAndCancel) {
  Open(1000);
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  QTest::keyClick(dialog_.get(), Qt::Key_Escape);
  EXPECT_FALSE(device_.is_open());
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);

  dialog_->show();
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  dialog_->setResult(QDialog::Accepted);
  EXPECT_TRUE(dialog_->close());
  EXPECT_FALSE(device_.is_open());
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);
}

TEST_F(PlayerDialogPlaybackTest, PlaysToTheEndAndShowsTheFullDuration) {
  Open(250);
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  while (dialog_->engine().state().playing) {
    ASSERT_TRUE(device_.PlayNextBuffer());
    ASSERT_TRUE(PumpUntil([this] { return !dialog_->engine().state().playing || Streaming(); }));
  }
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:02");
  EXPECT_EQ(Position(), 35999);
  EXPECT_EQ(Text("IDC_PLAY"), "&Play");
  EXPECT_FALSE(Slider("IDC_POSITION")->isEnabled());
  EXPECT_FALSE(device_.is_open());
}

// The player's own recording, written by the encoder in the 56-bit mode:
// its duration shown, a seek into the middle heard from there, and every
// byte the decoder gives played to the end.
TEST_F(PlayerDialogPlaybackTest, TheDefaultRecordingPlaysSeeksAndEndsWhole) {
  std::ifstream in(DEFAULT_RECORDING_PATH, std::ios::binary);
  const playback_testing::Bytes file{std::istreambuf_iterator<char>(in), {}};
  ASSERT_FALSE(file.empty());
  const playback_testing::Bytes decoded = playback_testing::DecodeWhole(file);
  OpenWith(file);
  Click("IDC_PLAY");
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  EXPECT_EQ(Text("IDC_DURATION"), "Voice duration: 00:00:07");

  const int opens = device_.opens();
  SeekAt(Slider("IDC_POSITION")->width() / 2);
  ASSERT_TRUE(PumpUntil([&] { return device_.opens() == opens + 1 && Streaming(); }));
  const size_t before = device_.played().size();
  while (dialog_->engine().state().playing) {
    ASSERT_TRUE(device_.PlayNextBuffer());
    ASSERT_TRUE(PumpUntil([this] { return !dialog_->engine().state().playing || Streaming(); }));
  }
  const size_t heard = device_.played().size() - before;
  // From a frame about the middle to the decoder's last byte.
  ASSERT_GT(heard, decoded.size() / 3);
  ASSERT_LT(heard, decoded.size() * 2 / 3);
  EXPECT_EQ(heard % 160, 0u);
  const size_t start = decoded.size() - heard;
  // The decoder's memories after a seek are those from before it, so the
  // samples differ at first; a few frames on they are the same speech.
  double cross = 0, own = 0, straight = 0;
  const uint8_t* played = device_.played().data() + before;
  for (size_t i = heard / 2; i + 1 < heard; i += 2) {
    const auto a = static_cast<int16_t>(played[i] | played[i + 1] << 8);
    const auto b = static_cast<int16_t>(decoded[start + i] | decoded[start + i + 1] << 8);
    cross += double(a) * b;
    own += double(a) * a;
    straight += double(b) * b;
  }
  EXPECT_GT(cross / std::sqrt(own * straight), 0.9);
  EXPECT_EQ(Text("IDC_ELAPSED"), "Elapsed time: 00:00:07");
}

// Return presses the default button; the volume slider's keys reach the
// device; a mnemonic clicks its button (visibly, so a moment later).
TEST_F(PlayerDialogPlaybackTest, KeyboardPlaysSetsTheVolumeAndStops) {
  device_.SetDeviceVolume(0xFFFFFFFF);
  Open(1000);
  dialog_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dialog_.get()));
  QTest::keyClick(dialog_.get(), Qt::Key_Return);
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));

  device_.ClearRecords();
  QTest::keyClick(Slider("IDC_VOLUME"), Qt::Key_Down);
  Pump();
  EXPECT_EQ(device_.volume_requests(), std::vector<uint32_t>{0xFBC1FBC1});

  QTest::keyClick(dialog_.get(), Qt::Key_S, Qt::AltModifier);
  EXPECT_TRUE(PumpUntil([this] { return !device_.is_open(); }));
  EXPECT_EQ(Text("IDC_PLAY"), "&Play");
}

}  // namespace
