// --play on the real dialog with a simulated device. The played-out and the
// failed run are tested on the built player (sound/player_process_test.sh).
#include "app/play_through.h"

#include <gtest/gtest.h>

#include "player_dialog_fixture.h"

namespace {

using app::PlayThrough;
using PlayThroughTest = app_testing::PlayerDialogFixture;

TEST_F(PlayThroughTest, AStreamStoppedShortEndsTheDialogAsNotPlayedOut) {
  Open(250);
  PlayThrough play(*dialog_, false);
  play.Start();
  ASSERT_TRUE(PumpUntil([this] { return Streaming(); }));
  ASSERT_TRUE(PlayBuffers(2));
  EXPECT_EQ(play.outcome(), PlayThrough::Outcome::kUnderWay);
  Button("IDC_STOP")->click();
  EXPECT_EQ(play.outcome(), PlayThrough::Outcome::kFailed);
  EXPECT_FALSE(dialog_->isVisible());
}

}  // namespace
