// The decode thread allocates nothing once the first stream has started:
// the buffers, events and messages it uses all exist before it runs.
#include <gtest/gtest.h>

#include "player_harness.h"
#include "support/allocation_counter.h"

namespace playback_testing {
namespace {

TEST(DecodeThread, AllocatesNothingAfterTheFirstStream) {
  PlayerHarness h(MakeRecording(voice::VoiceMode::Celp80, 700));
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayToEnd());

  const int64_t before = testing_support::allocations_off_main_thread();
  ASSERT_TRUE(h.Play());
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(h.PlayBuffer());
  h.engine.OnPlay();  // pause and seek: a third stream, from the chosen point
  h.view.SetSliderPosition(Control::kPosition, 18000);
  h.engine.OnHScroll(5, 18000, Control::kPosition);
  h.engine.OnHScroll(4, 18000, Control::kPosition);
  ASSERT_TRUE(h.Play());
  ASSERT_TRUE(h.PlayToEnd());
  EXPECT_EQ(testing_support::allocations_off_main_thread(), before);
}

}  // namespace
}  // namespace playback_testing
