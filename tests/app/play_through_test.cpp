// --play on the real dialog with a simulated device: Play is pressed, and
// the dialog ends by itself with the stream, telling whether the recording
// played to its end.
#include "app/play_through.h"

#include <gtest/gtest.h>

#include "player_dialog_fixture.h"

namespace {

using app::PlayThrough;

class PlayThroughTest : public app_testing::PlayerDialogFixture {
 protected:
  bool Ended() { return !dialog_->isVisible(); }
  // Plays buffers until the dialog has ended; false if it never does.
  bool PlayUntilTheDialogEnds() {
    while (PumpUntil([this] { return Streaming() || Ended(); }) && !Ended())
      device_.PlayNextBuffer();
    return Ended();
  }
};

TEST_F(PlayThroughTest, ARecordingPlayedToItsEndEndsTheDialogAsExitDoes) {
  Open(250);
  PlayThrough play(*dialog_, false);
  play.Start();
  ASSERT_TRUE(PlayUntilTheDialogEnds());
  EXPECT_EQ(play.outcome(), PlayThrough::Outcome::kPlayedOut);
  EXPECT_EQ(dialog_->result(), QDialog::Accepted);
  EXPECT_EQ(device_.played().size(), 250u * 160);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PlayThroughTest, AMessageEndsTheDialogAndGoesToStandardErrorWhenNoOneSeesIt) {
  Open(250);
  PlayThrough play(*dialog_, true);
  device_.FailOpen(playback::wave_result::kBadDevice);
  testing::internal::CaptureStderr();
  play.Start();
  Pump();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Warning open device: " +
                playback::DescribeWaveResult(playback::wave_result::kBadDevice) + "\n");
  EXPECT_EQ(play.outcome(), PlayThrough::Outcome::kFailed);
  EXPECT_FALSE(dialog_->isVisible());
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PlayThroughTest, AStreamStoppedShortIsNotPlayedOut) {
  Open(250);
  PlayThrough play(*dialog_, false);
  play.Start();
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  ASSERT_TRUE(PlayBuffers(2));
  EXPECT_EQ(play.outcome(), PlayThrough::Outcome::kUnderWay);
  Button("IDC_STOP")->click();
  EXPECT_EQ(play.outcome(), PlayThrough::Outcome::kFailed);
  EXPECT_EQ(dialog_->result(), QDialog::Rejected);
}

}  // namespace
