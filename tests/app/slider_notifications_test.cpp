// The two sliders on their own, as real widgets: what they post to the
// dialog for presses, drags, keys and the wheel.
#include <gtest/gtest.h>

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <tuple>
#include <vector>

#include "app/seek_slider.h"
#include "app/trackbar_slider.h"
#include "playback/message.h"

namespace {

using app::SeekSlider;
using playback::Control;

// Message, code, position, control.
using Notification = std::tuple<uint32_t, int, int, int>;
using Notifications = std::vector<Notification>;

class RecordingSink : public playback::MessageSink {
 public:
  void Post(const playback::Message& m) override {
    posted.emplace_back(m.id, static_cast<int>(m.wparam & 0xFFFF),
                        static_cast<int>((m.wparam >> 16) & 0xFFFF), static_cast<int>(m.lparam));
  }
  Notifications Take() { return std::exchange(posted, {}); }
  Notifications posted;
};

Notification H(int code, int position) {
  return {playback::WM_HSCROLL, code, position, static_cast<int>(Control::kPosition)};
}

Notification V(int code, int position) {
  return {playback::WM_VSCROLL, code, position, static_cast<int>(Control::kVolume)};
}

// The position slider as the dialog lays it out: 261 by 14 dialog units.
class SeekSliderTest : public testing::Test {
 protected:
  SeekSliderTest() : slider_(sink_, &host_) {
    slider_.SetRange(0, 35999);
    slider_.setGeometry(12, 110, 392, 23);
    host_.resize(420, 160);
    host_.show();
  }

  // Inside the band: half the thumb's height down.
  int BandY() const { return slider_.Geometry().thumbHeight / 2; }
  int Expected(int x) const {
    return std::min(35999, *app::PositionUnderPointer(slider_.Geometry(), x, BandY()));
  }
  void Press(int x, int y) { QTest::mousePress(&slider_, Qt::LeftButton, {}, QPoint(x, y)); }
  void Release(int x, int y) { QTest::mouseRelease(&slider_, Qt::LeftButton, {}, QPoint(x, y)); }

  QWidget host_;
  RecordingSink sink_;
  SeekSlider slider_;
};

TEST_F(SeekSliderTest, PressJumpsThereDragFollowsReleaseCommits) {
  const app::SeekGeometry g = slider_.Geometry();
  EXPECT_EQ(g.clientWidth, 392);
  EXPECT_GT(g.channelWidth, 300);
  EXPECT_GT(g.thumbWidth, 0);
  EXPECT_LE(g.thumbHeight, slider_.height());

  Press(slider_.width() / 2, BandY());
  // Straight to the pointer, not a page towards it.
  EXPECT_NEAR(slider_.value(), 18000, 900);
  EXPECT_EQ(slider_.value(), Expected(slider_.width() / 2));
  EXPECT_EQ(sink_.Take(), Notifications{H(5, slider_.value())});
  EXPECT_EQ(QWidget::mouseGrabber(), &slider_);

  QTest::mouseMove(&slider_, QPoint(slider_.width() + 50, BandY()));
  EXPECT_EQ(slider_.value(), 35999);
  QTest::mouseMove(&slider_, QPoint(300, BandY()));
  EXPECT_EQ(slider_.value(), Expected(300));
  EXPECT_TRUE(sink_.Take().empty()) << "a drag posts nothing while it moves";

  // Released elsewhere: the thumb stays where the last move left it.
  Release(40, BandY());
  EXPECT_EQ(sink_.Take(), Notifications{H(4, Expected(300))});
  EXPECT_FALSE(slider_.dragging());
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(SeekSliderTest, PressesOutsideTheBandAndOtherButtonsAreIgnored) {
  slider_.setValue(1234);
  for (const int y : {slider_.Geometry().thumbHeight + 1, -1}) {
    Press(200, y);
    Release(200, y);
  }
  for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
    QTest::mousePress(&slider_, button, {}, QPoint(200, BandY()));
    QTest::mouseRelease(&slider_, button, {}, QPoint(200, BandY()));
  }
  EXPECT_EQ(slider_.value(), 1234);
  EXPECT_TRUE(sink_.posted.empty());
}

TEST_F(SeekSliderTest, MovingAboveTheSliderLeavesTheThumb) {
  Press(100, BandY());
  const int pressed = slider_.value();
  QTest::mouseMove(&slider_, QPoint(300, -5));
  EXPECT_EQ(slider_.value(), pressed);
  Release(300, -5);
  EXPECT_EQ(sink_.Take(), (Notifications{H(5, pressed), H(4, pressed)}));
}

// The stream can end under the user's hand, which disables the slider.
TEST_F(SeekSliderTest, DisabledMidDragEndsTheDragSilently) {
  Press(100, BandY());
  sink_.Take();
  slider_.setEnabled(false);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  slider_.setEnabled(true);
  const int value = slider_.value();
  QTest::mouseMove(&slider_, QPoint(300, BandY()));
  EXPECT_EQ(slider_.value(), value);
  EXPECT_TRUE(sink_.posted.empty());
}

// Keys move the slider as a trackbar's do and post their codes; the
// end-of-scroll code follows once, when the key comes up.
TEST_F(SeekSliderTest, KeysPostTrackbarCodes) {
  slider_.setValue(10000);
  for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Up, Qt::Key_Left, Qt::Key_Down, Qt::Key_PageDown,
                            Qt::Key_PageUp, Qt::Key_End, Qt::Key_Home})
    QTest::keyClick(&slider_, key);
  EXPECT_EQ(sink_.Take(),
            (Notifications{H(1, 10001), H(8, 10001), H(0, 10000), H(8, 10000), H(0, 9999),
                           H(8, 9999), H(1, 10000), H(8, 10000), H(3, 17199), H(8, 17199),
                           H(2, 10000), H(8, 10000), H(7, 35999), H(8, 35999), H(6, 0), H(8, 0)}));

  QTest::keyPress(&slider_, Qt::Key_Right);
  QTest::keyPress(&slider_, Qt::Key_Right);
  QKeyEvent repeatedUp(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
  QCoreApplication::sendEvent(&slider_, &repeatedUp);
  QTest::keyRelease(&slider_, Qt::Key_Right);
  EXPECT_EQ(sink_.Take(), (Notifications{H(1, 1), H(1, 2), H(8, 2)}));

  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&slider_, &escape);
  EXPECT_FALSE(escape.isAccepted()) << "left to the dialog";
}

