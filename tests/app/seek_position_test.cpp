#include "app/seek_position.h"

#include <gtest/gtest.h>

namespace {

using app::PositionUnderPointer;
using app::SeekGeometry;

// A slider 400 pixels wide with a 380-pixel channel (margin 10) and a thumb
// of 10 by 20, over the position slider's range.
constexpr SeekGeometry kSlider{0, 35999, 400, 380, 10, 20};

TEST(SeekPosition, PointerStandsForTheThumbCentreAlongTheChannel) {
  EXPECT_EQ(PositionUnderPointer(kSlider, 100, 10), 8526);
  // Right half: no half-margin correction.
  EXPECT_EQ(PositionUnderPointer(kSlider, 300, 10), 27947);
  // The correction stops at the channel's middle, with a jump.
  EXPECT_EQ(PositionUnderPointer(kSlider, 189, 10), 16957);
  EXPECT_EQ(PositionUnderPointer(kSlider, 190, 10), 17526);
}

TEST(SeekPosition, EndsAreRaisedToZeroAndLeftBeyondTheMaximum) {
  EXPECT_EQ(PositionUnderPointer(kSlider, 3, 10), 0);
  EXPECT_EQ(PositionUnderPointer(kSlider, -40, 10), 0);
  // The slider clamps this to 35,999 when it is set.
  EXPECT_EQ(PositionUnderPointer(kSlider, 395, 10), 36947);
}

TEST(SeekPosition, OnlyTheBandOfTheThumbsHeightCounts) {
  EXPECT_EQ(PositionUnderPointer(kSlider, 100, 0), 8526);
  EXPECT_EQ(PositionUnderPointer(kSlider, 100, 20), 8526);
  EXPECT_EQ(PositionUnderPointer(kSlider, 100, 21), std::nullopt);
  EXPECT_EQ(PositionUnderPointer(kSlider, 100, -1), std::nullopt);
}

TEST(SeekPosition, RangeMinimumIsNotAdded) {
  const SeekGeometry offset{100, 36099, 400, 380, 10, 20};
  EXPECT_EQ(PositionUnderPointer(offset, 100, 10), 8526);
}

TEST(SeekPosition, SliderWithoutAChannelHasNoPosition) {
  const SeekGeometry collapsed{0, 35999, 0, 0, 0, 0};
  EXPECT_EQ(PositionUnderPointer(collapsed, 0, 0), std::nullopt);
}

}  // namespace
