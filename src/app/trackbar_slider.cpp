#include "app/trackbar_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

#include "playback/message_routing.h"

namespace app {

namespace {
constexpr int kWheelNotch = 120;
}  // namespace

std::optional<QAbstractSlider::SliderAction> TrackbarKeyAction(int key) {
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      return QAbstractSlider::SliderSingleStepSub;
    case Qt::Key_Right:
    case Qt::Key_Down:
      return QAbstractSlider::SliderSingleStepAdd;
    case Qt::Key_PageUp:
      return QAbstractSlider::SliderPageStepSub;
    case Qt::Key_PageDown:
      return QAbstractSlider::SliderPageStepAdd;
    case Qt::Key_Home:
      return QAbstractSlider::SliderToMinimum;
    case Qt::Key_End:
      return QAbstractSlider::SliderToMaximum;
    default:
      return std::nullopt;
  }
}

std::optional<int> ScrollCodeFor(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
      return scroll_code::kLineUp;
    case QAbstractSlider::SliderSingleStepAdd:
      return scroll_code::kLineDown;
    case QAbstractSlider::SliderPageStepSub:
      return scroll_code::kPageUp;
    case QAbstractSlider::SliderPageStepAdd:
      return scroll_code::kPageDown;
    case QAbstractSlider::SliderToMinimum:
      return scroll_code::kTop;
    case QAbstractSlider::SliderToMaximum:
      return scroll_code::kBottom;
    case QAbstractSlider::SliderMove:
      return scroll_code::kThumbTrack;
    default:
      return std::nullopt;
  }
}

TrackbarSlider::TrackbarSlider(Qt::Orientation orientation, playback::Control id,
                               playback::MessageSink& notify, QWidget* parent)
    : QSlider(orientation, parent), id_(id), notify_(notify) {
  connect(this, &QAbstractSlider::actionTriggered, this, &TrackbarSlider::OnAction);
}

void TrackbarSlider::SetRange(int min, int max) {
  setRange(min, max);
  setPageStep(std::max(1, (max - min) / 5));
}

// Every move the slider makes of its own (keys, wheel, drags and groove
// presses) goes through an action, which is reported before the value
// follows: the notification carries the position the slider moves to.
void TrackbarSlider::OnAction(int action) {
  if (const auto code = ScrollCodeFor(action)) Notify(*code);
}

void TrackbarSlider::Notify(int code) {
  const uint32_t message =
      orientation() == Qt::Horizontal ? playback::WM_HSCROLL : playback::WM_VSCROLL;
  notify_.Post(playback::MakeScrollMessage(message, code, sliderPosition(), id_));
}

void TrackbarSlider::keyPressEvent(QKeyEvent* event) {
  const auto action = TrackbarKeyAction(event->key());
  if (!action) {
    QSlider::keyPressEvent(event);  // leaves Tab, Escape and the rest to the dialog
    return;
  }
  triggerAction(*action);
  event->accept();
}

void TrackbarSlider::keyReleaseEvent(QKeyEvent* event) {
  if (!TrackbarKeyAction(event->key())) {
    QSlider::keyReleaseEvent(event);
    return;
  }
  // A held key repeats its code; the scroll ends when the key comes up.
  if (!event->isAutoRepeat()) Notify(scroll_code::kEndScroll);
  event->accept();
}

// Forward on the wheel goes towards the top or the left, one line a notch.
void TrackbarSlider::wheelEvent(QWheelEvent* event) {
  const QPoint delta = event->angleDelta();
  wheelRemainder_ += delta.y() != 0 ? delta.y() : delta.x();
  const int notches = wheelRemainder_ / kWheelNotch;
  wheelRemainder_ -= notches * kWheelNotch;
  for (int i = 0; i < std::abs(notches); ++i)
    triggerAction(notches > 0 ? SliderSingleStepSub : SliderSingleStepAdd);
  if (notches != 0) Notify(scroll_code::kEndScroll);
  event->accept();
}

void TrackbarSlider::mousePressEvent(QMouseEvent* event) {
  QSlider::mousePressEvent(event);
  if (event->isAccepted()) mouseGesture_ = true;
}

void TrackbarSlider::mouseReleaseEvent(QMouseEvent* event) {
  const bool thumbDragged = isSliderDown();
  QSlider::mouseReleaseEvent(event);
  if (!mouseGesture_ || event->buttons() != Qt::NoButton) return;
  mouseGesture_ = false;
  if (thumbDragged) Notify(scroll_code::kThumbPosition);
  Notify(scroll_code::kEndScroll);
}

}  // namespace app
