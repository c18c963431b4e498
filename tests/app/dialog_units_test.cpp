#include "app/dialog_units.h"

#include <gtest/gtest.h>

namespace {

using app::DialogBaseUnits;
using app::MapDialogRect;
using app::MapDialogSize;

// The base units of the classic 8-point dialog font.
constexpr DialogBaseUnits kClassic{6, 13};

TEST(DialogUnits, RoundToTheNearestPixel) {
  // 478.5 and 203.125 pixels.
  EXPECT_EQ(MapDialogSize(QSize(319, 125), kClassic), QSize(479, 203));
  EXPECT_EQ(app::HorizontalPixels(-3, kClassic), -5);  // -4.5, away from zero
}

TEST(DialogUnits, RectanglesMapBothCornersSoNeighboursStillTouch) {
  // Left 6, top 157.6, right 81, bottom 180.4.
  EXPECT_EQ(MapDialogRect(QRect(4, 97, 50, 14), kClassic), QRect(6, 158, 75, 22));
  const QRect left = MapDialogRect(QRect(0, 0, 3, 3), kClassic);
  const QRect right = MapDialogRect(QRect(3, 3, 3, 3), kClassic);
  EXPECT_EQ(left.x() + left.width(), right.x());
  EXPECT_EQ(left.y() + left.height(), right.y());
}

}  // namespace
