// The two sliders on their own, as real widgets: what they post to the
// dialog for presses, drags, keys and the wheel.
#include <gtest/gtest.h>

#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <vector>

#include "app/seek_slider.h"
#include "app/trackbar_slider.h"
#include "playback/message.h"

namespace {

using app::SeekSlider;
using app::TrackbarSlider;
using playback::Control;

struct Notification {
  uint32_t id;
  int code;
  int position;
  Control control;
  bool operator==(const Notification&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Notification& n) {
  return out << "{" << n.id << ", code " << n.code << ", position " << n.position << ", control "
             << static_cast<int>(n.control) << "}";
}

class RecordingSink : public playback::MessageSink {
 public:
  void Post(const playback::Message& m) override {
    posted.push_back({m.id, static_cast<int>(m.wparam & 0xFFFF),
                      static_cast<int>((m.wparam >> 16) & 0xFFFF), static_cast<Control>(m.lparam)});
  }
  std::vector<Notification> Take() { return std::exchange(posted, {}); }
  std::vector<Notification> posted;
};

Notification H(int code, int position) {
  return {playback::WM_HSCROLL, code, position, Control::kPosition};
}

Notification V(int code, int position) {
  return {playback::WM_VSCROLL, code, position, Control::kVolume};
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

  QWidget host_;
  RecordingSink sink_;
  SeekSlider slider_;
};

TEST_F(SeekSliderTest, GeometryComesFromTheStyle) {
  const app::SeekGeometry g = slider_.Geometry();
  EXPECT_EQ(g.clientWidth, 392);
  EXPECT_GT(g.channelWidth, 300);
  EXPECT_LE(g.channelWidth, g.clientWidth);
  EXPECT_GT(g.thumbWidth, 0);
  EXPECT_GT(g.thumbHeight, 0);
  EXPECT_LE(g.thumbHeight, slider_.height());
}

TEST_F(SeekSliderTest, PressJumpsThereDragFollowsReleaseCommits) {
  const int middle = slider_.width() / 2;
  QTest::mousePress(&slider_, Qt::LeftButton, {}, QPoint(middle, BandY()));
  // The thumb goes straight to the pointer, not a page towards it.
  EXPECT_NEAR(slider_.value(), 18000, 900);
  EXPECT_EQ(slider_.value(), Expected(middle));
  EXPECT_EQ(sink_.Take(), std::vector{H(5, slider_.value())});
  EXPECT_TRUE(slider_.dragging());
  EXPECT_EQ(QWidget::mouseGrabber(), &slider_);

  QTest::mouseMove(&slider_, QPoint(300, BandY()));
  EXPECT_EQ(slider_.value(), Expected(300));
  QTest::mouseMove(&slider_, QPoint(slider_.width() + 50, BandY()));
  EXPECT_EQ(slider_.value(), 35999);
  QTest::mouseMove(&slider_, QPoint(300, BandY()));
  EXPECT_TRUE(sink_.Take().empty()) << "a drag posts nothing while it moves";

  // Released elsewhere: the thumb stays where the last move left it.
  QTest::mouseRelease(&slider_, Qt::LeftButton, {}, QPoint(40, BandY()));
  EXPECT_EQ(slider_.value(), Expected(300));
  EXPECT_EQ(sink_.Take(), std::vector{H(4, Expected(300))});
  EXPECT_FALSE(slider_.dragging());
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
}

TEST_F(SeekSliderTest, PressesOutsideTheBandAndOtherButtonsAreIgnored) {
  slider_.setValue(1234);
  const int below = slider_.Geometry().thumbHeight + 1;
  for (const QPoint point : {QPoint(200, below), QPoint(200, -1)}) {
    QTest::mousePress(&slider_, Qt::LeftButton, {}, point);
    QTest::mouseRelease(&slider_, Qt::LeftButton, {}, point);
  }
  QTest::mousePress(&slider_, Qt::RightButton, {}, QPoint(200, BandY()));
  QTest::mouseRelease(&slider_, Qt::RightButton, {}, QPoint(200, BandY()));
  QTest::mousePress(&slider_, Qt::MiddleButton, {}, QPoint(200, BandY()));
  QTest::mouseRelease(&slider_, Qt::MiddleButton, {}, QPoint(200, BandY()));
  EXPECT_EQ(slider_.value(), 1234);
  EXPECT_TRUE(sink_.posted.empty());
  EXPECT_FALSE(slider_.dragging());
}

TEST_F(SeekSliderTest, MovingAboveTheSliderLeavesTheThumb) {
  QTest::mousePress(&slider_, Qt::LeftButton, {}, QPoint(100, BandY()));
  const int pressed = slider_.value();
  QTest::mouseMove(&slider_, QPoint(300, -5));
  EXPECT_EQ(slider_.value(), pressed);
  QTest::mouseRelease(&slider_, Qt::LeftButton, {}, QPoint(300, -5));
  EXPECT_EQ(sink_.Take(), (std::vector{H(5, pressed), H(4, pressed)}));
}

TEST_F(SeekSliderTest, DisabledMidDragEndsTheDragSilently) {
  QTest::mousePress(&slider_, Qt::LeftButton, {}, QPoint(100, BandY()));
  sink_.Take();
  slider_.setEnabled(false);
  EXPECT_FALSE(slider_.dragging());
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  slider_.setEnabled(true);
  const int value = slider_.value();
  QTest::mouseMove(&slider_, QPoint(300, BandY()));
  EXPECT_EQ(slider_.value(), value);
  EXPECT_TRUE(sink_.posted.empty());
}

// Keys move the slider as a trackbar's keys do and post their codes; the
// end-of-scroll code follows when the key comes up.
TEST_F(SeekSliderTest, KeysPostTrackbarCodes) {
  slider_.setValue(10000);
  QTest::keyClick(&slider_, Qt::Key_Right);
  QTest::keyClick(&slider_, Qt::Key_Up);
  QTest::keyClick(&slider_, Qt::Key_Left);
  QTest::keyClick(&slider_, Qt::Key_Down);
  QTest::keyClick(&slider_, Qt::Key_PageDown);
  QTest::keyClick(&slider_, Qt::Key_PageUp);
  QTest::keyClick(&slider_, Qt::Key_End);
  QTest::keyClick(&slider_, Qt::Key_Home);
  EXPECT_EQ(sink_.Take(),
            (std::vector{H(1, 10001), H(8, 10001), H(0, 10000), H(8, 10000), H(0, 9999), H(8, 9999),
                         H(1, 10000), H(8, 10000), H(3, 17199), H(8, 17199), H(2, 10000),
                         H(8, 10000), H(7, 35999), H(8, 35999), H(6, 0), H(8, 0)}));
  EXPECT_EQ(slider_.value(), 0);
}

TEST_F(SeekSliderTest, HeldKeyRepeatsItsCodeAndEndsOnce) {
  slider_.setValue(100);
  QTest::keyPress(&slider_, Qt::Key_Right);
  QTest::keyEvent(QTest::Press, &slider_, Qt::Key_Right, Qt::NoModifier);
  QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
  QCoreApplication::sendEvent(&slider_, &repeatUp);
  QTest::keyRelease(&slider_, Qt::Key_Right);
  EXPECT_EQ(sink_.Take(), (std::vector{H(1, 101), H(1, 102), H(8, 102)}));
}

TEST_F(SeekSliderTest, OtherKeysAreLeftToTheDialog) {
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::sendEvent(&slider_, &escape);
  EXPECT_FALSE(escape.isAccepted());
  EXPECT_TRUE(sink_.posted.empty());
}

TEST_F(SeekSliderTest, WheelMovesALineANotchTowardsTheStart) {
  slider_.setValue(500);
  const QPointF at(100, BandY());
  QWheelEvent forward(at, slider_.mapToGlobal(at), {}, QPoint(0, 240), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&slider_, &forward);
  QWheelEvent halfBack(at, slider_.mapToGlobal(at), {}, QPoint(0, -60), Qt::NoButton, {},
                       Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&slider_, &halfBack);
  EXPECT_EQ(sink_.Take(), (std::vector{H(0, 499), H(0, 498), H(8, 498)}));
  QCoreApplication::sendEvent(&slider_, &halfBack);
  EXPECT_EQ(sink_.Take(), (std::vector{H(1, 499), H(8, 499)}));
}

// Where the style draws the thumb.
class ProbedSlider : public TrackbarSlider {
 public:
  using TrackbarSlider::TrackbarSlider;
  QRect Thumb() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
  }
};

// The volume slider as the dialog lays it out: 29 by 61 dialog units, with
// its lowest position at the top.
class VolumeSliderTest : public testing::Test {
 protected:
  VolumeSliderTest() : slider_(Qt::Vertical, Control::kVolume, sink_, &host_) {
    slider_.SetRange(0, 64);
    slider_.setInvertedAppearance(true);
    slider_.setTickPosition(QSlider::TicksBothSides);
    slider_.setTickInterval(8);
    slider_.setGeometry(420, 36, 44, 99);
    host_.resize(480, 160);
    host_.show();
  }