TEST_F(SeekSliderTest, WheelMovesALineANotchTowardsTheStart) {
  slider_.setValue(500);
  const QPointF at(100, BandY());
  auto turn = [&](int degreesTimes8) {
    QWheelEvent wheel(at, slider_.mapToGlobal(at), {}, QPoint(0, degreesTimes8), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&slider_, &wheel);
  };
  turn(240);
  turn(-60);
  EXPECT_EQ(sink_.Take(), (Notifications{H(0, 499), H(0, 498), H(8, 498)}));
  turn(-60);
  EXPECT_EQ(sink_.Take(), (Notifications{H(1, 499), H(8, 499)}));
}

// The volume slider as the dialog lays it out (29 by 61 dialog units), with
// its lowest position at the top.
class VolumeSliderTest : public testing::Test {
 protected:
  class Slider : public app::TrackbarSlider {
   public:
    using TrackbarSlider::TrackbarSlider;
    QPoint Thumb() const {
      QStyleOptionSlider option;
      initStyleOption(&option);
      return style()
          ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this)
          .center();
    }
  };

  VolumeSliderTest() : slider_(Qt::Vertical, Control::kVolume, sink_, &host_) {
    slider_.SetRange(0, 64);
    slider_.setInvertedAppearance(true);
    slider_.setGeometry(420, 36, 44, 99);
    host_.resize(480, 160);
    host_.show();
  }

  QWidget host_;
  RecordingSink sink_;
  Slider slider_;
};

TEST_F(VolumeSliderTest, UpGoesTowardsTheTopWhereTheLowestPositionIs) {
  slider_.setValue(32);
  const int thumbAt32 = slider_.Thumb().y();
  QTest::keyClick(&slider_, Qt::Key_Up);
  EXPECT_EQ(sink_.Take(), (Notifications{V(0, 31), V(8, 31)}));
  EXPECT_LT(slider_.Thumb().y(), thumbAt32);
  QTest::keyClick(&slider_, Qt::Key_PageDown);  // a page is a fifth of the range
  EXPECT_EQ(sink_.Take(), (Notifications{V(3, 43), V(8, 43)}));
}

TEST_F(VolumeSliderTest, MouseDragsTrackThenCommitAndGroovePressesPage) {
  slider_.setValue(16);
  const QPoint grip = slider_.Thumb();
  QTest::mousePress(&slider_, Qt::LeftButton, {}, grip);
  QTest::mouseMove(&slider_, grip + QPoint(0, 20));
  QTest::mouseMove(&slider_, grip + QPoint(0, 40));
  QTest::mouseRelease(&slider_, Qt::LeftButton, {}, grip + QPoint(0, 40));
  const int end = slider_.value();
  EXPECT_GT(end, 16) << "dragging down goes away from the top";
  Notifications posted = sink_.Take();
  ASSERT_GE(posted.size(), 4u);
  EXPECT_EQ(Notifications(posted.end() - 3, posted.end()),
            (Notifications{V(5, end), V(4, end), V(8, end)}));
  for (const Notification& n : posted) EXPECT_LE(std::get<2>(n), end);

  slider_.setValue(0);
  const QPoint bottom(slider_.Thumb().x(), slider_.height() - 3);
  QTest::mousePress(&slider_, Qt::LeftButton, {}, bottom);
  QTest::mouseRelease(&slider_, Qt::LeftButton, {}, bottom);
  EXPECT_EQ(sink_.Take(), (Notifications{V(3, 12), V(8, 12)}));
}

}  // namespace