  QRect Thumb() const { return slider_.Thumb(); }

  QWidget host_;
  RecordingSink sink_;
  ProbedSlider slider_;
};

TEST_F(VolumeSliderTest, UpGoesTowardsTheTopWhereTheLowestPositionIs) {
  slider_.setValue(32);
  const int thumbAt32 = Thumb().center().y();
  QTest::keyClick(&slider_, Qt::Key_Up);
  EXPECT_EQ(sink_.Take(), (std::vector{V(0, 31), V(8, 31)}));
  EXPECT_LT(Thumb().center().y(), thumbAt32);
  QTest::keyClick(&slider_, Qt::Key_PageDown);
  EXPECT_EQ(sink_.Take(), (std::vector{V(3, 43), V(8, 43)}));
  slider_.setValue(0);
  EXPECT_LT(Thumb().center().y(), slider_.height() / 3);
}

TEST_F(VolumeSliderTest, DraggingTheThumbTracksThenCommitsAndEnds) {
  slider_.setValue(16);
  const QPoint grip = Thumb().center();
  QTest::mousePress(&slider_, Qt::LeftButton, {}, grip);
  QTest::mouseMove(&slider_, grip + QPoint(0, 20));
  QTest::mouseMove(&slider_, grip + QPoint(0, 40));
  QTest::mouseRelease(&slider_, Qt::LeftButton, {}, grip + QPoint(0, 40));
  const std::vector<Notification> posted = sink_.Take();
  ASSERT_GE(posted.size(), 4u);
  const int end = slider_.value();
  EXPECT_GT(end, 16) << "dragging down goes away from the top";
  for (size_t i = 0; i + 2 < posted.size(); ++i) EXPECT_EQ(posted[i].code, 5);
  EXPECT_EQ(posted[posted.size() - 3], V(5, end));
  EXPECT_EQ(posted[posted.size() - 2], V(4, end));
  EXPECT_EQ(posted.back(), V(8, end));
}

TEST_F(VolumeSliderTest, PressOnTheGroovePagesThenEnds) {
  slider_.setValue(0);
  const QPoint below(Thumb().center().x(), slider_.height() - 3);
  QTest::mousePress(&slider_, Qt::LeftButton, {}, below);
  QTest::mouseRelease(&slider_, Qt::LeftButton, {}, below);
  const std::vector<Notification> posted = sink_.Take();
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted.back().code, 8);
  for (size_t i = 0; i + 1 < posted.size(); ++i)
    EXPECT_TRUE(posted[i].code == 3 || posted[i].code == 5) << posted[i];
  EXPECT_GT(slider_.value(), 0);
}

}  // namespace
